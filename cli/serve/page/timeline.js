// The timeline: the current frame, the frame range and the ticks of the effect's keyframes on
// the track.

import {$, element, clamp} from "./util.js";
import {page, keyTimes} from "./state.js";
import {refreshState, updateKeyButtons} from "./values.js";

export function drawTicks() {
  const ticks = $("ticks");
  ticks.replaceChildren();
  const span = Math.max(1, page.end - page.start);
  for (const t of keyTimes()) {
    if (t < page.start || t > page.end) continue;
    ticks.append(element("span", {style: `left: ${(100 * (t - page.start)) / span}%`}));
  }
}

export function setFrame(n) {
  page.frame = clamp(Math.round(n), page.start, page.end);
  $("frame").value = page.frame;
  $("time").value = page.frame;
  updateKeyButtons();
  refreshState();
}

export function setRange() {
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
