// The renderer and the frame: cameras (perspective and orthographic),
// orbiting, drawing a frame only when something changed, the first
// picture and what comes after it (the room's lighting, the orientation
// gizmo), framing, the ground grid and the standard views.
import * as THREE from 'three';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';
import { ViewHelper } from 'three/addons/helpers/ViewHelper.js';
import { RoomEnvironment } from 'three/addons/environments/RoomEnvironment.js';

const $ = (id) => document.getElementById(id);

export const frame = {
  renderer: null,
  controls: null,
  gizmo: null,  // the orientation gizmo in the corner
  scene: new THREE.Scene(),
  // What is drawn over the scene (pivot tripods, the pick marker): drawn
  // over the resting picture kept, without the scene (moving_view.js).
  overlays: new THREE.Scene(),
  // Draws the frame's picture (moving_view.js): (sceneChanged) -> what to
  // call once the frame is drawn, or nothing.
  drawPicture: () => {},
  perspective: new THREE.PerspectiveCamera(50, 1, 0.01, 10000),
  // Its frustum is set from the perspective camera's view at the target
  // when it takes over (toggleOrthographic); zooming scales it.
  orthographic: new THREE.OrthographicCamera(-1, 1, 1, -1, -10000, 10000),
  camera: null,
  zUp: false,
  size: 1,  // of the whole scene, as framed first
};
frame.camera = frame.perspective;
const timer = new THREE.Timer();

// On `canvas` with its WebGL `context` (start.js); without one, three.js
// tries the canvas again and says why it has none.
export function setUpView(canvas, context) {
  frame.renderer = new THREE.WebGLRenderer({ canvas, context });
  frame.controls = new OrbitControls(frame.camera, frame.renderer.domElement);
  frame.renderer.autoClear = false;
  frame.gizmo = new ViewHelper(frame.camera, frame.renderer.domElement);
  frame.gizmo.center = frame.controls.target;
  $('viewport').prepend(frame.renderer.domElement);
  frame.scene.background = new THREE.Color(0xf4f4f4);
  frame.scene.add(new THREE.HemisphereLight(0xffffff, 0x667788, 1.2));
  new ResizeObserver(resize).observe($('viewport'));
  resize();
  frame.controls.addEventListener('change', () => redraw());
}

// Metals reflect a room, as in a glTF viewer; without it they are black.
// A small one: a software renderer pays for every texel on every pixel.
// The room and the orientation gizmo come once the first picture is drawn
// (marked "first picture" in the page's performance timeline): a software
// renderer takes most of a second to compile their shaders.
let firstPictureDrawn = false;
export function afterFirstPicture() {
  // Runs after the frame that redraw() asked for, in the same frame.
  requestAnimationFrame(() => whenDrawn(() => {
    performance.mark('first picture');
    firstPictureDrawn = true;
    if (!$('viewport')) return;  // the page has ended
    const maker = new THREE.PMREMGenerator(frame.renderer);
    frame.scene.environment = maker.fromScene(new RoomEnvironment(), 0.04, 0.1, 100, { size: 32 }).texture;
    maker.dispose();
    redraw();
  }));
}

// Calls `then` once everything drawn so far is done: a fence in the
// renderer's commands, looked at every few milliseconds (waiting on it
// would hold the page).
export function whenDrawn(then) {
  const gl = frame.renderer.getContext();
  const fence = gl.fenceSync(gl.SYNC_GPU_COMMANDS_COMPLETE, 0);
  gl.flush();
  const look = () => {
    if (gl.getSyncParameter(fence, gl.SYNC_STATUS) !== gl.SIGNALED) return setTimeout(look, 2);
    gl.deleteSync(fence);
    return then();
  };
  look();
}

// Draws one frame when something has changed: a large scene drawn in
// software would otherwise keep the page busy. `frame.drawn` counts them.
// redraw() after a change of the scene (its placements, tints, lights, the
// camera); redrawOverlays() when only what is drawn over it changed.
let frameAsked = false;
let sceneChanged = true;
export function redraw() {
  sceneChanged = true;
  askFrame();
}

export function redrawOverlays() {
  askFrame();
}

function askFrame() {
  if (frameAsked) return;
  frameAsked = true;
  requestAnimationFrame(() => {
    frameAsked = false;
    if (!$('viewport')) return;
    const changed = sceneChanged;
    sceneChanged = false;
    if (frame.gizmo.animating) {
      frame.gizmo.update(timer.update().getDelta());
      redraw();
    }
    const then = frame.drawPicture(changed);
    if (firstPictureDrawn) frame.gizmo.render(frame.renderer);
    if (then) whenDrawn(then);
    frame.drawn = (frame.drawn ?? 0) + 1;
  });
}

function resize() {
  const viewport = $('viewport');
  if (!viewport) return;  // the page has ended
  frame.renderer.setSize(viewport.clientWidth, viewport.clientHeight);
  frame.perspective.aspect = viewport.clientWidth / Math.max(1, viewport.clientHeight);
  frame.perspective.updateProjectionMatrix();
  fitOrthographic(frame.orthographic.top);
  redraw();
}

// The orthographic frustum `half` high above and below the centre, at the
// viewport's aspect.
function fitOrthographic(half) {
  const { orthographic, perspective } = frame;
  orthographic.top = half;
  orthographic.bottom = -half;
  orthographic.right = half * perspective.aspect;
  orthographic.left = -half * perspective.aspect;
  orthographic.zoom = 1;
  orthographic.updateProjectionMatrix();
}

const tanHalfFov = () => Math.tan(THREE.MathUtils.degToRad(frame.perspective.fov / 2));

