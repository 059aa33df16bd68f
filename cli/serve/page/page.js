// The page of `ondrel serve`. Everything it shows comes from the server: the controls from the
// module's parameter definitions, their values and graying from the module's parameter-UI update
// at the current frame, and the preview from a render through the offline host. What the user
// sets is kept as a recipe, the same one "Save recipe" writes, and sent with every request; each
// effect keeps its own for the session.
"use strict";

const $ = (id) => document.getElementById(id);

const page = {
  info: null,          // the effects, the input, the built-in layer's size, the preview's limits
  controls: [],        // the effect's parameter definitions, by index
  rows: new Map(),     // index -> {row, set(text), handle, stopwatch, key, interpolation}
  values: [],          // each parameter's value at the current frame, as text
  disabled: new Set(), // indices the module grayed
  // What the user set for the current effect: name -> {value} or {keys: [{time, value}],
  // interpolation}. The same object as the effect's entry in `sessions`.
  params: {},
  sessions: new Map(), // effect name -> {controls, about, params}
  effect: "",
  layer: [1920, 1080], // the layer the stage shows: the last size the server took
  frame: 1,
  start: 1,
  end: 48,
  fps: "24",
  playing: null,       // {from, since, rate} while the timeline plays
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

// The layer a request renders over, as the page reads it; the server checks it.
function requestedLayer() {
  const input = page.info.input;
  if ($("background").value === "input" && input) return [input.width, input.height];
  const m = /^(\d+)x(\d+)$/.exec($("size").value.trim());
  return m ? [Number(m[1]), Number(m[2])] : page.layer;
}

// A request the server answered: its layer is the one the stage shows from now on.
function accepted(layer) {
  if (layer[0] === page.layer[0] && layer[1] === page.layer[1]) return;
  page.layer = layer;
  fitStage();
  for (const entry of page.rows.values()) {
    if (entry.handle && typeof page.values[entry.index] === "string") entry.set(page.values[entry.index]);
  }
}

// ---- Messages: each shown once, each error beside the control it names.

const messages = new Map(); // source -> {text, kind}

// The setting a message names by its label ("Size: ..."), as the server names them.
const settingFields = {"Size": "size", "Frame rate": "fps", "Frame range": "start", "Depth": "depth", "Effect": "effect"};

function namedControl(text) {
  if (!text) return null;
  for (const [label, id] of Object.entries(settingFields)) {
    if (text.startsWith(`${label}: `)) return $(id).closest("label");
  }
  const control = page.controls.find((c) => c.name && text.startsWith(`${c.name}: `));
  return control ? page.rows.get(control.index)?.row ?? null : null;
}

function say(source, text, kind = "error") {
  if (text) messages.set(source, {text, kind}); else messages.delete(source);
  const shown = new Map();
  for (const m of messages.values()) shown.set(m.text, m.kind);
  for (const marked of document.querySelectorAll(".invalid")) {
    marked.classList.remove("invalid");
    marked.removeAttribute("data-error");
  }
  $("messages").replaceChildren(...[...shown].map(([text, kind]) => {
    const named = kind === "error" ? namedControl(text) : null;
    if (named) {
      named.classList.add("invalid");
      named.dataset.error = text;
    }
    return element("div", {className: kind}, text);
  }));
}

// Requests not yet answered, of every kind; tests wait for none.
let pending = 0;
function busy(change) {
  pending += change;
  document.body.dataset.pending = String(pending);
}

// ---- Values at the current frame and the module's graying. One request at a time: a change
// while one is out asks again once it is answered, with what is set by then.

const state = {seq: 0, running: false, again: false};

async function refreshState() {
  if (state.running) {
    state.again = true;
    return;
  }
  state.running = true;
  busy(+1);
  try {
    do {
      state.again = false;
      const mine = ++state.seq;
      const layer = requestedLayer();
      try {
        const answer = await (await call("/api/state", request())).json();
        if (state.again || mine !== state.seq) continue;
        accepted(layer);
        showState(answer);
        say("state", answer.error);
      } catch (e) {
        if (!state.again) say("state", e.message);
      }
    } while (state.again);
  } finally {
    state.running = false;
    busy(-1);
  }
}

function showState(answer) {
  page.values = answer.values;
  page.disabled = new Set(answer.disabled);
  const hidden = new Set(answer.hidden);
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
  updateKeyButtons();
}

// ---- The preview, at the size the stage shows (its pixels times the device pixel ratio), or a
// draft at half that while something moves. A full frame is asked for at once: the server
// interrupts the render it overtakes and answers that one 204. A draft waits while a render is
// out, and the newest draft wanted goes when it is answered. A late answer is never shown over a
// newer one.

const preview = {
  seq: 0, shown: 0, dropped: 0, drafts: 0, out: 0, draftWanted: false,
  // The last full frame and the last draft the page holds, {number, image}: the server answers
  // a request that names one as its base with the rectangle that changed since.
  held: {full: null, draft: null},
};

// The coarsest 1/N at which the preview of a layer still has a pixel for each of the stage's
// device pixels, within the server's limits.
function stageDownsample(layer = page.layer) {
  const stage = stageSize(layer);
  const ratio = window.devicePixelRatio || 1;
  const [w, h] = layer;
  const {maxPixels, maxDownsample} = page.info.preview;
  let n = clamp(Math.floor(Math.min(w / (stage[0] * ratio), h / (stage[1] * ratio))), 1, maxDownsample);
  while (n < maxDownsample && Math.ceil(w / n) * Math.ceil(h / n) > maxPixels) ++n;
  return n;
}

function render(draft = false) {
  if (draft && preview.out > 0) {
    preview.draftWanted = true;
    return;
  }
  if (!draft) preview.draftWanted = false;
  sendPreview(draft);
}

async function sendPreview(draft) {
  const mine = ++preview.seq;
  const layer = requestedLayer();
  const full = stageDownsample(layer);
  const downsample = draft ? Math.min(page.info.preview.maxDownsample, 2 * full) : full;
  const kind = draft ? "draft" : "full";
  const started = performance.now();
  preview.out++;
  busy(+1);
  try {
    const base = preview.held[kind]?.number;
    const response = await call("/api/preview", request({downsample, ...(base ? {base} : {})}));
    if (response.status === 204 || mine < preview.shown) {
      preview.dropped++;
      return;
    }
    const header = (name) => response.headers.get(name);
    const [width, height] = [Number(header("X-Width")), Number(header("X-Height"))];
    const pixels = new Uint8ClampedArray(await response.arrayBuffer());
    if (mine < preview.shown) {
      preview.dropped++;
      return;
    }
    const held = preview.held[kind];
    const changed = header("X-Changed")?.split(",").map(Number) ?? null;
    if (changed && held?.number !== Number(header("X-Base"))) {
      // What it changed is no longer what the page holds: ask again.
      preview.dropped++;
      render(draft);
      return;
    }
    preview.shown = mine;
    accepted(layer);
    if (changed) {
      const [x, y, w] = changed;
      for (let row = 0; row < changed[3]; ++row) {
        held.image.data.set(pixels.subarray(4 * w * row, 4 * w * (row + 1)), 4 * ((y + row) * width + x));
      }
      held.number = Number(header("X-Preview"));
    } else {
      preview.held[kind] = {number: Number(header("X-Preview")), image: new ImageData(pixels, width, height)};
    }
    show(preview.held[kind], changed, {downsample, draft});
    say("render", null);
    say("module", response.headers.get("X-Module-Message"), "note");
    const ms = Math.round(performance.now() - started);
    $("status").textContent = `${width}\u00d7${height} at ${$("depth").value} bits` +
      `${downsample > 1 ? ` (1/${downsample}${draft ? ", draft" : ""})` : ""}, ${ms} ms` +
      (preview.dropped ? `, ${preview.dropped} dropped` : "");
  } catch (e) {
    if (mine >= preview.shown) {
      preview.shown = mine;
      say("render", e.message);
    }
  } finally {
    document.body.dataset.shown = String(preview.shown);
    preview.out--;
    busy(-1);
    if (preview.draftWanted && preview.out === 0) render(true);
  }
}

// Shows a frame the page holds; where the canvas shows what it was before `changed` (x, y, width,
// height), only that rectangle is drawn.
function show({number, image}, changed, {downsample, draft}) {
  const canvas = $("preview");
  const [before, after] = [canvas.dataset.kind, draft ? "draft" : "full"];
  if (canvas.width !== image.width || canvas.height !== image.height) {
    canvas.width = image.width;
    canvas.height = image.height;
  }
  if (changed && before === after) {
    canvas.getContext("2d").putImageData(image, 0, 0, ...changed);
  } else {
    canvas.getContext("2d").putImageData(image, 0, 0);
  }
  canvas.dataset.kind = after;
  canvas.dataset.preview = String(number);
  canvas.dataset.downsample = String(downsample);
  canvas.dataset.draft = String(draft);
  if (draft) preview.drafts++;
  document.body.dataset.drafts = String(preview.drafts);
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
    updateKeyButtons();
  } else {
    page.params[control.name] = {value: text};
  }
  page.values[control.index] = text;
  page.rows.get(control.index).set(text);
  if (control.kind === "popup" || isAnimated(p)) refreshState();
  render(draft);
}

