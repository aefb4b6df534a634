// Picking and snapping: what is under the cursor (a node's mesh or
// marker, a corner or edge midpoint to snap to, the surface, the ground),
// the marker and label that follow it in a pick mode, the node lit under
// the cursor, and what a click hands to the page.
import * as THREE from 'three';
import { frame, gizmoClicked, pixelSizes, redrawOverlays, screenOf, shortText } from './frame.js';
import { drawn, markers, nodeOfHit } from './drawn_nodes.js';
import { pickMarker } from './gizmos.js';
import { nearestCorner, SNAP_PIXELS } from './snapping.js';

const $ = (id) => document.getElementById(id);

export const picking = {
  pickMode: false,
  upAxis: 'y',
  hovered: null,  // the node drawn lit as under the cursor, or null
  // What the page does with a click on the model, (found, event), found
  // being {point, node, kind} or null; and with the node under the cursor.
  click: () => {},
  hover: () => {},
};

const raycaster = new THREE.Raycaster();

function rayAt(event) {
  const rect = frame.renderer.domElement.getBoundingClientRect();
  raycaster.setFromCamera(new THREE.Vector2((event.clientX - rect.left) / rect.width * 2 - 1,
    -(event.clientY - rect.top) / rect.height * 2 + 1), frame.camera);
  return raycaster;
}

// What a click can hit, with markers caught within their size on screen.
function hits(ray) {
  ray.params.Points.threshold = Math.max(markers.pixels, 5) / 2 * pixelSizes()(frame.controls.target);
  return ray.intersectObjects(drawn.pickable, false);
}
// What hides a point and what a pick snaps to: surfaces, not markers.
const solids = () => drawn.pickable.filter((mesh) => !mesh.isPoints);

// Whether no mesh stands between the eye and `point`.
const sightRay = new THREE.Raycaster();
function visible(point) {
  const { camera } = frame;
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
  const ray = rayAt(event);
  const hit = hits(ray)[0];
  const node = hit ? nodeOfHit(hit) : null;
  if ($('snapping').checked) {
    const rect = frame.renderer.domElement.getBoundingClientRect();
    const snap = nearestCorner(solids(), { x: event.clientX, y: event.clientY }, SNAP_PIXELS,
      { screenOf: (point) => screenOf(point, rect), ray: ray.ray, pixelAt: pixelSizes(), visible });
    if (snap) return { point: snap.point, node, kind: snap.kind };
  }
  if (hit) return { point: hit.point, node, kind: 'surface' };
  const up = picking.upAxis === 'z' ? 2 : 1;
  const normal = new THREE.Vector3().setComponent(up, 1);
  const point = ray.ray.intersectPlane(new THREE.Plane(normal, 0), new THREE.Vector3());
  return point && { point: point.setComponent(up, 0), node: null, kind: 'ground' };
}

// The node of the mesh or marker under the cursor, or null.
function nodeUnder(event) {
  const hit = hits(rayAt(event))[0];
  return hit ? nodeOfHit(hit) ?? null : null;
}

// The marker and its label at the point a click would pick; none outside
// a pick mode.
export function showPoint(found, event) {
  const label = $('pick-label');
  if (!picking.pickMode || !found) {
    if (pickMarker.visible) redrawOverlays();
    pickMarker.visible = false;
    label.style.display = 'none';
    return;
  }
  pickMarker.position.copy(found.point);
  pickMarker.visible = true;
  redrawOverlays();
  const rect = $('viewport').getBoundingClientRect();
  label.textContent = `${found.kind}: ${[found.point.x, found.point.y, found.point.z].map(shortText).join(' ')}`;
  label.style.left = `${event.clientX - rect.left + 12}px`;
  label.style.top = `${event.clientY - rect.top + 12}px`;
  label.style.display = 'block';
}

function hover(index) {
  if (index === picking.hovered) return;
  const was = picking.hovered;
  picking.hovered = index;
  picking.hover(index, was);
}

export function startPicking() {
  const canvas = frame.renderer.domElement;
  let down = null;
  // The point under the cursor is looked for once a frame, and only while
  // a pick mode shows it: a ray through a large scene takes a while.
  let moved = null;
  canvas.addEventListener('pointermove', (event) => {
    if (event.buttons !== 0) return;  // turning the view
    if (moved === null) {
      requestAnimationFrame(() => {
        if (picking.pickMode || pickMarker.visible) showPoint(picking.pickMode ? pointUnder(moved) : null, moved);
        if (!picking.pickMode) hover(nodeUnder(moved));
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
    if (!gizmoClicked(event)) picking.click(pointUnder(event), event);
  });
}

// The shortest decimal that reads back as the single-precision number
// nearest `v`: a vertex at -2.9 is sent as "-2.9", not as the float's
// whole expansion or a neighbour.
export function singleText(v) {
  const single = Math.fround(v);
  for (let digits = 1; digits < 9; ++digits) {
    const text = single.toPrecision(digits);
    if (Math.fround(Number(text)) === single) return String(Number(text));
  }
  return String(single);
}

// The text of a `click` line for a point.
export function clickText(point) {
  // In single precision, as the host keeps points: a double halfway
  // between two floats would otherwise round as its decimal text rounds.
  return `click ${[point.x, point.y, point.z].map(singleText).join(' ')}`;
}
