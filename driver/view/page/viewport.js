// The 3D viewport: the scene's meshes (or markers) placed where the host
// says that each node's object sits, pivot tripods, the grid and the world
// axes, and picking of points on the model.
import * as THREE from 'three';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';
import { ViewHelper } from 'three/addons/helpers/ViewHelper.js';
import { RoomEnvironment } from 'three/addons/environments/RoomEnvironment.js';
import { loadGltf, loaderWorlds } from './gltf_scene.js';
import { nearestCorner } from './snapping.js';

const SNAP_PIXELS = 10;
let gridUnits = 'm';
const $ = (id) => document.getElementById(id);

const view = {
  placements: new Map(), // index -> {world, object} matrices
  instances: new Map(),  // index -> [{mesh, id, local}]: where the node's object is drawn
  drawn: new Map(),      // index -> {pivot, object}: the glTF file's Object3Ds of the node
  undrawn: [],           // what of the file could not be drawn
  tripods: null,         // lines: a tripod at the pivot of each node shown
  meshes: [],            // everything a click can hit: the file's meshes, markers
  model: new THREE.Group(),
  selected: [],
  upAxis: 'y',
  pivotScale: 1,
  showAllPivots: false,
  pickMode: false,
};

// What the page does with a click on the model: (found, event), found
// being {point, node} or null.
export const hooks = { click: () => {}, hover: () => {} };

function rowsToMatrix(rows) {
  const [x, y, z, t] = rows;
  return new THREE.Matrix4().set(x[0], y[0], z[0], t[0], x[1], y[1], z[1], t[1], x[2], y[2], z[2], t[2], 0, 0, 0, 1);
}

const instanceMatrix = new THREE.Matrix4();

// Where the host says a node's pivot and object are.
export function placeNode(node) {
  const placement = { world: rowsToMatrix(node.world), object: rowsToMatrix(node.object),
    rows: { world: node.world, object: node.object } };
  view.placements.set(node.index, placement);
  for (const { mesh, id, local } of view.instances.get(node.index) ?? []) {
    mesh.setMatrixAt(id, instanceMatrix.multiplyMatrices(placement.object, local));
    mesh.instanceMatrix.needsUpdate = true;
    mesh.boundingSphere = null;  // made again when next needed
    mesh.boundingBox = null;
  }
  const drawn = view.drawn.get(node.index);
  if (drawn) {
    setMatrix(drawn.pivot, drawn.pivot === drawn.object ? placement.object : placement.world);
    setMatrix(drawn.object, placement.object);
  }
  if (view.tripods) placeTripod(view.tripods, node.index);
  redraw();
}

function setMatrix(object, matrix) {
  object.matrixAutoUpdate = false;
  object.matrix.copy(matrix);
  object.matrixWorldNeedsUpdate = true;
}

// --- The 3D view -------------------------------------------------------

// Smoothed edges cost a software renderer several times the work: a large
// scene is drawn without.
const SMOOTH_UP_TO_NODES = 10000;
let renderer = null;
let controls = null;
let gizmo = null;  // the orientation gizmo in the corner
const clock = new THREE.Clock();
const scene3d = new THREE.Scene();
const camera = new THREE.PerspectiveCamera(50, 1, 0.01, 10000);
const marker = new THREE.Mesh(new THREE.SphereGeometry(1, 16, 8), new THREE.MeshBasicMaterial({ color: 0xff2060 }));
marker.visible = false;