function changed() {
  updateKeyButtons();
  drawTicks();
  refreshState();
  render();
}

function toggleAnimation(control) {
  const p = page.params[control.name];
  const now = page.values[control.index];
  page.params[control.name] = isAnimated(p) ? {value: now} : {keys: [{time: page.frame, value: now}]};
  changed();
}

// Adds a keyframe at the current frame, or removes the one there (a control keeps its last).
function toggleKey(control) {
  const p = page.params[control.name];
  const at = p.keys.findIndex((k) => k.time === page.frame);
  if (at < 0) {
    p.keys.push({time: page.frame, value: page.values[control.index]});
    p.keys.sort((a, b) => a.time - b.time);
  } else if (p.keys.length > 1) {
    p.keys.splice(at, 1);
  }
  changed();
}

function updateKeyButtons() {
  for (const [index, entry] of page.rows) {
    const p = page.params[page.controls[index].name];
    const animated = isAnimated(p);
    entry.stopwatch.setAttribute("aria-pressed", String(animated));
    entry.navigator.hidden = !animated;
    entry.key.classList.toggle("on", animated && p.keys.some((k) => k.time === page.frame));
    const grayed = page.disabled.has(index);
    entry.previous.disabled = grayed || !animated || keyTime(-1, p) === null;
    entry.next.disabled = grayed || !animated || keyTime(+1, p) === null;
    if (entry.interpolation) {
      entry.interpolation.hidden = !animated;
      entry.interpolation.value = (animated && p.interpolation) || "linear";
    }
  }
  const times = keyTimes();
  $("previous-key").disabled = !times.some((t) => t < page.frame);
  $("next-key").disabled = !times.some((t) => t > page.frame);
}

