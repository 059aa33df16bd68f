// The work as a whole on the page: showing an effect with its own parameters, putting a work
// back (a step of the history, what the browser kept, a recipe), where a page starts from, undo
// and redo by the keys and the buttons, and recipe files opened by the button or dropped.

import {$, clamp, takesText} from "./util.js";
import {page, work, commit, undo, redo, beginHistory, keptWork, isNewRecipe, tookRecipe} from "./state.js";
import * as server from "./server.js";
import {say} from "./messages.js";
import {render} from "./preview.js";
import {refreshState, updateKeyButtons} from "./values.js";
import {setRange, drawTicks} from "./timeline.js";
import {pause} from "./transport.js";
import {buildControls} from "./controls.js";

// Shows the effect's controls with its own parameters; answers whether it could.
export async function showEffect(name) {
  pause(false);
  let session = page.sessions.get(name);
  try {
    if (!session) {
      const answer = await server.controls(name);
      session = {controls: answer.controls, about: answer.about};
      page.sessions.set(name, session);
    }
    say("controls", null);
  } catch (e) {
    say("controls", e.message);
    $("effect").value = page.effect;
    return false;
  }
  const params = page.byEffect[name] ??= {};
  // A work kept from an older module may name what this one lacks.
  for (const named of Object.keys(params)) {
    if (!session.controls.some((c) => c.name === named)) delete params[named];
  }
  page.params = params;
  $("effect").value = name;
  if (page.effect !== name || page.rows.size === 0) {
    page.effect = name;
    $("about-text").textContent = session.about.replace(/\r/g, "\n");
    // Built anew only for another effect: a field keeps the focus through an undo.
    buildControls(session.controls);
  } else {
    updateKeyButtons();
  }
  drawTicks();
  await refreshState();
  render();
  return true;
}

// Puts a work on the page: the settings, every effect's parameters, and its effect shown.
async function restore(w) {
  $("depth").value = String(w.depth);
  $("background").value = w.background === "input" && page.info.input ? "input" : "built-in";
  $("size").value = w.size;
  $("size-label").hidden = $("background").value === "input";
  page.fps = $("fps").value = w.fps;
  $("start").value = w.start;
  $("end").value = w.end;
  setRange();
  page.frame = clamp(page.frame, page.start, page.end);
  $("frame").value = page.frame;
  page.ranged = w.ranged;
  page.output = w.output;
  page.byEffect = structuredClone(w.params);
  await showEffect(w.effect);
}

// One work put back after another, in the order asked.
let restoring = Promise.resolve();
function show(w) {
  if (w) restoring = restoring.then(() => restore(w)).catch((e) => say("restore", e.message));
  return restoring;
}

export const undoWork = () => show(undo());
export const redoWork = () => show(redo());

// The work with a recipe's in it (as the server read it): its effect with its parameters and
// every setting it gives; the other effects keep theirs, and so does the range when it gives none.
function withRecipe(base, recipe) {
  const w = structuredClone(base);
  Object.assign(w, {effect: recipe.effect, depth: recipe.depth, fps: recipe.fps, size: recipe.size,
    background: recipe.background, ranged: recipe.frames !== null});
  if (recipe.frames) [w.start, w.end] = recipe.frames;
  w.output = recipe.output === null ? null
    : {output: recipe.output, ...(recipe.compression === null ? {} : {compression: recipe.compression})};
  w.params[recipe.effect] = recipe.params;
  return w;
}

// What a page starts from: the work the browser kept, unless the server's starting recipe is
// new to it (nothing kept, or kept before the server had this recipe); then the recipe, over the
// kept work's other effects.
export async function startWork() {
  const {recipe} = await server.start();
  let w = keptWork() ?? work();
  const fresh = recipe !== null && isNewRecipe(recipe);
  if (fresh) w = withRecipe(w, recipe);
  if (!page.info.effects.includes(w.effect)) w.effect = page.info.effects[0];
  await show(w);
  if (fresh) {
    tookRecipe(recipe);
    say("recipe", recipe.note, "note");
  }
  beginHistory();
}

// A recipe file the user gave the page, read by the server as `ondrel render --recipe` reads one:
// one step of the history.
async function openRecipe(file) {
  try {
    const recipe = await server.open({name: file.name, text: await file.text()});
    await show(withRecipe(work(), recipe));
    commit();
    say("recipe", recipe.note, "note");
  } catch (e) {
    say("recipe", e.message);
  }
}

export function watchWork() {
  // A field being typed in, with its text from before: until the edit is committed (its change)
  // or left, Ctrl+Z is the field's own, and the page's once its text is back to that.
  const editing = new Map();
  document.addEventListener("beforeinput", (e) => {
    if (takesText(e.target) && !editing.has(e.target)) editing.set(e.target, e.target.value);
  }, true);
  for (const type of ["change", "focusout"]) document.addEventListener(type, (e) => editing.delete(e.target), true);
  document.addEventListener("keydown", (e) => {
    if (!(e.ctrlKey || e.metaKey) || e.altKey) return;
    const key = e.key.toLowerCase();
    const again = (key === "z" && e.shiftKey) || (key === "y" && !e.shiftKey);
    if (key !== "z" && !again) return;
    if (editing.has(e.target) && e.target.value !== editing.get(e.target)) return;
    editing.delete(e.target);
    e.preventDefault();
    if (again) redoWork(); else undoWork();
  });
  $("undo").addEventListener("click", undoWork);
  $("redo").addEventListener("click", redoWork);

  const picker = $("recipe-file");
  $("open").addEventListener("click", () => picker.click());
  picker.addEventListener("change", () => {
    const [file] = picker.files;
    picker.value = ""; // the same file again is a change too
    if (file) openRecipe(file);
  });
  // A file dropped anywhere on the page is opened, never shown in the page's place.
  const dropping = (on) => document.body.classList.toggle("dropping", on);
  document.addEventListener("dragover", (e) => {
    if (!e.dataTransfer?.types.includes("Files")) return;
    e.preventDefault();
    dropping(true);
  });
  document.addEventListener("dragleave", (e) => { if (!e.relatedTarget) dropping(false); });
  document.addEventListener("drop", (e) => {
    dropping(false);
    const [file] = e.dataTransfer?.files ?? [];
    if (!file) return;
    e.preventDefault();
    if (/\.json$/i.test(file.name) || file.type === "application/json") openRecipe(file);
    else say("recipe", `${file.name}: a recipe is a .json file`);
  });
}
