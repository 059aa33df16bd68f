// What every part of the page uses: its elements by id, new elements, and numbers as the text a
// value holds.

export const $ = (id) => document.getElementById(id);

export function element(tag, props = {}, ...children) {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(props)) {
    if (k === "dataset") Object.assign(e.dataset, v);
    else if (k in e) e[k] = v;
    else e.setAttribute(k, v);
  }
  e.append(...children);
  return e;
}

// A field that takes typed text, whose keys (and Ctrl+Z while it is edited) are its own.
export const takesText = (target) => target.matches?.(
  "input:not([type=range]):not([type=checkbox]):not([type=color]):not([type=button]):not([type=file]), textarea");

export function clamp(v, lo, hi) { return Math.min(hi, Math.max(lo, v)); }

export function numberText(v, places) { return String(Number(v.toFixed(places))); }
