// What the viewport draws of a glTF or GLB file: its meshes, each loaded
// once, and the nodes (in the tools' pre-order) that carry each.
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';

// The glTF's pre-order as the tools see it (the root 0, every node before
// its children), without the children that hold a moved object.
function preOrder(json) {
  const scene = json.scenes?.[json.scene ?? 0];
  const order = [null];
  const objectChild = new Map();
  const stack = [...(scene?.nodes ?? [])].reverse();
  while (stack.length > 0) {
    const index = stack.pop();
    const node = json.nodes[index];
    const children = node.children ?? [];
    const moved = children.find((c) => json.nodes[c].extras?.morvaneObjectOf === index && !json.nodes[c].children);
    const holdsObject = node.mesh !== undefined || node.camera !== undefined;
    if (moved !== undefined && !holdsObject) objectChild.set(index, moved);
    order.push(index);
    for (let k = children.length - 1; k >= 0; --k) {
      if (children[k] !== objectChild.get(index)) stack.push(children[k]);
    }
  }
  return { order, objectChild };
}

// The JSON of a glTF or GLB file, and a GLB file's binary chunk.
function splitGltf(data) {
  const words = new DataView(data);
  if (data.byteLength < 20 || words.getUint32(0, true) !== 0x46546c67) {  // "glTF"
    return { json: JSON.parse(new TextDecoder().decode(data)), binary: null };
  }
  const jsonLength = words.getUint32(12, true);
  const next = 20 + jsonLength;
  return { json: JSON.parse(new TextDecoder().decode(new Uint8Array(data, 20, jsonLength))),
    binary: next + 8 <= data.byteLength ? new Uint8Array(data, next + 8, words.getUint32(next, true)) : null };
}

// Only the file's meshes, each on a node of its own: three.js then makes
// one object a mesh rather than one a node (the host says where each node's
// object sits). A GLB file's binary chunk is handed over from memory.
// Returns the file's JSON and the parts of each mesh.
// Images that the file names by an address of another host are never
// fetched (the server's Content-Security-Policy forbids it too): a blank
// pixel stands in for each, and the page says which were skipped.
export const skippedImages = [];
const BLANK_PIXEL = 'data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAQAAAC1HAwCAAAAC0lEQVR42mNkYAAAAAYAAjCB0C8AAAAASUVORK5CYII=';
const external = (uri) => typeof uri === 'string' && /^[a-z][a-z0-9+.-]*:/i.test(uri) && !/^(data|blob):/i.test(uri);

async function loadMeshes(route) {
  const { json, binary } = splitGltf(await (await fetch(route)).arrayBuffer());
  const meshes = json.meshes ?? [];
  const chunk = binary && URL.createObjectURL(new Blob([binary]));
  const library = { ...json, scene: 0, scenes: [{ nodes: meshes.map((_, i) => i) }],
    nodes: meshes.map((_, i) => ({ mesh: i })),
    buffers: json.buffers?.map((buffer, i) => (i === 0 && chunk && buffer.uri === undefined ? { ...buffer, uri: chunk } : buffer)),
    images: json.images?.map((image) => {
      if (!external(image.uri)) return image;
      skippedImages.push(image.uri);
      return { ...image, uri: BLANK_PIXEL };
    }) };
  delete library.animations;
  delete library.skins;
  const gltf = await new GLTFLoader().parseAsync(JSON.stringify(library), route.slice(0, route.lastIndexOf('/') + 1))
    .finally(() => chunk && URL.revokeObjectURL(chunk));
  gltf.scene.updateMatrixWorld(true);
  const partsOf = new Map();
  for (const object of gltf.scene.children) {
    const parts = object.isMesh ? [object] : object.children.filter((c) => c.isMesh);
    partsOf.set(gltf.parser.associations.get(object)?.nodes, parts.map((part) => ({ geometry: part.geometry,
      material: part.material, local: object.matrixWorld.clone().invert().multiply(part.matrixWorld) })));
  }
  return { json, partsOf };
}

// The meshes of the file at `route`: partsOf (mesh -> parts: geometry,
// material, matrix in the node's frame) and carriers (mesh -> the pre-order
// indices of the nodes that carry it, or whose moved object does).
export async function loadGltfMeshes(route) {
  const { json, partsOf } = await loadMeshes(route);
  const { order, objectChild } = preOrder(json);
  const carriers = new Map();
  order.forEach((gltfIndex, index) => {
    if (gltfIndex === null) return;
    const mesh = json.nodes[objectChild.get(gltfIndex) ?? gltfIndex].mesh;
    if (mesh === undefined || !partsOf.has(mesh)) return;
    if (!carriers.has(mesh)) carriers.set(mesh, []);
    carriers.get(mesh).push(index);
  });
  return { partsOf, carriers };
}
