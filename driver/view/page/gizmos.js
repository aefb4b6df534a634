// What the viewport draws over the model: pivot tripods (X red, Y green,
// Z blue) and the marker of the point that a pick would take.
import * as THREE from 'three';
import { frame, redrawOverlays } from './frame.js';
import { worldOf } from './placements.js';

// More tripods than this would hide the model, and cost a software renderer
// seconds a frame: of a larger selection, the first ones are shown.
export const TRIPODS_SHOWN = 1000;

const gizmos = { tripods: null, length: 1 };

export const pickMarker = new THREE.Mesh(new THREE.SphereGeometry(1, 16, 8),
  new THREE.MeshBasicMaterial({ color: 0xff2060 }));
pickMarker.visible = false;

// Tripods `length` long, and the marker, for a scene of `size`.
export function sizeGizmos(size) {
  gizmos.length = size / 25;
  pickMarker.scale.setScalar(size / 300);
  frame.overlays.add(pickMarker);
}

// Tripods at the pivots of `nodes` (the first `most` of them), in one set
// of lines (6 points a node), so that many cost one draw.
export function showTripods(nodes, most = TRIPODS_SHOWN) {
  if (gizmos.tripods) {
    frame.overlays.remove(gizmos.tripods);
    gizmos.tripods.geometry.dispose();
  }
  const shown = nodes.slice(0, most);
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('position', new THREE.BufferAttribute(new Float32Array(shown.length * 18), 3));
  const colors = new Float32Array(shown.length * 18);
  const axisColors = [[1, 0, 0], [0, 0.75, 0], [0, 0, 1]];
  for (let k = 0; k < shown.length * 6; ++k) colors.set(axisColors[Math.floor(k / 2) % 3], k * 3);
  geometry.setAttribute('color', new THREE.BufferAttribute(colors, 3));
  const lines = new THREE.LineSegments(geometry, new THREE.LineBasicMaterial({ vertexColors: true, depthTest: false }));
  lines.renderOrder = 1;
  lines.frustumCulled = false;
  lines.userData.slots = new Map(shown.map((index, slot) => [index, slot]));
  gizmos.tripods = lines;
  placeTripods(shown);
  frame.overlays.add(lines);
  redrawOverlays();
}

const world = new THREE.Matrix4();
const origin = new THREE.Vector3();
const end = new THREE.Vector3();
// The tripods of those of `indices` that show one, where their pivots are.
export function placeTripods(indices) {
  const lines = gizmos.tripods;
  if (!lines) return;
  const position = lines.geometry.attributes.position;
  for (const index of indices) {
    const slot = lines.userData.slots.get(index);
    if (slot === undefined) continue;
    worldOf(index, world);
    origin.setFromMatrixPosition(world);
    for (let axis = 0; axis < 3; ++axis) {
      end.set(0, 0, 0).setComponent(axis, gizmos.length).applyMatrix4(world);
      position.setXYZ(slot * 6 + axis * 2, origin.x, origin.y, origin.z);
      position.setXYZ(slot * 6 + axis * 2 + 1, end.x, end.y, end.z);
    }
  }
  position.needsUpdate = true;
  redrawOverlays();
}
