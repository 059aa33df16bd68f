// Numbers that a drag sets, as a compositor's effect controls have them: dragged sideways, the
// value follows the pointer by one unit a pixel (ten with Shift, a tenth with Ctrl), within the
// control's valid range; a click that does not drag edits the number as text. The field is as
// wide as its text, so that neither a long number nor its label is cut.

import {clamp, numberText} from "./util.js";

// Pixels the pointer moves before a press is a drag rather than a click.
const slack = 3;

export function fitToText(input) {
  input.style.width = `${Math.max(3, String(input.value).length) + 1.5}ch`;
}

// Makes `input` scrubbable. `value()` is the number it starts from; `set(text, draft)` sets the
// control (a draft while the pointer is down, then the value it is let go at, once).
export function scrubbable(input, {value, set, places = 1, min = -Infinity, max = Infinity}) {
  input.classList.add("scrub");
  let scrub = null;
  input.addEventListener("input", () => fitToText(input));
  input.addEventListener("pointerdown", (e) => {
    // A field being typed in keeps the pointer for its text.
    if (input.disabled || e.button !== 0 || document.activeElement === input) return;
    e.preventDefault();
    input.setPointerCapture(e.pointerId);
    scrub = {x: e.clientX, from: e.clientX, at: Number(value()), moved: false, text: null};
  });
  input.addEventListener("pointermove", (e) => {
    if (!scrub) return;
    scrub.moved ||= Math.abs(e.clientX - scrub.from) > slack;
    if (!scrub.moved) return;
    const step = e.shiftKey ? 10 : e.ctrlKey || e.metaKey ? 0.1 : 1;
    scrub.at = clamp(scrub.at + (e.clientX - scrub.x) * step, min, max);
    scrub.x = e.clientX;
    const text = numberText(scrub.at, places);
    if (text === scrub.text) return;
    scrub.text = text;
    set(text, true);
  });
  const end = (e) => {
    if (!scrub) return;
    const done = scrub;
    scrub = null;
    if (done.moved) {
      if (done.text !== null) set(done.text, false);
    } else if (e.type === "pointerup") {
      input.focus();
      input.select();
    }
  };
  input.addEventListener("pointerup", end);
  input.addEventListener("pointercancel", end);
}
