// The timeline, as a compositor's: a ruler of frame numbers whose current-time indicator scrubs,
// every keyframe of the effect on one row, and a row for each animated control with its
// keyframes, which are selected, dragged in time, deleted, copied and pasted (keyframes.js). The
// rows zoom by Ctrl+wheel or the buttons and scroll under the column of names.

import {$, element, clamp, takesText} from "./util.js";
import {page, keyTimes, isAnimated, commit} from "./state.js";
import {refreshState, updateKeyButtons} from "./values.js";
import {render} from "./preview.js";
import {pause} from "./transport.js";
import {isSelected, select, clearSelection, pruneSelection, beginMove, moveBy, deleteSelected,
  copySelected, paste} from "./keyframes.js";

const pad = 8;            // room in a row for a keyframe at its first or last frame
const mostZoom = 96;      // pixels a frame, zoomed in all the way
const labelSpacing = 48;  // pixels at least between the ruler's frame numbers
const view = {scale: null}; // pixels a frame as zoomed; null: the frame range fits the sheet

const namesWidth = () => $("ruler").offsetLeft;

function fitScale() {
  const width = $("sheet").clientWidth - namesWidth() - 2 * pad;
  return Math.max(0.25, width / Math.max(1, page.end - page.start));
}

function scale() {
  const fit = fitScale();
  return view.scale === null ? fit : Math.max(fit, view.scale);
}

// Where frame `t` lies in a row, and the frame (unrounded) under a pointer.
const xOf = (t, s = scale()) => pad + (t - page.start) * s;
const frameAt = (clientX) => page.start + (clientX - $("ruler").getBoundingClientRect().left - pad) / scale();

function drawRuler(s) {
  // A number every 1, 2 or 5 times a power of ten frames, as many as fit.
  const every = (i) => [1, 2, 5][i % 3] * 10 ** Math.floor(i / 3);
  let i = 0;
  while (every(i) * s < labelSpacing) ++i;
  const step = every(i);
  const marks = [];
  for (let t = Math.ceil(page.start / step) * step; t <= page.end; t += step) {
    marks.push(element("span", {dataset: {frame: t}, style: `left: ${xOf(t, s)}px`}, String(t)));
  }
  $("ruler").replaceChildren(...marks);
}

function drawRows(s) {
  $("summary-name").textContent = page.effect;
  $("ticks").replaceChildren(...keyTimes().filter((t) => t >= page.start && t <= page.end)
    .map((t) => element("span", {style: `left: ${xOf(t, s)}px`})));
  const rows = [];
  for (const control of page.controls) {
    const p = page.params[control.name];
    if (!isAnimated(p)) continue;
    const lane = element("div", {className: "lane"});
    for (const {time} of p.keys) {
      if (time < page.start || time > page.end) continue;
      lane.append(element("span", {className: "keyframe", title: `${control.name} at frame ${time}`,
        dataset: {name: control.name, time}, style: `left: ${xOf(time, s)}px`}));
    }
    rows.push(element("div", {className: "trow", dataset: {name: control.name}},
      element("div", {className: "tname", title: control.name}, control.name), lane));
  }
  $("tracks").replaceChildren(...rows);
  showSelection();
}

function showSelection() {
  for (const key of $("tracks").querySelectorAll(".keyframe")) {
    const on = isSelected(key.dataset.name, Number(key.dataset.time));
    key.classList.toggle("selected", on);
    key.setAttribute("aria-selected", String(on));
  }
}

// Draws the timeline anew: the keyframes, the range or the zoom changed.
export function drawTicks() {
  pruneSelection();
  const s = scale();
  const width = 2 * pad + (page.end - page.start) * s;
  drawRows(s);
  drawRuler(s);
  for (const lane of $("sheet").querySelectorAll(".lane")) lane.style.width = `${width}px`;
  $("sheet-content").style.width = `${namesWidth() + width}px`;
  showFrame();
}

// The current-time indicator at the current frame (scrolled into view if `follow`); under the
// names it hides.
function showFrame({follow = false} = {}) {
  const sheet = $("sheet");
  const x = xOf(page.frame);
  const shown = sheet.clientWidth - namesWidth();
  if (follow && (x < sheet.scrollLeft || x > sheet.scrollLeft + shown)) sheet.scrollLeft = x - shown / 2;
  $("cti").style.left = `${namesWidth() + x}px`;
  $("cti").hidden = x < sheet.scrollLeft;
}

export function setFrame(n) {
  page.frame = clamp(Math.round(n), page.start, page.end);
  $("frame").value = page.frame;
  showFrame({follow: true});
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
  $("frame").min = page.start;
  $("frame").max = page.end;
  drawTicks();
}

// Zooms by `factor`, the frame at `clientX` (the current frame's, if none) staying where it is.
function zoom(factor, clientX) {
  const at = clientX ?? $("ruler").getBoundingClientRect().left + xOf(page.frame);
  const frame = frameAt(at);
  const fit = fitScale();
  const s = clamp(scale() * factor, fit, mostZoom);
  view.scale = s <= fit ? null : s;
  drawTicks();
  $("sheet").scrollLeft += $("ruler").getBoundingClientRect().left + xOf(frame) - at;
  showFrame({follow: clientX === undefined});
}

// What the keyframes changed shows everywhere, and is a step of the history unless a drag is on
// its way.
function keysChanged({draft = false} = {}) {
  drawTicks();
  updateKeyButtons();
  refreshState();
  render(draft);
  if (!draft) commit();
}

