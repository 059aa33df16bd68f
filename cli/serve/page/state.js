// What the page holds. Everything it shows comes from the server: the controls from the module's
// parameter definitions, their values and graying from the module's parameter-UI update at the
// current frame, and the preview from a render through the offline host. What the user sets is
// kept as a recipe, the same one "Save recipe" writes, and sent with every request; each effect
// keeps its own for the session. Every change to a parameter goes through the edits below.

import {$} from "./util.js";

export const page = {
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

export function isAnimated(p) { return p !== undefined && p.keys !== undefined; }

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

export function request(extra) {
  return {recipe: recipe(), frame: page.frame, background: $("background").value, ...extra};
}

// The layer a request renders over, as the page reads it; the server checks it.
export function requestedLayer() {
  const input = page.info.input;
  if ($("background").value === "input" && input) return [input.width, input.height];
  const m = /^(\d+)x(\d+)$/.exec($("size").value.trim());
  return m ? [Number(m[1]), Number(m[2])] : page.layer;
}

// Every keyframe time of the current effect (or of one parameter), ascending, each once.
export function keyTimes(p) {
  const tracks = p ? [p] : Object.values(page.params).filter(isAnimated);
  return [...new Set(tracks.flatMap((t) => t.keys.map((k) => k.time)))].sort((a, b) => a - b);
}

// The nearest keyframe before (direction -1) or after (+1) the current frame, or null.
export function keyTime(direction, p) {
  const times = keyTimes(p).filter((t) => (direction < 0 ? t < page.frame : t > page.frame));
  return times.length ? times[direction < 0 ? times.length - 1 : 0] : null;
}

// ---- Edits: a value for all time, or a keyframe at the current frame once the parameter's
// stopwatch is on.

// Sets a parameter's value at the current frame; answers whether that set a keyframe.
export function setParam(control, text) {
  const p = page.params[control.name];
  const animated = isAnimated(p);
  if (animated) {
    const key = p.keys.find((k) => k.time === page.frame);
    if (key) key.value = text; else p.keys.push({time: page.frame, value: text});
    p.keys.sort((a, b) => a.time - b.time);
  } else {
    page.params[control.name] = {value: text};
  }
  page.values[control.index] = text;
  return animated;
}

// Turns a parameter's stopwatch on (a keyframe of its value here) or off (that value for all time).
export function toggleAnimation(control) {
  const p = page.params[control.name];
  const now = page.values[control.index];
  page.params[control.name] = isAnimated(p) ? {value: now} : {keys: [{time: page.frame, value: now}]};
}

// Adds a keyframe at the current frame, or removes the one there (a control keeps its last).
export function toggleKey(control) {
  const p = page.params[control.name];
  const at = p.keys.findIndex((k) => k.time === page.frame);
  if (at < 0) {
    p.keys.push({time: page.frame, value: page.values[control.index]});
    p.keys.sort((a, b) => a.time - b.time);
  } else if (p.keys.length > 1) {
    p.keys.splice(at, 1);
  }
}

// Linear is what a recipe without an interpolation means.
export function setInterpolation(control, kind) {
  page.params[control.name].interpolation = kind === "linear" ? undefined : kind;
}