// Every keyframe time of the current effect (or of one parameter), ascending, each once.
function keyTimes(p) {
  const tracks = p ? [p] : Object.values(page.params).filter(isAnimated);
  return [...new Set(tracks.flatMap((t) => t.keys.map((k) => k.time)))].sort((a, b) => a - b);
}

// The nearest keyframe before (direction -1) or after (+1) the current frame, or null.
function keyTime(direction, p) {
  const times = keyTimes(p).filter((t) => (direction < 0 ? t < page.frame : t > page.frame));
  return times.length ? times[direction < 0 ? times.length - 1 : 0] : null;
}

function goToKey(direction, p) {
  const t = keyTime(direction, p);
  if (t === null) return;
  pause(false);
  setFrame(t);
  render();
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
  const showOpen = (isOpen) => {
    button.setAttribute("aria-expanded", String(isOpen));
    if (openClass) target.classList.toggle(openClass, !isOpen); else target.hidden = !isOpen;
  };
  button.addEventListener("click", () => showOpen(button.getAttribute("aria-expanded") !== "true"));
  showOpen(open);
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
    // A dial is what an angle is set with: it shows from the start.
    open: true,
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
  // Where handles meet, the shape's own points (declared first) start on top of the transform's.
  handle.style.zIndex = String(1000 - control.index);
  $("handles").append(handle);
  return {
    widgets: [x, y],
    handle,
    set(text) {
      const [px, py] = text.split(",").map(Number);
      x.value = px; y.value = py;
      const [w, h] = page.layer;
      handle.style.left = `${(100 * px) / w}%`;
      handle.style.top = `${(100 * py) / h}%`;
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
    const stopwatch = button("stopwatch", control.animates ? "Animate: keyframes at the current frame" : "Keyframes (held)",
      () => toggleAnimation(control));
    // The keyframe navigator, as compositors have it: previous, add or remove here, next.
    const previous = button("step previous", "Previous keyframe of this control",
      () => goToKey(-1, page.params[control.name]));
    const key = button("key", "Add or remove a keyframe at this frame", () => toggleKey(control));
    const next = button("step next", "Next keyframe of this control", () => goToKey(+1, page.params[control.name]));
    const navigator = element("span", {className: "navigator"}, previous, key, next);
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
    const value = element("div", {className: "value"}, ...made.widgets, navigator);
    if (interpolation) value.append(interpolation);
    const hasMore = more.childElementCount > 0;
    const row = element("div", {className: "param", dataset: {index: control.index, kind: control.kind, name: control.name}},
      hasMore ? twirly(made.open || !control.collapsed, more) : element("span"), stopwatch,
      element("label", {className: "name"}, control.name), value);
    if (hasMore) row.append(more);
    row.style.setProperty("--depth", depth);
    parent.append(row);
    page.rows.set(control.index, {index: control.index, row, set: made.set, handle: made.handle, stopwatch,
      navigator, previous, key, next, interpolation});
  }
  updateKeyButtons();
}

// ---- Handles on the stage. A drag takes the handle on top; where handles lie on one another,
// Alt-drag takes the next one down, and a click without a drag opens a menu of them all: the one
// picked comes on top.

const handles = {drag: null, top: 2000, lastTaken: null};

function handlesAt(x, y) {
  return document.elementsFromPoint(x, y)
    .filter((e) => e.classList?.contains("handle") && !e.classList.contains("disabled"));
}

function moveHandle(handle, event, draft) {
  const control = page.controls[Number(handle.dataset.index)];
  const box = $("stage").getBoundingClientRect();
  const [w, h] = page.layer;
  const px = clamp((event.clientX - box.left) / box.width, -1, 2) * w;
  const py = clamp((event.clientY - box.top) / box.height, -1, 2) * h;
  setValue(control, `${numberText(px, 1)},${numberText(py, 1)}`, {draft});
}

function raise(handle) {
  handle.style.zIndex = String(++handles.top);
  handles.lastTaken = handle;
}

function openPick(stack, event) {
  const pick = $("pick");
  const box = $("stage").getBoundingClientRect();
  pick.replaceChildren(...stack.map((handle) => {
    const item = element("button", {type: "button", role: "menuitem"}, handle.dataset.name);
    item.addEventListener("click", () => { raise(handle); closePick(); });
    return item;
  }));
  pick.style.left = `${event.clientX - box.left + 12}px`;
  pick.style.top = `${event.clientY - box.top + 12}px`;
  pick.hidden = false;
  $("stage").classList.add("picking");
  pick.firstElementChild.focus();
}

function closePick() {
  $("pick").hidden = true;
  $("stage").classList.remove("picking");
}

function watchHandles() {
  const layer = $("handles");
  layer.addEventListener("pointerdown", (e) => {
    const stack = handlesAt(e.clientX, e.clientY);
    if (!stack.length) return;
    closePick();
    let handle = stack[0];
    if (e.altKey && stack.length > 1) {
      const at = stack.indexOf(handles.lastTaken);
      handle = stack[at >= 0 ? (at + 1) % stack.length : 1];
    }
    handles.lastTaken = handle;
    handles.drag = {handle, stack, x: e.clientX, y: e.clientY, moved: false};
    handle.classList.add("moving");
    handle.setPointerCapture(e.pointerId);
    e.preventDefault();
  });
  layer.addEventListener("pointermove", (e) => {
    const drag = handles.drag;
    if (!drag) return;
    drag.moved ||= Math.hypot(e.clientX - drag.x, e.clientY - drag.y) > 3;
    if (drag.moved) moveHandle(drag.handle, e, true);
  });
  const end = (e) => {
    const drag = handles.drag;
    if (!drag) return;
    handles.drag = null;
    drag.handle.classList.remove("moving");
    if (drag.moved) moveHandle(drag.handle, e, false);
    else if (drag.stack.length > 1 && e.type === "pointerup") openPick(drag.stack, e);
  };
  layer.addEventListener("pointerup", end);
  layer.addEventListener("pointercancel", end);
  $("pick").addEventListener("keydown", (e) => { if (e.key === "Escape") closePick(); });
  document.addEventListener("pointerdown", (e) => { if (!$("pick").contains(e.target) && !e.target.closest?.(".handle")) closePick(); });
}

// ---- The layer, the stage and the timeline.

// The stage's size in CSS pixels for a layer: as large as the viewer holds, in the layer's shape.
function stageSize([w, h]) {
  const viewer = $("viewer");
  const scale = Math.min((viewer.clientWidth - 24) / w, (viewer.clientHeight - 24) / h);
  return [Math.max(1, Math.floor(w * scale)), Math.max(1, Math.floor(h * scale))];
}

function fitStage() {
  const [width, height] = stageSize(page.layer);
  $("stage").style.width = `${width}px`;
  $("stage").style.height = `${height}px`;
}

function drawTicks() {
  const ticks = $("ticks");
  ticks.replaceChildren();
  const span = Math.max(1, page.end - page.start);
  for (const t of keyTimes()) {
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

// Frames per second as the rate field gives it: "24", "29.97", "30000/1001".
function frameRate() {
  const m = /^(\d+(?:\.\d+)?)(?:\/(\d+(?:\.\d+)?))?$/.exec(page.fps);
  const rate = m ? Number(m[1]) / Number(m[2] ?? 1) : NaN;
  return Number.isFinite(rate) && rate > 0 ? rate : null;
}

// Plays the frame range over and over at the sequence's rate, in drafts, until paused.
function play() {
  const rate = frameRate();
  if (rate === null) {
    say("play", "Frame rate: give frames per second to play at, such as 24 or 30000/1001");
    return;
  }
  say("play", null);
  page.playing = {from: page.frame, since: performance.now(), rate};
  $("play").setAttribute("aria-pressed", "true");
  $("play").title = "Pause (Space)";
  requestAnimationFrame(playFrame);
}

function playFrame(now) {
  const playing = page.playing;
  if (!playing) return;
  const length = page.end - page.start + 1;
  const elapsed = Math.floor(((now - playing.since) * playing.rate) / 1000);
  const n = page.start + (((playing.from - page.start + Math.max(0, elapsed)) % length) + length) % length;
  if (n !== page.frame) {
    setFrame(n);
    render(true);
  }
  requestAnimationFrame(playFrame);
}

// Stops playing; the frame it stopped at renders in full unless the caller renders next.
function pause(renderNow = true) {
  if (!page.playing) return;
  page.playing = null;
  $("play").setAttribute("aria-pressed", "false");
  $("play").title = "Play (Space)";
  if (renderNow) render();
}

function togglePlay() { if (page.playing) pause(); else play(); }

function step(frames, {draft = false} = {}) {
  pause(false);
  setFrame(page.frame + frames);
  render(draft);
}

// The keys a compositor's timeline answers, unless a field that takes them has the focus.
function watchKeys() {
  const takesKeys = (target) => target.matches?.("input:not([type=range]):not([type=button]), select, textarea");
  let stepping = false; // an arrow key held down steps in drafts
  const stepBy = (e, frames) => {
    stepping ||= e.repeat;
    step(frames, {draft: e.repeat});
  };
  document.addEventListener("keydown", (e) => {
    if (e.ctrlKey || e.metaKey || e.altKey || takesKeys(e.target)) return;
    const onSlider = e.target.matches?.("input[type=range]");
    const by = e.shiftKey ? 10 : 1;
    switch (e.key) {
      case " ": if (!e.repeat) togglePlay(); break;
      case "ArrowLeft": case "PageUp": if (onSlider) return; stepBy(e, -by); break;
      case "ArrowRight": case "PageDown": if (onSlider) return; stepBy(e, by); break;
      case "Home": if (onSlider) return; step(page.start - page.frame); break;
      case "End": if (onSlider) return; step(page.end - page.frame); break;
      case "j": case "J": goToKey(-1); break;
      case "k": case "K": goToKey(+1); break;
      default: return;
    }
    e.preventDefault();
  });
  document.addEventListener("keyup", (e) => {
    // Letting a held arrow key go shows the frame in full.
    if (stepping) {
      stepping = false;
      render();
    }
    // Space on a button would press it as well.
    if (e.key === " " && e.target.matches?.("button")) e.preventDefault();
  });
}

function changeLayer() {
  $("size-label").hidden = $("background").value === "input";
  refreshState();
  render();
}

async function loadEffect(name) {
  pause(false);
  let session = page.sessions.get(name);
  try {
    if (!session) {
      const answer = await (await call(`/api/controls?effect=${encodeURIComponent(name)}`)).json();
      session = {controls: answer.controls, about: answer.about, params: {}};
      page.sessions.set(name, session);
    }
    say("controls", null);
  } catch (e) {
    say("controls", e.message);
    $("effect").value = page.effect;
    return;
  }
  page.effect = name;
  page.params = session.params;
  $("about-text").textContent = session.about.replace(/\r/g, "\n");
  buildControls(session.controls);
  drawTicks();
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
  page.layer = requestedLayer();

  $("effect").addEventListener("change", () => loadEffect($("effect").value));
  $("depth").addEventListener("change", () => render());
  $("background").addEventListener("change", changeLayer);
  $("size").addEventListener("change", changeLayer);
  $("save").addEventListener("click", save);
  $("play").addEventListener("click", togglePlay);
  $("previous-key").addEventListener("click", () => goToKey(-1));
  $("next-key").addEventListener("click", () => goToKey(+1));
  $("time").addEventListener("input", () => { pause(false); setFrame(Number($("time").value)); render(true); });
  $("time").addEventListener("change", () => render());
  $("frame").addEventListener("change", () => { pause(false); setFrame(Number($("frame").value)); render(); });
  for (const id of ["start", "end"]) $(id).addEventListener("change", () => { setRange(); setFrame(page.frame); render(); });
  $("fps").addEventListener("change", () => {
    page.fps = $("fps").value.trim();
    if (page.playing) { pause(false); play(); }
    refreshState();
    render();
  });
  watchHandles();
  watchKeys();
  // A stage of another size wants the preview at another size, once the resizing rests.
  let resized = 0;
  new ResizeObserver(() => {
    fitStage();
    clearTimeout(resized);
    resized = setTimeout(() => {
      const shown = $("preview").dataset;
      if (shown.draft === "false" && Number(shown.downsample) !== stageDownsample()) render();
    }, 150);
  }).observe($("viewer"));
  fitStage();
  await loadEffect(page.info.effects[0]);
}

start().catch((e) => say("start", e.message));
