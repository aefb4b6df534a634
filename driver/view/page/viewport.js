// The 3D viewport: the scene's meshes (or markers) placed where the host
// says that each node's object sits, pivot tripods, the grid and the world
// axes, and picking of points on the model.
import * as THREE from 'three';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';
import { ViewHelper } from 'three/addons/helpers/ViewHelper.js';
import { RoomEnvironment } from 'three/addons/environments/RoomEnvironment.js';
import { loadGltf, loaderWorlds } from './gltf_scene.js';
import { copiesOff, drawnCopies, placeCopy, tintCopy } from './drawn_copies.js';
import { nearestCorner } from './snapping.js';

const SNAP_PIXELS = 10;
let gridUnits = 'm';
const $ = (id) => document.getElementById(id);

const view = {
  placements: new Map(), // index -> {world, object} matrices
  instances: new Map(),  // index -> [{mesh, id, local}]: where the node's object is drawn
  drawn: new Map(),      // index -> {pivot, object}: the glTF file's Object3Ds of the node
  gltfNodes: new Map(),  // index -> the glTF node that draws its object
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
  const [x0, x1, x2, y0, y1, y2, z0, z1, z2, t0, t1, t2] = rows;
  return new THREE.Matrix4().set(x0, y0, z0, t0, x1, y1, z1, t1, x2, y2, z2, t2, 0, 0, 0, 1);
}

const instanceMatrix = new THREE.Matrix4();

// Where the host says a node's pivot and object are.
export function placeNode(node) {
  // The server leaves out an object's placement that is the pivot's.
  const world = rowsToMatrix(node.world);
  const placement = { world, object: node.object ? rowsToMatrix(node.object) : world,
    rows: { world: node.world, object: node.object } };
  view.placements.set(node.index, placement);
  for (const { mesh, id, local } of view.instances.get(node.index) ?? []) {
    if (mesh.isPoints) {
      placeMarker(mesh, id, placement.world);
      continue;
    }
    mesh.setMatrixAt(id, instanceMatrix.multiplyMatrices(placement.object, local));
    if (mesh.userData.drawnBy) placeCopy(mesh.userData.drawnBy, id, instanceMatrix);
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

let renderer = null;
let controls = null;
let gizmo = null;  // the orientation gizmo in the corner
const clock = new THREE.Clock();
const scene3d = new THREE.Scene();
const perspective = new THREE.PerspectiveCamera(50, 1, 0.01, 10000);
// Its frustum is set from the perspective camera's view at the target when
// it takes over (toggleOrthographic); zooming scales it.
const orthographic = new THREE.OrthographicCamera(-1, 1, 1, -1, -10000, 10000);
let camera = perspective;
const marker = new THREE.Mesh(new THREE.SphereGeometry(1, 16, 8), new THREE.MeshBasicMaterial({ color: 0xff2060 }));
marker.visible = false;

// On `canvas` with its WebGL `context` (start.js); without one, three.js
// tries the canvas again and says why it has none.
function setUpView(canvas, context) {
  renderer = new THREE.WebGLRenderer({ canvas, context });
  controls = new OrbitControls(camera, renderer.domElement);
  renderer.autoClear = false;
  gizmo = new ViewHelper(camera, renderer.domElement);
  gizmo.center = controls.target;
  $('viewport').prepend(renderer.domElement);
  scene3d.background = new THREE.Color(0xf4f4f4);
  scene3d.add(new THREE.HemisphereLight(0xffffff, 0x667788, 1.2));
  scene3d.add(marker);
  new ResizeObserver(resize).observe($('viewport'));
  resize();
  controls.addEventListener('change', redraw);
}

// Metals reflect a room, as in a glTF viewer; without it they are black.
// A small one: a software renderer pays for every texel on every pixel.
// The room and the orientation gizmo come once the first picture is drawn
// (marked "first picture" in the page's performance timeline): a software
// renderer takes most of a second to compile their shaders.
let firstPictureDrawn = false;
function afterFirstPicture() {
  // Runs after the frame that redraw() asked for, in the same frame.
  requestAnimationFrame(() => whenDrawn(() => {
    performance.mark('first picture');
    firstPictureDrawn = true;
    if (!$('viewport')) return;  // the page has ended
    const maker = new THREE.PMREMGenerator(renderer);
    scene3d.environment = maker.fromScene(new RoomEnvironment(), 0.04, 0.1, 100, { size: 32 }).texture;
    maker.dispose();
    redraw();
  }));
}

// Calls `then` once everything drawn so far is done: a fence in the
// renderer's commands, looked at every few milliseconds (waiting on it
// would hold the page).
function whenDrawn(then) {
  const gl = renderer.getContext();
  const fence = gl.fenceSync(gl.SYNC_GPU_COMMANDS_COMPLETE, 0);
  gl.flush();
  const look = () => {
    if (gl.getSyncParameter(fence, gl.SYNC_STATUS) !== gl.SIGNALED) return setTimeout(look, 5);
    gl.deleteSync(fence);
    return then();
  };
  look();
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
    if (firstPictureDrawn) gizmo.render(renderer);
  });
}

