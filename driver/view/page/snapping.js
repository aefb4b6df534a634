// Snapping as a modelling application snaps: of every mesh near the
// cursor, the corner or edge midpoint nearest on screen, within a radius.
import * as THREE from 'three';

// A pick snaps to a corner or edge midpoint within this many pixels of the
// cursor on screen.
export const SNAP_PIXELS = 10;

// What a snap takes, by the words that the pick's label and the status use.
const CORNER = 'corner';
const MIDPOINT = 'edge midpoint';

// What the status says a pick takes while snapping is on.
export const SNAP_TEXT = `a ${CORNER} or ${MIDPOINT} within ${SNAP_PIXELS} px is taken`;

const corner = new THREE.Vector3();
const other = new THREE.Vector3();
const sphere = new THREE.Sphere();
const instance = new THREE.Matrix4();

// The world points of one copy of `mesh` (toWorld: its placement) that a
// snap may go to: its corners and the midpoints of its triangles' edges.
function* pointsOf(mesh, toWorld) {
  const geometry = mesh.geometry;
  const count = geometry.attributes.position.count;
  const index = geometry.index;
  const at = (i, target) => mesh.getVertexPosition(i, target).applyMatrix4(toWorld);
  for (let i = 0; i < count; ++i) yield [CORNER, at(i, corner)];
  const corners = index ? index.count : count;
  for (let t = 0; t + 2 < corners; t += 3) {
    for (let e = 0; e < 3; ++e) {
      at(index ? index.getX(t + e) : t + e, corner);
      at(index ? index.getX(t + (e + 1) % 3) : t + (e + 1) % 3, other);
      yield [MIDPOINT, corner.add(other).multiplyScalar(0.5)];
    }
  }
}

// The placements of the copies of `mesh` whose bounds come within
// `radius` pixels of the ray (all of a skinned mesh, whose bounds move).
function* copiesNear(mesh, ray, radius, pixelAt) {
  if (!mesh.geometry.boundingSphere) mesh.geometry.computeBoundingSphere();
  const copies = mesh.isInstancedMesh ? mesh.count : 1;
  for (let copy = 0; copy < copies; ++copy) {
    const toWorld = mesh.matrixWorld.clone();
    if (mesh.isInstancedMesh) toWorld.multiply((mesh.getMatrixAt(copy, instance), instance));
    sphere.copy(mesh.geometry.boundingSphere).applyMatrix4(toWorld);
    if (mesh.isSkinnedMesh || mesh.morphTargetInfluences?.length ||
        ray.distanceToPoint(sphere.center) <= sphere.radius + radius * pixelAt(sphere.center)) yield toWorld;
  }
}

// The corners and edge midpoints of the parts of a batch (merged_batch.js)
// whose bounds come within `radius` pixels of the ray.
function* batchPoints(batch, ray, radius, pixelAt) {
  for (const k of batch.partsNear(ray, (centre) => radius * pixelAt(centre))) {
    const part = batch.parts[k];
    for (let i = 0; i < part.count; ++i) yield [CORNER, batch.sourcePoint(k, i, corner)];
    for (let t = 0; t + 2 < part.indexCount; t += 3) {
      for (let e = 0; e < 3; ++e) {
        batch.sourceCorner(k, t, e, corner);
        batch.sourceCorner(k, t, (e + 1) % 3, other);
        yield [MIDPOINT, corner.add(other).multiplyScalar(0.5)];
      }
    }
  }
}

function* pointsNear(mesh, ray, radius, pixelAt) {
  if (mesh.userData.batch) {
    yield* batchPoints(mesh.userData.batch, ray, radius, pixelAt);
    return;
  }
  for (const toWorld of copiesNear(mesh, ray, radius, pixelAt)) yield* pointsOf(mesh, toWorld);
}

// The nearest corner or edge midpoint of `meshes` within `radius` pixels
// of `cursor` ({x, y} in client pixels) that nothing hides, as {point,
// kind}, or null. `screenOf` maps a world point to client pixels, `ray`
// is the cursor's ray, `pixelAt` the size of a pixel at a world point and
// `visible(point)` whether no surface stands before it.
export function nearestCorner(meshes, cursor, radius, { screenOf, ray, pixelAt, visible }) {
  const found = [];
  for (const mesh of meshes) {
    for (const [kind, point] of pointsNear(mesh, ray, radius, pixelAt)) {
      const at = screenOf(point);
      const distance = Math.hypot(at.x - cursor.x, at.y - cursor.y);
      if (distance <= radius) found.push({ point: point.clone(), kind, distance });
    }
  }
  found.sort((a, b) => a.distance - b.distance || (a.kind === CORNER ? -1 : 1));
  return found.find((candidate) => visible(candidate.point)) ?? null;
}
