// Static meshes drawn in batches: the parts that share a material (and the
// same kinds of vertex data) merged into one mesh, each part's vertices
// placed in the world where its node's object sits and tinted as its node
// is. A software renderer (SwiftShader) pays for every draw, and for every
// instance of an InstancedMesh as a draw of its own: 100 000 meshes drawn
// one by one cost seconds a frame. Each part keeps its node for picking,
// snapping, hover and selection; an edit of a node rewrites its parts'
// vertices in place, never the batch.
import * as THREE from 'three';
import { mergeVertices } from 'three/addons/utils/BufferGeometryUtils.js';

// A batch holds at most this many vertices (one that a single part passes
// holds that part alone): the copies of a large scene are drawn in chunks.
export const BATCH_VERTICES = 1 << 20;

// Whether a mesh can be drawn in a batch: a plain, static Mesh of one
// opaque material. Tangents would have to be turned, vertex colours would
// be overwritten by the tint, and three.js sorts transparent meshes back
// to front one by one; those meshes are drawn as three.js draws them.
export function batchable(mesh) {
  const geometry = mesh.geometry;
  return mesh.isMesh && !mesh.isSkinnedMesh && !mesh.isInstancedMesh && !Array.isArray(mesh.material) &&
    !mesh.material.transparent &&
    Boolean(geometry?.attributes.position) && !geometry.attributes.tangent && !geometry.attributes.color &&
    Object.keys(geometry.morphAttributes).length === 0 && geometry.groups.length === 0;
}

// Parts of one key can share a batch: the same material, the same vertex
// data but positions and normals (which are placed in the world anew).
function keyOf({ geometry, material }) {
  const kinds = Object.entries(geometry.attributes).filter(([name]) => name !== 'position' && name !== 'normal')
    .map(([name, a]) => `${name}:${a.itemSize}:${a.normalized}:${(a.data ?? a).array.constructor.name}`);
  return [material.uuid, Boolean(geometry.attributes.normal), ...kinds.sort()].join('|');
}

// `parts` ([{node, geometry, material, local}]: `local`, a Matrix4 or null,
// places the part in its node's object) in batches; `matrixOf(part)` gives
// where a part sits in the world.
export function makeBatches(parts, matrixOf) {
  const keys = new Map();
  for (const part of shareCorners(parts)) {
    const key = keyOf(part);
    if (!keys.has(key)) keys.set(key, []);
    keys.get(key).push(part);
  }
  const batches = [];
  for (const list of keys.values()) {
    let chunk = [];
    let vertices = 0;
    for (const part of list) {
      const count = part.geometry.attributes.position.count;
      if (chunk.length > 0 && vertices + count > BATCH_VERTICES) {
        batches.push(new Batch(chunk, matrixOf));
        chunk = [];
        vertices = 0;
      }
      chunk.push(part);
      vertices += count;
    }
    if (chunk.length > 0) batches.push(new Batch(chunk, matrixOf));
  }
  return batches;
}

// A mesh without indices that many parts draw is given them, its corners
// that are the same in every value (position, normal, ...) made one: each
// copy's corners are then placed, and drawn, once (a box of 36 corners
// has 8 or 24).
const SHARED_FROM = 16;
function shareCorners(parts) {
  const uses = new Map();
  for (const { geometry } of parts) uses.set(geometry, (uses.get(geometry) ?? 0) + 1);
  const indexed = new Map();
  for (const [geometry, count] of uses) {
    if (!geometry.index && count >= SHARED_FROM) indexed.set(geometry, mergeVertices(geometry));
  }
  return indexed.size === 0 ? parts : parts.map((part) => (indexed.has(part.geometry)
    ? { ...part, geometry: indexed.get(part.geometry) } : part));
}

// A value of an attribute as its array holds it (interleaved or not).
const raw = (a, i, c) => (a.isInterleavedBufferAttribute ? a.data.array[i * a.data.stride + a.offset + c]
  : a.array[i * a.itemSize + c]);