function resize() {
  const viewport = $('viewport');
  if (!viewport) return;  // the page has ended
  renderer.setSize(viewport.clientWidth, viewport.clientHeight);
  perspective.aspect = viewport.clientWidth / Math.max(1, viewport.clientHeight);
  perspective.updateProjectionMatrix();
  fitOrthographic(orthographic.top);
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
    mesh.userData.drawnBy = drawnCopies(mesh);
    if (mesh.userData.drawnBy) {
      mesh.visible = false;
      view.model.add(mesh.userData.drawnBy);
    }
  }
}

// The file drawn as three.js draws it; every node's Object3D taken out of
// the tree and placed where the host says (its pivot, or its object's
// placement for the Object3D that draws its object). A plain mesh that many
// nodes share is drawn as one InstancedMesh. Nodes with no mesh drawn get a
// marker.
async function adoptGltf(state) {
  const { gltf, objects, shared, error } = await loadGltf(state.scene, true);
  if (error) view.undrawn.push(`the file's meshes: ${error}`);
  const holder = new Map();  // glTF node -> the index of the node whose object it draws
  const unmeshed = [];
  const instanced = new Set([...(shared?.values() ?? [])].flat());
  for (const node of state.nodes) {
    if (node.index === 0) continue;
    holder.set(node.objectNode, node.index);
    view.gltfNodes.set(node.index, node.objectNode);
    const pivot = objects?.get(node.gltfNode);
    const object = objects?.get(node.objectNode);
    if (object) view.drawn.set(node.index, { pivot: pivot ?? object, object });
    if (!node.holds.includes('mesh') || !(object || instanced.has(node.objectNode))) unmeshed.push(node.index);
  }
  // Every node is a root of the loaded scene: all leave it at once (one by
  // one, each would shift the array of tens of thousands of roots).
  for (const root of gltf?.scene.children ?? []) root.parent = null;
  gltf?.scene.children.splice(0);
  for (const [index, { pivot, object }] of view.drawn) {
    for (const part of new Set([pivot, object])) view.model.add(part);
    placeNode({ index, ...view.placements.get(index).rows });
  }
  // Out of the tree, each Object3D holds only its own parts.
  for (const [index, { object }] of view.drawn) {
    object.traverse((part) => { if (part.isMesh) part.userData.node = index; });
  }
  const batched = drawShared(shared ?? new Map(), objects, holder);
  view.model.traverse((part) => {
    if (part.isMesh && part.userData.node !== undefined && !batched.has(part)) view.meshes.push(part);
  });
  return unmeshed;
}

// Draws each plain mesh that many nodes share (gltf_scene.js's `shared`:
// the first node's index -> all of theirs) as one InstancedMesh, its first
// node's own Mesh placed and hidden. Returns those.
function drawShared(shared, objects, holder) {
  const batched = new Set();
  for (const [first, members] of shared) {
    const mesh = objects.get(first);
    const nodes = members.map((index) => holder.get(index)).filter((index) => index !== undefined);
    if (!mesh?.isMesh || nodes.length === 0) continue;
    addInstances([{ geometry: mesh.geometry, material: mesh.material, local: new THREE.Matrix4() }], nodes);
    view.meshes.at(-1).userData.shared = true;
    mesh.visible = false;
    batched.add(mesh);
  }
  return batched;
}