function setUpView(nodeCount) {
  renderer = new THREE.WebGLRenderer({ antialias: nodeCount <= SMOOTH_UP_TO_NODES, preserveDrawingBuffer: true });
  controls = new OrbitControls(camera, renderer.domElement);
  renderer.autoClear = false;
  gizmo = new ViewHelper(camera, renderer.domElement);
  gizmo.center = controls.target;
  $('viewport').prepend(renderer.domElement);
  scene3d.background = new THREE.Color(0xf4f4f4);
  // Metals reflect a room, as in a glTF viewer; without it they are black.
  // A small one: a software renderer pays for every texel on every pixel.
  scene3d.environment = new THREE.PMREMGenerator(renderer).fromScene(new RoomEnvironment(), 0.04, 0.1, 100, { size: 32 }).texture;
  scene3d.add(new THREE.HemisphereLight(0xffffff, 0x667788, 1.2));
  scene3d.add(marker);
  new ResizeObserver(resize).observe($('viewport'));
  resize();
  controls.addEventListener('change', redraw);
}

// Draws one frame when something has changed: a large scene drawn in
// software would otherwise keep the page busy.
let frameAsked = false;
function redraw() {
  if (frameAsked) return;
  frameAsked = true;
  requestAnimationFrame(() => {
    frameAsked = false;
    if (!$('viewport')) return;
    if (gizmo.animating) {
      gizmo.update(clock.getDelta());
      redraw();
    }
    renderer.clear();
    renderer.render(scene3d, camera);
    gizmo.render(renderer);
  });
}

function resize() {
  const viewport = $('viewport');
  if (!viewport) return;  // the page has ended
  renderer.setSize(viewport.clientWidth, viewport.clientHeight);
  camera.aspect = viewport.clientWidth / Math.max(1, viewport.clientHeight);
  camera.updateProjectionMatrix();
  redraw();
}

// Tripods (X red, Y green, Z blue) at the pivots of `nodes`, in one set
// of lines (6 points a node), so that many cost one draw.
function makeTripods(nodes) {
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('position', new THREE.BufferAttribute(new Float32Array(nodes.length * 18), 3));
  const colors = new Float32Array(nodes.length * 18);
  const axisColors = [[1, 0, 0], [0, 0.75, 0], [0, 0, 1]];
  for (let k = 0; k < nodes.length * 6; ++k) colors.set(axisColors[Math.floor(k / 2) % 3], k * 3);
  geometry.setAttribute('color', new THREE.BufferAttribute(colors, 3));
  const lines = new THREE.LineSegments(geometry, new THREE.LineBasicMaterial({ vertexColors: true, depthTest: false }));
  lines.renderOrder = 1;
  lines.frustumCulled = false;
  lines.userData.slots = new Map(nodes.map((index, slot) => [index, slot]));
  for (const index of nodes) placeTripod(lines, index);
  return lines;
}

const tripodEnd = new THREE.Vector3();
function placeTripod(lines, index) {
  const slot = lines.userData.slots.get(index);
  if (slot === undefined) return;
  const world = view.placements.get(index).world;
  const position = lines.geometry.attributes.position;
  const origin = new THREE.Vector3().setFromMatrixPosition(world);
  for (let axis = 0; axis < 3; ++axis) {
    tripodEnd.set(0, 0, 0).setComponent(axis, view.pivotScale).applyMatrix4(world);
    position.setXYZ(slot * 6 + axis * 2, origin.x, origin.y, origin.z);
    position.setXYZ(slot * 6 + axis * 2 + 1, tripodEnd.x, tripodEnd.y, tripodEnd.z);
  }
  position.needsUpdate = true;
}

function showTripods(nodes) {
  if (view.tripods) {
    scene3d.remove(view.tripods);
    view.tripods.geometry.dispose();
  }
  view.tripods = makeTripods(nodes);
  scene3d.add(view.tripods);
}

// Draws `parts` (geometry, material, matrix in the object's frame) once for
// each node of `nodes`, where the host says that the node's object sits:
// one InstancedMesh a part, whatever the number of nodes.
function addInstances(parts, nodes) {
  for (const { geometry, material, local } of parts) {
    const mesh = new THREE.InstancedMesh(geometry, material, nodes.length);
    mesh.userData.nodes = nodes;  // instance -> node index
    // Selected nodes are tinted: white leaves the material's own colours.
    mesh.instanceColor = new THREE.InstancedBufferAttribute(new Float32Array(nodes.length * 3).fill(1), 3);
    nodes.forEach((index, id) => {
      mesh.setMatrixAt(id, instanceMatrix.multiplyMatrices(view.placements.get(index).object, local));
      if (!view.instances.has(index)) view.instances.set(index, []);
      view.instances.get(index).push({ mesh, id, local });
    });
    view.model.add(mesh);
    view.meshes.push(mesh);
  }
}

