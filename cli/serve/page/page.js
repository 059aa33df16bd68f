// The page of `ondrel serve`. Everything it shows comes from the server: the controls from the
// module's parameter definitions, their values and graying from the module's parameter-UI update
// at the current frame, and the preview from a render through the offline host. What the user
// sets is kept as a recipe, the same one "Save recipe" writes, and sent with every request.
"use strict";

const $ = (id) => document.getElementById(id);

const page = {
  info: null,          // the effects, the input and the built-in layer's size
  controls: [],        // the effect's parameter definitions, by index
  rows: new Map(),     // index -> {row, set(text), handle}
  values: [],          // each parameter's value at the current frame, as text
  disabled: new Set(), // indices the module grayed
  // What the user set: name -> {value} or {keys: [{time, value}], interpolation}.
  params: {},
  effect: "",
  frame: 1,
  start: 1,
  end: 48,
  fps: "24",
};

// ---- Talking to the server.

async function call(path, body) {
  const response = await fetch(path, body === undefined ? {} : {
    method: "POST", headers: {"Content-Type": "application/json"}, body: JSON.stringify(body),
  });
  if (!response.ok) {
    const text = await response.text();
    let message = text;
    try { message = JSON.parse(text).error; } catch (e) { /* not JSON */ }
    throw new Error(message || `${response.status} ${response.statusText}`);
  }
  return response;
}

function isAnimated(p) { return p !== undefined && p.keys !== undefined; }

function recipe() {
  const r = {effect: page.effect, depth: Number($("depth").value), fps: page.fps};
  if ($("background").value === "built-in") r.size = $("size").value.trim();
  if (Object.values(page.params).some(isAnimated)) r.frames = `${page.start}-${page.end}`;
  r.params = {};
  for (const [name, p] of Object.entries(page.params)) {
    if (!isAnimated(p)) {
      r.params[name] = p.value;
      continue;
    }
    r.params[name] = {keys: p.keys.map((k) => ({time: k.time, value: k.value}))};
    if (p.interpolation) r.params[name].interpolation = p.interpolation;
  }
  return r;
}

function request(extra) {
  return {recipe: recipe(), frame: page.frame, background: $("background").value, ...extra};
}

// ---- Messages: the latest error of each source, and what the module wrote.

const messages = new Map(); // source -> {text, kind}

function say(source, text, kind = "error") {
  if (text) messages.set(source, {text, kind}); else messages.delete(source);
  const box = $("messages");
  box.replaceChildren(...[...messages.values()].map(({text, kind}) => {
    const line = document.createElement("div");
    line.className = kind;
    line.textContent = text;
    return line;
  }));
}

// ---- Values at the current frame and the module's graying.

let stateSeq = 0;

// Requests not yet answered, of both kinds; tests wait for none.
let pending = 0;
function busy(change) {
  pending += change;
  document.body.dataset.pending = String(pending);
}

async function refreshState() {
  const mine = ++stateSeq;
  busy(+1);
  try {
    const state = await (await call("/api/state", request())).json();
    if (mine !== stateSeq) return;
    page.values = state.values;
    page.disabled = new Set(state.disabled);
    const hidden = new Set(state.hidden);
    for (const [index, entry] of page.rows) {
      entry.set(page.values[index]);
      const grayed = page.disabled.has(index);
      entry.row.classList.toggle("disabled", grayed);
      entry.row.hidden = hidden.has(index);
      for (const input of entry.row.querySelectorAll("input, select, button:not(.twirly)")) {
        input.disabled = grayed;
      }
      if (entry.handle) entry.handle.classList.toggle("disabled", grayed || hidden.has(index));
    }
    say("state", state.error);
  } catch (e) {
    if (mine === stateSeq) say("state", e.message);
  } finally {
    busy(-1);
  }
}

// ---- The preview. Every change asks for a render at once; the server drops a render that a
// newer request overtakes (answering 204), and a late answer to an older request is ignored.

const preview = {seq: 0, shown: 0, dropped: 0, drafts: 0};

function draftFactor() {
  const [w, h] = layerSize();
  return Math.min(16, Math.max(2, Math.ceil(Math.max(w, h) / 640)));
}

