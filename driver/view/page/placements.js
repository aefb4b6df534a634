// Where the host says each node's pivot and object are, by pre-order
// index: the server's matrices (double precision where the file has it),
// as three.js's column-major Matrix4 elements.
import * as THREE from 'three';

const store = { world: new Float64Array(0), object: new Float64Array(0), count: 0 };

// Room for `count` nodes, every one at the origin.
export function startPlacements(count) {
  store.count = count;
  store.world = new Float64Array(count * 16);
  store.object = new Float64Array(count * 16);
  for (let index = 0; index < count; ++index) {
    for (const matrices of [store.world, store.object]) {
      matrices[index * 16] = matrices[index * 16 + 5] = matrices[index * 16 + 10] = matrices[index * 16 + 15] = 1;
    }
  }
}

// The nodes of an unpacked answer (view_state.js) placed; returns their
// indices. A node whose object sits at its pivot has the pivot's matrix.
export function takePlacements(nodes) {
  let object = 0;
  for (let k = 0; k < nodes.count; ++k) {
    const index = nodes.index[k];
    store.world.set(nodes.world.subarray(k * 16, k * 16 + 16), index * 16);
    const from = nodes.objectAt[object] === k ? nodes.object.subarray(object++ * 16, object * 16)
      : nodes.world.subarray(k * 16, k * 16 + 16);
    store.object.set(from, index * 16);
  }
  return nodes.index;
}

export const nodeCount = () => store.count;
export const worldOf = (index, target = new THREE.Matrix4()) => target.fromArray(store.world, index * 16);
export const objectOf = (index, target = new THREE.Matrix4()) => target.fromArray(store.object, index * 16);
export const pivotAt = (index, target = new THREE.Vector3()) => target.fromArray(store.world, index * 16 + 12);
