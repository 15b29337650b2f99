'use strict';
// One measurement of the Node.js package against a hand-written host, in a fresh Node process so
// that neither inherits the other's heap:
//
//   node --expose-gc bench/node_client.js <package|hand-written> <status|download> <quennet> <ids>
//
// Runs the command once over the first 10 ids (so that both paths are compiled), then over
// <ids> ids from 1000000000 up, and prints {"ms": wall time of the call, "kib": how far the
// process's peak resident memory rose above its resident memory before the call, "cpuMs": the
// CPU time this process spent in the call, which a busy machine disturbs less than wall time}. The simulated
// Steam library beside <quennet> reads its scenario from STEAM_SIM_SCENARIO, which bench/run sets.

const { spawn } = require('node:child_process');
const path = require('node:path');

const [how, command, file, count] = process.argv.slice(2);
const FIRST_ID = 1000000000;

// The least a host can do: spawn quennet, split its output at line feeds and JSON.parse each line.
function handWritten(ids) {
  return new Promise((resolve, reject) => {
    const child = spawn(file, [command, ...ids], { stdio: ['ignore', 'pipe', 'ignore'] });
    const records = [];
    let rest = '';
    child.stdout.setEncoding('utf8');
    child.stdout.on('data', (text) => {
      const lines = (rest + text).split('\n');
      rest = lines.pop();
      for (const line of lines) records.push(JSON.parse(line));
    });
    child.on('error', reject);
    child.on('close', () => resolve(records));
  });
}

function throughPackage(ids) {
  const { Quennet } = require(path.join(__dirname, '..', 'clients', 'node'));
  return new Quennet({ path: file })[command](ids);
}

async function main() {
  const call = how === 'package' ? throughPackage : handWritten;
  const ids = Array.from({ length: Number(count) }, (_, i) => String(FIRST_ID + i));
  await call(ids.slice(0, 10));
  global.gc();
  const before = process.memoryUsage().rss;
  const cpuBefore = process.cpuUsage();
  const started = process.hrtime.bigint();
  const result = await call(ids);
  const ms = Number(process.hrtime.bigint() - started) / 1e6;
  const cpu = process.cpuUsage(cpuBefore);
  const kib = Math.max(0, process.resourceUsage().maxRSS - before / 1024);
  if (result.length < ids.length) throw new Error(`${how}: ${result.length} results for ${ids.length} ids`);
  process.stdout.write(JSON.stringify({ ms, kib, cpuMs: (cpu.user + cpu.system) / 1000 }) + '\n');
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
