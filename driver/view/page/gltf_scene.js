// A glTF or GLB file as three.js's own loader draws it, whole (skins, morph
// targets, instancing, lights, cameras, compressed meshes), with each node
// then placed where the host says it is.
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { DRACOLoader } from 'three/addons/loaders/DRACOLoader.js';
import { KTX2Loader } from 'three/addons/loaders/KTX2Loader.js';
import { MeshoptDecoder } from 'three/addons/libs/meshopt_decoder.module.js';
import { authorization } from './start.js';
import { frame } from './frame.js';

// Images that the file names by an address of another host are never
// fetched (the server's Content-Security-Policy forbids it too): a blank
// pixel stands in for each, and the page says which were skipped.
export const skippedImages = [];
const BLANK_PIXEL = 'data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAQAAAC1HAwCAAAAC0lEQVR42mNkYAAAAAYAAjCB0C8AAAAASUVORK5CYII=';
const external = (uri) => /^\/\/|^\\\\/.test(uri) || (/^[a-z][a-z0-9+.-]*:/i.test(uri) && !/^(data|blob):/i.test(uri) &&
  !uri.startsWith(window.location.origin));

// A plain mesh that several nodes share is loaded for the first of them
// only (viewport.js draws it for all): an Object3D a node costs a large
// scene seconds.
const SHARED_FROM = 2;

// A node that is a plain mesh of one primitive (no morph targets, skin,
// camera or extension): one three.js Mesh, the same for every node of it.
function plainMesh(json, node) {
  const primitives = json.meshes?.[node.mesh]?.primitives ?? [];
  return node.mesh !== undefined && node.skin === undefined && node.camera === undefined &&
    node.extensions === undefined && primitives.length === 1 && !primitives[0].targets && !primitives[0].extensions;
}

// Cuts the file's default scene down to what draws, each node a root of its
// own (the page places every node where the host says, not under its
// parents): `facts.draws`, the glTF nodes whose objects the server says
// draw something, and `facts.joints`, the joints of skins. Of a plain mesh
// that several of them share only the first node is kept; `shared` gets
// that node's index -> the indices of all of them.
function drawnOnly(json, facts, shared) {
  const scene = json.scenes?.[json.scene ?? 0];
  if (!scene || !json.nodes) return;
  const byMesh = new Map();
  for (const index of facts.draws) {
    // A joint is loaded itself, as its skin needs it.
    if (!plainMesh(json, json.nodes[index]) || facts.joints.has(index)) continue;
    if (!byMesh.has(json.nodes[index].mesh)) byMesh.set(json.nodes[index].mesh, []);
    byMesh.get(json.nodes[index].mesh).push(index);
  }
  const left = new Set();
  for (const members of byMesh.values()) {
    if (members.length < SHARED_FROM) continue;
    shared.set(members[0], members);
    for (const index of members.slice(1)) left.add(index);
  }
  const roots = new Set([...facts.draws, ...facts.joints].filter((index) => json.nodes[index] && !left.has(index)));
  for (const node of json.nodes) delete node.children;
  json.scenes = [{ ...scene, nodes: [...roots] }];
  json.scene = 0;
}

// KTX2 (Basis) textures, read as the renderer can draw them: one reader
// for every load, its transcoder (beside the page) started once.
let ktx2 = null;
function ktx2Loader() {
  ktx2 ??= new KTX2Loader().setTranscoderPath('./three/examples/jsm/libs/basis/').detectSupport(frame.renderer);
  return ktx2;
}

// A loader as three.js's own; with `facts` and `shared` (a Map), one that
// loads only what draws (drawnOnly). `unread` gets the extensions that the
// file uses and three.js does not read (it only warns of them).
export function makeLoader(facts, shared, unread = []) {
  const loader = new GLTFLoader();
  // The scene's files are the user's: asked for with the token.
  loader.setRequestHeader(authorization);
  loader.manager.setURLModifier((url) => {
    if (!external(url)) return url;
    skippedImages.push(url);
    return BLANK_PIXEL;
  });
  const draco = new DRACOLoader();
  draco.setDecoderPath('./three/examples/jsm/libs/draco/gltf/');
  loader.setDRACOLoader(draco);
  loader.setMeshoptDecoder(MeshoptDecoder);
  loader.setKTX2Loader(ktx2Loader());
  loader.register((parser) => ({ name: 'morvane_drawn_only', beforeRoot: () => {
    unread.splice(0, unread.length, ...(parser.json.extensionsUsed ?? []).filter((name) =>
      !(name in parser.plugins) && !(name in parser.extensions)));
    if (facts) drawnOnly(parser.json, facts, shared);
  } }));
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

// The file at `route`, loaded whole: {gltf, objects, shared} or {error}
// (what stopped three.js, in one line). With `facts`, only what draws
// (drawnOnly).
export async function loadGltf(route, facts = null) {
  const unread = [];
  try {
    const shared = new Map();
    const gltf = await makeLoader(facts, shared, unread).loadAsync(route);
    return { gltf, objects: nodeObjects(gltf), shared };
  } catch (error) {
    return { error: failureText(error, unread) };
  }
}

// A loader's failure in one line: a decoder's error is an Error, a text,
// or (Draco's worker) an object with the text in `error`; where the file
// uses an extension that three.js does not read, that is said first.
export function failureText(error, unread = []) {
  const text = String(error?.message ?? error?.error ?? error).split('\n')[0];
  return unread.length > 0 ? `it uses ${unread.join(', ')}, which three.js does not read (${text})` : text;
}

// What three.js's loader alone makes of the file: each node's world matrix
// by its index in the file (for tests, to compare with what is drawn).
export async function loaderWorlds(route) {
  const { gltf, objects, error } = await loadGltf(route);
  if (error) throw new Error(`three.js's loader did not load ${route}: ${error}`);
  gltf.scene.updateMatrixWorld(true);
  return Object.fromEntries([...objects].map(([index, object]) => [index, object.matrixWorld.toArray()]));
}
