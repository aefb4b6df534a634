// The 3D viewport: the scene's meshes (or markers) placed where the host
// says that each node's object sits, pivot tripods, the grid and the world
// axes, and picking of points on the model.
import * as THREE from 'three';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';
import { loadGltfMeshes } from './gltf_meshes.js';

const SNAP_PIXELS = 10;
const $ = (id) => document.getElementById(id);

const view = {
  placements: new Map(), // index -> {world, object} matrices
  instances: new Map(),  // index -> [{mesh, id, local}]: where the node's object is drawn
  tripods: null,         // lines: a tripod at the pivot of each node shown
  meshes: [],            // everything a click can hit: one InstancedMesh a part of a mesh
  model: new THREE.Group(),
  selected: [],
  upAxis: 'y',
  pivotScale: 1,
  showAllPivots: false,
  pickMode: false,
};

// What the page does with a click on the model: (found, event), found
// being {point, node} or null.
export const hooks = { click: () => {} };

function rowsToMatrix(rows) {
  const [x, y, z, t] = rows;
  return new THREE.Matrix4().set(x[0], y[0], z[0], t[0], x[1], y[1], z[1], t[1], x[2], y[2], z[2], t[2], 0, 0, 0, 1);
}

const instanceMatrix = new THREE.Matrix4();

// Where the host says a node's pivot and object are.
export function placeNode(node) {
  const placement = { world: rowsToMatrix(node.world), object: rowsToMatrix(node.object) };
  view.placements.set(node.index, placement);
  for (const { mesh, id, local } of view.instances.get(node.index) ?? []) {
    mesh.setMatrixAt(id, instanceMatrix.multiplyMatrices(placement.object, local));
    mesh.instanceMatrix.needsUpdate = true;
    mesh.boundingSphere = null;  // made again when next needed
    mesh.boundingBox = null;
  }
  if (view.tripods) placeTripod(view.tripods, node.index);
  redraw();
}

// --- The 3D view -------------------------------------------------------

// Smoothed edges cost a software renderer several times the work: a large
// scene is drawn without.
const SMOOTH_UP_TO_NODES = 10000;
let renderer = null;
let controls = null;
const scene3d = new THREE.Scene();
const camera = new THREE.PerspectiveCamera(50, 1, 0.01, 10000);
const marker = new THREE.Mesh(new THREE.SphereGeometry(1, 16, 8), new THREE.MeshBasicMaterial({ color: 0xff2060 }));
marker.visible = false;

