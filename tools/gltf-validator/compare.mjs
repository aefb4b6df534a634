// Checks glTF files that morvane-host wrote against the files they came
// from, with two independent clients:
//
//   node compare.mjs --host=MORVANE_HOST [--moved=K,...] [--pivoted=K,...] INPUT OUTPUT [...]
//
// - The Khronos glTF Validator: the written file may have no message (error,
//   warning, information or hint, by code and JSON pointer) that its input
//   did not have. Four are expected: a skinned mesh's node that was aligned
//   or whose pivot was edited has a local transform now, which glTF ignores
//   for the mesh; a GLB file whose buffer 0 is not its binary chunk gets its
//   new data (keys, inverse bind matrices) as a data: URI buffer; quantized
//   keys mapped as floats leave their old accessor unused, and keys of a
//   compressed buffer view their old view; a .gltf file written as GLB keeps
//   its images' URIs.
//   External buffers and images are loaded from beside each file, so a URI
//   that no longer reaches its file is an error.
// - three.js's GLTFLoader (../three-client): every mesh, camera and light,
//   and every joint of a skinned mesh, has the same world matrix (to 1e-5
//   of its size), at rest and at times through every animation as it
//   plays, and the animations drive the same properties (a pivot edit may
//   add position tracks), except for what the tools moved. K are the tools' node numbers in the input (pre-order,
//   1 the first node): --moved the nodes whose placement, and so their
//   objects', was changed (Align); --pivoted those whose pivot was edited,
//   which moves nothing that three.js shows, skinned vertices included.
//   Both apply to the next pair. Which glTF node each number is, and which
//   objects a node owns, morvane-host says (`list --json`).
//   The boxes that `list --json` gives each node, in both files, hold the
//   vertices of its meshes as three.js places them at rest.
import { readFile } from "node:fs/promises";
import path from "node:path";
import { createRequire } from "node:module";
import { listing, placements, toolNodes } from "../three-client/placements.mjs";

const validator = createRequire(import.meta.url)("gltf-validator");

async function messages(file) {
    const bytes = new Uint8Array(await readFile(file));
    const report = await validator.validateBytes(bytes, {
        uri: file,
        maxIssues: 0,
        writeTimestamp: false,
        externalResourceFunction: (uri) =>
            readFile(path.resolve(path.dirname(file), decodeURIComponent(uri))).then((data) => new Uint8Array(data)),
    });
    return new Set(report.issues.messages.map((m) => `${m.code} ${m.pointer ?? ""}`));
}

function close(a, b) {
    const size = Math.max(1, ...Array.from(a, Math.abs), ...Array.from(b, Math.abs));
    return Array.from(a).every((value, i) => Math.abs(value - b[i]) <= 1e-5 * size);
}

// Every node's box in `list --json` holds the vertices of its meshes as
// three.js places them (to 1e-5 of the box's size), and a node that holds
// a plain mesh has one, unless the validator finds the file's POSITION
// min and max wrong (`messages`), which the boxes are made from.
async function checkBounds(file, messages) {
    if ([...messages].some((m) => /^(ACCESSOR_(MIN|MAX)_MISMATCH|MESH_PRIMITIVE_POSITION_ACCESSOR_WITHOUT_BOUNDS) /.test(m))) return [];
    const nodes = listing(host, file);
    const order = nodes.map((node) => Number(/^nodes\[(\d+)\]$/.exec(node.source ?? "")?.[1] ?? NaN));
    const drawn = await placements(file, order).catch(() => null);
    if (!drawn) return [];
    const faults = [];
    nodes.forEach((node, k) => {
        const box = drawn.boxes.get(order[k]);
        if (!box || box.isEmpty()) return;
        if (!node.bounds) {
            const plain = node.holds.every((held) => held === "mesh" || held === "weights" || held === "joint");
            if (plain) faults.push(`list: node ${k} (nodes[${order[k]}]) draws a mesh and has no bounds`);
            return;
        }
        const { min, max } = node.bounds;
        const size = Math.max(1, ...min.map(Math.abs), ...max.map(Math.abs));
        const held = ["x", "y", "z"].every((axis, i) =>
            box.min[axis] >= min[i] - 1e-5 * size && box.max[axis] <= max[i] + 1e-5 * size);
        if (!held) {
            faults.push(`list: node ${k} (nodes[${order[k]}]) bounds ${JSON.stringify(node.bounds)} do not hold its vertices ` +
                `${JSON.stringify({ min: box.min.toArray(), max: box.max.toArray() })}`);
        }
    });
    return faults;
}

// Whether the properties an animation drives are the same, but for new
// position tracks, which a pivot edit may give a node whose rotation its
// keys hold, to carry its moved pivot.
function sameDriven(was, is, pivoted) {
    if (was === is) return true;
    const left = is.split(" ").filter(Boolean);
    for (const property of was.split(" ").filter(Boolean)) {
        const at = left.indexOf(property);
        if (at < 0) return false;
        left.splice(at, 1);
    }
    return pivoted.length > 0 && left.every((property) => property === "position");
}

