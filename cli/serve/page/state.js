// What the page holds. Everything it shows comes from the server: the controls from the module's
// parameter definitions, their values and graying from the module's parameter-UI update at the
// current frame, and the preview from a render through the offline host. What the user sets is
// the page's work: each effect's parameters and keyframes, and the settings they render with. It
// is sent as a recipe, the same one "Save recipe" writes, with every request; every change to it
// goes through the edits below and, once committed, is a step of the history that undo and redo
// walk, and is kept in the browser for the next page.

import {$} from "./util.js";

export const page = {
  info: null,          // the effects, the module, the input, the built-in layer's size, the limits
  controls: [],        // the effect's parameter definitions, by index
  rows: new Map(),     // index -> {row, set(text), handle, stopwatch, key, interpolation}
  values: [],          // each parameter's value at the current frame, as text
  disabled: new Set(), // indices the module grayed
  // What the user set for the current effect: name -> {value} or {keys: [{time, value,
  // interpolation?}], interpolation}. The same object as the effect's entry in `byEffect`.
  params: {},
  byEffect: {},        // effect name -> its params, for every effect the work has
  sessions: new Map(), // effect name -> {controls, about}, as the server answered them
  effect: "",
  layer: [1920, 1080], // the layer the stage shows: the last size the server took
  frame: 1,
  start: 1,
  end: 48,
  fps: "24",
  ranged: false,       // the frames are the work's own (a recipe gave them), animated or not
  output: null,        // {output, compression?} of a recipe opened, for the recipe saved
  playing: null,       // {from, since, rate} while the timeline plays
};

export function isAnimated(p) { return p !== undefined && p.keys !== undefined; }

function recipe() {
  const r = {effect: page.effect, depth: Number($("depth").value), fps: page.fps};
  if ($("background").value === "built-in") r.size = $("size").value.trim();
  if (page.ranged || Object.values(page.params).some(isAnimated)) r.frames = `${page.start}-${page.end}`;
  r.params = {};
  for (const [name, p] of Object.entries(page.params)) {
    if (!isAnimated(p)) {
      r.params[name] = p.value;
      continue;
    }
    r.params[name] = {keys: p.keys.map(({time, value, interpolation}) =>
      (interpolation ? {time, value, interpolation} : {time, value}))};
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

// ---- The work as a whole: what the history holds at each step and what the browser keeps.

export function work() {
  return structuredClone({
    effect: page.effect,
    depth: Number($("depth").value),
    background: $("background").value,
    size: $("size").value.trim(),
    fps: page.fps,
    start: page.start,
    end: page.end,
    ranged: page.ranged,
    output: page.output,
    params: page.byEffect,
  });
}

// JSON whatever order the members were set in, to tell one work from another.
export function canonical(value) {
  return JSON.stringify(value, (key, v) => (v && typeof v === "object" && !Array.isArray(v)
    ? Object.fromEntries(Object.entries(v).sort(([a], [b]) => (a < b ? -1 : a > b ? 1 : 0)))
    : v));
}

// The work as it was after each committed change, and as it is now; each step undone waits in
// `future` until another change is committed.
const history = {past: [], now: null, future: []};
const mostUndone = 500;

function showHistory() {
  $("undo").disabled = history.past.length === 0;
  $("redo").disabled = history.future.length === 0;
}

// The work on the page now is where the history starts.
export function beginHistory() {
  history.past = [];
  history.future = [];
  history.now = work();
  showHistory();
  keep(history.now);
}

// A change is done (a value typed, a handle let go, a keyframe added, a setting changed): it is
// one step back from now. Answers whether the work changed.
export function commit() {
  // Before the page has started, nothing is a step.
  if (!history.now) return false;
  const now = work();
  if (canonical(now) === canonical(history.now)) return false;
  history.past.push(history.now);
  if (history.past.length > mostUndone) history.past.shift();
  history.now = now;
  history.future = [];
  showHistory();
  keep(now);
  return true;
}

function step(from, to) {
  if (from.length === 0) return null;
  to.push(history.now);
  history.now = from.pop();
  showHistory();
  keep(history.now);
  return structuredClone(history.now);
}

// The work one step back, or forward, for the page to show; null when there is none.
export function undo() { return step(history.past, history.future); }
export function redo() { return step(history.future, history.past); }

// ---- What the browser keeps: for each module (by its file's name; browsers keep storage for
// each address, so a server restarted at the same port finds it),
//   ondrel-serve:MODULE:effect:EFFECT   that effect's params
//   ondrel-serve:MODULE:page            the effect shown and the settings (work() without params)
//   ondrel-serve:MODULE:recipe          the server's starting recipe the work has taken in

const stored = (part) => `ondrel-serve:${page.info.module}:${part}`;

function read(part) {
  try {
    const value = JSON.parse(localStorage.getItem(stored(part)));
    return value && typeof value === "object" ? value : null;
  } catch {
    return null; // unreadable, or a browser that keeps nothing
  }
}

function write(part, text) {
  try {
    if (text === undefined) localStorage.removeItem(stored(part));
    else localStorage.setItem(stored(part), text);
  } catch {
    // A browser that keeps nothing (storage off, or full) still edits; the work lasts the page.
  }
}

function keep(w) {
  const {params, ...settings} = w;
  write("page", JSON.stringify(settings));
  for (const effect of page.info.effects) {
    write(`effect:${effect}`, params[effect] && JSON.stringify(params[effect]));
  }
}

// The work the browser kept, or null; what it lacks is the page's as it starts.
export function keptWork() {
  const settings = read("page");
  if (!settings) return null;
  const params = {};
  for (const effect of page.info.effects) {
    const p = read(`effect:${effect}`);
    if (p) params[effect] = p;
  }
  return {...work(), ...settings, params};
}

// Whether the server's starting recipe (its work, as the server reads it) is one the kept work
// has not taken in yet: a new page, another recipe, or the same file changed since.
export function isNewRecipe(recipe) {
  try {
    return localStorage.getItem(stored("recipe")) !== canonical(recipe);
  } catch {
    return true;
  }
}

export function tookRecipe(recipe) { write("recipe", canonical(recipe)); }
