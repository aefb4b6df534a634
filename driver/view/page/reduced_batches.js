// While the view moves, a large scene's batches are drawn by stand-ins:
// each batch's own vertices (the same buffers) with a share of its
// triangles, evenly spaced through each part and at least one of every
// part, so that every object stays in sight while the whole scene would
// cost a software renderer too long a frame. Picking and snapping never
// look at them: they look at the batches, whole.
import * as THREE from 'three';

// The triangles of batches that a moving frame draws at most (and, beyond
// it, the one that each part keeps).
export const MOVING_TRIANGLES = 200000;
export const reduction = { budget: MOVING_TRIANGLES };

const trianglesOf = (batch) => batch.mesh.geometry.index.count / 3;

// The share of each part's triangles drawn while moving: 1 (nothing left
// out) where all the batches are within the budget.
export function movingShare(batches) {
  const total = batches.reduce((sum, batch) => sum + trianglesOf(batch), 0);
  return total <= reduction.budget ? 1 : reduction.budget / total;
}

// How many of a part's `triangles` are drawn at `share`.
const keptOf = (triangles, share) => Math.min(triangles, Math.max(1, Math.floor(triangles * share)));

// The stand-in of each batch, made again when the batch's triangles were
// turned (a part placed mirrored) or the share changed.
const standIns = new Map();  // batch -> {geometry, material, share, version}

function makeStandIn(batch) {
  const geometry = new THREE.BufferGeometry();
  for (const [name, attribute] of Object.entries(batch.mesh.geometry.attributes)) geometry.setAttribute(name, attribute);
  const material = batch.mesh.material.clone();
  // A part left with a triangle or two shows it from either side.
  material.side = THREE.DoubleSide;
  return { geometry, material, share: null, version: null };
}

function fillStandIn(batch, standIn, share) {
  const source = batch.mesh.geometry.index;
  let corners = 0;
  for (const part of batch.parts) corners += 3 * keptOf(part.indexCount / 3, share);
  // Of the same length (a part turned), the buffer drawn is written again.
  const same = standIn.geometry.index?.count === corners;
  const index = same ? standIn.geometry.index.array : new Uint32Array(corners);
  let at = 0;
  for (const part of batch.parts) {
    const triangles = part.indexCount / 3;
    const kept = keptOf(triangles, share);
    for (let j = 0; j < kept; ++j) {
      const from = part.firstIndex + 3 * Math.floor(j * triangles / kept);
      index.set(source.array.subarray(from, from + 3), at);
      at += 3;
    }
  }
  if (same) standIn.geometry.index.needsUpdate = true;
  else standIn.geometry.setIndex(new THREE.BufferAttribute(index, 1));
  standIn.share = share;
  standIn.version = source.version;
}

// The stand-in of `batch` at `share`, up to date.
export function standInOf(batch, share) {
  if (!standIns.has(batch)) standIns.set(batch, makeStandIn(batch));
  const standIn = standIns.get(batch);
  if (standIn.share !== share || standIn.version !== batch.mesh.geometry.index.version) fillStandIn(batch, standIn, share);
  return standIn;
}

// Calls `draw` with `batches` drawn by their stand-ins (none where they
// are within the budget); returns whether they were.
export function drawReduced(batches, draw) {
  const share = movingShare(batches);
  if (share === 1) {
    draw();
    return false;
  }
  const whole = batches.map(({ mesh }) => [mesh, mesh.geometry, mesh.material]);
  for (const batch of batches) {
    const { geometry, material } = standInOf(batch, share);
    batch.mesh.geometry = geometry;
    batch.mesh.material = material;
  }
  try {
    draw();
  } finally {
    for (const [mesh, geometry, material] of whole) {
      mesh.geometry = geometry;
      mesh.material = material;
    }
  }
  return true;
}
