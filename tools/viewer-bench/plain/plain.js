// What a user would otherwise open: three.js's GLTFLoader (Draco and
// meshopt decoders) loads the file named by ?scene=, the view framed on
// it, drawn once; "first picture" is marked once the renderer has drawn
// it. Then, in the viewer's order, the room's lighting (made as small as
// the viewer makes it) and a picture with it. window.plain.orbitRate(seconds)
// turns the view, each frame drawn once.
import * as THREE from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { DRACOLoader } from 'three/addons/loaders/DRACOLoader.js';
import { MeshoptDecoder } from 'three/addons/libs/meshopt_decoder.module.js';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';
import { RoomEnvironment } from 'three/addons/environments/RoomEnvironment.js';

const renderer = new THREE.WebGLRenderer();
renderer.setSize(window.innerWidth, window.innerHeight);
document.body.append(renderer.domElement);
const scene = new THREE.Scene();
scene.background = new THREE.Color(0xf4f4f4);
const camera = new THREE.PerspectiveCamera(50, window.innerWidth / window.innerHeight, 0.01, 10000);
const controls = new OrbitControls(camera, renderer.domElement);

function drawn() {
  const gl = renderer.getContext();
  const fence = gl.fenceSync(gl.SYNC_GPU_COMMANDS_COMPLETE, 0);
  gl.flush();
  return new Promise((done) => {
    const look = () => {
      if (gl.getSyncParameter(fence, gl.SYNC_STATUS) !== gl.SIGNALED) return setTimeout(look, 2);
      gl.deleteSync(fence);
      return done();
    };
    look();
  });
}

const loader = new GLTFLoader();
const draco = new DRACOLoader();
draco.setDecoderPath('./three/examples/jsm/libs/draco/gltf/');
loader.setDRACOLoader(draco);
loader.setMeshoptDecoder(MeshoptDecoder);
const gltf = await loader.loadAsync(new URLSearchParams(location.search).get('scene'));
scene.add(gltf.scene);
const box = new THREE.Box3().setFromObject(gltf.scene);
const size = Math.max(1e-3, box.getSize(new THREE.Vector3()).length());
const centre = box.getCenter(new THREE.Vector3());
camera.position.copy(centre).add(new THREE.Vector3(0.6, 0.7, 1).normalize().multiplyScalar(size * 1.1));
camera.near = size / 10000;
camera.far = size * 100;
camera.updateProjectionMatrix();
controls.target.copy(centre);
controls.update();
renderer.render(scene, camera);
await drawn();
performance.mark('first picture');
const maker = new THREE.PMREMGenerator(renderer);
// At the viewer's size: three.js's default (256) costs seconds in software.
scene.environment = maker.fromScene(new RoomEnvironment(), 0.04, 0.1, 100, { size: 32 }).texture;
maker.dispose();
renderer.render(scene, camera);
await drawn();

window.plain = {
  async orbitRate(seconds) {
    const start = performance.now();
    let frames = 0;
    while (performance.now() - start < seconds * 1000) {
      const offset = camera.position.clone().sub(controls.target).applyAxisAngle(camera.up, 0.05);
      camera.position.copy(controls.target).add(offset);
      controls.update();
      renderer.render(scene, camera);
      await drawn();
      ++frames;
    }
    return frames / ((performance.now() - start) / 1000);
  },
};
