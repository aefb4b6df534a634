// What a second glTF client, three.js's GLTFLoader, makes of a glTF file:
// the world matrix of every mesh, camera and light of the default scene,
// and for a skinned mesh the matrices of its joints, which place its
// vertices; at rest, and as every animation plays, at times through it.
// Buffers are read from beside the file; images are not loaded (no DOM
// here), textures stay empty.
import { spawnSync } from "node:child_process";
import { readFile } from "node:fs/promises";
import path from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";
import { AnimationMixer, Box3, LoopOnce, Matrix4, Texture, Vector3 } from "three";
import { GLTFLoader } from "three/examples/jsm/loaders/GLTFLoader.js";
import { MeshoptDecoder } from "three/examples/jsm/libs/meshopt_decoder.module.js";

// Node has no ProgressEvent, which three's file loader reports progress with.
globalThis.ProgressEvent ??= class ProgressEvent extends Event {
    constructor(type, init = {}) {
        super(type);
        Object.assign(this, init);
    }
};
const nativeFetch = globalThis.fetch;
globalThis.fetch = async (request) => {
    const url = typeof request === "string" ? request : request.url;
    if (!url.startsWith("file:")) return nativeFetch(request);
    return new Response(await readFile(fileURLToPath(url)));
};

const loader = new GLTFLoader();
loader.setMeshoptDecoder(MeshoptDecoder);
loader.register(() => ({ name: "morvane_no_images", loadTexture: () => Promise.resolve(new Texture()) }));

// The tools' nodes of the file, as morvane-host itself lists them: the
// glTF node of each, by the tools' number (pre-order from 1; 0 is the
// scene). The page and this client keep no ordering of their own.
export function toolNodes(host, file) {
    return listing(host, file).map((node) => {
        const source = /^nodes\[(\d+)\]$/.exec(node.source ?? "");
        return source ? Number(source[1]) : null;
    });
}

// The nodes of `morvane-host list --json`, by the tools' number.
export function listing(host, file) {
    const run = spawnSync(host, ["list", "--json", file], { encoding: "utf8", maxBuffer: 1 << 30 });
    if (run.status !== 0) throw new Error(`${host} list --json ${file}: ${run.stderr || run.status}`);
    return JSON.parse(run.stdout).nodes;
}

// The world box of the vertices of `mesh` as three.js places them: morph
// targets at their influences, skinned vertices by their joints, each
// instance of an InstancedMesh by its matrix.
function vertexBox(mesh, box) {
    const position = mesh.geometry.attributes.position;
    if (!position) return;
    const vertex = new Vector3();
    const instance = new Matrix4();
    const world = new Matrix4();
    for (let k = 0; k < (mesh.isInstancedMesh ? mesh.count : 1); ++k) {
        world.copy(mesh.matrixWorld);
        if (mesh.isInstancedMesh) world.multiply((mesh.getMatrixAt(k, instance), instance));
        for (let i = 0; i < position.count; ++i) box.expandByPoint(mesh.getVertexPosition(i, vertex).applyMatrix4(world));
    }
}

// The file with its default scene as its only one. GLTFLoader loads every
// scene, and the nodes that two scenes share it clones for the later one
// without telling which glTF node a clone is.
function withDefaultSceneOnly(bytes) {
    const glb = new TextDecoder().decode(bytes.subarray(0, 4)) === "glTF";
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const jsonLength = glb ? view.getUint32(12, true) : bytes.byteLength;
    const json = JSON.parse(new TextDecoder().decode(glb ? bytes.subarray(20, 20 + jsonLength) : bytes));
    if (Array.isArray(json.scenes) && json.scenes.length > 1) {
        json.scenes = [json.scenes[json.scene ?? 0]];
        json.scene = 0;
    }
    const text = new TextEncoder().encode(JSON.stringify(json));
    if (!glb) return text.buffer;
    const padded = new Uint8Array(Math.ceil(text.length / 4) * 4).fill(0x20);
    padded.set(text);
    const rest = bytes.subarray(20 + jsonLength);
    const out = new Uint8Array(20 + padded.length + rest.length);
    const header = new DataView(out.buffer);
    out.set(bytes.subarray(0, 8));
    header.setUint32(8, out.length, true);
    header.setUint32(12, padded.length, true);
    header.setUint32(16, 0x4e4f534a, true); // "JSON"
    out.set(padded, 20);
    out.set(rest, 20 + padded.length);
    return out.buffer;
}