// The file drawn whole; every node's Object3D taken out of the tree and
// placed where the host says (its pivot, or its object's placement for the
// Object3D that draws its object). Nodes with no mesh drawn get a marker.
async function adoptGltf(state) {
  const { objects, error } = await loadGltf(state.scene);
  if (error) view.undrawn.push(`the file's meshes: ${error}`);
  const unmeshed = [];
  for (const node of state.nodes) {
    if (node.index === 0) continue;
    const pivot = objects?.get(node.gltfNode);
    const object = objects?.get(node.objectNode);
    if (pivot && object) view.drawn.set(node.index, { pivot, object });
    if (!object || !node.holds.includes('mesh')) unmeshed.push(node.index);
  }
  for (const [index, { pivot, object }] of view.drawn) {
    for (const part of new Set([pivot, object])) view.model.add(part);
    placeNode({ index, ...view.placements.get(index).rows });
  }
  // Out of the tree, each Object3D holds only its own parts.
  for (const [index, { object }] of view.drawn) {
    object.traverse((part) => { if (part.isMesh) part.userData.node = index; });
  }
  const batched = batchPlainMeshes();
  view.model.traverse((part) => {
    if (part.isMesh && part.userData.node !== undefined && !batched.has(part)) view.meshes.push(part);
  });
  return unmeshed;
}

// The nodes that are a plain mesh themselves (no skin, morph targets or
// instances of their own), many sharing one geometry and material, are
// drawn as one InstancedMesh: a draw a node would cost seconds in a large
// scene. Their own meshes stay, placed and hidden. Returns those.
const BATCH_FROM = 16;
function batchPlainMeshes() {
  const groups = new Map();
  for (const [index, { object }] of view.drawn) {
    if (!object.isMesh || object.isSkinnedMesh || object.isInstancedMesh || object.morphTargetInfluences ||
        Array.isArray(object.material) || object.children.some((child) => child.isMesh)) continue;
    const key = `${object.geometry.uuid} ${object.material.uuid}`;
    if (!groups.has(key)) groups.set(key, []);
    groups.get(key).push([index, object]);
  }
  const batched = new Set();
  for (const members of groups.values()) {
    if (members.length < BATCH_FROM) continue;
    const { geometry, material } = members[0][1];
    addInstances([{ geometry, material, local: new THREE.Matrix4() }], members.map(([index]) => index));
    for (const [, object] of members) {
      object.visible = false;
      batched.add(object);
    }
  }
  return batched;
}

function addNodeMarkers(nodes, size) {
  addInstances([{ geometry: new THREE.OctahedronGeometry(size),
    material: new THREE.MeshStandardMaterial({ color: 0x5080c0 }), local: new THREE.Matrix4() }], nodes);
}

// A scene file of the project's own: a marker where each object sits.
function addMarkers(size) {
  const nodes = [...view.placements.keys()].filter((index) => index !== 0);
  addInstances([{ geometry: new THREE.BoxGeometry(size, size, size),
    material: new THREE.MeshStandardMaterial({ color: 0x9a9a9a }), local: new THREE.Matrix4() }], nodes);
}

function boxOf(nodes) {
  const box = new THREE.Box3();
  if (!nodes) return box.setFromObject(view.model);
  for (const index of nodes) {
    const drawn = view.drawn.get(index);
    if (drawn) box.expandByObject(drawn.object);
    const placement = view.placements.get(index);
    if (placement) box.expandByPoint(new THREE.Vector3().setFromMatrixPosition(placement.world));
  }
  return box;
}

