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
const external = (uri) => /^[a-z][a-z0-9+.-]*:/i.test(uri) && !/^(data|blob):/i.test(uri) &&
  !uri.startsWith(window.location.origin);

export function makeLoader() {
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

// The file at `route`, loaded whole: {gltf, objects} or {error}, a part
// that cannot be drawn (a decoder's error, a missing buffer or image)
// leaving the scene without it.
export async function loadGltf(route) {
  try {
    const gltf = await makeLoader().loadAsync(route);
    return { gltf, objects: nodeObjects(gltf) };
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