// The channels of KHR_animation_pointer that drive a node's translation,
// rotation or scale, which GLTFLoader passes over, as tracks of their
// animations' clips, made by the loader's own code for ordinary channels.
async function addPointerTracks(gltf) {
    const { parser } = gltf;
    for (const [i, animation] of (parser.json.animations ?? []).entries()) {
        const clip = gltf.animations[i];
        for (const channel of animation.channels ?? []) {
            const pointer = channel.target?.extensions?.KHR_animation_pointer?.pointer ?? "";
            const reached = /^\/nodes\/(\d+)\/(translation|rotation|scale)$/.exec(pointer);
            const sampler = animation.samplers?.[channel.sampler];
            if (!reached || !sampler) continue;
            const [node, input, output] = await Promise.all([
                parser.getDependency("node", Number(reached[1])),
                parser.getDependency("accessor", sampler.input),
                parser.getDependency("accessor", sampler.output),
            ]);
            clip.tracks.push(...parser._createAnimationTracks(node, input, output, sampler, { path: reached[2] }));
        }
        clip.resetDuration();
    }
}

// The fractions of each animation's length at which it is looked at: its
// ends, and times between that fall between keys of most animations.
const kPlayedAt = [0, 0.19, 0.5, 0.73, 1];

// Entries by key ("Mesh of nodes[3] #0" at rest, "animation 1 at 0.5: Mesh
// of nodes[3] #0" in play): the node that owns the object (the nearest
// glTF node up three.js's tree that the tools list: a child that holds its
// parent's object counts as the parent), the joint's node for a joint of a
// skinned mesh, and 16 numbers; and by owner, the world box of its meshes'
// vertices at rest. `order` is toolNodes'.
export async function placements(file, order) {
    const base = pathToFileURL(path.dirname(path.resolve(file)) + path.sep).href;
    const data = withDefaultSceneOnly(new Uint8Array(await readFile(file)));
    const gltf = await new Promise((resolve, reject) => loader.parse(data, base, resolve, reject));
    await addPointerTracks(gltf);
    const { json, associations } = gltf.parser;
    const listed = new Set(order);
    const nodeOf = (object, owners = false) => {
        for (let o = object; o; o = o.parent) {
            const node = associations.get(o)?.nodes;
            if (node !== undefined && (!owners || listed.has(node))) return node;
        }
        return undefined;
    };
    const entries = new Map();
    const boxes = new Map(); // by owner: the world box of its meshes' vertices at rest
    const record = (prefix) => {
        gltf.scene.updateMatrixWorld(true);
        recordPlacements(gltf, nodeOf, prefix, entries, prefix === "" ? boxes : null);
    };
    record("");
    const rest = [];
    gltf.scene.traverse((object) => rest.push([object, object.position.clone(), object.quaternion.clone(), object.scale.clone()]));
    gltf.animations.forEach((clip, i) => {
        const mixer = new AnimationMixer(gltf.scene);
        const action = mixer.clipAction(clip).setLoop(LoopOnce, 1);
        action.clampWhenFinished = true;
        action.play();
        for (const at of kPlayedAt) {
            mixer.setTime(at * clip.duration);
            record(`animation ${i} at ${at}: `);
        }
        mixer.stopAllAction();
        mixer.uncacheRoot(gltf.scene);
        for (const [object, position, quaternion, scale] of rest) {
            object.position.copy(position);
            object.quaternion.copy(quaternion);
            object.scale.copy(scale);
        }
    });
    // Which properties the animations drive (a morph animation whose node
    // lost its mesh drives none).
    gltf.animations.forEach((clip, i) => {
        const driven = clip.tracks.map((track) => track.name.slice(track.name.lastIndexOf(".") + 1)).sort();
        entries.set(`animation ${i}`, { driven: driven.join(" ") });
    });
    return { json, entries, boxes };
}

// The placement of every mesh, camera and light, and of every joint of a
// skinned mesh, as the scene now stands, into `entries`; with `boxes`, the
// world box of each owner's mesh vertices too.
function recordPlacements(gltf, nodeOf, prefix, entries, boxes) {
    const counts = new Map();
    gltf.scene.traverse((object) => {
        if (!object.isMesh && !object.isCamera && !object.isLight) return;
        const owner = nodeOf(object, true);
        const ordinal = counts.get(owner) ?? 0;
        counts.set(owner, ordinal + 1);
        // An InstancedMesh calls itself a Mesh.
        const kind = object.isInstancedMesh ? `InstancedMesh of ${object.count}` : object.type;
        const key = `${prefix}${kind} of nodes[${owner}] #${ordinal}`;
        if (boxes && object.isMesh) vertexBox(object, boxes.get(owner) ?? boxes.set(owner, new Box3()).get(owner));
        if (!object.isSkinnedMesh) {
            entries.set(key, { owner, numbers: [...object.matrixWorld.elements] });
            return;
        }
        object.skeleton.bones.forEach((bone, i) => {
            const joint = nodeOf(bone);
            const matrix = new Matrix4().multiplyMatrices(bone.matrixWorld, object.skeleton.boneInverses[i]);
            entries.set(`${key} joint nodes[${joint}]`, { owner, joint, numbers: matrix.elements });
        });
    });
}
