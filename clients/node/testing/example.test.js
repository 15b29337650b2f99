// launcher.test.js: run with `node --test`
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { Quennet } = require('quennet');
const { simulatedSteam } = require('@quennet/testing');

test('a download that Steam gives up on part way', async () => {
  const quennet = new Quennet(simulatedSteam({ scenario: 'download-fails.json' }));
  const [outcome] = await quennet.download(['1559212036']);
  assert.strictEqual(outcome.ok, false);
  assert.strictEqual(outcome.error.code, 'timeout');
});

test('the simulated world is kept between runs in a state file', async () => {
  const state = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'launcher-')), 'steam.json');
  const quennet = new Quennet(simulatedSteam({ state })); // the demo world: 2222222222 downloads
  await quennet.download(['2222222222']);
  const [item] = await quennet.status(['2222222222']);
  assert.strictEqual(item.installed, true);
  assert.strictEqual(item.sizeOnDisk, 48000000n);
});
