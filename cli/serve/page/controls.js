// The effect-controls panel, built from the module's parameter definitions: a row for each
// parameter with its widgets, its stopwatch and keyframe navigator, and its handle on the stage
// for a point; and what setting a value through any of them does.

import {$, element, clamp, numberText} from "./util.js";
import {page, request, isAnimated, setParam, toggleAnimation, toggleKey, setInterpolation, commit} from "./state.js";
import * as server from "./server.js";
import {say} from "./messages.js";
import {render} from "./preview.js";
import {refreshState, updateKeyButtons} from "./values.js";
import {drawTicks} from "./timeline.js";
import {goToKey} from "./transport.js";
import {placeHandles, pointRole} from "./handles.js";
import {scrubbable, fitToText} from "./scrub.js";

// A value for all time, or a keyframe at the current frame once the parameter's stopwatch is on.
// A draft (a slider, dial, colour or handle on its way) is committed by the value it ends at.
export function setValue(control, text, {draft = false} = {}) {
  const keyed = setParam(control, text);
  if (keyed) {
    drawTicks();
    updateKeyButtons();
  }
  page.rows.get(control.index).set(text);
  placeHandles();
  if (control.kind === "popup" || keyed) refreshState();
  render(draft);
  if (!draft) commit();
}

// What the stopwatch, the keyframe button, the interpolation and a reset change shows everywhere
// at once.
function changed() {
  updateKeyButtons();
  drawTicks();
  refreshState();
  render();
  commit();
}

function twirly(open, target, openClass) {
  const button = element("button", {type: "button", className: "twirly", title: "Twirl"});
  const showOpen = (isOpen) => {
    button.setAttribute("aria-expanded", String(isOpen));
    if (openClass) target.classList.toggle(openClass, !isOpen); else target.hidden = !isOpen;
  };
  button.addEventListener("click", () => showOpen(button.getAttribute("aria-expanded") !== "true"));
  showOpen(open);
  return button;
}

function decimals(control) { return Math.max(0, control.precision); }

function sliderWidgets(control, more) {
  const places = decimals(control);
  const step = places > 0 ? 10 ** -places : 1;
  const entry = element("input", {type: "number", min: control.validMin, max: control.validMax,
    step, title: `${control.validMin} to ${control.validMax}`, dataset: {role: "entry"}});
  const slider = element("input", {type: "range", min: control.sliderMin, max: control.sliderMax,
    step, dataset: {role: "slider"}});
  // Typed values are kept within the valid range, as the host does.
  entry.addEventListener("change", () => {
    const v = Number(entry.value);
    if (entry.value === "" || !Number.isFinite(v)) { entry.value = page.values[control.index]; return; }
    setValue(control, numberText(clamp(v, control.validMin, control.validMax), places));
  });
  slider.addEventListener("input", () => setValue(control, slider.value, {draft: true}));
  slider.addEventListener("change", () => setValue(control, slider.value));
  scrubbable(entry, {value: () => page.values[control.index], places, min: control.validMin, max: control.validMax,
    set: (text, draft) => setValue(control, text, {draft})});
  more.append(slider);
  return {
    widgets: [entry, element("span", {className: "unit"}, control.percent ? "%" : "")],
    set(text) { entry.value = numberText(Number(text), places); slider.value = text; fitToText(entry); },
  };
}

function dial(control, onAngle) {
  const svg = document.createElementNS("http://www.w3.org/2000/svg", "svg");
  svg.setAttribute("viewBox", "-32 -32 64 64");
  svg.classList.add("dial");
  svg.innerHTML = '<circle r="30"/><line x1="0" y1="0" x2="0" y2="-28"/>';
  const angleAt = (event) => {
    const box = svg.getBoundingClientRect();
    const dx = event.clientX - (box.left + box.width / 2);
    const dy = event.clientY - (box.top + box.height / 2);
    // 0 degrees points up; angles grow clockwise.
    return (Math.atan2(dx, -dy) * 180) / Math.PI;
  };
  let dragging = false;
  svg.addEventListener("pointerdown", (e) => {
    if (page.disabled.has(control.index)) return;
    dragging = true;
    svg.setPointerCapture(e.pointerId);
    onAngle(angleAt(e), true);
  });
  svg.addEventListener("pointermove", (e) => { if (dragging) onAngle(angleAt(e), true); });
  svg.addEventListener("pointerup", (e) => { if (dragging) { dragging = false; onAngle(angleAt(e), false); } });
  return {svg, show(degrees) { svg.querySelector("line").setAttribute("transform", `rotate(${degrees})`); }};
}

