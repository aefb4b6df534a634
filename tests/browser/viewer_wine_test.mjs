// The viewer of the Windows build, run under Wine, in Debian's chromium on
// this side, against the native viewer: each serves examples/room.gltf
// from a folder whose name no ANSI code page holds, the page draws the
// room, the door's pivot goes to its hinge, Save writes the file (the
// Windows one's bytes must be the native one's), and Quit ends the program.
//   node viewer_wine_test.mjs NATIVE_HOST WINDOWS_HOST RUN_WINE EXAMPLES WORK_DIR PLAYWRIGHT_CORE
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import readline from 'node:readline';
import { pivotDoorOnHinge, transcriptHas, withTestHooks } from './viewer_steps.mjs';

const [nativeHost, windowsHost, runWine, examples, work, playwrightCore] = process.argv.slice(2);
const { chromium } = await import(path.resolve(playwrightCore, 'index.mjs'));
const folder = '模型-Ωμέγα-Ünïcødé';
// Under emulation a Windows program answers in seconds, not milliseconds.
const patience = 120000;

// `promise`, or a failure that says `what` after `ms`.
function within(promise, ms, what) {
  let timer;
  const late = new Promise((_, reject) => { timer = setTimeout(() => reject(new Error(`${what}: no end`)), ms); });
  return Promise.race([promise, late]).finally(() => clearTimeout(timer));
}

// The first line that the viewer prints: the page's address.
function started(viewer) {
  return new Promise((resolve, reject) => {
    readline.createInterface({ input: viewer.stdout }).once('line', resolve);
    viewer.once('exit', (code) => reject(new Error(`the viewer ended with ${code} before it served`)));
  });
}

// One side's run: what Save wrote and the session that stood.
async function viewAndPivot(browser, side, command) {
  const dir = path.join(work, side);
  fs.mkdirSync(path.join(dir, folder), { recursive: true });
  for (const file of ['room.gltf', 'room.bin']) fs.copyFileSync(path.join(examples, file), path.join(dir, folder, file));
  const viewer = spawn(command[0], [...command.slice(1), 'view', `${folder}/room.gltf`, '-o', `${folder}/pivoted.gltf`],
    { cwd: dir, stdio: ['ignore', 'pipe', 'pipe'], env: { ...process.env, LC_ALL: 'C.UTF-8', MORVANE_WINE_STREAM: '1' } });
  // Through a pipe of this process: a helper that Wine leaves running holds
  // that, not the test runner's, which would then wait for it to end.
  viewer.stderr.on('data', (data) => process.stderr.write(data));
  const ended = new Promise((resolve) => viewer.once('exit', resolve));
  const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
  page.on('pageerror', (error) => { throw error; });
  try {
    await page.goto(withTestHooks(await started(viewer)), { timeout: patience });
    await page.waitForSelector('body[data-ready]', { timeout: patience });
    await page.waitForFunction(() => performance.getEntriesByName('first picture').length > 0, null, { timeout: patience });
    await pivotDoorOnHinge(page, patience);
    await page.click('#save');
    await transcriptHas(page, 'saved:', patience);
    const session = await page.evaluate(async () => (await import('./start.js')).call('GET', 'session'));
    await page.click('#quit');
    assert.equal(await within(ended, patience, `${side}: Quit`), 0, `${side}: Quit ends the viewer`);
    return { saved: fs.readFileSync(path.join(dir, folder, 'pivoted.gltf')), session };
  } catch (error) {
    console.error(`${side}'s transcript:\n${await page.textContent('#transcript').catch(() => '')}`);
    throw error;
  } finally {
    await page.close();
    viewer.kill();
    viewer.stdout.destroy();
    viewer.stderr.destroy();
  }
}

fs.rmSync(work, { recursive: true, force: true });
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--no-sandbox'],
});
try {
  const native = await viewAndPivot(browser, 'native', [nativeHost]);
  const windows = await viewAndPivot(browser, 'windows', ['bash', runWine, windowsHost]);
  assert.match(native.session, /^open Tarvel\n/, 'the gesture stands');
  assert.equal(windows.session, native.session, 'the same session stands');
  assert.ok(windows.saved.equals(native.saved), 'Save writes the native viewer\'s bytes');
  console.log('viewer under Wine: all checks passed');
} catch (error) {
  console.error(error);
  process.exitCode = 1;
} finally {
  await browser.close();
}
// Wine's helpers may hold what this process started; nothing is left to wait for.
process.exit();