const point = new THREE.Vector3();
const other = new THREE.Vector3();
const third = new THREE.Vector3();
const normalMatrix = new THREE.Matrix3();
const localRay = new THREE.Ray();
const sphere = new THREE.Sphere();

class Batch {
  constructor(parts, matrixOf) {
    this.parts = [];
    let vertices = 0;
    let corners = 0;
    for (const { node, geometry, local } of parts) {
      const count = geometry.attributes.position.count;
      const indexCount = geometry.index ? geometry.index.count : count;
      this.parts.push({ node, source: geometry, local, first: vertices, count, firstIndex: corners, indexCount,
        mirrored: null });
      vertices += count;
      corners += indexCount;
    }
    // Vertices are kept relative to the batch's origin: single precision
    // around it, where the whole world would lose a large scene's detail.
    const matrices = parts.map(matrixOf);
    this.origin = new THREE.Vector3();
    for (const matrix of matrices) this.origin.add(point.setFromMatrixPosition(matrix));
    this.origin.divideScalar(matrices.length);
    this.spheres = new Float64Array(this.parts.length * 4);
    this.mesh = this.makeMesh(parts[0], vertices, corners);
    this.parts.forEach((part, k) => this.place(k, matrices[k], false));
  }

  makeMesh({ geometry: first, material }, vertices, corners) {
    const geometry = new THREE.BufferGeometry();
    for (const [name, a] of Object.entries(first.attributes)) {
      const placed = name === 'position' || name === 'normal';
      const Type = placed ? Float32Array : (a.data ?? a).array.constructor;
      const array = new Type(vertices * a.itemSize);
      if (!placed) {
        for (const part of this.parts) {
          const source = part.source.attributes[name];
          for (let i = 0; i < part.count; ++i) {
            for (let c = 0; c < a.itemSize; ++c) array[(part.first + i) * a.itemSize + c] = raw(source, i, c);
          }
        }
      }
      geometry.setAttribute(name, new THREE.BufferAttribute(array, a.itemSize, placed ? false : a.normalized));
    }
    // White leaves the material's own colours; a tint replaces it.
    geometry.setAttribute('color', new THREE.BufferAttribute(new Float32Array(vertices * 3).fill(1), 3));
    geometry.setIndex(new THREE.BufferAttribute(new Uint32Array(corners), 1));
    const drawn = material.clone();
    drawn.vertexColors = true;
    const mesh = new THREE.Mesh(geometry, drawn);
    mesh.position.copy(this.origin);
    // Its bounds would be made again at every edit; a ray looks at each part's.
    mesh.frustumCulled = false;
    mesh.raycast = (raycaster, intersects) => this.raycast(raycaster, intersects);
    mesh.userData.batch = this;
    return mesh;
  }

  // Part `k` placed in the world by `matrix`; a part mirrored by it has its
  // triangles' winding turned, so that its faces still face out.
  place(k, matrix, edit = true) {
    const part = this.parts[k];
    part.matrix = matrix.clone();
    const { position, normal } = part.source.attributes;
    const positions = this.mesh.geometry.attributes.position;
    for (let i = 0; i < part.count; ++i) {
      point.fromBufferAttribute(position, i).applyMatrix4(matrix).sub(this.origin)
        .toArray(positions.array, (part.first + i) * 3);
    }
    this.changed(positions, part.first * 3, part.count * 3, edit);
    this.mesh.geometry.boundingBox = null;  // made again when next needed
    this.mesh.geometry.boundingSphere = null;
    if (normal) {
      const normals = this.mesh.geometry.attributes.normal;
      normalMatrix.getNormalMatrix(matrix);
      for (let i = 0; i < part.count; ++i) {
        point.fromBufferAttribute(normal, i).applyNormalMatrix(normalMatrix).toArray(normals.array, (part.first + i) * 3);
      }
      this.changed(normals, part.first * 3, part.count * 3, edit);
    }
    const mirrored = matrix.determinant() < 0;
    if (mirrored !== part.mirrored) {
      part.mirrored = mirrored;
      const index = this.mesh.geometry.index;
      const source = part.source.index;
      for (let t = 0; t < part.indexCount; t += 3) {
        for (let e = 0; e < 3; ++e) {
          const from = t + (mirrored && e > 0 ? 3 - e : e);
          index.array[part.firstIndex + t + e] = part.first + (source ? source.getX(from) : from);
        }
      }
      this.changed(index, part.firstIndex, part.indexCount, edit);
    }
    if (!part.source.boundingSphere) part.source.computeBoundingSphere();
    sphere.copy(part.source.boundingSphere).applyMatrix4(matrix);
    sphere.center.toArray(this.spheres, k * 4);
    this.spheres[k * 4 + 3] = sphere.radius;
  }