// The nodes without a mesh drawn: a point each at its pivot, a few pixels
// across at any distance. Tens of thousands of shapes of a size in the
// world would overlap, and a software renderer pays for every pixel of each.
const MARKER_PIXELS = 7;
const MARKER_COLOUR = new THREE.Color(0x5080c0);
function addNodeMarkers(nodes) {
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('position', new THREE.BufferAttribute(new Float32Array(nodes.length * 3), 3));
  const colours = new Float32Array(nodes.length * 3);
  nodes.forEach((_, id) => MARKER_COLOUR.toArray(colours, id * 3));
  geometry.setAttribute('color', new THREE.BufferAttribute(colours, 3));
  const points = new THREE.Points(geometry,
    new THREE.PointsMaterial({ size: MARKER_PIXELS, sizeAttenuation: false, vertexColors: true }));
  points.userData.nodes = nodes;  // point -> node index
  nodes.forEach((index, id) => {
    placeMarker(points, id, view.placements.get(index).world);
    if (!view.instances.has(index)) view.instances.set(index, []);
    view.instances.get(index).push({ mesh: points, id });
  });
  view.model.add(points);
  view.meshes.push(points);
}

function placeMarker(points, id, world) {
  const position = points.geometry.attributes.position;
  position.setXYZ(id, world.elements[12], world.elements[13], world.elements[14]);
  position.needsUpdate = true;
  points.geometry.boundingSphere = null;  // made again when next needed
  points.geometry.boundingBox = null;
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
    for (const { mesh, id } of view.instances.get(index) ?? []) {
      if (mesh.isPoints) continue;  // a marker, at the pivot
      if (!mesh.geometry.boundingBox) mesh.geometry.computeBoundingBox();
      mesh.getMatrixAt(id, instanceMatrix);
      box.union(mesh.geometry.boundingBox.clone().applyMatrix4(instanceMatrix.premultiply(mesh.matrixWorld)));
    }
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
  const tan = Math.tan(THREE.MathUtils.degToRad(perspective.fov / 2));
  if (camera.isOrthographicCamera) fitOrthographic(size * 1.1 * tan);
  controls.update();
  redraw();
}

// The orthographic frustum `half` high above and below the centre, at the
// viewport's aspect.
function fitOrthographic(half) {
  orthographic.top = half;
  orthographic.bottom = -half;
  orthographic.right = half * perspective.aspect;
  orthographic.left = -half * perspective.aspect;
  orthographic.zoom = 1;
  orthographic.updateProjectionMatrix();
}

// Perspective or orthographic: the other camera takes over from where this
// one looks, showing the target's plane at the same size. Returns whether
// the view is orthographic now.
export function toggleOrthographic() {
  const next = camera.isPerspectiveCamera ? orthographic : perspective;
  const tan = Math.tan(THREE.MathUtils.degToRad(perspective.fov / 2));
  const direction = camera.position.clone().sub(controls.target).normalize();
  if (next.isOrthographicCamera) {
    fitOrthographic(camera.position.distanceTo(controls.target) * tan);
    next.position.copy(camera.position);
  } else {
    const distance = orthographic.top / orthographic.zoom / tan;
    next.position.copy(controls.target).addScaledVector(direction, distance);
  }
  next.quaternion.copy(camera.quaternion);
  next.up.copy(camera.up);
  camera = next;
  controls.object = camera;
  gizmo.dispose();
  gizmo = new ViewHelper(camera, renderer.domElement);
  gizmo.center = controls.target;
  controls.update();
  redraw();
  return camera.isOrthographicCamera;
}

