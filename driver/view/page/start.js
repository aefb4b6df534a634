// What the page starts before its modules have arrived (three.js takes a
// few tenths of a second to read): the whole state from the server, and
// the canvas of the 3D view with its WebGL context, which a software
// renderer takes a quarter of a second to make. It imports nothing, so it
// runs as soon as it is read; viewer.js takes up `started`.

// Whether a test asked for the page's test hooks (window.morvaneViewer):
// `hooks=1` beside the token after '#' (`#token=...&hooks=1`), read before
// the token is taken out of the address. The product page has none.
export const hooksAsked = new URLSearchParams(window.location.hash.slice(1)).get('hooks') === '1';

// The server's token, which every request but those of the page's own
// files carries in a header: never in a cookie, which the browser would
// send to every other server of this machine (cookies are not kept apart
// by port). It comes in the page's address (after '#', which no request
// carries, or '?'), is taken out of the address bar without a history
// entry, and is kept for the tab's reloads in its session storage, which
// is this origin's alone.
function takeToken() {
  const address = new URL(window.location.href);
  const given = new URLSearchParams(address.hash.slice(1)).get('token') ?? address.searchParams.get('token');
  if (given !== null) {
    sessionStorage.setItem('morvane-view-token', given);
    address.searchParams.delete('token');
    history.replaceState(history.state, '', address.pathname + address.search);
  }
  return sessionStorage.getItem('morvane-view-token') ?? '';
}
export const authorization = { Authorization: `Bearer ${takeToken()}` };

// A request to the server's API: the answer's JSON or text. A refusal,
// {code, message}, is thrown as an Error with its code.
export async function call(method, path, body) {
  const response = await fetch(`api/${path}`, {
    method, body,
    headers: body === undefined ? authorization : { ...authorization, 'Content-Type': 'text/plain; charset=utf-8' },
  });
  const type = response.headers.get('Content-Type') ?? '';
  const answer = type.startsWith('application/json') ? await response.json()
    : type.startsWith('application/x-tar') ? await response.blob() : await response.text();
  if (!response.ok) throw Object.assign(new Error(answer.message ?? String(answer)), { code: answer.code, answer });
  return answer;
}

// Smoothed edges cost a software renderer several times the work: a large
// scene is drawn without.
const SMOOTH_UP_TO_NODES = 10000;

// A canvas at the viewport's size (a drawing buffer made again at another
// size costs as much as the first), its context as three.js would ask for
// it: opaque, since the scene has a background.
function viewCanvas(nodeCount) {
  const viewport = document.getElementById('viewport');
  const canvas = document.createElement('canvas');
  canvas.width = Math.max(1, viewport.clientWidth);
  canvas.height = Math.max(1, viewport.clientHeight);
  const context = canvas.getContext('webgl2', { alpha: false, depth: true, stencil: false, premultipliedAlpha: true,
    antialias: nodeCount <= SMOOTH_UP_TO_NODES, preserveDrawingBuffer: true });
  return { canvas, context };
}

// {state, canvas, context}: context is null where WebGL 2 is not to be had.
export const started = call('GET', 'state').then((state) => ({ state, ...viewCanvas(state.nodes.index.length) }));