// Frames `nodes` (all when none), looking from where the camera is.
export function frameNodes(nodes) {
  view.model.updateMatrixWorld(true);
  const box = boxOf(nodes?.length ? nodes : null);
  if (box.isEmpty()) return;
  const size = Math.max(box.getSize(new THREE.Vector3()).length(), view.pivotScale);
  const centre = box.getCenter(new THREE.Vector3());
  const direction = camera.position.clone().sub(controls.target).normalize();
  camera.position.copy(centre).addScaledVector(direction, size * 1.1);
  controls.target.copy(centre);
  controls.update();
  redraw();
}

function frame(zUp) {
  view.model.updateMatrixWorld(true);
  const box = new THREE.Box3().setFromObject(view.model);
  if (view.showAllPivots) {
    for (const { world } of view.placements.values()) box.expandByPoint(new THREE.Vector3().setFromMatrixPosition(world));
  }
  const size = Math.max(1, box.getSize(new THREE.Vector3()).length());
  const centre = box.isEmpty() ? new THREE.Vector3() : box.getCenter(new THREE.Vector3());
  camera.up.set(0, zUp ? 0 : 1, zUp ? 1 : 0);
  const offset = zUp ? new THREE.Vector3(0.6, -1, 0.7) : new THREE.Vector3(0.6, 0.7, 1);
  camera.position.copy(centre).addScaledVector(offset.normalize(), size * 1.1);
  camera.near = size / 10000;
  camera.far = size * 100;
  camera.updateProjectionMatrix();
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
  $('grid-size').textContent = `grid ${shortText(cell)} ${gridUnits}`;
  scene3d.add(grid, new THREE.AxesHelper(size / 4));
  marker.scale.setScalar(size / 300);
  return size;
}

// --- Picking -----------------------------------------------------------

const raycaster = new THREE.Raycaster();

// A world point on the page, in client pixels.
function screenOf(point) {
  const rect = renderer.domElement.getBoundingClientRect();
  const p = point.clone().project(camera);
  return { x: rect.left + (p.x + 1) / 2 * rect.width, y: rect.top + (1 - p.y) / 2 * rect.height };
}

// A number as the marker's label shows it (the server writes the numbers
// of the line that a click sends as the session does).
const shortText = (value) => String(Number(value.toPrecision(6)));

// The node of what a ray hit: an instance's, or the mesh's own.
const nodeOfHit = (hit) => (hit.object.userData.nodes ? hit.object.userData.nodes[hit.instanceId] : hit.object.userData.node);

// The size of a screen pixel at a world point, in world units.
function pixelAt(point) {
  const height = renderer.domElement.clientHeight || 1;
  if (camera.isOrthographicCamera) return (camera.top - camera.bottom) / camera.zoom / height;
  const depth = point.clone().applyMatrix4(camera.matrixWorldInverse).z;
  return 2 * Math.abs(depth) * Math.tan(THREE.MathUtils.degToRad(camera.fov / 2)) / height;
}

// Whether no mesh stands between the eye and `point`.
const sightRay = new THREE.Raycaster();
function visible(point) {
  const from = camera.position;
  const distance = from.distanceTo(point);
  sightRay.set(from, point.clone().sub(from).normalize());
  sightRay.far = distance * (1 - 1e-4) - 1e-6;
  return sightRay.intersectObjects(view.meshes, false).length === 0;
}