function angleWidgets(control, more) {
  const entry = element("input", {type: "number", step: 0.1, dataset: {role: "entry"}});
  const d = dial(control, (degrees, draft) => {
    // The dial turns within the current revolution.
    const turns = Math.floor(Number(page.values[control.index]) / 360);
    setValue(control, numberText(turns * 360 + ((degrees + 360) % 360), 1), {draft});
  });
  entry.addEventListener("change", () => {
    const v = Number(entry.value);
    if (entry.value !== "" && Number.isFinite(v)) setValue(control, numberText(v, 1));
  });
  scrubbable(entry, {value: () => page.values[control.index], set: (text, draft) => setValue(control, text, {draft})});
  more.append(d.svg);
  return {
    widgets: [entry, element("span", {className: "unit"}, "\u00b0")],
    set(text) { entry.value = numberText(Number(text), 1); d.show(Number(text)); fitToText(entry); },
    // A dial is what an angle is set with: it shows from the start.
    open: true,
  };
}

// A point's mark on the stage says what it is: a circle with a cross for the shape's own points, a
// square for the anchor point, a diamond for the position; its name shows while it is pointed at.
const marks = {
  shape: '<circle r="6.5"/><path d="M-9 0H9M0 -9V9"/>',
  anchor: '<rect x="-5" y="-5" width="10" height="10"/><path d="M-9 0H-5M5 0H9M0 -9V-5M0 5V9"/><circle r="1"/>',
  // Larger than the anchor point's square, which it lies around where the two meet.
  position: '<path d="M0 -11.5L11.5 0L0 11.5L-11.5 0Z"/><circle r="1.5"/>',
};

function handleFor(control) {
  const role = pointRole(control);
  const handle = element("div", {className: `handle ${role}`, title: control.name,
    dataset: {name: control.name, index: control.index, role}});
  const svg = document.createElementNS("http://www.w3.org/2000/svg", "svg");
  svg.setAttribute("viewBox", "-10 -10 20 20");
  // Drawn twice, dark under light, so that the mark shows over any picture.
  svg.innerHTML = `<g class="under">${marks[role]}</g><g class="over">${marks[role]}</g>`;
  handle.append(svg, element("span", {className: "label"}, control.name));
  // Where handles meet, the shape's own points (declared first) start on top of the transform's.
  handle.style.zIndex = String(1000 - control.index);
  $("handles").append(handle);
  return handle;
}

function pointWidgets(control) {
  const x = element("input", {type: "number", step: 0.1, dataset: {role: "x"}});
  const y = element("input", {type: "number", step: 0.1, dataset: {role: "y"}});
  const text = (px, py) => `${numberText(Number(px), 3)},${numberText(Number(py), 3)}`;
  const change = () => setValue(control, text(x.value, y.value));
  x.addEventListener("change", change);
  y.addEventListener("change", change);
  const now = () => page.values[control.index].split(",").map(Number);
  scrubbable(x, {value: () => now()[0], set: (v, draft) => setValue(control, text(v, now()[1]), {draft})});
  scrubbable(y, {value: () => now()[1], set: (v, draft) => setValue(control, text(now()[0], v), {draft})});
  return {
    widgets: [x, y],
    handle: handleFor(control),
    set(value) {
      [x.value, y.value] = value.split(",").map(Number);
      fitToText(x);
      fitToText(y);
    },
  };
}

function colorWidgets(control) {
  const picker = element("input", {type: "color", dataset: {role: "color"}});
  picker.addEventListener("input", () => setValue(control, picker.value, {draft: true}));
  picker.addEventListener("change", () => setValue(control, picker.value));
  return {widgets: [picker], set(text) { picker.value = text.slice(0, 7); }};
}

function popupWidgets(control) {
  const select = element("select", {dataset: {role: "popup"}});
  control.items.forEach((item, i) => {
    // Separators are numbered like items but can never be chosen.
    select.append(item.separator
      ? element("option", {disabled: true, value: String(i + 1), className: "separator"}, "\u2500".repeat(12))
      : element("option", {value: String(i + 1)}, item.text));
  });
  select.addEventListener("change", () => setValue(control, control.items[Number(select.value) - 1].text));
  return {
    widgets: [select],
    set(text) {
      const i = control.items.findIndex((item) => !item.separator && item.text === text);
      select.value = String(i >= 0 ? i + 1 : Number(text));
    },
  };
}

function checkboxWidgets(control) {
  const box = element("input", {type: "checkbox", dataset: {role: "checkbox"}});
  box.addEventListener("change", () => setValue(control, box.checked ? "on" : "off"));
  return {widgets: [box, element("span", {}, control.label)], set(text) { box.checked = text === "on"; }};
}

const widgetsFor = {
  slider: sliderWidgets, angle: angleWidgets, point: pointWidgets, color: colorWidgets,
  popup: popupWidgets, checkbox: checkboxWidgets,
};

