// The 3D viewport: the scene drawn (frame.js, drawn_nodes.js), the nodes
// placed where the host says (placements.js), pivot tripods (gizmos.js),
// picking (picking.js), and the test hooks (test_hooks.js) where a test
// asks for them (start.js). viewer.js asks it through these functions only.
import * as THREE from 'three';
import { afterFirstPicture, frame, frameBox, frameFirst, redraw, setUpView } from './frame.js';
import { addCubes, addNodeMarkers, adoptGltf, boxOfNodes, drawn, placeDrawn, tintDrawn } from './drawn_nodes.js';
import { pickMarker, placeTripods, showTripods, sizeGizmos } from './gizmos.js';
import { picking, startPicking } from './picking.js';
import { nodeCount, startPlacements, takePlacements } from './placements.js';
import { hooksAsked } from './start.js';

export { clickText } from './picking.js';
export { lookFrom, toggleOrthographic } from './frame.js';

// What the page does with a click on the model, (found, event), found
// being {point, node, kind} or null; and with the node under the cursor.
export const hooks = { click: () => {}, hover: () => {} };

const view = {
  selected: new Set(),
  showAllPivots: false,  // the project's scene files show a tripod at every node
};

// Selected nodes are tinted, and so is the node under the cursor.
const SELECTED_TINT = new THREE.Color(1, 0.55, 0.15);
const HOVER_TINT = new THREE.Color(0.75, 0.9, 1.25);
const NO_TINT = new THREE.Color(1, 1, 1);
const tintOf = (index) => (view.selected.has(index) ? SELECTED_TINT
  : index === picking.hovered ? HOVER_TINT : NO_TINT);
function tint(nodes) {
  for (const index of nodes) {
    const colour = tintOf(index);
    tintDrawn([index], colour, colour === NO_TINT);
  }
}

// The nodes of an answer (view_state.js, unpacked) placed where the host
// now says.
export function placeNodes(nodes) {
  const indices = takePlacements(nodes);
  placeDrawn(indices);
  placeTripods(indices);
  redraw();
}

// Frames `nodes` (all when none), looking from where the camera is.
export function frameNodes(nodes) {
  if (!nodes?.length) {
    drawn.model.updateMatrixWorld(true);
    frameBox(wholeBox());
  } else {
    frameBox(boxOfNodes(nodes));
  }
}

// Everything drawn, and every pivot where the scene shows them all.
function wholeBox() {
  const box = new THREE.Box3().setFromObject(drawn.model);
  if (view.showAllPivots) box.union(boxOfNodes([...Array(nodeCount()).keys()]));
  return box;
}

// Tripods at the selected nodes (at every node of a scene file of the
// project's own), which are tinted too.
export function showPivots(selection, pickMode) {
  picking.pickMode = pickMode;
  if (!view.showAllPivots) showTripods(selection);
  const was = view.selected;
  view.selected = new Set(selection);
  tint(was);
  tint(selection);
  redraw();
  if (!pickMode) {
    pickMarker.visible = false;
    document.getElementById('pick-label').style.display = 'none';
  }
}

// Builds the view from the server's whole state (`nodes` unpacked by
// view_state.js) on `canvas` with its WebGL `context`; returns what of the
// file could not be drawn. Markers are made before the first framing, so
// that a scene drawn only as markers is framed whole.
export async function loadScene(state, nodes, canvas, context) {
  setUpView(canvas, context);
  frame.scene.add(drawn.model);
  const loaded = state.drawnWith === 'gltf';
  picking.upAxis = state.up;
  view.showAllPivots = !loaded;
  startPlacements(nodes.count);
  takePlacements(nodes);
  const unmeshed = loaded ? await adoptGltf(state.scene, nodes) : [];
  if (unmeshed.length > 0) addNodeMarkers(unmeshed);
  if (!loaded) {
    // A cube of a fortieth of the scene's size where each object sits.
    const pivots = boxOfNodes([...Array(nodeCount()).keys()]);
    addCubes(Math.max(1, pivots.getSize(new THREE.Vector3()).length()) / 40);
  }
  drawn.model.updateMatrixWorld(true);
  const size = frameFirst(wholeBox(), state.up === 'z', loaded ? 'm' : 'units');
  sizeGizmos(size);
  if (view.showAllPivots) showTripods([...Array(nodeCount()).keys()], Infinity);
  picking.hover = (index, was) => {
    tint([was, index].filter((i) => i !== null));
    hooks.hover(index);
    redraw();
  };
  picking.click = (found, event) => hooks.click(found, event);
  startPicking();
  redraw();
  afterFirstPicture();
  if (hooksAsked) (await import('./test_hooks.js')).installHooks(state.scene, tintOf);
  return drawn.undrawn;
}
