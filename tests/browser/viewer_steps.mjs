// Steps on the viewer's page that the browser tests share: waiting for the
// transcript and for answers, clicks at world points, and the pivot of
// examples/room.gltf's door moved to its hinge.

// The vertex of the room's door (node 7; glTF node 6) at local (x, y, z),
// in the world, as the page computes it from single-precision values.
export const doorAt = { t: [1.5, 1, -2.95] };
export const doorVertex = (x, y, z) => [x, y, z].map((v, i) => Math.fround(Math.fround(v) + Math.fround(doorAt.t[i])));

// The page's address with its test hooks (window.morvaneViewer) asked
// for, beside the token where it comes after '#'.
export const withTestHooks = (address) => `${address}${address.includes('#') ? '&' : '#'}hooks=1`;

// The button that opens a tool, as the page makes one for each the server offers.
export const toolButton = (name) => `#tool-buttons button[data-tool="${name}"]`;

// Looked at every 50 ms, not at animation frames: a page whose frames are
// held up (a software renderer under load) would never be looked at again.
// On a timeout, the error says what the transcript holds instead.
export async function transcriptHas(page, text, timeout = 20000) {
  await page.waitForFunction((t) => document.getElementById('transcript').textContent.includes(t), text,
    { timeout, polling: 50 })
    .catch(async (error) => {
      const shown = await page.$eval('#transcript', (t) => t.textContent).catch(() => '(no transcript)');
      throw new Error(`${error.message}: waiting for ${JSON.stringify(text)}; the transcript holds ${JSON.stringify(shown.slice(-2000))}`);
    });
}

export async function settled(page) {
  await page.waitForFunction(() => !document.body.dataset.busy, null, { polling: 50 });
}

// Two frames: a change of the page's layout has then been seen by the
// viewport (its size and camera), so a point on the page is where it will
// be when clicked.
export async function framesPassed(page) {
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
}

// Clicks near a world point, `inward` pixels towards another, so that the
// ray meets the face there and the snap has to find the point.
export async function clickNear(page, point, towards, inward) {
  await framesPassed(page);
  const [a, b] = await page.evaluate(([p, q]) => [window.morvaneViewer.screenOf(...p),
    window.morvaneViewer.screenOf(...q)], [point, towards]);
  const length = Math.max(1e-9, Math.hypot(b.x - a.x, b.y - a.y));
  await page.mouse.move(a.x + (b.x - a.x) / length * inward, a.y + (b.y - a.y) / length * inward);
  await page.mouse.down();
  await page.mouse.up();
}

// On the room's page: Tarvel opened, the door selected by a click on it,
// the Y axis checked, and Pick's two points clicked beside the bottom and
// the top of its hinge, which the snap finds. `timeout` bounds each answer.
export async function pivotDoorOnHinge(page, timeout = 30000) {
  await page.click(toolButton('Tarvel'), { timeout });
  await transcriptHas(page, 'opened "Tarvel"', timeout);
  await clickNear(page, [1.5, 1, -2.9], [1.5, 1, -2.9], 0);
  await transcriptHas(page, 'selected 7 "Door"', timeout);
  await page.click('input[data-caption="Y"]', { timeout });
  await transcriptHas(page, 'checked: "Y"', timeout);
  await page.click('button[data-caption="Pick"]', { timeout });
  await transcriptHas(page, 'pick mode entered', timeout);
  await clickNear(page, doorVertex(-0.45, -1, 0.05), [1.5, 1, -2.9], 5);
  await transcriptHas(page, 'changed node 7 "Door": position', timeout);
  // Beside the top corner, off the door: the corner wins over the ground.
  await clickNear(page, doorVertex(-0.45, 1, 0.05), [1.5, 1, -2.9], -4);
  await transcriptHas(page, 'pick mode left', timeout);
  await settled(page);
}
