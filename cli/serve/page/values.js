// What the panel shows at the current frame: each parameter's value and the module's graying as
// the server answers them, and the keyframe buttons as the recipe has them.

import {$} from "./util.js";
import {page, request, requestedLayer, isAnimated, keyTimes, keyTime} from "./state.js";
import * as server from "./server.js";
import {say} from "./messages.js";
import {accepted} from "./preview.js";
import {placeHandles} from "./handles.js";

// One request at a time: a change while one is out asks again once it is answered, with what is
// set by then.
const asked = {seq: 0, running: false, again: false};

export async function refreshState() {
  if (asked.running) {
    asked.again = true;
    return;
  }
  asked.running = true;
  server.busy(+1);
  try {
    do {
      asked.again = false;
      const mine = ++asked.seq;
      const layer = requestedLayer();
      try {
        const answer = await server.state(request());
        if (asked.again || mine !== asked.seq) continue;
        accepted(layer);
        showState(answer);
        say("state", answer.error);
      } catch (e) {
        if (!asked.again) say("state", e.message);
      }
    } while (asked.again);
  } finally {
    asked.running = false;
    server.busy(-1);
  }
}

function showState(answer) {
  page.values = answer.values;
  page.disabled = new Set(answer.disabled);
  const hidden = new Set(answer.hidden);
  for (const [index, entry] of page.rows) {
    entry.set(page.values[index]);
    const grayed = page.disabled.has(index);
    entry.row.classList.toggle("disabled", grayed);
    entry.row.hidden = hidden.has(index);
    for (const input of entry.row.querySelectorAll("input, select, button:not(.twirly)")) {
      input.disabled = grayed;
    }
    if (entry.handle) entry.handle.classList.toggle("disabled", grayed || hidden.has(index));
  }
  placeHandles();
  updateKeyButtons();
}

export function updateKeyButtons() {
  for (const [index, entry] of page.rows) {
    const p = page.params[page.controls[index].name];
    const animated = isAnimated(p);
    entry.stopwatch.setAttribute("aria-pressed", String(animated));
    entry.navigator.hidden = !animated;
    entry.key.classList.toggle("on", animated && p.keys.some((k) => k.time === page.frame));
    const grayed = page.disabled.has(index);
    entry.previous.disabled = grayed || !animated || keyTime(-1, p) === null;
    entry.next.disabled = grayed || !animated || keyTime(+1, p) === null;
    if (entry.interpolation) {
      entry.interpolation.hidden = !animated;
      entry.interpolation.value = (animated && p.interpolation) || "linear";
    }
  }
  const times = keyTimes();
  $("previous-key").disabled = !times.some((t) => t < page.frame);
  $("next-key").disabled = !times.some((t) => t > page.frame);
}