async function render(draft = false) {
  const mine = ++preview.seq;
  const downsample = draft ? draftFactor() : 1;
  const started = performance.now();
  busy(+1);
  try {
    const response = await call("/api/preview", request({downsample}));
    if (response.status === 204 || mine < preview.shown) {
      preview.dropped++;
      return;
    }
    const width = Number(response.headers.get("X-Width"));
    const height = Number(response.headers.get("X-Height"));
    const pixels = new Uint8ClampedArray(await response.arrayBuffer());
    if (mine < preview.shown) {
      preview.dropped++;
      return;
    }
    preview.shown = mine;
    const canvas = $("preview");
    canvas.width = width;
    canvas.height = height;
    canvas.getContext("2d").putImageData(new ImageData(pixels, width, height), 0, 0);
    canvas.dataset.downsample = String(downsample);
    if (downsample > 1) preview.drafts++;
    document.body.dataset.drafts = String(preview.drafts);
    say("render", null);
    say("module", response.headers.get("X-Module-Message"), "note");
    const ms = Math.round(performance.now() - started);
    $("status").textContent = `${width}\u00d7${height} at ${$("depth").value} bits` +
      `${downsample > 1 ? ` (1/${downsample} while dragging)` : ""}, ${ms} ms` +
      (preview.dropped ? `, ${preview.dropped} dropped` : "");
  } catch (e) {
    if (mine >= preview.shown) {
      preview.shown = mine;
      say("render", e.message);
    }
  } finally {
    document.body.dataset.shown = String(preview.shown);
    busy(-1);
  }
}

// ---- Setting values: a value for all time, or a keyframe at the current frame once the
// parameter's stopwatch is on.

function setValue(control, text, {draft = false} = {}) {
  const p = page.params[control.name];
  if (isAnimated(p)) {
    const key = p.keys.find((k) => k.time === page.frame);
    if (key) key.value = text; else p.keys.push({time: page.frame, value: text});
    p.keys.sort((a, b) => a.time - b.time);
    drawTicks();
  } else {
    page.params[control.name] = {value: text};
  }
  page.values[control.index] = text;
  const entry = page.rows.get(control.index);
  entry.set(text);
  if (control.kind === "popup" || isAnimated(p)) refreshState();
  render(draft);
}

function toggleAnimation(control) {
  const p = page.params[control.name];
  const now = page.values[control.index];
  page.params[control.name] = isAnimated(p) ? {value: now} : {keys: [{time: page.frame, value: now}]};
  updateKeyButtons();
  drawTicks();
  refreshState();
  render();
}

function toggleKey(control) {
  const p = page.params[control.name];
  const at = p.keys.findIndex((k) => k.time === page.frame);
  if (at < 0) {
    p.keys.push({time: page.frame, value: page.values[control.index]});
    p.keys.sort((a, b) => a.time - b.time);
  } else if (p.keys.length > 1) {
    p.keys.splice(at, 1);
  }
  updateKeyButtons();
  drawTicks();
  refreshState();
  render();
}

function updateKeyButtons() {
  for (const [index, entry] of page.rows) {
    const p = page.params[page.controls[index].name];
    const animated = isAnimated(p);
    entry.stopwatch.setAttribute("aria-pressed", String(animated));
    entry.key.hidden = !animated;
    entry.key.classList.toggle("on", animated && p.keys.some((k) => k.time === page.frame));
    if (entry.interpolation) {
      entry.interpolation.hidden = !animated;
      entry.interpolation.value = (animated && p.interpolation) || "linear";
    }
  }
}

// ---- Building the controls from the module's definitions.

function element(tag, props = {}, ...children) {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(props)) {
    if (k === "dataset") Object.assign(e.dataset, v);
    else if (k in e) e[k] = v;
    else e.setAttribute(k, v);
  }
  e.append(...children);
  return e;
}

function twirly(open, target, openClass) {
  const button = element("button", {type: "button", className: "twirly", title: "Twirl"});
  const show = (isOpen) => {
    button.setAttribute("aria-expanded", String(isOpen));
    if (openClass) target.classList.toggle(openClass, !isOpen); else target.hidden = !isOpen;
  };
  button.addEventListener("click", () => show(button.getAttribute("aria-expanded") !== "true"));
  show(open);
  return button;
}

function decimals(control) { return Math.max(0, control.precision); }

function clamp(v, lo, hi) { return Math.min(hi, Math.max(lo, v)); }

