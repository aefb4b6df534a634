// What a frame draws. While the view moves (orbiting, panning, zooming,
// framing, the orientation gizmo turning it), the scene straight to the
// screen, a large one's batches by their stand-ins (reduced_batches.js);
// once it rests (REST_MS after the last moving frame was drawn, or at once
// when anything else asks for a frame), the whole scene, kept
// (kept_picture.js); at rest, what changes over the scene alone (a tint,
// the tripods, the pick marker) is drawn over the kept picture.
import { frame, redraw } from './frame.js';
import { drawn } from './drawn_nodes.js';
import { forgetKept, keepWhole, keptValid, showKept } from './kept_picture.js';
import { drawReduced } from './reduced_batches.js';

const REST_MS = 200;

// The last frame: its kind ("moving": the whole scene while the view
// moves, "reduced": its stand-ins, "whole": the scene drawn and kept,
// "kept": the kept picture shown), and the frames drawn so far.
export const lastFrame = { kind: null, count: 0, triangles: 0 };

// Where the camera looked at the last frame: a frame that looks from
// elsewhere moves the view.
const pose = { camera: null, elements: new Float64Array(32) };
function cameraMoved() {
  const { camera } = frame;
  camera.updateMatrixWorld();
  const now = [...camera.matrixWorld.elements, ...camera.projectionMatrix.elements];
  const moved = pose.camera !== null && (pose.camera !== camera || now.some((v, i) => v !== pose.elements[i]));
  pose.camera = camera;
  pose.elements.set(now);
  return moved;
}

// The rest is timed from the moment the renderer has drawn the last
// moving frame whole (the orientation gizmo too): a software renderer may
// take longer than REST_MS for one.
let rest = null;
let movingFrames = 0;
function restAfter() {
  const number = ++movingFrames;
  return () => {
    if (number === movingFrames) rest = setTimeout(redraw, REST_MS);
  };
}

function drawMoving() {
  const { renderer } = frame;
  forgetKept();
  clearTimeout(rest);
  renderer.clear();
  const reduced = drawReduced(drawn.batches, () => renderer.render(frame.scene, frame.camera));
  return { kind: reduced ? 'reduced' : 'moving', ...renderer.info.render, then: restAfter() };
}

// Draws the frame's picture; `sceneChanged`, whether anything but the
// overlays changed since the last frame. Returns what to call once the
// frame is drawn, if anything.
function drawPicture(sceneChanged) {
  let drawnNow;
  if (cameraMoved()) {
    drawnNow = drawMoving();
  } else if (sceneChanged || !keptValid()) {
    drawnNow = { kind: 'whole', ...keepWhole() };
    showKept();
  } else {
    showKept();
    drawnNow = { kind: 'kept', calls: frame.sceneDraws, triangles: lastFrame.triangles };
  }
  frame.sceneDraws = drawnNow.calls;
  frame.renderer.render(frame.overlays, frame.camera);
  Object.assign(lastFrame, { kind: drawnNow.kind, count: lastFrame.count + 1, triangles: drawnNow.triangles });
  return drawnNow.then;
}

export function startMovingView() {
  frame.drawPicture = drawPicture;
}

// The next frame drawn whole wherever the camera looked before: the first
// picture of the scene, framed, is not a view moving.
export function drawWholeNext() {
  pose.camera = null;
}
