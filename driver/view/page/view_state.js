// The state's nodes as the server packs them (docs/viewer.md, "The JSON
// answer"): columns, one entry a node, with the matrices in base64.
// Imports nothing: start.js and viewer.js both read it.

function bytesOf(base64) {
  if (Uint8Array.fromBase64) return Uint8Array.fromBase64(base64);
  const text = atob(base64);
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
  return bytes;
}

const doubles = (base64) => new Float64Array(bytesOf(base64).buffer);

// The matrices of `count` entries into `out` (16 numbers each, three.js's
// column-major Matrix4 elements): the origins and the axes of the turned
// ones in double precision, the rest unturned.
function unpackMatrices(count, origins, turned, axes, out) {
  const origin = doubles(origins);
  const axis = doubles(axes);
  for (let k = 0; k < count; ++k) {
    const m = k * 16;
    out.fill(0, m, m + 16);
    out[m] = out[m + 5] = out[m + 10] = 1;
    out[m + 12] = origin[k * 3];
    out[m + 13] = origin[k * 3 + 1];
    out[m + 14] = origin[k * 3 + 2];
    out[m + 15] = 1;
  }
  turned.forEach((k, t) => {
    // Rows X, Y, Z of the host's matrix are the columns of three.js's.
    for (let row = 0; row < 3; ++row) {
      for (let c = 0; c < 3; ++c) out[k * 16 + row * 4 + c] = axis[t * 9 + row * 3 + c];
    }
  });
}

// {count, index, world, object, objectAt, names: Map(position -> quoted
// name), changed, aspects, depth, gltfNode, objectNode, holds(position) ->
// [names], draws, joints} of a state's `nodes`: world and object as 16
// numbers an entry (object only for the entries of objectAt, in that
// order); draws and joints, positions.
export function unpackNodes(nodes) {
  const count = nodes.index.length;
  const world = new Float64Array(count * 16);
  unpackMatrices(count, nodes.origin, nodes.turned, nodes.axes, world);
  const object = new Float64Array(nodes.objectAt.length * 16);
  unpackMatrices(nodes.objectAt.length, nodes.objectOrigin, nodes.objectTurned, nodes.objectAxes, object);
  const names = new Map(nodes.named.map((k, n) => [k, nodes.names[n]]));
  const bits = (list) => (mask) => list.filter((_, bit) => mask & (1 << bit));
  return { ...nodes, count, world, object, names,
    holdsOf: nodes.holds ? (k) => bits(nodes.holdNames)(nodes.holds[k]) : () => [],
    changedOf: nodes.changed ? (k) => bits(nodes.aspects)(nodes.changed[k]) : () => [] };
}

// The packed nodes of an answer that holds none.
export const NO_NODES = { index: [], objectAt: [], turned: [], origin: '', axes: '', objectTurned: [], objectOrigin: '',
  objectAxes: '', named: [], names: [] };