function numberText(v, places) { return String(Number(v.toFixed(places))); }

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
  more.append(slider);
  return {
    widgets: [entry, element("span", {className: "unit"}, control.percent ? "%" : "")],
    set(text) { entry.value = numberText(Number(text), places); slider.value = text; },
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
  more.append(d.svg);
  return {
    widgets: [entry, element("span", {className: "unit"}, "\u00b0")],
    set(text) { entry.value = text; d.show(Number(text)); },
  };
}

function pointWidgets(control) {
  const x = element("input", {type: "number", step: 0.1, dataset: {role: "x"}});
  const y = element("input", {type: "number", step: 0.1, dataset: {role: "y"}});
  const change = () => setValue(control, `${numberText(Number(x.value), 3)},${numberText(Number(y.value), 3)}`);
  x.addEventListener("change", change);
  y.addEventListener("change", change);
  const handle = element("div", {className: "handle", title: control.name,
    dataset: {name: control.name, index: control.index}});
  // Where handles meet, the shape's own points (declared first) are on top of the transform's.
  handle.style.zIndex = String(1000 - control.index);
  let dragging = false;
  const moveTo = (event, draft) => {
    const box = $("stage").getBoundingClientRect();
    const [w, h] = layerSize();
    const px = clamp((event.clientX - box.left) / box.width, -1, 2) * w;
    const py = clamp((event.clientY - box.top) / box.height, -1, 2) * h;
    setValue(control, `${numberText(px, 1)},${numberText(py, 1)}`, {draft});
  };
  handle.addEventListener("pointerdown", (e) => {
    if (page.disabled.has(control.index)) return;
    dragging = true;
    handle.classList.add("moving");
    handle.setPointerCapture(e.pointerId);
  });
  handle.addEventListener("pointermove", (e) => { if (dragging) moveTo(e, true); });
  handle.addEventListener("pointerup", (e) => {
    if (!dragging) return;
    dragging = false;
    handle.classList.remove("moving");
    moveTo(e, false);
  });
  $("handles").append(handle);
  return {
    widgets: [x, y],
    handle,
    set(text) {
      const [px, py] = text.split(",").map(Number);
      x.value = px; y.value = py;
      const [w, h] = layerSize();
      handle.style.left = `${(100 * px) / w}%`;
      handle.style.top = `${(100 * py) / h}%`;
    },
  };
}

function colorWidgets(control) {
  const picker = element("input", {type: "color", dataset: {role: "color"}});
  let alpha = "";
  picker.addEventListener("input", () => setValue(control, picker.value + alpha, {draft: true}));
  picker.addEventListener("change", () => setValue(control, picker.value + alpha));
  return {
    widgets: [picker],
    set(text) { picker.value = text.slice(0, 7); alpha = text.slice(7); },
  };
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

function buildControls(controls) {
  page.controls = controls;
  page.rows.clear();
  $("handles").replaceChildren();
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
    const stopwatch = element("button", {type: "button", className: "stopwatch",
      title: control.animates ? "Animate: keyframes at the current frame" : "Keyframes (held)"});
    stopwatch.addEventListener("click", () => toggleAnimation(control));
    const key = element("button", {type: "button", className: "key", title: "Keyframe at this frame"});
    key.addEventListener("click", () => toggleKey(control));
    let interpolation = null;
    if (control.animates) {
      interpolation = element("select", {className: "interpolation", title: "Interpolation"},
        ...["linear", "ease", "hold"].map((k) => element("option", {value: k}, k)));
      interpolation.addEventListener("change", () => {
        page.params[control.name].interpolation = interpolation.value === "linear" ? undefined : interpolation.value;
        refreshState();
        render();
      });
    }
    const value = element("div", {className: "value"}, ...made.widgets, key);
    if (interpolation) value.append(interpolation);
    const hasMore = more.childElementCount > 0;
    const row = element("div", {className: "param", dataset: {index: control.index, kind: control.kind, name: control.name}},
      hasMore ? twirly(!control.collapsed, more) : element("span"), stopwatch,
      element("label", {className: "name"}, control.name), value);
    if (hasMore) row.append(more);
    row.style.setProperty("--depth", depth);
    parent.append(row);
    page.rows.set(control.index, {row, set: made.set, handle: made.handle, stopwatch, key, interpolation});
  }
  updateKeyButtons();
}

