// The viewer page: draws what the host says and sends every gesture as a
// line of the session language, but a typed name pattern, which goes as
// typed for the server to quote. It never computes an edit itself.
import {
  clickText, frameNodes, hooks, loadScene, lookFrom, placeNodes, showPivots, toggleOrthographic,
} from './viewport.js';
import { skippedImages } from './gltf_scene.js';
import { drawPanel } from './panel_view.js';
import { SNAP_TEXT } from './snapping.js';
import { call, started } from './start.js';
import { NO_NODES, unpackNodes } from './view_state.js';

const $ = (id) => document.getElementById(id);

const view = {
  names: [],          // index -> the node's name as the transcript quotes it
  depth: [],          // index -> its depth in the tree
  holdsOf: () => [],  // index -> what it holds ("mesh", "joint", ...)
  selection: [],
  pickMode: false,
  openTool: null,     // the name of the open tool, as the server gives it
  unsaved: 0,         // the lines that stand since the last Save
  reads: [],          // the names files that the standing session loads
};

// The toolbar's status: the pick mode (and what a click takes with
// snapping on), and the edits that no Save wrote.
const PICK_MODE_TEXT = 'pick mode: click on the model';
function showStatus() {
  const pick = $('snapping').checked ? `${PICK_MODE_TEXT} (${SNAP_TEXT})` : PICK_MODE_TEXT;
  $('status').textContent = [view.pickMode ? pick : '', view.unsaved ? `${view.unsaved} unsaved` : '']
    .filter(Boolean).join(' ');
}

// --- The server --------------------------------------------------------

let queue = Promise.resolve();
// Gestures run one after another, in the order they were made.
function gesture(path, lines) {
  queue = queue.then(async () => {
    document.body.dataset.busy = '1';
    try {
      show(await call('POST', path, lines));
    } catch (error) {
      note(String(error.message ?? error), true);
    } finally {
      delete document.body.dataset.busy;
    }
  });
  return queue;
}
const act = (lines) => gesture('actions', lines);

// --- What the host says ------------------------------------------------

// A line longer than this (the names of a whole large scene selected) is
// shown cut: laying out megabytes of text would stall the page.
const LONGEST_LINE_SHOWN = 10000;

function note(text, refused = false) {
  const line = document.createElement('div');
  line.textContent = text.length <= LONGEST_LINE_SHOWN ? text
    : `${text.slice(0, LONGEST_LINE_SHOWN)} … (${text.length - LONGEST_LINE_SHOWN} characters more)`;
  if (refused) line.className = 'refused';
  $('transcript').append(line);
  $('transcript').scrollTop = $('transcript').scrollHeight;
}

function show(state) {
  for (const line of state.lines) note(line);
  if (state.refusal) note(state.refusal.message, true);
  const nodes = unpackNodes(state.nodes);
  placeNodes(nodes);
  for (const [k, name] of nodes.names) view.names[nodes.index[k]] = name;
  view.selection = state.selection;
  view.pickMode = state.pickMode;
  view.unsaved = state.unsaved;
  view.reads = state.reads;
  // A dialog's form belongs to the press of the panel shown: another
  // tool's panel closes it.
  if (state.openTool !== view.openTool || !state.panel.some((control) => control.id === dialogControl?.id)) {
    closeDialog();
  }
  view.openTool = state.openTool;
  drawPanel($('tool-panel'), state.panel, state.panelSize, panelGesture);
  showStatus();
  $('undo').disabled = state.undoable === 0;
  $('redo').disabled = state.redoable === 0;
  markSelection();
}

// --- The scene tree ----------------------------------------------------

// Only the rows in sight exist: a scene of many nodes would otherwise make
// the page slow to draw and to update.
const ROW_HEIGHT = 18;

function drawTree() {
  const tree = $('scene-tree');
  const rows = document.createElement('div');
  rows.className = 'rows';
  rows.style.height = `${view.names.length * ROW_HEIGHT}px`;
  tree.replaceChildren(rows);
  tree.addEventListener('scroll', drawRows);
  new ResizeObserver(drawRows).observe(tree);
  rows.addEventListener('click', (event) => {
    const index = Number(event.target.dataset.index);
    if (index > 0) select(index, event);
  });
  $('select-name').addEventListener('submit', (event) => {
    event.preventDefault();
    const pattern = $('select-name-pattern').value;
    if (pattern !== '') gesture('select-name', pattern);
  });
}