function inSheet(e) {
  const box = $("sheet-content").getBoundingClientRect();
  return [e.clientX - box.left, e.clientY - box.top];
}

// Selects the keyframes inside the box from where the drag began to the pointer, with those
// selected before it if it began with Shift.
function boxSelect(drag, e) {
  const [x, y] = inSheet(e);
  const [left, top] = [Math.min(x, drag.x), Math.min(y, drag.y)];
  const [width, height] = [Math.abs(x - drag.x), Math.abs(y - drag.y)];
  Object.assign($("marquee").style, {left: `${left}px`, top: `${top}px`, width: `${width}px`, height: `${height}px`});
  $("marquee").hidden = false;
  clearSelection();
  for (const {name, time} of drag.before) select(name, time);
  const sheet = $("sheet-content").getBoundingClientRect();
  for (const key of $("tracks").querySelectorAll(".keyframe")) {
    const box = key.getBoundingClientRect();
    const cx = box.left + box.width / 2 - sheet.left;
    const cy = box.top + box.height / 2 - sheet.top;
    if (cx >= left && cx <= left + width && cy >= top && cy <= top + height) {
      select(key.dataset.name, Number(key.dataset.time));
    }
  }
  showSelection();
}

const selectedNow = () => [...$("tracks").querySelectorAll(".keyframe.selected")]
  .map((k) => ({name: k.dataset.name, time: Number(k.dataset.time)}));

// A drag in the sheet: scrubbing on the ruler, moving keyframes, or a box on a row's empty space.
let drag = null;

function pointerDown(e) {
  if (e.button !== 0 || e.target.closest("button")) return;
  const sheet = $("sheet");
  if (e.target.closest("#ruler")) {
    pause(false);
    drag = {kind: "scrub", moved: false};
    scrub(e);
  } else if (e.target.classList.contains("keyframe")) {
    const name = e.target.dataset.name;
    const time = Number(e.target.dataset.time);
    if (e.shiftKey) {
      select(name, time, !isSelected(name, time));
      showSelection();
      return;
    }
    const wasSelected = isSelected(name, time);
    if (!wasSelected) {
      clearSelection();
      select(name, time);
      showSelection();
    }
    drag = {kind: "keys", x: e.clientX, move: beginMove(), moved: false, only: wasSelected && {name, time}};
  } else if (e.target.closest(".lane")) {
    const [x, y] = inSheet(e);
    drag = {kind: "box", x, y, before: e.shiftKey ? selectedNow() : []};
    boxSelect(drag, e);
  } else {
    return;
  }
  // The keys that follow are the timeline's, not a field's that had the focus.
  sheet.focus({preventScroll: true});
  sheet.setPointerCapture(e.pointerId);
  e.preventDefault();
}

function scrub(e) {
  const n = clamp(Math.round(frameAt(e.clientX)), page.start, page.end);
  if (n === page.frame) return;
  drag.moved = true;
  setFrame(n);
  render(true);
}

function pointerMove(e) {
  if (drag?.kind === "scrub") scrub(e);
  else if (drag?.kind === "box") boxSelect(drag, e);
  else if (drag?.kind === "keys" && moveBy(drag.move, Math.round((e.clientX - drag.x) / scale()))) {
    drag.moved = true;
    keysChanged({draft: true});
  }
}

function pointerUp() {
  const done = drag;
  drag = null;
  if (done?.kind === "scrub" && done.moved) render();
  else if (done?.kind === "box") $("marquee").hidden = true;
  else if (done?.kind === "keys" && done.moved) keysChanged();
  else if (done?.kind === "keys" && done.only) {
    // A click on one of several selected keyframes, without a drag, selects that one alone.
    clearSelection();
    select(done.only.name, done.only.time);
    showSelection();
  }
}

// Fields that take the keys while they are edited: Delete, Ctrl+C and Ctrl+V are theirs.
function keyDown(e) {
  // A menu with the focus takes the arrow keys, as a text field takes every key.
  if (e.altKey || takesText(e.target) || e.target.matches?.("select")) return;
  const command = e.ctrlKey || e.metaKey;
  const key = e.key.toLowerCase();
  if (!command && (key === "delete" || key === "backspace")) {
    if (!deleteSelected()) return;
    keysChanged();
  } else if (command && !e.shiftKey && key === "c") {
    // Text selected on the page copies as text.
    if (String(getSelection()) !== "" || !copySelected()) return;
  } else if (command && !e.shiftKey && key === "v") {
    if (!paste()) return;
    keysChanged();
  } else {
    return;
  }
  e.preventDefault();
}

export function watchTimeline() {
  const sheet = $("sheet");
  sheet.addEventListener("pointerdown", pointerDown);
  sheet.addEventListener("pointermove", pointerMove);
  sheet.addEventListener("pointerup", pointerUp);
  sheet.addEventListener("pointercancel", pointerUp);
  sheet.addEventListener("wheel", (e) => {
    if (!e.ctrlKey && !e.metaKey) return;
    e.preventDefault();
    zoom(e.deltaY < 0 ? 1.25 : 1 / 1.25, e.clientX);
  }, {passive: false});
  sheet.addEventListener("scroll", () => { $("cti").hidden = xOf(page.frame) < sheet.scrollLeft; });
  $("zoom-in").addEventListener("click", () => zoom(1.5));
  $("zoom-out").addEventListener("click", () => zoom(1 / 1.5));
  document.addEventListener("keydown", keyDown);
  // A sheet of another width fits the range anew.
  new ResizeObserver(drawTicks).observe(sheet);
}
