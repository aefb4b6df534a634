// The benchmark's scenes: `count` boxes in rows of 100 (each row a node
// without a mesh), one material, the boxes sharing one mesh or each a mesh
// of its own (its own positions and normals, a size of its own), as
// exported CAD and architecture scenes have them.
import fs from 'node:fs';
import path from 'node:path';

// A box of half-size `h`: 24 corners (a face's own normals), 36 indices.
function box(h) {
  const positions = [];
  const normals = [];
  for (let axis = 0; axis < 3; ++axis) {
    for (const sign of [-1, 1]) {
      const [u, v] = [(axis + 1) % 3, (axis + 2) % 3];
      for (const [a, b] of [[-1, -1], [1, -1], [1, 1], [-1, 1]]) {
        const p = [0, 0, 0];
        p[axis] = sign * h;
        p[u] = a * h * sign;
        p[v] = b * h;
        positions.push(...p);
        const n = [0, 0, 0];
        n[axis] = sign;
        normals.push(...n);
      }
    }
  }
  return { positions, normals };
}

const INDICES = [...Array(6).keys()].flatMap((face) => [0, 1, 2, 0, 2, 3].map((k) => face * 4 + k));

// Writes NAME.gltf and NAME.bin into `folder`; returns the .gltf's path.
export function writeBoxes(folder, name, count, distinct) {
  const meshes = distinct ? count : 1;
  const chunks = [Buffer.from(new Uint16Array(INDICES).buffer)];
  const accessors = [{ bufferView: 0, componentType: 5123, count: 36, type: 'SCALAR' }];
  const bufferViews = [{ buffer: 0, byteOffset: 0, byteLength: 72, target: 34963 }];
  let offset = 72;
  for (let m = 0; m < meshes; ++m) {
    const h = distinct ? 0.5 + 0.3 * ((m * 7919) % 100) / 100 : 0.8;
    const { positions, normals } = box(h);
    for (const values of [positions, normals]) {
      const bytes = Buffer.from(new Float32Array(values).buffer);
      chunks.push(bytes);
      bufferViews.push({ buffer: 0, byteOffset: offset, byteLength: bytes.length, target: 34962 });
      accessors.push({ bufferView: bufferViews.length - 1, componentType: 5126, count: 24, type: 'VEC3',
        ...(values === positions ? { min: [-h, -h, -h], max: [h, h, h] } : {}) });
      offset += bytes.length;
    }
  }
  const nodes = [];
  const rows = [];
  for (let k = 0; k < count; ++k) {
    if (k % 100 === 0) rows.push({ name: `Row ${rows.length}`, translation: [0, 0, 2 * rows.length], children: [] });
    rows.at(-1).children.push(nodes.length);
    nodes.push({ name: `Box ${k}`, mesh: distinct ? k : 0, translation: [2 * (k % 100), 0, 0] });
  }
  const roots = rows.map((row, r) => nodes.length + r);
  const bin = `${name}.bin`;
  fs.writeFileSync(path.join(folder, bin), Buffer.concat(chunks));
  fs.writeFileSync(path.join(folder, `${name}.gltf`), JSON.stringify({
    asset: { version: '2.0' }, scene: 0, scenes: [{ nodes: roots }], nodes: nodes.concat(rows),
    meshes: [...Array(meshes).keys()].map((m) => ({ primitives: [{ attributes: { POSITION: 1 + 2 * m, NORMAL: 2 + 2 * m },
      indices: 0, material: 0 }] })),
    materials: [{ pbrMetallicRoughness: { baseColorFactor: [0.6, 0.65, 0.8, 1], metallicFactor: 0.2 } }],
    accessors, bufferViews, buffers: [{ byteLength: offset, uri: bin }],
  }));
  return path.join(folder, `${name}.gltf`);
}
