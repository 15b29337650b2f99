'use strict';
// Each method against the Linux build and the simulated Steam: what it resolves with, each way a
// run fails as a whole, and a launcher's whole flow across runs with the state file.

const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const { Quennet, QuennetError } = require('..');
const { freshFolder, install, simEnvironment } = require('./helpers');

// A Quennet beside the simulator, in a folder of its own; `sim` as for simEnvironment.
function setUp(name, sim = {}) {
  const folder = freshFolder(name);
  return { folder, quennet: new Quennet({ path: install(folder), env: simEnvironment(folder, sim) }) };
}

// A stand-in for a broken quennet: a shell script with `body`.
function fakeQuennet(name, body, options = {}) {
  const folder = freshFolder(name);
  const file = path.join(folder, 'quennet');
  fs.writeFileSync(file, `#!/bin/sh\n${body}\n`, { mode: 0o755 });
  return new Quennet({ path: file, ...options });
}

const READY = '{"type":"ready","steamId":"1","persona":"x"}';
const state = (id) => `{"type":"state","workshopId":"${id}","subscribed":false,"installed":false,"needsUpdate":false,"downloading":false,"folder":null,"sizeOnDisk":0,"timestamp":0}`;

async function rejectsWith(promise, code, check = () => {}) {
  await assert.rejects(promise, (error) => {
    assert.ok(error instanceof QuennetError, error);
    assert.strictEqual(error.code, code, error.message);
    check(error);
    return true;
  });
}

test('whoami, status and run against the demo world', async () => {
  const { quennet } = setUp('methods');
  assert.deepStrictEqual(await quennet.whoami(), { steamId: '76561198000000000', persona: 'Survivor' });

  const states = await quennet.status(['2222222222', 1111111111n, 1111111111]);
  assert.deepStrictEqual(states.map((s) => s.workshopId), ['2222222222', '1111111111', '1111111111']);
  assert.deepStrictEqual(states[1], {
    workshopId: '1111111111', subscribed: true, installed: true, needsUpdate: false, downloading: false,
    folder: '/home/survivor/.local/share/Steam/steamapps/workshop/content/221100/1111111111',
    sizeOnDisk: 1234567n, timestamp: 1700000000,
  });
  assert.strictEqual(states[0].folder, null);

  const records = [];
  for await (const record of quennet.run(['status', '1111111111'])) records.push(record.type);
  assert.deepStrictEqual(records, ['ready', 'state', 'done']);

  // Leaving the loop early ends the process, and the next run is not held up by it.
  for await (const record of quennet.run(['download', '2222222222'])) if (record.type === 'progress') break;
  assert.strictEqual((await quennet.whoami()).persona, 'Survivor');
});

test('per-item failures resolve with one outcome per item, in order', async () => {
  const { quennet } = setUp('item failures');
  const reported = [];
  const outcomes = await quennet.download(['3333333333', '1111111111'], { onItemError: (e) => reported.push(e) });
  assert.deepStrictEqual(outcomes[0], {
    workshopId: '3333333333', ok: false,
    error: { code: 'unknown', message: 'download of 3333333333 failed: Steam returned: operation cancelled due to the disk being full' },
  });
  assert.deepStrictEqual([outcomes[1].workshopId, outcomes[1].ok], ['1111111111', true]);
  assert.deepStrictEqual(reported, [{ workshopId: '3333333333', ...outcomes[0].error }]);

  const { quennet: other } = setUp('unsubscribe failures', { scenario: 'unsubscribe-one-fails.json' });
  const unsubscribed = await other.unsubscribe(['1559212036', '1564026768']);
  assert.deepStrictEqual(unsubscribed[0], { workshopId: '1559212036', ok: true });
  assert.strictEqual(unsubscribed[1].ok, false);
  assert.strictEqual(unsubscribed[1].error.code, 'unknown');
});

test('outcomes go to the ids as quennet reads them: by value, adjacent repeats as one, others in order', async () => {
  const demo = setUp('ids').quennet;
  const states = await demo.status(['01111111111', '2222222222', '02222222222', '1111111111']);
  assert.deepStrictEqual(states.map((s) => [s.workshopId, s.installed]),
    [['01111111111', true], ['2222222222', false], ['02222222222', false], ['1111111111', true]]);
  assert.notStrictEqual(states[1], states[2]);

  // Two subscribe calls on one handle: the first task of 5 is dropped, the second goes on. 8 takes
  // a few passes, so records come out of list order.
  const { quennet } = setUp('repeats', {
    scenario: `{"items": [{"id": "5", "subscribe": {"handle": "77"}, "download": {"size": 100}},
                          {"id": "8", "download": {"size": 100, "step": 25}}, {"id": "9", "state": 5, "install": {"size": 10}},
                          {"id": "7", "unsubscribe": {"handle": "88"}}, {"id": "6", "unsubscribe": {"result": 15}}]}`,
  });
  const downloaded = await quennet.download(['0008', '5', '9', '005']);
  assert.deepStrictEqual(downloaded.map((o) => [o.workshopId, o.ok]), [['0008', true], ['5', false], ['9', true], ['005', true]]);
  assert.match(downloaded[1].error.message, /^subscribe call for 5 was dropped/);

  const unsubscribed = await quennet.unsubscribe(['7', '06', '007']);
  assert.deepStrictEqual(unsubscribed.map((o) => [o.workshopId, o.ok]), [['7', false], ['06', false], ['007', true]]);
  assert.strictEqual(unsubscribed[1].error.message, 'unsubscribing 6 failed: Steam returned: access denied');
});

