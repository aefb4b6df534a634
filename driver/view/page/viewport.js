// The 3D viewport: the scene drawn (frame.js, drawn_nodes.js), the nodes
// placed where the host says (placements.js), pivot tripods (gizmos.js),
// picking (picking.js), and the test hooks (test_hooks.js) where a test
// asks for them (start.js). viewer.js asks it through these functions only.
import * as THREE from 'three';
import {
  afterFirstPicture, frame, frameBox, frameFirst, pixelSizes, redraw, redrawOverlays, setUpView,
} from './frame.js';
import {
  addCubes, addNodeMarkers, adoptGltf, boxOfNodes, drawn, drawnAtPivot, placeDrawn, tintDrawn,
} from './drawn_nodes.js';
import { pickMarker, placeTripods, showTripods, sizeGizmos } from './gizmos.js';
import { tintedOver } from './kept_picture.js';
import { drawWholeNext, startMovingView } from './moving_view.js';
import { picking, startPicking } from './picking.js';
import { nodeCount, objectOf, startPlacements, takePlacements, worldOf } from './placements.js';
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
const tinted = new Map();  // index -> the tint drawn, where not NO_TINT
// The nodes whose tint changed drawn anew: over the kept picture where
// only batches and markers draw them (kept_picture.js).
function tint(nodes) {
  let over = true;
  for (const index of nodes) {
    const colour = tintOf(index);
    if (colour === (tinted.get(index) ?? NO_TINT)) continue;
    tintDrawn([index], colour, colour === NO_TINT);
    if (colour === NO_TINT) tinted.delete(index);
    else tinted.set(index, colour);
    over &&= !drawn.objects.get(index)?.inModel && tintedOver(drawn.parts.get(index) ?? []);
  }
  if (over) redrawOverlays();
  else redraw();
}

// Whether what is drawn of node `index` moved on the screen by more than
// SHOWN_SHIFT pixels since it was placed by `before` ([object, pivot]
// matrices): after a pivot moved, the host restates the object's placement
// in single precision (as Save would write it), which no pixel shows.
const SHOWN_SHIFT = 0.1;
const origin = new THREE.Vector3();
const sphere = new THREE.Sphere();
function shiftsOnScreen(index, [object, pivot], pixelAt) {
  const now = objectOf(index).elements;
  const box = boxOfNodes([index]);
  origin.setFromMatrixPosition(objectOf(index));
  const reach = box.isEmpty() ? 0 : box.getBoundingSphere(sphere).center.distanceTo(origin) + sphere.radius;
  const apart = (a, b, i) => Math.abs(a[i] - b[i]);
  const turned = Math.max(...[0, 1, 2, 4, 5, 6, 8, 9, 10].map((i) => apart(now, object.elements, i)));
  const moved = Math.hypot(...[12, 13, 14].map((i) => apart(now, object.elements, i)));
  const pivotMoved = drawnAtPivot(index) ? Math.hypot(...[12, 13, 14].map((i) => apart(worldOf(index).elements, pivot.elements, i))) : 0;
  return Math.max(3 * turned * reach + moved, pivotMoved) > SHOWN_SHIFT * pixelAt(origin);
}

// The nodes of an answer (view_state.js, unpacked) placed where the host
// now says. An answer that moves only pivots (tripods, but no marker of a
// node without a mesh) is drawn over the kept picture.
export function placeNodes(nodes) {
  const before = [...nodes.index].map((index) => [objectOf(index), worldOf(index)]);
  const indices = takePlacements(nodes);
  const changed = [];
  [...indices].forEach((index, k) => {
    if (!objectOf(index).equals(before[k][0]) || !worldOf(index).equals(before[k][1])) changed.push([index, before[k]]);
  });
  placeDrawn(changed.map(([index]) => index));
  placeTripods(indices);
  const pixelAt = pixelSizes();
  if (changed.some(([index, was]) => shiftsOnScreen(index, was, pixelAt))) redraw();
  else redrawOverlays();
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
  tint([...was, ...selection]);
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
  startMovingView();
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
  };
  picking.click = (found, event) => hooks.click(found, event);
  startPicking();
  drawWholeNext();
  redraw();
  afterFirstPicture();
  if (hooksAsked) (await import('./test_hooks.js')).installHooks(state.scene, tintOf);
  return drawn.undrawn;
}
