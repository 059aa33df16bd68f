// The keyframes the timeline has selected, and what is done to them as a set: moved in time by
// whole frames, deleted, copied and pasted at the current frame. Keyframes are known by their
// control's name and their frame, which no other keyframe of that control holds.

import {page, isAnimated} from "./state.js";

// Control name -> the frames of its keyframes selected, for the effect shown.
const selection = {effect: "", keys: new Map()};

export const isSelected = (name, time) => selection.keys.get(name)?.has(time) ?? false;

export function select(name, time, on = true) {
  const times = selection.keys.get(name) ?? new Set();
  if (on) times.add(time); else times.delete(time);
  if (times.size) selection.keys.set(name, times); else selection.keys.delete(name);
}

export function clearSelection() { selection.keys.clear(); }

// What is selected and no longer there (undone, deleted, another effect shown) is not.
export function pruneSelection() {
  if (selection.effect !== page.effect) {
    selection.effect = page.effect;
    clearSelection();
  }
  for (const [name, times] of selection.keys) {
    const p = page.params[name];
    for (const t of times) if (!isAnimated(p) || !p.keys.some((k) => k.time === t)) select(name, t, false);
  }
}

function selectedKeys() {
  const found = [];
  for (const [name, times] of selection.keys) {
    for (const key of page.params[name].keys) if (times.has(key.time)) found.push({name, key});
  }
  return found;
}

// A move of the selected keyframes: where each began, and how far they have moved.
export function beginMove() {
  return {moving: selectedKeys().map((m) => ({...m, from: m.key.time})), by: 0};
}

// Moves them `by` frames from where they began, unless one would land on a frame another
// keyframe of its control holds, or leave the frame range it was in: then they stay where they
// were last. Answers whether they moved.
export function moveBy(move, by) {
  if (by === move.by) return false;
  const moved = new Set(move.moving.map((m) => m.key));
  for (const {name, from} of move.moving) {
    const t = from + by;
    if (t < Math.min(page.start, from) || t > Math.max(page.end, from)) return false;
    if (page.params[name].keys.some((k) => !moved.has(k) && k.time === t)) return false;
  }
  clearSelection();
  for (const m of move.moving) {
    m.key.time = m.from + by;
    select(m.name, m.key.time);
  }
  for (const name of selection.keys.keys()) page.params[name].keys.sort((a, b) => a.time - b.time);
  move.by = by;
  return true;
}

// Deletes the selected keyframes; a control left without any holds its value at the current
// frame for all time. Answers whether there were any.
export function deleteSelected() {
  let deleted = false;
  for (const [name, times] of selection.keys) {
    const p = page.params[name];
    const kept = p.keys.filter((k) => !times.has(k.time));
    if (kept.length === p.keys.length) continue;
    deleted = true;
    if (kept.length) {
      p.keys = kept;
    } else {
      const control = page.controls.find((c) => c.name === name);
      page.params[name] = {value: page.values[control.index]};
    }
  }
  clearSelection();
  return deleted;
}

// The keyframes copied: each with its control and its frames after the first copied.
let copied = [];

export function copySelected() {
  const keys = selectedKeys();
  if (!keys.length) return false;
  const first = Math.min(...keys.map(({key}) => key.time));
  copied = keys.map(({name, key}) => ({
    name,
    kind: page.controls.find((c) => c.name === name).kind,
    after: key.time - first,
    key: structuredClone(key),
  }));
  return true;
}

// Pastes the keyframes copied from the current frame on, as far apart as they were, each into its
// control (the effect shown may lack it, or have another kind of control by that name), over a
// keyframe at the same frame; the pasted ones are selected. Answers whether any were pasted.
export function paste() {
  const fits = copied.filter(({name, kind}) => page.controls.some((c) => c.name === name && c.kind === kind));
  if (!fits.length) return false;
  clearSelection();
  for (const {name, after, key} of fits) {
    const time = page.frame + after;
    let p = page.params[name];
    if (!isAnimated(p)) p = page.params[name] = {keys: []};
    p.keys = p.keys.filter((k) => k.time !== time);
    p.keys.push({...structuredClone(key), time});
    p.keys.sort((a, b) => a.time - b.time);
    select(name, time);
  }
  return true;
}
