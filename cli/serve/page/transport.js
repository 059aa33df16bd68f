// The transport: playing the frame range, stepping frame by frame and from keyframe to keyframe,
// by the buttons and the keys a compositor's timeline answers.

import {$} from "./util.js";
import {page, keyTime} from "./state.js";
import {say} from "./messages.js";
import {render} from "./preview.js";
import {setFrame} from "./timeline.js";

// Frames per second as the rate field gives it: "24", "29.97", "30000/1001".
function frameRate() {
  const m = /^(\d+(?:\.\d+)?)(?:\/(\d+(?:\.\d+)?))?$/.exec(page.fps);
  const rate = m ? Number(m[1]) / Number(m[2] ?? 1) : NaN;
  return Number.isFinite(rate) && rate > 0 ? rate : null;
}

// Plays the frame range over and over at the sequence's rate, in drafts, until paused.
export function play() {
  const rate = frameRate();
  if (rate === null) {
    say("play", "Frame rate: give frames per second to play at, such as 24 or 30000/1001");
    return;
  }
  say("play", null);
  page.playing = {from: page.frame, since: performance.now(), rate};
  $("play").setAttribute("aria-pressed", "true");
  $("play").title = "Pause (Space)";
  requestAnimationFrame(playFrame);
}

function playFrame(now) {
  const playing = page.playing;
  if (!playing) return;
  const length = page.end - page.start + 1;
  const elapsed = Math.floor(((now - playing.since) * playing.rate) / 1000);
  const n = page.start + (((playing.from - page.start + Math.max(0, elapsed)) % length) + length) % length;
  if (n !== page.frame) {
    setFrame(n);
    render(true);
  }
  requestAnimationFrame(playFrame);
}

// Stops playing; the frame it stopped at renders in full unless the caller renders next.
export function pause(renderNow = true) {
  if (!page.playing) return;
  page.playing = null;
  $("play").setAttribute("aria-pressed", "false");
  $("play").title = "Play (Space)";
  if (renderNow) render();
}

export function togglePlay() { if (page.playing) pause(); else play(); }

function step(frames, {draft = false} = {}) {
  pause(false);
  setFrame(page.frame + frames);
  render(draft);
}

export function goToKey(direction, p) {
  const t = keyTime(direction, p);
  if (t === null) return;
  pause(false);
  setFrame(t);
  render();
}

// The keys a compositor's timeline answers, unless a field that takes them has the focus.
export function watchKeys() {
  const takesKeys = (target) => target.matches?.("input:not([type=range]):not([type=button]), select, textarea");
  let stepping = false; // an arrow key held down steps in drafts
  const stepBy = (e, frames) => {
    stepping ||= e.repeat;
    step(frames, {draft: e.repeat});
  };
  document.addEventListener("keydown", (e) => {
    if (e.ctrlKey || e.metaKey || e.altKey || takesKeys(e.target)) return;
    const onSlider = e.target.matches?.("input[type=range]");
    const by = e.shiftKey ? 10 : 1;
    switch (e.key) {
      case " ": if (!e.repeat) togglePlay(); break;
      case "ArrowLeft": case "PageUp": if (onSlider) return; stepBy(e, -by); break;
      case "ArrowRight": case "PageDown": if (onSlider) return; stepBy(e, by); break;
      case "Home": if (onSlider) return; step(page.start - page.frame); break;
      case "End": if (onSlider) return; step(page.end - page.frame); break;
      case "j": case "J": goToKey(-1); break;
      case "k": case "K": goToKey(+1); break;
      default: return;
    }
    e.preventDefault();
  });
  document.addEventListener("keyup", (e) => {
    // Letting a held arrow key go shows the frame in full.
    if (stepping) {
      stepping = false;
      render();
    }
    // Space on a button would press it as well.
    if (e.key === " " && e.target.matches?.("button")) e.preventDefault();
  });
}
