// Handles on the stage, each where the render draws its point. A drag takes the handle on top;
// where handles lie on one another, Alt-drag takes the next one down, and a click without a drag
// opens a menu of them all: the one picked comes on top.

import {$, element, clamp, numberText} from "./util.js";
import {page} from "./state.js";
import {setValue} from "./controls.js";

const handles = {drag: null, top: 2000, lastTaken: null};

// The controls of the effect's "Transform" group, by name.
function transformControls() {
  const start = page.controls.findIndex((c) => c.kind === "group" && c.name === "Transform");
  const found = {};
  for (let i = start + 1; start >= 0 && i < page.controls.length && page.controls[i].kind !== "group end"; ++i) {
    found[page.controls[i].name] = page.controls[i];
  }
  return found;
}

// What a point control is to the stage: the transform's anchor point or position, or one of the
// shape's own points, which the transform places.
export function pointRole(control) {
  const transform = transformControls();
  if (transform["Anchor Point"] === control) return "anchor";
  if (transform.Position === control) return "position";
  return "shape";
}

// The placement the render gives the shape at the current frame, as the module applies it: about
// the anchor point, rotate (clockwise on the screen for a positive angle) and scale by the signed
// factor, then move by the position's offset from the layer's centre. Without a transform the
// shape's points are where their values say.
function placement() {
  const t = transformControls();
  const value = (c, fallback) => (c && typeof page.values[c.index] === "string" ? page.values[c.index] : fallback);
  const [w, h] = page.layer;
  const anchor = value(t["Anchor Point"], `${w / 2},${h / 2}`).split(",").map(Number);
  const position = value(t.Position, `${w / 2},${h / 2}`).split(",").map(Number);
  const radians = (Number(value(t.Rotation, "0")) * Math.PI) / 180;
  const scale = Number(value(t.Scale, "100")) / 100;
  const [c, s] = [Math.cos(radians), Math.sin(radians)];
  const shift = [anchor[0] + position[0] - w / 2, anchor[1] + position[1] - h / 2];
  return {
    anchor, position, shift,
    apply([x, y]) {
      const [dx, dy] = [x - anchor[0], y - anchor[1]];
      return [(dx * c - dy * s) * scale + shift[0], (dx * s + dy * c) * scale + shift[1]];
    },
    // The shape's point drawn at [x, y]; null where a scale of 0 draws every point at one place.
    invert([x, y]) {
      if (scale === 0) return null;
      const [dx, dy] = [(x - shift[0]) / scale, (y - shift[1]) / scale];
      return [dx * c + dy * s + anchor[0], -dx * s + dy * c + anchor[1]];
    },
  };
}

// Where each role's handle is drawn, and the value that draws it at a layer point: the anchor
// point where the shape turns about (the anchor moved by the position's offset), the position at
// its own value, a shape's point where the render draws it.
const roles = {
  anchor: {
    at: (p) => p.shift,
    valueAt: (p, [x, y]) => [x - p.shift[0] + p.anchor[0], y - p.shift[1] + p.anchor[1]],
  },
  position: {at: (p) => p.position, valueAt: (p, point) => point},
  shape: {at: (p, value) => p.apply(value), valueAt: (p, point) => p.invert(point)},
};

// Puts every handle where the render draws its point now. The render paints pixel x,y by the point
// x,y, so that a point lies in the middle of its pixel on the stage.
export function placeHandles() {
  const p = placement();
  const [w, h] = page.layer;
  for (const entry of page.rows.values()) {
    const text = page.values[entry.index];
    if (!entry.handle || typeof text !== "string") continue;
    const [x, y] = roles[entry.handle.dataset.role].at(p, text.split(",").map(Number));
    entry.handle.style.left = `${(100 * (x + 0.5)) / w}%`;
    entry.handle.style.top = `${(100 * (y + 0.5)) / h}%`;
  }
}

function handlesAt(x, y) {
  return document.elementsFromPoint(x, y)
    .filter((e) => e.classList?.contains("handle") && !e.classList.contains("disabled"));
}

function moveHandle(handle, event, draft) {
  const control = page.controls[Number(handle.dataset.index)];
  const box = $("stage").getBoundingClientRect();
  const [w, h] = page.layer;
  const px = clamp((event.clientX - box.left) / box.width, -1, 2) * w - 0.5;
  const py = clamp((event.clientY - box.top) / box.height, -1, 2) * h - 0.5;
  const value = roles[handle.dataset.role].valueAt(placement(), [px, py]);
  if (value) setValue(control, `${numberText(value[0], 1)},${numberText(value[1], 1)}`, {draft});
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

export function watchHandles() {
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
