// However the viewer ends (a signal of each kind that ends a program in a
// terminal, or the page's Quit), it ends as it does when asked: status 0,
// and its private folder, whose opening page holds the token, removed.
//   node viewer_endings_test.mjs MORVANE_HOST SCENE
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import readline from 'node:readline';

const [host, scene] = process.argv.slice(2);

async function quit(address) {
  const { origin, searchParams } = new URL(address);
  const answer = await fetch(`${origin}/api/quit`, { method: 'POST',
    headers: { Authorization: `Bearer ${searchParams.get('token')}` } });
  assert.equal(answer.status, 200, 'Quit is answered');
}

const endings = [
  ['SIGINT', (viewer) => viewer.kill('SIGINT')],
  ['SIGTERM', (viewer) => viewer.kill('SIGTERM')],
  ['SIGHUP (the terminal closed)', (viewer) => viewer.kill('SIGHUP')],
  ['SIGQUIT', (viewer) => viewer.kill('SIGQUIT')],
  ['Quit', (viewer, address) => quit(address)],
];
for (const [what, end] of endings) {
  const viewer = spawn(host, ['view', scene], { stdio: ['ignore', 'pipe', 'inherit'] });
  const ended = new Promise((resolve) => viewer.once('exit', (code, signal) => resolve({ code, signal })));
  const lines = [];
  const reader = readline.createInterface({ input: viewer.stdout });
  await new Promise((resolve) => reader.on('line', (line) => { if (lines.push(line) === 2) resolve(); }));
  const opening = lines[1].match(/^\(or open (.*), a page that only you can read\)$/)?.[1];
  assert.ok(opening && fs.existsSync(opening), `${what}: the opening page is named and there: ${lines[1]}`);
  assert.equal(fs.statSync(opening).mode & 0o077, 0, `${what}: the opening page is its user's alone`);
  assert.ok(fs.readFileSync(opening, 'utf8').includes(`#token=${new URL(lines[0]).searchParams.get('token')}`),
    `${what}: the opening page sends the token after '#', which no request carries`);
  await end(viewer, lines[0]);
  assert.deepEqual(await ended, { code: 0, signal: null }, `${what}: the viewer ends as asked`);
  assert.ok(!fs.existsSync(path.dirname(opening)), `${what}: the private folder is left behind`);
}
console.log('viewer endings: all checks passed');
