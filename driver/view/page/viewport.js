// The 3D viewport: the scene's meshes (or markers) placed where the host
// says that each node's object sits, pivot tripods, the grid and the world
// axes, and picking of points on the model.
import * as THREE from 'three';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';

const SNAP_PIXELS = 10;
const $ = (id) => document.getElementById(id);

const view = {
  placements: new Map(), // index -> {world, object} matrices
  pivots: new Map(),  // index -> tripod at the node's pivot
  objects: new Map(), // index -> group placed where the node's object sits
  meshes: [],         // everything a click can hit
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

// Where the host says a node's pivot and object are; tripods and object
// groups are made when first needed, so a large scene costs its meshes.
export function placeNode(node) {
  const placement = { world: rowsToMatrix(node.world), object: rowsToMatrix(node.object) };
  view.placements.set(node.index, placement);
  view.objects.get(node.index)?.matrix.copy(placement.object);
  const pivot = view.pivots.get(node.index);
  if (pivot) placePivot(pivot, placement.world);
  redraw();
}

function placePivot(pivot, world) {
  const scale = view.pivotScale;
  pivot.matrix.copy(world).multiply(new THREE.Matrix4().makeScale(scale, scale, scale));
}

// --- The 3D view -------------------------------------------------------

const renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
const scene3d = new THREE.Scene();
const camera = new THREE.PerspectiveCamera(50, 1, 0.01, 10000);
const controls = new OrbitControls(camera, renderer.domElement);
const marker = new THREE.Mesh(new THREE.SphereGeometry(1, 16, 8), new THREE.MeshBasicMaterial({ color: 0xff2060 }));
marker.visible = false;

function setUpView() {
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

function tripodOf(index) {
  if (!view.pivots.has(index)) {
    const axes = new THREE.AxesHelper(1);
    axes.matrixAutoUpdate = false;
    axes.material.depthTest = false;
    axes.renderOrder = 1;
    placePivot(axes, view.placements.get(index).world);
    scene3d.add(axes);
    view.pivots.set(index, axes);
  }
  return view.pivots.get(index);
}

function holderOf(index) {
  if (!view.objects.has(index)) {
    const group = new THREE.Group();
    group.matrixAutoUpdate = false;
    group.matrix.copy(view.placements.get(index).object);
    scene3d.add(group);
    view.objects.set(index, group);
  }
  return view.objects.get(index);
}

// The glTF's pre-order as the tools see it (the root 0, every node before
// its children), without the children that hold a moved object.
function preOrder(json) {
  const scene = json.scenes?.[json.scene ?? 0];
  const order = [null];
  const objectChild = new Map();
  const stack = [...(scene?.nodes ?? [])].reverse();
  while (stack.length > 0) {
    const index = stack.pop();
    const node = json.nodes[index];
    const children = node.children ?? [];
    const moved = children.find((c) => json.nodes[c].extras?.morvaneObjectOf === index && !json.nodes[c].children);
    const holdsObject = node.mesh !== undefined || node.camera !== undefined;
    if (moved !== undefined && !holdsObject) objectChild.set(index, moved);
    order.push(index);
    for (let k = children.length - 1; k >= 0; --k) {
      if (children[k] !== objectChild.get(index)) stack.push(children[k]);
    }
  }
  return { order, objectChild };
}

// Takes every mesh of the file out of glTF's tree into one group a node,
// placed where the host says that the node's object sits.
function adoptGltf(gltf) {
  const { order, objectChild } = preOrder(gltf.parser.json);
  const nodeObjects = new Map();
  gltf.scene.traverse((object) => {
    const node = gltf.parser.associations.get(object)?.nodes;
    if (node !== undefined && !nodeObjects.has(node)) nodeObjects.set(node, object);
  });
  gltf.scene.updateMatrixWorld(true);
  order.forEach((gltfIndex, index) => {
    if (gltfIndex === null) return;
    const carrier = nodeObjects.get(objectChild.get(gltfIndex) ?? gltfIndex);
    if (!carrier) return;
    const parts = carrier.isMesh ? [carrier] : carrier.children.filter(
      (c) => c.isMesh && gltf.parser.associations.get(c)?.nodes === undefined);
    const group = holderOf(index);
    const toGroup = carrier.matrixWorld.clone().invert();
    for (const part of parts) {
      const mesh = new THREE.Mesh(part.geometry, part.material);
      mesh.matrixAutoUpdate = false;
      mesh.matrix.multiplyMatrices(toGroup, part.matrixWorld);
      mesh.userData.node = index;
      group.add(mesh);
      view.meshes.push(mesh);
    }
  });
}

// A scene file of the project's own: a marker where each object sits.
function addMarkers(size) {
  const geometry = new THREE.BoxGeometry(size, size, size);
  const material = new THREE.MeshStandardMaterial({ color: 0x9a9a9a });
  for (const index of view.placements.keys()) {
    if (index === 0) continue;
    const group = holderOf(index);
    const mesh = new THREE.Mesh(geometry, material);
    mesh.userData.node = index;
    group.add(mesh);
    view.meshes.push(mesh);
  }
}

function frame(zUp) {
  const box = new THREE.Box3();
  for (const group of view.objects.values()) {
    group.updateMatrixWorld(true);
    box.expandByObject(group);
  }
  if (view.showAllPivots) {
    for (const { world } of view.placements.values()) box.expandByPoint(new THREE.Vector3().setFromMatrixPosition(world));
  }
  const size = Math.max(1, box.getSize(new THREE.Vector3()).length());
  const centre = box.getCenter(new THREE.Vector3());
  camera.up.set(0, zUp ? 0 : 1, zUp ? 1 : 0);
  const offset = zUp ? new THREE.Vector3(0.6, -1, 0.7) : new THREE.Vector3(0.6, 0.7, 1);
  camera.position.copy(centre).addScaledVector(offset.normalize(), size * 1.1);
  controls.target.copy(centre);
  controls.update();
  const grid = new THREE.GridHelper(Math.ceil(size * 2), Math.ceil(size * 2), 0x999999, 0xcccccc);
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
  const world = (i) => new THREE.Vector3().fromBufferAttribute(position, i).applyMatrix4(hit.object.matrixWorld);
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
  return { point, node: hit.object.userData.node };
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
  canvas.addEventListener('pointermove', (event) => showPoint(pointUnder(event), event));
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

// Tripods: at every node of a scene file of the project's own; at the
// selected nodes of a glTF scene.
export function showPivots(selection, pickMode) {
  view.pickMode = pickMode;
  for (const tripod of view.pivots.values()) tripod.visible = false;
  for (const index of view.showAllPivots ? view.placements.keys() : selection) tripodOf(index).visible = true;
  redraw();
  if (!pickMode) {
    marker.visible = false;
    $('pick-label').style.display = 'none';
  }
}

// Builds the view from the server's whole state (format, scene route,
// every node's placement).
export async function loadScene(state) {
  setUpView();
  const gltf = state.format === 'glTF' || state.format === 'GLB';
  view.upAxis = gltf ? 'y' : 'z';
  view.showAllPivots = !gltf;
  for (const node of state.nodes) placeNode(node);
  if (gltf) adoptGltf(await new GLTFLoader().loadAsync(state.scene));
  const size = frame(!gltf);
  if (!gltf) addMarkers(size / 40);
  view.pivotScale = size / 25;
  startPicking();
  redraw();
}

