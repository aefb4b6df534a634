// A glTF or GLB file as three.js's own loader draws it, whole (skins, morph
// targets, instancing, lights, cameras, compressed meshes), with each node
// then placed where the host says it is.
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { DRACOLoader } from 'three/addons/loaders/DRACOLoader.js';
import { MeshoptDecoder } from 'three/addons/libs/meshopt_decoder.module.js';

// Images that the file names by an address of another host are never
// fetched (the server's Content-Security-Policy forbids it too): a blank
// pixel stands in for each, and the page says which were skipped.
export const skippedImages = [];
const BLANK_PIXEL = 'data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAQAAAC1HAwCAAAAC0lEQVR42mNkYAAAAAYAAjCB0C8AAAAASUVORK5CYII=';
const external = (uri) => /^\/\/|^\\\\/.test(uri) || (/^[a-z][a-z0-9+.-]*:/i.test(uri) && !/^(data|blob):/i.test(uri) &&
  !uri.startsWith(window.location.origin));

// Plain meshes shared by this many nodes or more are loaded once and drawn
// as one InstancedMesh (viewport.js): a draw, and an Object3D, a node would
// cost seconds in a large scene.
export const SHARED_FROM = 16;

// What three.js draws of a node itself: a mesh, camera, skin, or what an
// extension adds (a light, instances).
const drawsSomething = (node) => node.mesh !== undefined || node.camera !== undefined ||
  node.skin !== undefined || Object.keys(node.extensions ?? {}).length > 0;

// A node that is a plain mesh of one primitive (no morph targets, skin,
// camera or extension): one three.js Mesh, the same for every node of it.
function plainMesh(json, node) {
  const primitives = json.meshes?.[node.mesh]?.primitives ?? [];
  return node.skin === undefined && node.camera === undefined && node.extensions === undefined &&
    primitives.length === 1 && !primitives[0].targets && !primitives[0].extensions;
}

// Cuts the file's default scene down to what draws, each node a root of its
// own (the page places every node where the host says, not under its
// parents): the nodes that draw something and the joints of skins. Of a
// plain mesh shared by SHARED_FROM nodes or more only the first node is
// kept; `shared` gets that node's index -> the indices of all of them.
function drawnOnly(json, shared) {
  const scene = json.scenes?.[json.scene ?? 0];
  if (!scene) return;
  const joints = new Set((json.skins ?? []).flatMap((skin) => skin.joints ?? []));
  const reached = new Set();
  const pending = [...(scene.nodes ?? [])];
  while (pending.length > 0) {
    const index = pending.pop();
    if (reached.has(index) || !json.nodes?.[index]) continue;
    reached.add(index);
    pending.push(...(json.nodes[index].children ?? []));
  }
  const byMesh = new Map();
  for (const index of reached) {
    if (json.nodes[index].mesh === undefined || !plainMesh(json, json.nodes[index])) continue;
    if (!byMesh.has(json.nodes[index].mesh)) byMesh.set(json.nodes[index].mesh, []);
    byMesh.get(json.nodes[index].mesh).push(index);
  }
  const left = new Set();
  for (const members of byMesh.values()) {
    if (members.length < SHARED_FROM) continue;
    shared.set(members[0], members);
    for (const index of members.slice(1)) left.add(index);
  }
  const roots = [...reached].filter((index) => !left.has(index) &&
    (drawsSomething(json.nodes[index]) || joints.has(index)));
  for (const index of reached) delete json.nodes[index].children;
  json.scenes = [{ ...scene, nodes: roots }];
  json.scene = 0;
}

// A loader as three.js's own; with `shared` (a Map), one that loads only
// what draws (drawnOnly).
export function makeLoader(shared) {
  const loader = new GLTFLoader();
  loader.manager.setURLModifier((url) => {
    if (!external(url)) return url;
    skippedImages.push(url);
    return BLANK_PIXEL;
  });
  const draco = new DRACOLoader();
  draco.setDecoderPath('./three/examples/jsm/libs/draco/gltf/');
  loader.setDRACOLoader(draco);
  loader.setMeshoptDecoder(MeshoptDecoder);
  if (shared) {
    loader.register((parser) => ({ name: 'morvane_drawn_only', beforeRoot: () => drawnOnly(parser.json, shared) }));
  }
  return loader;
}

// The Object3D of each glTF node of the loaded default scene, by index.
export function nodeObjects(gltf) {
  const objects = new Map();
  gltf.scene.traverse((object) => {
    const index = gltf.parser.associations.get(object)?.nodes;
    if (index === undefined || objects.has(index)) return;
    object.userData.gltfNode = index;
    objects.set(index, object);
  });
  return objects;
}

// The file at `route`, loaded whole: {gltf, objects, shared} or {error}, a
// part that cannot be drawn (a decoder's error, a missing buffer or image)
// leaving the scene without it. With `drawn`, only what draws (drawnOnly).
export async function loadGltf(route, drawn = false) {
  try {
    const shared = drawn ? new Map() : null;
    const gltf = await makeLoader(shared).loadAsync(route);
    return { gltf, objects: nodeObjects(gltf), shared };
  } catch (error) {
    return { error: String(error?.message ?? error) };
  }
}

// What three.js's loader alone makes of the file: each node's world matrix
// by its index in the file (for tests, to compare with what is drawn).
export async function loaderWorlds(route) {
  const { gltf, objects } = await loadGltf(route);
  gltf.scene.updateMatrixWorld(true);
  return Object.fromEntries([...objects].map(([index, object]) => [index, object.matrixWorld.toArray()]));
}
