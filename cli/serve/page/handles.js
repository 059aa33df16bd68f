// Handles on the stage. A drag takes the handle on top; where handles lie on one another,
// Alt-drag takes the next one down, and a click without a drag opens a menu of them all: the one
// picked comes on top.

import {$, element, clamp, numberText} from "./util.js";
import {page} from "./state.js";
import {setValue} from "./controls.js";

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
