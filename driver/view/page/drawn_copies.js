// Copies of one small mesh drawn as a single mesh. A software renderer
// (SwiftShader) draws each instance of an InstancedMesh as a draw of its
// own: 20 000 boxes took a third of a second longer than the same
// triangles in one mesh. The InstancedMesh stays, hidden, for picking,
// snapping and bounds (a ray does not look at `visible`); this mesh only
// draws, each copy's vertices placed and tinted as its instance is.
import * as THREE from 'three';

// Beyond this many vertices in all, the copies stay instances: memory and
// the placing of every vertex would cost more than the draws.
const MOST_VERTICES = 1 << 21;

const point = new THREE.Vector3();
const normalMatrix = new THREE.Matrix3();

// The mesh that draws the copies of `instanced` (an InstancedMesh whose
// matrices and colours are set), or null where they are better left as
// instances: too many vertices, or attributes that a placement would have
// to turn (tangents) or a tint would overwrite (vertex colours).
export function drawnCopies(instanced) {
  const source = instanced.geometry;
  const vertices = source.attributes.position.count;
  if (vertices * instanced.count > MOST_VERTICES || source.attributes.tangent || source.attributes.color ||
      Object.keys(source.morphAttributes).length > 0 || Array.isArray(instanced.material)) {
    return null;
  }
  const geometry = new THREE.BufferGeometry();
  for (const [name, attribute] of Object.entries(source.attributes)) {
    const array = new Float32Array(vertices * instanced.count * attribute.itemSize);
    if (name !== 'position' && name !== 'normal') {
      for (let copy = 0; copy < instanced.count; ++copy) {
        for (let i = 0; i < vertices; ++i) {
          for (let c = 0; c < attribute.itemSize; ++c) {
            array[(copy * vertices + i) * attribute.itemSize + c] = attribute.getComponent(i, c);
          }
        }
      }
    }
    geometry.setAttribute(name, new THREE.BufferAttribute(array, attribute.itemSize, attribute.normalized));
  }
  geometry.setAttribute('color', new THREE.BufferAttribute(new Float32Array(vertices * instanced.count * 3).fill(1), 3));
  if (source.index) {
    const indices = new Uint32Array(source.index.count * instanced.count);
    for (let copy = 0; copy < instanced.count; ++copy) {
      for (let k = 0; k < source.index.count; ++k) indices[copy * source.index.count + k] = copy * vertices + source.index.getX(k);
    }
    geometry.setIndex(new THREE.BufferAttribute(indices, 1));
  }
  const material = instanced.material.clone();
  material.vertexColors = true;
  const mesh = new THREE.Mesh(geometry, material);
  mesh.frustumCulled = false;  // its bounds would be made again at each placing
  mesh.userData.source = source;
  const matrix = new THREE.Matrix4();
  for (let copy = 0; copy < instanced.count; ++copy) {
    instanced.getMatrixAt(copy, matrix);
    placeCopy(mesh, copy, matrix);
  }
  return mesh;
}

// Places copy `id` of `mesh` (drawnCopies) by `matrix`, its instance's.
export function placeCopy(mesh, id, matrix) {
  const { position, normal } = mesh.userData.source.attributes;
  const first = id * position.count;
  for (let i = 0; i < position.count; ++i) {
    point.fromBufferAttribute(position, i).applyMatrix4(matrix).toArray(mesh.geometry.attributes.position.array, (first + i) * 3);
  }
  mesh.geometry.attributes.position.needsUpdate = true;
  mesh.geometry.boundingBox = null;  // made again when next needed
  mesh.geometry.boundingSphere = null;
  if (!normal) return;
  normalMatrix.getNormalMatrix(matrix);
  for (let i = 0; i < normal.count; ++i) {
    point.fromBufferAttribute(normal, i).applyNormalMatrix(normalMatrix).toArray(mesh.geometry.attributes.normal.array, (first + i) * 3);
  }
  mesh.geometry.attributes.normal.needsUpdate = true;
}

// Tints copy `id` of `mesh` (drawnCopies) by `colour`, as its instance.
export function tintCopy(mesh, id, colour) {
  const vertices = mesh.userData.source.attributes.position.count;
  const colours = mesh.geometry.attributes.color;
  for (let i = 0; i < vertices; ++i) colour.toArray(colours.array, (id * vertices + i) * 3);
  colours.needsUpdate = true;
}

// For tests: of every InstancedMesh of `meshes` drawn by drawnCopies, the
// largest distance of a copy's vertex from where its instance puts it, and
// the largest difference of a copy's colour from its instance's.
export function copiesOff(meshes) {
  const off = { placed: 0, tinted: 0 };
  const matrix = new THREE.Matrix4();
  const colour = new THREE.Color();
  const drawn = new THREE.Vector3();
  for (const instanced of meshes.filter((mesh) => mesh.userData.drawnBy)) {
    const { geometry } = instanced.userData.drawnBy;
    const vertices = instanced.geometry.attributes.position.count;
    for (let copy = 0; copy < instanced.count; ++copy) {
      instanced.getMatrixAt(copy, matrix);
      instanced.getColorAt(copy, colour);
      for (let i = 0; i < vertices; ++i) {
        point.fromBufferAttribute(instanced.geometry.attributes.position, i).applyMatrix4(matrix);
        drawn.fromBufferAttribute(geometry.attributes.position, copy * vertices + i);
        off.placed = Math.max(off.placed, drawn.distanceTo(point));
        const k = (copy * vertices + i) * 3;
        const tint = geometry.attributes.color.array.slice(k, k + 3);
        off.tinted = Math.max(off.tinted, ...tint.map((c, axis) => Math.abs(c - colour.toArray()[axis])));
      }
    }
  }
  return off;
}
