// The page of `ondrel serve`: it loads the effects, wires the header's and the timeline's fields
// to the parts that answer them, and starts from the work the browser kept or the server's
// recipe (work.js).

import {$, element} from "./util.js";
import {page, commit, request, requestedLayer} from "./state.js";
import * as server from "./server.js";
import {say} from "./messages.js";
import {fitStage, render, stageDownsample} from "./preview.js";
import {refreshState} from "./values.js";
import {setFrame, setRange, watchTimeline} from "./timeline.js";
import {play, pause, togglePlay, goToKey, watchKeys} from "./transport.js";
import {watchHandles} from "./handles.js";
import {watchPanel} from "./panel.js";
import {showEffect, startWork, watchWork} from "./work.js";

function changeLayer() {
  $("size-label").hidden = $("background").value === "input";
  refreshState();
  render();
  commit();
}

async function save() {
  try {
    const text = await server.recipe({...request(), ...page.output});
    const link = element("a", {href: URL.createObjectURL(new Blob([text], {type: "application/json"})),
      download: `${page.effect}.json`});
    link.click();
    URL.revokeObjectURL(link.href);
    say("save", null);
  } catch (e) {
    say("save", e.message);
  }
}

async function start() {
  page.info = await server.effects();
  $("effect").replaceChildren(...page.info.effects.map((n) => element("option", {value: n}, n)));
  if (page.info.input) {
    $("background").append(element("option", {value: "input"}, page.info.input.name));
    $("background").value = "input";
  }
  $("size").value = page.info.size;
  $("fps").value = page.fps;
  $("start").value = page.start;
  $("end").value = page.end;
  setRange();
  $("frame").value = page.frame;
  $("size-label").hidden = $("background").value === "input";
  page.layer = requestedLayer();

  $("effect").addEventListener("change", async () => {
    if (await showEffect($("effect").value)) commit();
  });
  $("depth").addEventListener("change", () => { render(); commit(); });
  $("background").addEventListener("change", changeLayer);
  $("size").addEventListener("change", changeLayer);
  $("save").addEventListener("click", save);
  $("play").addEventListener("click", togglePlay);
  $("previous-key").addEventListener("click", () => goToKey(-1));
  $("next-key").addEventListener("click", () => goToKey(+1));
  $("frame").addEventListener("change", () => { pause(false); setFrame(Number($("frame").value)); render(); });
  for (const id of ["start", "end"]) {
    $(id).addEventListener("change", () => { setRange(); setFrame(page.frame); render(); commit(); });
  }
  $("fps").addEventListener("change", () => {
    page.fps = $("fps").value.trim();
    if (page.playing) { pause(false); play(); }
    refreshState();
    render();
    commit();
  });
  watchHandles();
  watchPanel();
  watchKeys();
  watchTimeline();
  watchWork();
  // A stage of another size wants the preview at another size, once the resizing rests.
  let resized = 0;
  new ResizeObserver(() => {
    fitStage();
    clearTimeout(resized);
    resized = setTimeout(() => {
      const shown = $("preview").dataset;
      if (shown.draft === "false" && Number(shown.downsample) !== stageDownsample()) render();
    }, 150);
  }).observe($("viewer"));
  fitStage();
  await startWork();
}

start().catch((e) => say("start", e.message));
