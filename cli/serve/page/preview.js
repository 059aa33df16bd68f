// The stage, as large as the viewer holds in the layer's shape, and the preview on it.

import {$, clamp} from "./util.js";
import {page, request, requestedLayer} from "./state.js";
import * as server from "./server.js";
import {say} from "./messages.js";
import {placeHandles} from "./handles.js";

// The stage's size in CSS pixels for a layer: as large as the viewer holds, in the layer's shape.
function stageSize([w, h]) {
  const viewer = $("viewer");
  const scale = Math.min((viewer.clientWidth - 24) / w, (viewer.clientHeight - 24) / h);
  return [Math.max(1, Math.floor(w * scale)), Math.max(1, Math.floor(h * scale))];
}

export function fitStage() {
  const [width, height] = stageSize(page.layer);
  $("stage").style.width = `${width}px`;
  $("stage").style.height = `${height}px`;
}

// A request the server answered: its layer is the one the stage shows from now on.
export function accepted(layer) {
  if (layer[0] === page.layer[0] && layer[1] === page.layer[1]) return;
  page.layer = layer;
  fitStage();
  placeHandles();
}

// The preview, at the size the stage shows (its pixels times the device pixel ratio), or a
// draft at half that while something moves. A full frame is asked for at once: the server
// interrupts the render it overtakes and answers that one 204. A draft waits while a render is
// out, and the newest draft wanted goes when it is answered. A late answer is never shown over a
// newer one.

const preview = {
  seq: 0, shown: 0, dropped: 0, drafts: 0, out: 0, draftWanted: false,
  // The last full frame and the last draft the page holds, {number, image}: the server answers
  // a request that names one as its base with the rectangle that changed since.
  held: {full: null, draft: null},
};

// The coarsest 1/N at which the preview of a layer still has a pixel for each of the stage's
// device pixels, within the server's limits.
export function stageDownsample(layer = page.layer) {
  const stage = stageSize(layer);
  const ratio = window.devicePixelRatio || 1;
  const [w, h] = layer;
  const {maxPixels, maxDownsample} = page.info.preview;
  let n = clamp(Math.floor(Math.min(w / (stage[0] * ratio), h / (stage[1] * ratio))), 1, maxDownsample);
  while (n < maxDownsample && Math.ceil(w / n) * Math.ceil(h / n) > maxPixels) ++n;
  return n;
}

export function render(draft = false) {
  if (draft && preview.out > 0) {
    preview.draftWanted = true;
    return;
  }
  if (!draft) preview.draftWanted = false;
  sendPreview(draft);
}

async function sendPreview(draft) {
  const mine = ++preview.seq;
  const layer = requestedLayer();
  const full = stageDownsample(layer);
  const downsample = draft ? Math.min(page.info.preview.maxDownsample, 2 * full) : full;
  const kind = draft ? "draft" : "full";
  const started = performance.now();
  preview.out++;
  server.busy(+1);
  try {
    const base = preview.held[kind]?.number;
    const response = await server.preview(request({downsample, ...(base ? {base} : {})}));
    if (response.status === 204 || mine < preview.shown) {
      preview.dropped++;
      // Requests travel on several connections, so the server may take a draft sent before
      // this frame as the newer one and drop this frame for it: the newest full frame the page
      // asked for is asked for again, or the draft would stay on the stage.
      if (response.status === 204 && !draft && mine === preview.seq) render();
      return;
    }
    const header = (name) => response.headers.get(name);
    const [width, height] = [Number(header("X-Width")), Number(header("X-Height"))];
    const pixels = new Uint8ClampedArray(await response.arrayBuffer());
    if (mine < preview.shown) {
      preview.dropped++;
      return;
    }
    const held = preview.held[kind];
    const changed = header("X-Changed")?.split(",").map(Number) ?? null;
    if (changed && held?.number !== Number(header("X-Base"))) {
      // What it changed is no longer what the page holds: ask again.
      preview.dropped++;
      render(draft);
      return;
    }
    preview.shown = mine;
    accepted(layer);
    if (changed) {
      const [x, y, w] = changed;
      for (let row = 0; row < changed[3]; ++row) {
        held.image.data.set(pixels.subarray(4 * w * row, 4 * w * (row + 1)), 4 * ((y + row) * width + x));
      }
      held.number = Number(header("X-Preview"));
    } else {
      preview.held[kind] = {number: Number(header("X-Preview")), image: new ImageData(pixels, width, height)};
    }
    show(preview.held[kind], changed, {downsample, draft});
    say("render", null);
    say("module", response.headers.get("X-Module-Message"), "note");
    const ms = Math.round(performance.now() - started);
    $("status").textContent = `${width}\u00d7${height} at ${$("depth").value} bits` +
      `${downsample > 1 ? ` (1/${downsample}${draft ? ", draft" : ""})` : ""}, ${ms} ms` +
      (preview.dropped ? `, ${preview.dropped} dropped` : "");
  } catch (e) {
    if (mine >= preview.shown) {
      preview.shown = mine;
      say("render", e.message);
    }
  } finally {
    document.body.dataset.shown = String(preview.shown);
    preview.out--;
    server.busy(-1);
    if (preview.draftWanted && preview.out === 0) render(true);
  }
}

// Shows a frame the page holds; where the canvas shows what it was before `changed` (x, y, width,
// height), only that rectangle is drawn.
function show({number, image}, changed, {downsample, draft}) {
  const canvas = $("preview");
  const [before, after] = [canvas.dataset.kind, draft ? "draft" : "full"];
  if (canvas.width !== image.width || canvas.height !== image.height) {
    canvas.width = image.width;
    canvas.height = image.height;
  }
  if (changed && before === after) {
    canvas.getContext("2d").putImageData(image, 0, 0, ...changed);
  } else {
    canvas.getContext("2d").putImageData(image, 0, 0);
  }
  canvas.dataset.kind = after;
  canvas.dataset.preview = String(number);
  canvas.dataset.downsample = String(downsample);
  canvas.dataset.draft = String(draft);
  if (draft) preview.drafts++;
  document.body.dataset.drafts = String(preview.drafts);
}