// The world point under the cursor, and what it is ({point, node, kind}):
// the nearest corner or edge midpoint of any mesh within SNAP_PIXELS on
// screen ("Snap to vertices"), else the surface, else the ground (exactly
// on it).
function pointUnder(event) {
  const rect = renderer.domElement.getBoundingClientRect();
  raycaster.setFromCamera(new THREE.Vector2((event.clientX - rect.left) / rect.width * 2 - 1,
    -(event.clientY - rect.top) / rect.height * 2 + 1), camera);
  const hit = raycaster.intersectObjects(view.meshes, false)[0];
  const node = hit ? nodeOfHit(hit) : null;
  if ($('snapping').checked) {
    const snap = nearestCorner(view.meshes, { x: event.clientX, y: event.clientY }, SNAP_PIXELS,
      { screenOf, ray: raycaster.ray, pixelAt, visible });
    if (snap) return { point: snap.point, node, kind: snap.kind };
  }
  if (hit) return { point: hit.point, node, kind: 'surface' };
  const up = view.upAxis === 'z' ? 2 : 1;
  const normal = new THREE.Vector3().setComponent(up, 1);
  const point = raycaster.ray.intersectPlane(new THREE.Plane(normal, 0), new THREE.Vector3());
  return point && { point: point.setComponent(up, 0), node: null, kind: 'ground' };
}

function showPoint(found, event) {
  const label = $('pick-label');
  if (!view.pickMode || !found) {
    if (marker.visible) redraw();
    marker.visible = false;
    label.style.display = 'none';
    return;
  }
  marker.position.copy(found.point);
  marker.visible = true;
  redraw();
  const rect = $('viewport').getBoundingClientRect();
  label.textContent = `${found.kind}: ${[found.point.x, found.point.y, found.point.z].map(shortText).join(' ')}`;
  label.style.left = `${event.clientX - rect.left + 12}px`;
  label.style.top = `${event.clientY - rect.top + 12}px`;
  label.style.display = 'block';
}

function startPicking() {
  const canvas = renderer.domElement;
  let down = null;
  // The point under the cursor is looked for once a frame, and only while
  // a pick mode shows it: a ray through a large scene takes a while.
  let moved = null;
  canvas.addEventListener('pointermove', (event) => {
    if (event.buttons !== 0) return;  // turning the view
    if (moved === null) {
      requestAnimationFrame(() => {
        if (view.pickMode || marker.visible) showPoint(view.pickMode ? pointUnder(moved) : null, moved);
        if (!view.pickMode) hover(nodeUnder(moved));
        moved = null;
      });
    }
    moved = event;
  });
  canvas.addEventListener('pointerleave', () => hover(null));
  canvas.addEventListener('pointerdown', (event) => { down = { x: event.clientX, y: event.clientY }; });
  canvas.addEventListener('pointerup', (event) => {
    // A drag turns the view; only a click picks or selects.
    if (event.button !== 0 || !down || Math.hypot(event.clientX - down.x, event.clientY - down.y) > 4) return;
    clock.getDelta();
    if (gizmo.handleClick(event)) {
      redraw();
      return;
    }
    hooks.click(pointUnder(event), event);
  });
  // For scripts and tests: where a world point is on the page.
  window.morvaneViewer = {
    screenOf: (x, y, z) => screenOf(new THREE.Vector3(x, y, z)),
    // Each glTF node drawn (by its index in the file) with its world matrix.
    worlds: () => {
      view.model.updateMatrixWorld(true);
      const worlds = {};
      for (const { pivot, object } of view.drawn.values()) {
        for (const drawn of [pivot, object]) worlds[drawn.userData.gltfNode] = drawn.matrixWorld.toArray();
      }
      return worlds;
    },
    undrawn: () => view.undrawn,
    loaderWorlds: () => loaderWorlds(view.route),
  };
}

// The node of the mesh or marker under the cursor, or null.
function nodeUnder(event) {
  const rect = renderer.domElement.getBoundingClientRect();
  raycaster.setFromCamera(new THREE.Vector2((event.clientX - rect.left) / rect.width * 2 - 1,
    -(event.clientY - rect.top) / rect.height * 2 + 1), camera);
  const hit = raycaster.intersectObjects(view.meshes, false)[0];
  return hit ? nodeOfHit(hit) ?? null : null;
}