function drawRows() {
  const tree = $('scene-tree');
  if (!tree) return;  // the page has ended
  const first = Math.max(0, Math.floor(tree.scrollTop / ROW_HEIGHT));
  const last = Math.min(view.names.length, first + Math.ceil(tree.clientHeight / ROW_HEIGHT) + 1);
  const selected = new Set(view.selection);
  const rows = [];
  for (let index = first; index < last; ++index) {
    const holds = view.holdsOf(index);
    const row = document.createElement('div');
    row.textContent = `${'  '.repeat(view.depth[index])}${index} ${view.names[index]}`;
    row.title = `${view.names[index]}${holds.length ? ` (${holds.join(', ')})` : ''}`;
    row.dataset.index = index;
    row.style.top = `${index * ROW_HEIGHT}px`;
    if (selected.has(index)) row.className = 'selected';
    rows.push(row);
  }
  tree.firstElementChild.replaceChildren(...rows);
}

// A click selects; shift-click adds, in the order clicked; ctrl-click
// adds or takes away.
function select(index, event) {
  const others = view.selection.filter((i) => i !== index);
  const toggle = event.ctrlKey || event.metaKey;
  const indices = event.shiftKey ? others.concat(index)
    : toggle ? (others.length < view.selection.length ? others : others.concat(index)) : [index];
  act(`select ${indices.join(' ')}`.trim());
}

function clearSelection() {
  if (view.selection.length > 0) act('select');
}

// A new selection brings the node selected last into sight in the tree.
let selectionShown = '';
function markSelection() {
  const tree = $('scene-tree');
  const newest = view.selection[view.selection.length - 1];
  if (newest !== undefined && String(view.selection) !== selectionShown) {
    const top = newest * ROW_HEIGHT;
    if (top < tree.scrollTop || top + ROW_HEIGHT > tree.scrollTop + tree.clientHeight) {
      tree.scrollTop = top - tree.clientHeight / 2;
    }
  }
  selectionShown = String(view.selection);
  drawRows();
  showPivots(view.selection, view.pickMode);
}

// --- The panel's gestures and the names tool's file dialogs ---------

// A gesture names a control by the caption that the server gives it.
function panelGesture(kind, control) {
  if (kind === 'rightclick') return act('rightclick');
  if (kind === 'radio') return act(`radio ${control.text}`);
  if (control.fileDialog) return askPath(control);
  return act(`press ${control.text}`);
}

// The dialog takes a typed path, as the stand-in's file dialogs do; the
// answer and the press that opens the dialog go as one gesture.
let dialogControl = null;  // the button whose press's form is open

function closeDialog() {
  const form = $('file-dialog');
  form.hidden = true;
  form.onsubmit = null;
  $('file-dialog-cancel').onclick = null;
  dialogControl = null;
}

// The form lists the names files of the folders the viewer reaches, as
// the server finds them, and starts with the path it suggests.
async function listDialogFiles(dialog) {
  const list = $('file-dialog-files');
  list.replaceChildren();
  const found = await call('GET', `files/${dialog.kind}`).catch(() => null);
  if (!found || dialogControl === null) return;
  $('file-dialog-format').textContent = found.format;
  if (!$('file-dialog-path').value) $('file-dialog-path').value = found.suggested;
  for (const file of found.files) {
    const item = document.createElement('li');
    item.textContent = file;
    item.onclick = () => { $('file-dialog-path').value = file; };
    list.append(item);
  }
  if (found.more) list.append(Object.assign(document.createElement('li'), { textContent: '…' }));
}

function askPath(control) {
  const dialog = control.fileDialog;
  const form = $('file-dialog');
  $('file-dialog-title').textContent = dialog.title;
  $('file-dialog-path').value = '';
  $('file-dialog-format').textContent = '';
  form.hidden = false;
  dialogControl = control;
  $('file-dialog-path').focus();
  listDialogFiles(dialog);
  const finish = (answer) => {
    closeDialog();
    act(`answer ${answer}\npress ${control.text}`);
  };
  form.onsubmit = (event) => { event.preventDefault(); finish($('file-dialog-path').value.trim() || 'cancel'); };
  $('file-dialog-cancel').onclick = () => finish('cancel');
}

// --- Keys and the toolbar ---------------------------------------------

function download(name, content) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(content instanceof Blob ? content : new Blob([content], { type: 'text/plain' }));
  link.download = name;
  link.click();
  URL.revokeObjectURL(link.href);
}