test('a callback that throws ends quennet, and the call rejects with its error once quennet has gone', async () => {
  const { quennet } = setUp('throwing callback');
  const thrown = new Error('the window was closed');
  let pid = null;
  const started = Date.now();
  await assert.rejects(quennet.download(['2222222222'], {
    onStart: (id) => { pid = id; },
    onProgress: () => { throw thrown; },
  }), (error) => error === thrown);
  assert.ok(Date.now() - started < 2500, 'the download went on to its end');
  assert.throws(() => process.kill(pid, 0), { code: 'ESRCH' });

  await assert.rejects(quennet.whoami({ onStart: () => { throw thrown; } }), (error) => error === thrown);
  const records = quennet.run(['whoami'], { onReady: () => { throw thrown; } });
  await assert.rejects((async () => { for await (const record of records) assert.fail(record.type); })(), (error) => error === thrown);
});

test('a quennet that stops answering is killed at its deadline and the call rejects as hung', async () => {
  // Ignores SIGTERM, as a process stuck inside Steam's library may.
  const stuck = fakeQuennet('hung', `trap '' TERM; echo '${READY}'; exec sleep 30`, { deadlineSecs: 0.5 });
  let pid = null;
  const started = Date.now();
  await rejectsWith(stuck.whoami({ onStart: (id) => { pid = id; } }), 'hung', (e) => {
    assert.match(e.message, /still running 0\.5 s after it started/);
    assert.strictEqual(e.signal, 'SIGKILL');
  });
  assert.ok(Date.now() - started < 5000);
  assert.throws(() => process.kill(pid, 0), { code: 'ESRCH' });
  // A call's own deadline wins over the Quennet's.
  await rejectsWith(stuck.download(['1'], { deadlineSecs: 1, timeoutSecs: 5 }), 'hung', (e) => assert.match(e.message, / 1 s /));
  await assert.rejects(stuck.status(['1'], { deadlineSecs: 0 }), RangeError);
});

test('byte counts above 2^53 arrive exact', async () => {
  const size = 2n ** 53n + 1n;
  const { quennet } = setUp('big', {
    scenario: `{"items": [{"id": "18446744073709551615", "download": {"size": ${size}, "everyPasses": 2}}]}`,
  });
  const progress = [];
  const [outcome] = await quennet.download([2n ** 64n - 1n], { onProgress: (p) => progress.push(p) });
  assert.strictEqual(outcome.ok, true);
  assert.deepStrictEqual(progress.pop(), { workshopId: '18446744073709551615', bytesDone: size, bytesTotal: size });
});

test('ids that cannot be exact, or are not ids, are refused before quennet starts', async () => {
  const quennet = new Quennet({ path: '/no/such/quennet' });
  await assert.rejects(quennet.status([2 ** 53 + 2]), { name: 'RangeError', message: /above 2\^53.*string or a bigint/ });
  await assert.rejects(quennet.download(['--timeout-secs', '5']), TypeError);
  await assert.rejects(quennet.download(['1'], { timeoutSecs: 0.5 }), RangeError);
  await assert.rejects(quennet.status([]), TypeError);
  await rejectsWith(quennet.whoami(), 'not_started', (e) => assert.match(e.message, /\/no\/such\/quennet/));
});