  changed(attribute, start, count, edit) {
    if (edit) attribute.addUpdateRange(start, count);
    attribute.needsUpdate = true;
  }

  // Part `k` tinted by `colour` (white: untinted).
  tint(k, colour) {
    const part = this.parts[k];
    const colours = this.mesh.geometry.attributes.color;
    for (let i = 0; i < part.count; ++i) colour.toArray(colours.array, (part.first + i) * 3);
    this.changed(colours, part.first * 3, part.count * 3, true);
  }

  // The parts whose bounds come within `slack(centre)` of `ray` (world).
  * partsNear(ray, slack) {
    for (let k = 0; k < this.parts.length; ++k) {
      point.fromArray(this.spheres, k * 4);
      if (ray.distanceSqToPoint(point) <= (this.spheres[k * 4 + 3] + slack(point)) ** 2) yield k;
    }
  }

  // Vertex `i` of part `k` in the world, from the file's own numbers and
  // the part's placement in double precision (as a snap takes it), not
  // from the single-precision copy drawn around the batch's origin.
  sourcePoint(k, i, target) {
    const part = this.parts[k];
    return target.fromBufferAttribute(part.source.attributes.position, i).applyMatrix4(part.matrix);
  }

  // The same for corner `e` of part `k`'s triangle `t`.
  sourceCorner(k, t, e, target) {
    const index = this.parts[k].source.index;
    return this.sourcePoint(k, index ? index.getX(t + e) : t + e, target);
  }

  // The corners of part `k`'s triangle `t` (of its own), in the world.
  corner(k, t, e, target) {
    const part = this.parts[k];
    const index = this.mesh.geometry.index.array[part.firstIndex + t + e];
    return target.fromBufferAttribute(this.mesh.geometry.attributes.position, index).add(this.origin);
  }

  // As a Mesh's raycast: the nearest hit of each part that the ray meets,
  // faces culled as the material culls them.
  raycast(raycaster, intersects) {
    const side = this.mesh.material.side;
    for (const k of this.partsNear(raycaster.ray, () => 0)) {
      const part = this.parts[k];
      localRay.copy(raycaster.ray);
      let nearest = null;
      for (let t = 0; t < part.indexCount; t += 3) {
        this.corner(k, t, 0, point);
        this.corner(k, t, 1, other);
        this.corner(k, t, 2, third);
        const hit = side === THREE.BackSide ? localRay.intersectTriangle(third, other, point, true, new THREE.Vector3())
          : localRay.intersectTriangle(point, other, third, side === THREE.FrontSide, new THREE.Vector3());
        const distance = hit ? hit.distanceTo(raycaster.ray.origin) : Infinity;
        if (distance >= raycaster.near && distance <= raycaster.far && distance < (nearest?.distance ?? Infinity)) {
          nearest = { distance, point: hit, object: this.mesh, faceIndex: (part.firstIndex + t) / 3, part: k };
        }
      }
      if (nearest) intersects.push(nearest);
    }
  }
}