async function load() {
  const { state, canvas, context } = await started;
  const nodes = unpackNodes(state.nodes);
  view.names = nodes.index.map((_, k) => nodes.names.get(k));
  view.depth = nodes.depth;
  view.holdsOf = nodes.holdsOf;
  const undrawn = await loadScene(state, nodes, canvas, context);
  hooks.click = (found, event) => {
    if (view.pickMode && found) {
      act(clickText(found.point));
    } else if (!view.pickMode && found?.node) {
      select(found.node, event);
    } else if (!view.pickMode && !event.shiftKey && !event.ctrlKey) {
      clearSelection();
    }
  };
  hooks.hover = (index) => {
    document.querySelector('#viewport canvas').title = index === null ? '' : `${index} ${view.names[index]}`;
  };
  for (const what of undrawn) note(`not drawn (markers stand in): ${what}`, true);
  drawTree();
  if (state.session) note(`standing session:\n${state.session}`);
  for (const { file, why } of state.refusedFiles) note(`not served: ${file}: ${why}`, true);
  for (const uri of skippedImages) note(`not fetched: the image ${uri}, of another host`, true);
  show({ ...state, lines: [], nodes: NO_NODES });
  startKeys(state.tools);
  document.body.dataset.ready = '1';
}

async function save() {
  try {
    let answer = await call('POST', 'save', '').catch((error) => ({ code: error.code, error: error.message }));
    if (answer.code === 'no-output') {
      const path = prompt('Save the scene to');
      if (!path) return;
      answer = await call('POST', 'save', path);
    }
    if (answer.written) {
      view.unsaved = answer.unsaved;
      showStatus();
    }
    note(answer.written ? `saved: ${answer.written}${answer.inPlace ? ` (written in place: ${answer.inPlace})` : ''}` : answer.error,
      !answer.written);
  } catch (error) {
    note(`not saved: ${error.message}`, true);
  }
}

function openTool(name) {
  closeDialog();
  act(`${view.openTool !== null ? 'close\n' : ''}open ${name}`);
}

// A button for each tool that the server offers.
function toolButtons(tools) {
  $('tool-buttons').replaceChildren(...tools.map(({ name, label }) => {
    const button = document.createElement('button');
    button.textContent = label;
    button.dataset.tool = name;
    button.onclick = () => openTool(name);
    return button;
  }));
}

// The session alone when it answers no file dialog; else the session in a
// folder of its own with the names files that it loads, as they were read,
// and where it saves them, so that its replay touches none of the user's
// files.
async function downloadSession() {
  const session = await call('GET', 'session');
  if (!/^answer (?!cancel$)/m.test(session)) {
    download('viewer.session', session);
    return;
  }
  const reads = view.reads.length ? `reads ${view.reads.join(', ')}` : 'saves names files';
  note(`the session ${reads}: it comes in viewer-session.tar, with the files it reads as they were read, and saves beside them`);
  // Fetched with the token, which a link would not send.
  download('viewer-session.tar', await call('GET', 'session.tar'));
}

async function quit() {
  const answer = await call('POST', 'quit', '').catch((error) => ({ error }));
  if (answer.error) {
    const lines = answer.error.answer?.unsaved ?? ['(edits)'];
    if (!confirm(`These edits are not saved:\n${lines.join('\n')}\n\nQuit without saving them?`)) return;
    await call('POST', 'quit', 'discard');
  }
  document.body.textContent = 'The viewer has ended; this page can be closed.';
}

function startKeys(tools) {
  toolButtons(tools);
  $('close-tool').onclick = () => { closeDialog(); act('close'); };
  $('undo').onclick = () => gesture('undo', '');
  $('redo').onclick = () => gesture('redo', '');
  $('save').onclick = save;
  $('download-session').onclick = downloadSession;
  $('quit').onclick = quit;
  for (const side of ['top', 'front', 'side']) $(`view-${side}`).onclick = () => lookFrom(side);
  $('frame-all').onclick = () => frameNodes(null);
  $('frame-selected').onclick = () => frameNodes(view.selection);
  const projection = () => $('orthographic').classList.toggle('checked', toggleOrthographic());
  $('orthographic').onclick = projection;
  $('snapping').addEventListener('change', showStatus);
  window.addEventListener('keydown', (event) => {
    if (event.target.tagName === 'INPUT') return;
    if (event.key === 'Escape') view.pickMode ? act('endpick') : clearSelection();
    if (!event.ctrlKey && !event.metaKey && !event.altKey) {
      if (event.key === 'f' || event.key === 'F') frameNodes(view.selection);
      if (event.key === 'a' || event.key === 'A' || event.key === 'Home') frameNodes(null);
      if (event.key === 'o' || event.key === 'O' || event.key === '5') projection();
    }
    if ((event.ctrlKey || event.metaKey) && event.key.toLowerCase() === 'z') {
      event.preventDefault();
      gesture(event.shiftKey ? 'redo' : 'undo', '');
    }
  });
}


load().catch((error) => note(`the scene could not be shown: ${error.message ?? error}`, true));