// Frames `box`, looking from where the camera is.
export function frameBox(box) {
  if (box.isEmpty()) return;
  const { camera, controls } = frame;
  const size = Math.max(box.getSize(new THREE.Vector3()).length(), frame.size / 25);
  const centre = box.getCenter(new THREE.Vector3());
  const direction = camera.position.clone().sub(controls.target).normalize();
  camera.position.copy(centre).addScaledVector(direction, size * 1.1);
  controls.target.copy(centre);
  if (camera.isOrthographicCamera) fitOrthographic(size * 1.1 * tanHalfFov());
  controls.update();
  redraw();
}

// Perspective or orthographic: the other camera takes over from where this
// one looks, showing the target's plane at the same size. Returns whether
// the view is orthographic now.
export function toggleOrthographic() {
  const { camera, controls, orthographic, perspective, renderer } = frame;
  const next = camera.isPerspectiveCamera ? orthographic : perspective;
  const direction = camera.position.clone().sub(controls.target).normalize();
  if (next.isOrthographicCamera) {
    fitOrthographic(camera.position.distanceTo(controls.target) * tanHalfFov());
    next.position.copy(camera.position);
  } else {
    const distance = orthographic.top / orthographic.zoom / tanHalfFov();
    next.position.copy(controls.target).addScaledVector(direction, distance);
  }
  next.quaternion.copy(camera.quaternion);
  next.up.copy(camera.up);
  frame.camera = next;
  controls.object = next;
  frame.gizmo.dispose();
  frame.gizmo = new ViewHelper(next, renderer.domElement);
  frame.gizmo.center = controls.target;
  controls.update();
  redraw();
  return next.isOrthographicCamera;
}

// The first view of `box` (the whole scene), from above and in front, the
// up axis Z or Y; the grid and the world axes at its size, in `units`.
// Returns the size framed.
export function frameFirst(box, zUp, units) {
  const { camera, controls, orthographic, perspective } = frame;
  frame.zUp = zUp;
  const size = Math.max(1, box.getSize(new THREE.Vector3()).length());
  frame.size = size;
  const centre = box.isEmpty() ? new THREE.Vector3() : box.getCenter(new THREE.Vector3());
  for (const eye of [perspective, orthographic]) eye.up.set(0, zUp ? 0 : 1, zUp ? 1 : 0);
  const offset = zUp ? new THREE.Vector3(0.6, -1, 0.7) : new THREE.Vector3(0.6, 0.7, 1);
  camera.position.copy(centre).addScaledVector(offset.normalize(), size * 1.1);
  perspective.near = size / 10000;
  perspective.far = size * 100;
  perspective.updateProjectionMatrix();
  // Nothing between the eye and the target is cut off when zoomed in.
  orthographic.near = -size * 100;
  orthographic.far = size * 100;
  fitOrthographic(orthographic.top);
  controls.target.copy(centre);
  controls.update();
  // Cells of a power of ten, some tens of them across the model.
  const cell = 10 ** Math.floor(Math.log10(size / 10));
  const cells = Math.ceil(size * 2 / cell);
  const grid = new THREE.GridHelper(cells * cell, cells, 0x999999, 0xcccccc);
  if (zUp) grid.rotation.x = Math.PI / 2;
  // Drawn first and under everything: the floor hides it.
  grid.renderOrder = -1;
  grid.material.depthWrite = false;
  $('grid-size').textContent = `grid ${shortText(cell)} ${units}`;
  frame.scene.add(grid, new THREE.AxesHelper(size / 4));
  redraw();
  return size;
}

// Standard views: "top", "front", "side", looking at the target.
export function lookFrom(side) {
  const { camera, controls, zUp } = frame;
  const target = controls.target.clone();
  const distance = camera.position.distanceTo(target);
  // Straight down would leave the orbit without a heading: a hair off it.
  const directions = { top: zUp ? [0, -1e-4, 1] : [0, 1, 1e-4], front: zUp ? [0, -1, 0] : [0, 0, 1], side: [1, 0, 0] };
  camera.position.copy(target).addScaledVector(new THREE.Vector3(...directions[side]).normalize(), distance);
  controls.update();
  redraw();
}

// A world point on the page, in client pixels; `rect`, the canvas's
// place on the page, where the caller has it (asking for it lays the page
// out).
const projected = new THREE.Vector3();
export function screenOf(point, rect = frame.renderer.domElement.getBoundingClientRect()) {
  const p = projected.copy(point).project(frame.camera);
  return { x: rect.left + (p.x + 1) / 2 * rect.width, y: rect.top + (1 - p.y) / 2 * rect.height };
}

// The size of a screen pixel at a world point, in world units, for the
// camera as it is now: a function, asked for many points at once.
export function pixelSizes() {
  const { camera } = frame;
  const height = frame.renderer.domElement.clientHeight || 1;
  if (camera.isOrthographicCamera) {
    const size = (camera.top - camera.bottom) / camera.zoom / height;
    return () => size;
  }
  const forward = camera.getWorldDirection(new THREE.Vector3());
  const eye = camera.getWorldPosition(new THREE.Vector3());
  const perDepth = 2 * Math.tan(THREE.MathUtils.degToRad(camera.fov / 2)) / height;
  const offset = new THREE.Vector3();
  return (point) => perDepth * Math.abs(offset.copy(point).sub(eye).dot(forward));
}

// A number as the page shows it (the server writes the numbers of the
// line that a click sends as the session does).
export const shortText = (value) => String(Number(value.toPrecision(6)));

// The gizmo's axes take a click that lands on them.
export function gizmoClicked(event) {
  timer.update();
  if (!frame.gizmo.handleClick(event)) return false;
  redraw();
  return true;
}
