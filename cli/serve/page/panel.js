// The controls panel's width: dragged by the splitter between it and the viewer (or moved by the
// arrow keys while the splitter has the focus), and kept in the browser for the next page. The
// stage follows the viewer's size by itself.

import {$, clamp} from "./util.js";

const kept = "ondrel-serve:panel-width";
// The room the panel and the viewer each keep, whatever the width asked.
const narrowest = 260;

function setWidth(width) {
  const px = Math.round(clamp(width, narrowest, Math.max(narrowest, innerWidth - narrowest)));
  document.querySelector("main").style.setProperty("--panel-width", `${px}px`);
  return px;
}

function keep(px) {
  try { localStorage.setItem(kept, String(px)); } catch { /* a browser that keeps nothing */ }
}

export function watchPanel() {
  let stored = null;
  try { stored = Number(localStorage.getItem(kept)); } catch { /* nothing kept */ }
  if (stored > 0) setWidth(stored);
  const splitter = $("splitter");
  let drag = null;
  splitter.addEventListener("pointerdown", (e) => {
    if (e.button !== 0) return;
    e.preventDefault();
    splitter.setPointerCapture(e.pointerId);
    drag = {x: e.clientX, width: $("panel").getBoundingClientRect().width};
    splitter.classList.add("moving");
  });
  splitter.addEventListener("pointermove", (e) => { if (drag) setWidth(drag.width + e.clientX - drag.x); });
  const end = (e) => {
    if (!drag) return;
    keep(setWidth(drag.width + e.clientX - drag.x));
    drag = null;
    splitter.classList.remove("moving");
  };
  splitter.addEventListener("pointerup", end);
  splitter.addEventListener("pointercancel", end);
  splitter.addEventListener("keydown", (e) => {
    const by = {ArrowLeft: -16, ArrowRight: 16}[e.key];
    if (!by) return;
    e.preventDefault();
    keep(setWidth($("panel").getBoundingClientRect().width + by));
  });
}
