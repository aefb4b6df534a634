// The resting picture kept: the whole scene drawn into a target of its own,
// colours and depths, and shown by one square over the screen that writes
// both; what changes at rest without moving anything of the scene (a
// node's tint, and what frame.overlays holds) is then drawn over it, not
// the scene again. A software renderer takes most of a second for the
// scene of 100 000 nodes, and a few milliseconds for the square.
import * as THREE from 'three';
import { frame } from './frame.js';

const kept = {
  target: null,
  valid: false,
  // What a tint changed since the picture was kept: source mesh (a batch's
  // or the markers') -> the parts (of a batch) or points that it changed.
  tinted: new Map(),
  over: new Map(),  // source mesh -> the mesh that draws them over
};

// Beyond this many parts tinted anew, the scene is drawn again.
export const TINTED_OVER_MOST = 1000;

const shown = new THREE.Mesh(new THREE.PlaneGeometry(2, 2), new THREE.ShaderMaterial({
  uniforms: { picture: { value: null }, depths: { value: null } },
  vertexShader: 'varying vec2 at; void main() { at = uv; gl_Position = vec4(position.xy, 0.0, 1.0); }',
  fragmentShader: `uniform sampler2D picture; uniform sampler2D depths; varying vec2 at;
    void main() {
      gl_FragColor = texture2D(picture, at);
      #include <colorspace_fragment>
      gl_FragDepth = texture2D(depths, at).r;
    }`,
  depthFunc: THREE.AlwaysDepth,
}));
shown.frustumCulled = false;
const shownScene = new THREE.Scene().add(shown);
const shownCamera = new THREE.OrthographicCamera();

// Colours kept in half floats where the renderer can draw them (the
// scene's linear colours, turned into the screen's once shown), smoothed
// as the screen is.
function makeTarget(size) {
  const { renderer } = frame;
  const smooth = renderer.getContext().getContextAttributes().antialias;
  const target = new THREE.WebGLRenderTarget(size.x, size.y, {
    type: renderer.extensions.has('EXT_color_buffer_float') ? THREE.HalfFloatType : THREE.UnsignedByteType,
    samples: smooth ? 4 : 0, minFilter: THREE.NearestFilter, magFilter: THREE.NearestFilter,
    depthTexture: new THREE.DepthTexture(size.x, size.y),
  });
  shown.material.uniforms.picture.value = target.texture;
  shown.material.uniforms.depths.value = target.depthTexture;
  return target;
}

export const keptValid = () => kept.valid;

export function forgetKept() {
  kept.valid = false;
}

// The whole scene drawn and kept; the draws and triangles it took.
export function keepWhole() {
  const { renderer } = frame;
  const size = renderer.getDrawingBufferSize(new THREE.Vector2());
  if (!kept.target) kept.target = makeTarget(size);
  if (kept.target.width !== size.x || kept.target.height !== size.y) kept.target.setSize(size.x, size.y);
  renderer.setRenderTarget(kept.target);
  renderer.clear();
  renderer.render(frame.scene, frame.camera);
  const { calls, triangles } = renderer.info.render;
  renderer.setRenderTarget(null);
  kept.valid = true;
  kept.tinted.clear();
  return { calls, triangles };
}

// The kept picture on the screen, with what was tinted since drawn over it.
export function showKept() {
  frame.renderer.render(shownScene, shownCamera);
  drawTintedOver();
}

// Parts of a batch (`{batch, k}`) or points (`{mesh, id}`) tinted anew:
// drawn over the kept picture. Returns false where there are too many of
// them, or something else was tinted: the scene is to be drawn again.
export function tintedOver(parts) {
  for (const part of parts) {
    const source = part.batch?.mesh ?? (part.mesh?.isPoints ? part.mesh : null);
    if (!source) return false;
    if (!kept.tinted.has(source)) kept.tinted.set(source, new Set());
    kept.tinted.get(source).add(part.batch ? part.k : part.id);
  }
  let count = 0;
  for (const elements of kept.tinted.values()) count += elements.size;
  return count <= TINTED_OVER_MOST;
}

// What draws the tinted parts of `source` over the kept picture: its own
// vertices (the same buffers), the parts' triangles or the points alone.
// A batch's are pulled a hair towards the eye, so that each smoothed
// pixel's samples pass the depth that the picture kept of it.
const OVER_LAYER = 31;
function overMesh(source, elements) {
  if (!kept.over.has(source)) {
    const geometry = new THREE.BufferGeometry();
    for (const [name, attribute] of Object.entries(source.geometry.attributes)) geometry.setAttribute(name, attribute);
    const material = source.isPoints ? source.material : source.material.clone();
    if (!source.isPoints) Object.assign(material, { polygonOffset: true, polygonOffsetFactor: -1, polygonOffsetUnits: -1 });
    const over = source.isPoints ? new THREE.Points(geometry, material) : new THREE.Mesh(geometry, material);
    over.layers.set(OVER_LAYER);
    over.matrixAutoUpdate = false;
    over.frustumCulled = false;
    frame.scene.add(over);
    kept.over.set(source, over);
  }
  const over = kept.over.get(source);
  over.matrix.copy(source.matrixWorld);
  over.matrixWorldNeedsUpdate = true;
  const batch = source.userData.batch;
  const corners = batch ? [...elements].reduce((sum, k) => sum + batch.parts[k].indexCount, 0) : elements.size;
  if ((over.geometry.index?.array.length ?? 0) < corners) {
    over.geometry.setIndex(new THREE.BufferAttribute(new Uint32Array(Math.max(corners, 2 * (over.geometry.index?.array.length ?? 0))), 1));
  }
  const index = over.geometry.index;
  let at = 0;
  for (const element of elements) {
    if (!batch) {
      index.array[at++] = element;
      continue;
    }
    const { firstIndex, indexCount } = batch.parts[element];
    index.array.set(source.geometry.index.array.subarray(firstIndex, firstIndex + indexCount), at);
    at += indexCount;
  }
  index.needsUpdate = true;
  over.geometry.setDrawRange(0, corners);
  return over;
}

// The tinted parts drawn over the kept picture, lit as the scene is.
function drawTintedOver() {
  if (kept.tinted.size === 0) return;
  const { renderer, scene, camera } = frame;
  for (const [source, over] of kept.over) over.visible = kept.tinted.has(source);
  for (const [source, elements] of kept.tinted) overMesh(source, elements).visible = true;
  scene.traverse((object) => { if (object.isLight) object.layers.enable(OVER_LAYER); });
  const { background } = scene;
  const layers = camera.layers.mask;
  scene.background = null;  // nothing cleared
  camera.layers.set(OVER_LAYER);
  try {
    renderer.render(scene, camera);
  } finally {
    camera.layers.mask = layers;
    scene.background = background;
  }
}