function button(className, title, onClick) {
  const b = element("button", {type: "button", className, title, ariaLabel: title});
  b.addEventListener("click", onClick);
  return b;
}

// Each parameter's default at the current frame, as the module gives it for the layer shown: the
// values the server answers for the effect with nothing set.
async function defaults() {
  const asked = request();
  asked.recipe.params = {};
  server.busy(+1);
  try {
    const answer = await server.state(asked);
    say("reset", answer.error);
    return answer.error ? null : answer.values;
  } catch (e) {
    say("reset", e.message);
    return null;
  } finally {
    server.busy(-1);
  }
}

// A control back to its default: for all time, or, with its stopwatch on, as the keyframe at the
// current frame. One step of the history.
async function resetControl(control) {
  const values = await defaults();
  if (!values) return;
  if (isAnimated(page.params[control.name])) {
    setValue(control, values[control.index]);
    return;
  }
  delete page.params[control.name];
  changed();
}

// Every control of the effect back to its default, keyframes and all: one step of the history.
function resetEffect() {
  for (const name of Object.keys(page.params)) delete page.params[name];
  changed();
}

// The labels' column is as wide as the widest label with its indent, so that every row's values
// start at one edge, as the host lays them out; measured from the text, since a closed group's
// rows have no box.
function alignValues(root) {
  const context = document.createElement("canvas").getContext("2d");
  let widest = 0;
  for (const label of root.querySelectorAll(".param > .name, .head > .name")) {
    const style = getComputedStyle(label);
    context.font = `${style.fontStyle} ${style.fontWeight} ${style.fontSize} ${style.fontFamily}`;
    const indent = 14 * Number(label.parentElement.style.getPropertyValue("--depth"));
    widest = Math.max(widest, Math.ceil(context.measureText(label.textContent).width) + indent);
  }
  root.style.setProperty("--names", `${widest + 8}px`);
}

export function buildControls(controls) {
  page.controls = controls;
  page.rows.clear();
  $("handles").replaceChildren();
  $("effect-name").textContent = page.effect;
  $("reset-effect").onclick = resetEffect;
  const root = $("controls");
  root.replaceChildren();
  const parents = [root];
  for (const control of controls) {
    const depth = parents.length - 1;
    const parent = parents[parents.length - 1];
    if (control.kind === "layer" || control.kind === "unsupported") continue;
    if (control.kind === "group") {
      const members = element("div", {className: "members"});
      const group = element("div", {className: "group", dataset: {index: control.index, name: control.name}});
      group.style.setProperty("--depth", depth);
      const head = element("div", {className: "head"}, twirly(!control.collapsed, group, "closed"),
        element("span"), element("span", {className: "name"}, control.name));
      head.style.setProperty("--depth", depth);
      group.append(head, members);
      parent.append(group);
      parents.push(members);
      continue;
    }
    if (control.kind === "group end") {
      if (parents.length > 1) parents.pop();
      continue;
    }
    const more = element("div", {className: "more"});
    const made = widgetsFor[control.kind](control, more);
    const stopwatch = button("stopwatch", control.animates ? "Animate: keyframes at the current frame" : "Keyframes (held)",
      () => { toggleAnimation(control); changed(); });
    // The keyframe navigator, as compositors have it: previous, add or remove here, next.
    const previous = button("step previous", "Previous keyframe of this control",
      () => goToKey(-1, page.params[control.name]));
    const key = button("key", "Add or remove a keyframe at this frame", () => { toggleKey(control); changed(); });
    const next = button("step next", "Next keyframe of this control", () => goToKey(+1, page.params[control.name]));
    const navigator = element("span", {className: "navigator"}, previous, key, next);
    let interpolation = null;
    if (control.animates) {
      interpolation = element("select", {className: "interpolation", title: "Interpolation"},
        ...["linear", "ease", "hold"].map((k) => element("option", {value: k}, k)));
      interpolation.addEventListener("change", () => {
        setInterpolation(control, interpolation.value);
        changed();
      });
    }
    const value = element("div", {className: "value"}, ...made.widgets, navigator);
    if (interpolation) value.append(interpolation);
    const hasMore = more.childElementCount > 0;
    const reset = button("reset", `Reset ${control.name}`, () => resetControl(control));
    const row = element("div", {className: "param", dataset: {index: control.index, kind: control.kind, name: control.name}},
      hasMore ? twirly(made.open || !control.collapsed, more) : element("span"), stopwatch,
      element("label", {className: "name"}, control.name), value, reset);
    if (hasMore) row.append(more);
    row.style.setProperty("--depth", depth);
    parent.append(row);
    page.rows.set(control.index, {index: control.index, row, set: made.set, handle: made.handle, stopwatch,
      navigator, previous, key, next, interpolation});
  }
  alignValues(root);
  updateKeyButtons();
}
