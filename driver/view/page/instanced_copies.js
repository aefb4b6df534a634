// Copies of one mesh that cannot be batched (vertex colours, tangents,
// blending), each where its node is: two InstancedMeshes, one for the
// copies that keep the mesh's handedness and one for the mirrored copies.
// A renderer turns the faces of a whole object, never of one instance:
// the mirrored copies' InstancedMesh is itself mirrored (its own matrix a
// reflection, which its instances' matrices undo), so that three.js draws
// their faces turned as it does for any mirrored object.
import * as THREE from 'three';

const MIRROR = new THREE.Matrix4().makeScale(-1, 1, 1);
const WHITE = new THREE.Color(1, 1, 1);
const placed = new THREE.Matrix4();
const colour = new THREE.Color();

export class InstancedCopies {
  // `mesh` drawn once for each of the node indices `nodes`.
  constructor(mesh, nodes) {
    this.sides = [false, true].map((mirrored) => {
      const copies = new THREE.InstancedMesh(mesh.geometry, mesh.material, nodes.length);
      copies.count = 0;
      copies.visible = false;
      copies.userData.nodes = [];  // instance -> node index
      copies.instanceColor = new THREE.InstancedBufferAttribute(new Float32Array(nodes.length * 3).fill(1), 3);
      if (mirrored) copies.applyMatrix4(MIRROR);
      return copies;
    });
    this.slots = new Map();  // node index -> {side, id}
    this.colours = new Map();  // node index -> its tint, carried when it changes side
  }

  // Copy `node` drawn with the object matrix `matrix`, on the side that
  // its handedness asks for.
  place(node, matrix) {
    const side = matrix.determinant() < 0 ? 1 : 0;
    let slot = this.slots.get(node);
    if (slot?.side !== side) {
      if (slot) this.remove(node, slot);
      const copies = this.sides[side];
      slot = { side, id: copies.count++ };
      copies.userData.nodes.push(node);
      copies.visible = true;
      this.slots.set(node, slot);
      copies.setColorAt(slot.id, this.colours.get(node) ?? WHITE);
      copies.instanceColor.needsUpdate = true;
    }
    const copies = this.sides[side];
    copies.setMatrixAt(slot.id, side ? placed.multiplyMatrices(MIRROR, matrix) : matrix);
    copies.instanceMatrix.needsUpdate = true;
    copies.boundingSphere = null;
    copies.boundingBox = null;
  }

  // Copy `node` tinted `tint` (white: as the file draws it).
  tint(node, tint) {
    this.colours.set(node, tint.clone());
    const slot = this.slots.get(node);
    if (!slot) return;
    this.sides[slot.side].setColorAt(slot.id, tint);
    this.sides[slot.side].instanceColor.needsUpdate = true;
  }

  // The last copy of the side takes the place of `node`'s (which the
  // caller gives another).
  remove(node, slot) {
    const copies = this.sides[slot.side];
    const last = --copies.count;
    const moved = copies.userData.nodes.pop();
    if (moved !== node) {
      copies.getMatrixAt(last, placed);
      copies.setMatrixAt(slot.id, placed);
      copies.getColorAt(last, colour);
      copies.setColorAt(slot.id, colour);
      copies.userData.nodes[slot.id] = moved;
      this.slots.get(moved).id = slot.id;
    }
    copies.visible = copies.count > 0;
    copies.instanceMatrix.needsUpdate = true;
    copies.instanceColor.needsUpdate = true;
    copies.boundingSphere = null;
    copies.boundingBox = null;
  }
}