// A pivot edit moves nothing that three.js shows, so only --moved exempts.
async function comparePlacements(input, output, moved, pivoted, order) {
    const before = await placements(input, order).catch(() => null);
    if (!before) return []; // three.js cannot read the input either (an extension it lacks)
    const after = await placements(output, toolNodes(host, output));
    const nodes = (list) => new Set(list.map((k) => order[k]));
    const movedNodes = nodes(moved);
    const exempt = (entry) => movedNodes.has(entry.owner) || movedNodes.has(entry.joint);
    const faults = [];
    for (const key of new Set([...before.entries.keys(), ...after.entries.keys()])) {
        const [was, is] = [before.entries.get(key), after.entries.get(key)];
        if (!was || !is) {
            if (!exempt(was ?? is)) faults.push(`three.js: ${key} ${was ? "is gone" : "is new"}`);
        } else if (was.driven !== undefined ? !sameDriven(was.driven, is.driven, pivoted) : !close(was.numbers, is.numbers)) {
            if (!exempt(was)) faults.push(`three.js: ${key} moved: ${was.driven ?? Array.from(was.numbers)} -> ${is.driven ?? Array.from(is.numbers)}`);
        }
    }
    return faults;
}

function expectedMessages(json, moved, pivoted, glb, fromGltf, order) {
    const expected = new Set([...moved, ...pivoted].filter((k) => json.nodes[order[k]]?.skin !== undefined)
        .map((k) => `NODE_SKINNED_MESH_LOCAL_TRANSFORMS /nodes/${order[k]}`));
    // Quantized keys that an edit mapped come back as floats in a new
    // accessor, the old one left in place, unused; keys of a compressed
    // view, in a new plain view, the compressed one left in place, unused.
    const compressed = (view) => ["EXT_meshopt_compression", "KHR_meshopt_compression"].some(
        (name) => json.bufferViews?.[view]?.extensions?.[name] !== undefined);
    for (const animation of json.animations ?? []) {
        for (const sampler of animation.samplers ?? []) {
            const accessor = json.accessors?.[sampler.output];
            if (accessor?.normalized) expected.add(`UNUSED_OBJECT /accessors/${sampler.output}`);
            if (compressed(accessor?.bufferView)) expected.add(`UNUSED_OBJECT /bufferViews/${accessor.bufferView}`);
        }
    }
    // New data of a GLB file whose buffer 0 has a URI is a data: URI
    // buffer, which the validator notes.
    if (glb && json.buffers?.[0]?.uri !== undefined) {
        const uri = `/buffers/${json.buffers.length}/uri`;
        expected.add(`URI_GLB ${uri}`).add(`DATA_URI_GLB ${uri}`);
    }
    // A .gltf file written as GLB keeps its images' URIs, which the
    // validator notes in a GLB file.
    if (glb && fromGltf) {
        (json.images ?? []).forEach((image, i) => {
            if (image.uri === undefined) return;
            expected.add(`URI_GLB /images/${i}/uri`);
            if (image.uri.startsWith("data:")) expected.add(`DATA_URI_GLB /images/${i}/uri`);
        });
    }
    return expected;
}

const pairs = [];
let options = { moved: [], pivoted: [] };
let host = null;
for (const argument of process.argv.slice(2)) {
    const option = argument.match(/^--(moved|pivoted)=([\d,]*)$/);
    if (argument.startsWith("--host=")) {
        host = argument.slice("--host=".length);
    } else if (option) {
        options[option[1]] = option[2].split(",").filter(Boolean).map(Number);
    } else if (pairs.length > 0 && pairs.at(-1).output === undefined) {
        pairs.at(-1).output = argument;
    } else {
        pairs.push({ input: argument, ...options });
        options = { moved: [], pivoted: [] };
    }
}
if (!host || pairs.length === 0 || pairs.at(-1).output === undefined) {
    console.error("usage: node compare.mjs --host=MORVANE_HOST [--moved=K,...] [--pivoted=K,...] INPUT OUTPUT [...]");
    process.exit(2);
}
let failed = false;
for (const { input, output, moved, pivoted } of pairs) {
    try {
        const [before, after] = [await messages(input), await messages(output)];
        const json = JSON.parse(new TextDecoder().decode(await jsonOf(input)));
        const isGlb = async (file) => new TextDecoder().decode((await readFile(file)).subarray(0, 4)) === "glTF";
        const glb = await isGlb(output);
        const order = toolNodes(host, input);
        const expected = expectedMessages(json, moved, pivoted, glb, !(await isGlb(input)), order);
        const faults = [...after].filter((m) => !before.has(m) && !expected.has(m)).map((m) => `new message ${m}`);
        faults.push(...(await comparePlacements(input, output, moved, pivoted, order)));
        faults.push(...(await checkBounds(input, before)), ...(await checkBounds(output, after)));
        for (const fault of faults) console.log(`${output}: ${fault}`);
        failed ||= faults.length > 0;
    } catch (error) {
        console.log(`${input} -> ${output}: ${error?.stack ?? error}`);
        failed = true;
    }
}
process.exit(failed ? 1 : 0);

// The JSON of a .gltf or .glb file.
async function jsonOf(file) {
    const bytes = new Uint8Array(await readFile(file));
    if (new TextDecoder().decode(bytes.subarray(0, 4)) !== "glTF") return bytes;
    const length = new DataView(bytes.buffer, bytes.byteOffset).getUint32(12, true);
    return bytes.subarray(20, 20 + length);
}