function frame(zUp) {
  view.model.updateMatrixWorld(true);
  const box = new THREE.Box3().setFromObject(view.model);
  if (view.showAllPivots) {
    for (const { world } of view.placements.values()) box.expandByPoint(new THREE.Vector3().setFromMatrixPosition(world));
  }
  const size = Math.max(1, box.getSize(new THREE.Vector3()).length());
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
const nodeOfHit = (hit) => (hit.object.userData.nodes ? hit.object.userData.nodes[hit.instanceId ?? hit.index]
  : hit.object.userData.node);

// What a click can hit, with markers caught within their size on screen.
function hits(ray) {
  ray.params.Points.threshold = MARKER_PIXELS / 2 * pixelAt(controls.target);
  return ray.intersectObjects(view.meshes, false);
}
// What hides a point and what a pick snaps to: surfaces, not markers.
const solids = () => view.meshes.filter((mesh) => !mesh.isPoints);

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
  // An orthographic eye looks along parallel rays: from behind the point.
  const back = new THREE.Vector3(0, 0, 1).applyQuaternion(camera.quaternion);
  const from = camera.isOrthographicCamera ? point.clone().addScaledVector(back, camera.far) : camera.position;
  const distance = from.distanceTo(point);
  sightRay.set(from, point.clone().sub(from).normalize());
  sightRay.far = distance * (1 - 1e-4) - 1e-6;
  return sightRay.intersectObjects(solids(), false).length === 0;
}

// The world point under the cursor, and what it is ({point, node, kind}):
// the nearest corner or edge midpoint of any mesh within SNAP_PIXELS on
// screen ("Snap to vertices"), else the surface, else the ground (exactly
// on it).
function pointUnder(event) {
  const rect = renderer.domElement.getBoundingClientRect();
  raycaster.setFromCamera(new THREE.Vector2((event.clientX - rect.left) / rect.width * 2 - 1,
    -(event.clientY - rect.top) / rect.height * 2 + 1), camera);
  const hit = hits(raycaster)[0];
  const node = hit ? nodeOfHit(hit) : null;
  if ($('snapping').checked) {
    const snap = nearestCorner(solids(), { x: event.clientX, y: event.clientY }, SNAP_PIXELS,
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
      // A node drawn as an instance of a shared mesh, by its instance.
      for (const [index, copies] of view.instances) {
        const { mesh, id } = copies[0];
        if (!mesh.userData.shared) continue;
        const matrix = mesh.getMatrixAt(id, new THREE.Matrix4()).premultiply(mesh.matrixWorld);
        worlds[view.gltfNodes.get(index)] = matrix.toArray();
      }
      return worlds;
    },
    undrawn: () => view.undrawn,
    // How far the copies drawn as one mesh are from their instances.
    copiesOff: () => copiesOff(view.meshes),
    projection: () => (camera.isOrthographicCamera ? 'orthographic' : 'perspective'),
    target: () => controls.target.toArray(),
    // The node drawn lit as under the cursor, or null.
    hovered: () => hovered,
    loaderWorlds: () => loaderWorlds(view.route),
  };
}

// The node of the mesh or marker under the cursor, or null.
function nodeUnder(event) {
  const rect = renderer.domElement.getBoundingClientRect();
  raycaster.setFromCamera(new THREE.Vector2((event.clientX - rect.left) / rect.width * 2 - 1,
    -(event.clientY - rect.top) / rect.height * 2 + 1), camera);
  const hit = hits(raycaster)[0];
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
      if (mesh.isPoints) {
        (colour === NO_TINT ? MARKER_COLOUR : colour).toArray(mesh.geometry.attributes.color.array, id * 3);
        mesh.geometry.attributes.color.needsUpdate = true;
        continue;
      }
      mesh.setColorAt(id, colour);
      mesh.instanceColor.needsUpdate = true;
      if (mesh.userData.drawnBy) tintCopy(mesh.userData.drawnBy, id, colour);
    }
  }
}

// Builds the view from the server's whole state (format, scene route,
// every node's placement) on `canvas` with its WebGL `context`.
export async function loadScene(state, canvas, context) {
  setUpView(canvas, context);
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
  if (unmeshed.length > 0) addNodeMarkers(unmeshed);
  view.pivotScale = size / 25;
  if (view.showAllPivots) showTripods([...view.placements.keys()]);
  startPicking();
  redraw();
  afterFirstPicture();
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