function setUpView(nodeCount) {
  renderer = new THREE.WebGLRenderer({ antialias: nodeCount <= SMOOTH_UP_TO_NODES, preserveDrawingBuffer: true });
  controls = new OrbitControls(camera, renderer.domElement);
  $('viewport').prepend(renderer.domElement);
  scene3d.background = new THREE.Color(0xf4f4f4);
  scene3d.add(new THREE.HemisphereLight(0xffffff, 0x667788, 2.2));
  const sun = new THREE.DirectionalLight(0xffffff, 1.8);
  sun.position.set(3, 10, 6);
  scene3d.add(sun, marker);
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
    if ($('viewport')) renderer.render(scene3d, camera);
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

// Every mesh of the file drawn for each node that carries it.
async function adoptGltf(route) {
  const { partsOf, carriers } = await loadGltfMeshes(route);
  for (const [mesh, nodes] of carriers) addInstances(partsOf.get(mesh), nodes);
}

// A scene file of the project's own: a marker where each object sits.
function addMarkers(size) {
  const nodes = [...view.placements.keys()].filter((index) => index !== 0);
  addInstances([{ geometry: new THREE.BoxGeometry(size, size, size),
    material: new THREE.MeshStandardMaterial({ color: 0x9a9a9a }), local: new THREE.Matrix4() }], nodes);
}

function frame(zUp) {
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

// The shortest text that reads back as the same single-precision number.
function numberText(value) {
  const single = Math.fround(value);
  for (let digits = 1; digits <= 9; ++digits) {
    const text = String(Number(single.toPrecision(digits)));
    if (Math.fround(Number(text)) === single) return text;
  }
  return String(single);
}

// Where a snap may go: the corners of the face under the cursor and the
// midpoints of its edges (so never a vertex hidden behind the surface).
function snapCandidates(hit) {
  const position = hit.object.geometry.attributes.position;
  const toWorld = new THREE.Matrix4();
  hit.object.getMatrixAt(hit.instanceId, toWorld);
  toWorld.premultiply(hit.object.matrixWorld);
  const world = (i) => new THREE.Vector3().fromBufferAttribute(position, i).applyMatrix4(toWorld);
  const corners = [hit.face.a, hit.face.b, hit.face.c].map(world);
  return corners.concat([[0, 1], [1, 2], [2, 0]].map(
    ([i, j]) => corners[i].clone().add(corners[j]).multiplyScalar(0.5)));
}

// The world point under the cursor: on a mesh (snapped to the nearest
// vertex or edge midpoint within SNAP_PIXELS), else on the ground.
function pointUnder(event) {
  const rect = renderer.domElement.getBoundingClientRect();
  raycaster.setFromCamera(new THREE.Vector2((event.clientX - rect.left) / rect.width * 2 - 1,
    -(event.clientY - rect.top) / rect.height * 2 + 1), camera);
  const hit = raycaster.intersectObjects(view.meshes, false)[0];
  if (!hit) {
    const normal = view.upAxis === 'z' ? new THREE.Vector3(0, 0, 1) : new THREE.Vector3(0, 1, 0);
    const point = raycaster.ray.intersectPlane(new THREE.Plane(normal, 0), new THREE.Vector3());
    return point && { point, node: null };
  }
  let point = hit.point;
  if ($('snapping').checked && hit.face) {
    let nearest = SNAP_PIXELS;
    for (const candidate of snapCandidates(hit)) {
      const at = screenOf(candidate);
      const distance = Math.hypot(at.x - event.clientX, at.y - event.clientY);
      if (distance <= nearest) {
        nearest = distance;
        point = candidate;
      }
    }
  }
  return { point, node: hit.object.userData.nodes[hit.instanceId] };
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
  label.textContent = [found.point.x, found.point.y, found.point.z].map(numberText).join(' ');
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
    if (!view.pickMode && !marker.visible) return;
    if (moved === null) {
      requestAnimationFrame(() => {
        showPoint(view.pickMode ? pointUnder(moved) : null, moved);
        moved = null;
      });
    }
    moved = event;
  });
  canvas.addEventListener('pointerdown', (event) => { down = { x: event.clientX, y: event.clientY }; });
  canvas.addEventListener('pointerup', (event) => {
    // A drag turns the view; only a click picks or selects.
    if (event.button !== 0 || !down || Math.hypot(event.clientX - down.x, event.clientY - down.y) > 4) return;
    hooks.click(pointUnder(event), event);
  });
  // For scripts and tests: where a world point is on the page.
  window.morvaneViewer = { screenOf: (x, y, z) => screenOf(new THREE.Vector3(x, y, z)) };
}

// The text of a `click` line for a point.
export function clickText(point) {
  return `click ${[point.x, point.y, point.z].map(numberText).join(' ')}`;
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

function tint(nodes, colour) {
  for (const index of nodes) {
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
  view.upAxis = gltf ? 'y' : 'z';
  view.showAllPivots = !gltf;
  for (const node of state.nodes) placeNode(node);
  if (gltf) await adoptGltf(state.scene);
  const size = frame(!gltf);
  if (!gltf) addMarkers(size / 40);
  view.pivotScale = size / 25;
  if (view.showAllPivots) showTripods([...view.placements.keys()]);
  startPicking();
  redraw();
}