// The node under the cursor is lit, and its name shown (hooks.hover).
const HOVER_TINT = new THREE.Color(0.75, 0.9, 1.25);
let hovered = null;
function hover(index) {
  if (index === hovered) return;
  const selected = new Set(view.selected);
  if (hovered !== null) tint([hovered], selected.has(hovered) ? SELECTED_TINT : NO_TINT);
  hovered = index;
  if (index !== null && !selected.has(index)) tint([index], HOVER_TINT);
  hooks.hover(index);
  redraw();
}

// The text of a `click` line for a point.
export function clickText(point) {
  // In single precision, as the host keeps points: a double halfway
  // between two floats would otherwise round as its decimal text rounds.
  return `click ${[point.x, point.y, point.z].map((v) => String(Math.fround(v))).join(' ')}`;
}

// More tripods than this would hide the model, and cost a software renderer
// seconds a frame: of a larger selection, the first ones are shown.
const TRIPODS_SHOWN = 1000;

// Tripods: at every node of a scene file of the project's own; at the
// selected nodes of a glTF scene, which are tinted too.
const SELECTED_TINT = new THREE.Color(1, 0.55, 0.15);
const NO_TINT = new THREE.Color(1, 1, 1);
export function showPivots(selection, pickMode) {
  view.pickMode = pickMode;
  if (!view.showAllPivots) showTripods(selection.slice(0, TRIPODS_SHOWN));
  tint(view.selected, NO_TINT);
  tint(selection, SELECTED_TINT);
  view.selected = selection;
  redraw();
  if (!pickMode) {
    marker.visible = false;
    $('pick-label').style.display = 'none';
  }
}

// A glTF node's meshes are tinted by a copy of their material, since
// materials are shared between nodes.
function tintDrawn(index, colour) {
  view.drawn.get(index)?.object.traverse((part) => {
    if (!part.isMesh || part.userData.node !== index) return;
    part.userData.material ??= part.material;
    if (colour === NO_TINT) {
      part.material = part.userData.material;
      return;
    }
    const own = part.userData.material;
    part.material = (Array.isArray(own) ? own : [own]).map((m) => {
      const copy = m.clone();
      copy.emissive?.copy(colour).multiplyScalar(0.45);
      return copy;
    });
    if (!Array.isArray(part.userData.material)) part.material = part.material[0];
  });
}

function tint(nodes, colour) {
  for (const index of nodes) {
    tintDrawn(index, colour);
    for (const { mesh, id } of view.instances.get(index) ?? []) {
      mesh.setColorAt(id, colour);
      mesh.instanceColor.needsUpdate = true;
    }
  }
}

// Builds the view from the server's whole state (format, scene route,
// every node's placement).
export async function loadScene(state) {
  setUpView(state.nodes.length);
  scene3d.add(view.model);
  const gltf = state.format === 'glTF' || state.format === 'GLB';
  view.upAxis = state.up;
  view.route = state.scene;
  gridUnits = gltf ? 'm' : 'units';
  view.showAllPivots = !gltf;
  for (const node of state.nodes) placeNode(node);
  const unmeshed = gltf ? await adoptGltf(state) : [];
  const size = frame(view.upAxis === 'z');
  if (!gltf) addMarkers(size / 40);
  if (unmeshed.length > 0) addNodeMarkers(unmeshed, size / 150);
  view.pivotScale = size / 25;
  if (view.showAllPivots) showTripods([...view.placements.keys()]);
  startPicking();
  redraw();
  return view.undrawn;
}

// Standard views: "top", "front", "side", looking at the model's centre.
export function lookFrom(side) {
  const target = controls.target.clone();
  const distance = camera.position.distanceTo(target);
  const zUp = view.upAxis === 'z';
  // Straight down would leave the orbit without a heading: a hair off it.
  const directions = { top: zUp ? [0, -1e-4, 1] : [0, 1, 1e-4], front: zUp ? [0, -1, 0] : [0, 0, 1], side: [1, 0, 0] };
  camera.position.copy(target).addScaledVector(new THREE.Vector3(...directions[side]).normalize(), distance);
  controls.update();
  redraw();
}