test('whole-run failures reject with code, message and standard error', async () => {
  const refused = setUp('refused').quennet;
  await rejectsWith(refused.status(['0']), 'rejected', (e) => {
    assert.strictEqual(e.message, 'invalid workshop id 0: expected a positive integer');
    assert.deepStrictEqual([e.record.code, e.record.workshopId], ['item_invalid', '0']);
  });

  const notRunning = setUp('not running', { scenario: '{"init": {"result": 2, "message": "no client"}}' }).quennet;
  await rejectsWith(notRunning.download(['1']), 'steam_not_running', (e) => {
    assert.match(e.message, /^Could not connect to Steam \(We cannot connect to Steam/);
  });

  const internal = setUp('internal', { scenario: '{"interfaces": {"ugc": false}}' }).quennet;
  await rejectsWith(internal.status(['1']), 'internal', (e) => {
    assert.match(e.stderr, /^quennet: /);
    assert.strictEqual(e.exitCode, 1);
  });

  await rejectsWith(fakeQuennet('garbage', 'echo \'{"type":"ready","steamId":"1","persona":"x"}\'; echo garbage; exec sleep 30').whoami(),
    'protocol', (e) => assert.match(e.message, /not a record.*garbage/));
  await rejectsWith(fakeQuennet('huge number', 'echo \'{"type":"progress","workshopId":"1","bytesDone":1.5,"bytesTotal":2}\'; exit 0').whoami(),
    'protocol', (e) => assert.match(e.message, /bytesDone/));
  await rejectsWith(fakeQuennet('no done', 'echo \'{"type":"ready","steamId":"1","persona":"x"}\'').whoami(), 'protocol');
  await rejectsWith(fakeQuennet('no ready', 'echo \'{"type":"done"}\'').whoami(), 'protocol', (e) => assert.match(e.message, /"ready"/));
  await rejectsWith(fakeQuennet('wrong id', `echo '${READY}'; echo '${state('2')}'; echo '{"type":"done"}'`).status(['1']),
    'protocol', (e) => assert.deepStrictEqual([e.exitCode, e.message.includes('reported on 2')], [0, true]));
  await rejectsWith(fakeQuennet('crash', 'echo oops >&2; kill -SEGV $$').whoami(), 'crashed', (e) => {
    assert.deepStrictEqual([e.signal, e.stderr], ['SIGSEGV', 'oops\n']);
  });
  await rejectsWith(fakeQuennet('status 3', 'exit 3').whoami(), 'crashed', (e) => assert.strictEqual(e.exitCode, 3));
});

test('a record of a kind this package does not know: the methods pass over it, run() yields it', async () => {
  const quennet = fakeQuennet('new kind', `echo '${READY}'; echo '{"type":"hint","count":9007199254740993}'; echo '${state('1')}'; echo '{"type":"done"}'`);
  assert.deepStrictEqual((await quennet.status(['1'])).map((s) => s.workshopId), ['1']);
  const records = [];
  for await (const record of quennet.run(['status', '1'])) records.push(record);
  assert.deepStrictEqual(records.map((r) => r.type), ['ready', 'hint', 'state', 'done']);
  assert.strictEqual(records[1].count, 9007199254740993n);
});

test('with the state file, a launcher\'s flow continues across runs', async () => {
  const { folder, quennet } = setUp('flow', { state: true });
  const ids = ['2222222222', '1111111111'];

  // Out of time part way: Steam keeps the download, and the next download goes on from there.
  const [late] = await quennet.download(['2222222222'], { timeoutSecs: 1 });
  assert.strictEqual(late.error.code, 'timeout');
  let [state] = await quennet.status(['2222222222']);
  assert.deepStrictEqual([state.subscribed, state.installed, state.downloading], [true, false, true]);
  let first = null;
  const [done] = await quennet.download(['2222222222'], { onProgress: (p) => { first ??= p.bytesDone; } });
  assert.ok(first >= 9600000n, `started again at ${first}`);
  assert.strictEqual(done.ok, true);

  let states = await quennet.status(ids);
  assert.deepStrictEqual(states.map((s) => [s.installed, s.sizeOnDisk]), [[true, 48000000n], [true, 1234567n]]);

  assert.deepStrictEqual(await quennet.unsubscribe(['1111111111']), [{ workshopId: '1111111111', ok: true }]);
  states = await quennet.status(ids);
  assert.deepStrictEqual(states.map((s) => [s.subscribed, s.installed, s.folder === null]), [[true, true, false], [false, false, true]]);
  assert.ok(fs.existsSync(path.join(folder, 'state.json')));
});

test('a state file that cannot be used is refused, named, and left as it was', async () => {
  const { folder, quennet } = setUp('bad state', { state: true });
  const file = path.join(folder, 'state.json');
  fs.writeFileSync(file, '{"steamSimState": 1, "items": [{"id": 5}]}');
  await rejectsWith(quennet.status(['1']), 'steam_not_running', (e) => {
    assert.ok(e.message.includes(`cannot use state file ${file}: items[0].id`), e.message);
  });
  assert.strictEqual(fs.readFileSync(file, 'utf8'), '{"steamSimState": 1, "items": [{"id": 5}]}');
});

test('concurrent runs with one state file take turns and lose nothing', async () => {
  const { quennet } = setUp('concurrent', { scenario: 'download-two-items.json', state: true });
  const runs = await Promise.all([
    quennet.download(['1559212036']),
    quennet.download(['1564026768']),
    quennet.unsubscribe(['1590841260']),
  ]);
  assert.ok(runs.flat().every((outcome) => outcome.ok));
  // Each run saw what the one before it saved: both downloads are kept (the scenario has
  // 1564026768 needing an update).
  const states = await quennet.status(['1559212036', '1564026768']);
  assert.deepStrictEqual(states.map((s) => [s.installed, s.needsUpdate]), [[true, false], [true, false]]);
});
