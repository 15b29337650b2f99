'use strict';
// Where the package meets the OS: starting quennet from a folder like an installed Electron app's,
// a missing Steam library, a child killed from outside, and cancellation. Runs on Linux and, from a
// Windows node.exe under Wine, against the Windows build.

const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const { Quennet, QuennetError, AbortError } = require('..');
const { freshFolder, install, simEnvironment, LIBRARY } = require('./helpers');

test('an Electron app: quennet under resources, in a path with spaces and non-ASCII letters', async () => {
  const app = path.join(freshFolder('electron'), 'Program Files', 'Lançeur Ünï Щит');
  const resources = path.join(app, 'resources');
  install(path.join(resources, 'quennet'));
  const saved = process.resourcesPath;
  process.resourcesPath = resources; // what Electron sets in its main process
  try {
    const quennet = new Quennet({ env: simEnvironment(app, { scenario: 'download-two-items.json', state: true }) });
    const progress = [];
    const installed = [];
    const outcomes = await quennet.download(['1559212036', 1564026768n], {
      onProgress: (p) => progress.push(p),
      onInstalled: (i) => installed.push(i.workshopId),
    });
    assert.deepStrictEqual(outcomes.map((o) => [o.workshopId, o.ok]), [['1559212036', true], ['1564026768', true]]);
    assert.match(outcomes[0].folder, /1559212036$/);
    assert.deepStrictEqual(installed.sort(), ['1559212036', '1564026768']);
    const last = progress.filter((p) => p.workshopId === '1559212036').pop();
    assert.deepStrictEqual([last.bytesDone, last.bytesTotal], [3000000n, 3000000n]);

    // The simulator's state file, in the same folder, remembers the download.
    const states = await quennet.status(['1559212036', '1564026768']);
    assert.deepStrictEqual(states.map((s) => [s.installed, s.needsUpdate, s.sizeOnDisk]), [[true, false, 3000000n], [true, false, 500000n]]);

    const kinds = [];
    for await (const record of quennet.run(['download', '1559212036'])) kinds.push(record.type);
    assert.deepStrictEqual(kinds, ['ready', 'progress', 'installed', 'done']);
  } finally {
    process.resourcesPath = saved;
  }
});

test('without Steam\'s library beside it, the run fails as a whole: Steam not reachable', async () => {
  const folder = freshFolder('no library');
  const quennet = new Quennet({ path: install(folder, { library: false }), env: simEnvironment(folder) });
  await assert.rejects(quennet.whoami(), (error) => {
    assert.ok(error instanceof QuennetError);
    assert.strictEqual(error.code, 'steam_not_running');
    assert.ok(error.message.includes(LIBRARY), error.message);
    assert.strictEqual(error.record.code, 'steam_not_running');
    assert.strictEqual(error.exitCode, 1);
    return true;
  });
});

// A download of the demo world's 2222222222 runs for about three seconds.
function slowDownload(name, sim = {}) {
  const folder = freshFolder(name);
  return new Quennet({ path: install(folder), env: simEnvironment(folder, sim) });
}

test('a child killed from outside rejects as crashed', async () => {
  const quennet = slowDownload('killed');
  let pid = null;
  const download = quennet.download(['2222222222'], {
    onStart: (started) => { pid = started; },
    onProgress: (p) => { if (p.bytesDone > 0n && pid !== null) { process.kill(pid, 'SIGKILL'); pid = null; } },
  });
  await assert.rejects(download, (error) => {
    assert.ok(error instanceof QuennetError, error);
    assert.strictEqual(error.code, 'crashed');
    return true;
  });
});

test('aborting the signal in the middle of a download ends quennet and rejects with AbortError', async () => {
  const quennet = slowDownload('cancelled', { state: true });
  const controller = new AbortController();
  const started = Date.now();
  let seen = 0n;
  const download = quennet.download(['2222222222'], {
    signal: controller.signal,
    onProgress: (p) => {
      seen = p.bytesDone;
      if (p.bytesDone > 0n) controller.abort(new Error('player pressed cancel'));
    },
  });
  await assert.rejects(download, (error) => {
    assert.ok(error instanceof AbortError, error);
    assert.strictEqual(error.name, 'AbortError');
    assert.strictEqual(error.cause.message, 'player pressed cancel');
    return true;
  });
  assert.ok(seen > 0n && seen < 48000000n, `stopped at ${seen}`);
  assert.ok(Date.now() - started < 2800, 'the download went on to its end');

  // Steam goes on with a download whose launcher ended quennet; the simulator, with its state file,
  // keeps it too: a later status shows it under way, and a later download takes it up from there.
  const [state] = await quennet.status(['2222222222']);
  assert.deepStrictEqual([state.subscribed, state.installed, state.downloading], [true, false, true]);
  let resumedAt = null;
  const [done] = await quennet.download(['2222222222'], { onProgress: (p) => { resumedAt ??= p.bytesDone; } });
  assert.strictEqual(done.ok, true);
  assert.ok(resumedAt >= seen, `went on at ${resumedAt}, had reached ${seen}`);

  // An aborted signal starts nothing.
  await assert.rejects(quennet.whoami({ signal: controller.signal }), AbortError);
});