// ---- The layer, the stage and the timeline.

function layerSize() {
  const input = page.info.input;
  if ($("background").value === "input" && input) return [input.width, input.height];
  const m = /^(\d+)x(\d+)$/.exec($("size").value.trim());
  return m ? [Number(m[1]), Number(m[2])] : [1920, 1080];
}

function fitStage() {
  const [w, h] = layerSize();
  const viewer = $("viewer");
  const room = [viewer.clientWidth - 24, viewer.clientHeight - $("messages").offsetHeight - 24];
  const scale = Math.min(room[0] / w, room[1] / h);
  $("stage").style.width = `${Math.max(1, Math.floor(w * scale))}px`;
  $("stage").style.height = `${Math.max(1, Math.floor(h * scale))}px`;
}

function drawTicks() {
  const ticks = $("ticks");
  ticks.replaceChildren();
  const span = Math.max(1, page.end - page.start);
  const times = new Set(Object.values(page.params).filter(isAnimated).flatMap((p) => p.keys.map((k) => k.time)));
  for (const t of times) {
    if (t < page.start || t > page.end) continue;
    ticks.append(element("span", {style: `left: ${(100 * (t - page.start)) / span}%`}));
  }
}

function setFrame(n) {
  page.frame = clamp(Math.round(n), page.start, page.end);
  $("frame").value = page.frame;
  $("time").value = page.frame;
  updateKeyButtons();
  refreshState();
}

function setRange() {
  const start = Math.round(Number($("start").value));
  const end = Math.round(Number($("end").value));
  if (Number.isFinite(start) && Number.isFinite(end) && start <= end) {
    page.start = start;
    page.end = end;
  }
  $("start").value = page.start;
  $("end").value = page.end;
  for (const id of ["time", "frame"]) { $(id).min = page.start; $(id).max = page.end; }
  drawTicks();
}

function changeLayer() {
  $("size-label").hidden = $("background").value === "input";
  fitStage();
  refreshState();
  render();
}

async function loadEffect(name) {
  page.effect = name;
  page.params = {};
  try {
    const answer = await (await call(`/api/controls?effect=${encodeURIComponent(name)}`)).json();
    $("about-text").textContent = answer.about.replace(/\r/g, "\n");
    buildControls(answer.controls);
    say("controls", null);
  } catch (e) {
    say("controls", e.message);
    return;
  }
  await refreshState();
  render();
}

async function save() {
  try {
    const text = await (await call("/api/recipe", request())).text();
    const link = element("a", {href: URL.createObjectURL(new Blob([text], {type: "application/json"})),
      download: `${page.effect}.json`});
    link.click();
    URL.revokeObjectURL(link.href);
    say("save", null);
  } catch (e) {
    say("save", e.message);
  }
}

async function start() {
  page.info = await (await call("/api/effects")).json();
  $("effect").replaceChildren(...page.info.effects.map((n) => element("option", {value: n}, n)));
  if (page.info.input) {
    $("background").append(element("option", {value: "input"}, page.info.input.name));
    $("background").value = "input";
  }
  $("size").value = page.info.size;
  $("fps").value = page.fps;
  $("start").value = page.start;
  $("end").value = page.end;
  setRange();
  $("frame").value = $("time").value = page.frame;
  $("size-label").hidden = $("background").value === "input";

  $("effect").addEventListener("change", () => loadEffect($("effect").value));
  $("depth").addEventListener("change", () => render());
  $("background").addEventListener("change", changeLayer);
  $("size").addEventListener("change", changeLayer);
  $("save").addEventListener("click", save);
  $("time").addEventListener("input", () => { setFrame(Number($("time").value)); render(true); });
  $("time").addEventListener("change", () => render());
  $("frame").addEventListener("change", () => { setFrame(Number($("frame").value)); render(); });
  for (const id of ["start", "end"]) $(id).addEventListener("change", () => { setRange(); setFrame(page.frame); render(); });
  $("fps").addEventListener("change", () => { page.fps = $("fps").value.trim(); refreshState(); render(); });
  new ResizeObserver(fitStage).observe($("viewer"));
  fitStage();
  await loadEffect(page.info.effects[0]);
}

start().catch((e) => say("start", e.message));
