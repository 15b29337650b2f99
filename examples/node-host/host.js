#!/usr/bin/env node
// An example host for quennet, as an Electron launcher's main process would be: it runs quennet
// through the quennet package (clients/node) and draws one progress bar per Workshop item. The
// package does the spawning, the reading of records, the exact byte counts and the judging of the
// run; what is left here is the drawing.
//
//   node host.js [--quennet PATH] <command> [workshop ids...]
//   QUENNET=PATH node host.js download 1559212036 1564026768
//
// Exit status: 0 everything succeeded; 1 quennet reported failures; 2 quennet could not be run, was
// killed, or broke its protocol.
'use strict';

// In your launcher, after `npm install quennet`: require('quennet').
const { Quennet, QuennetError } = require('../../clients/node');

// ---- Showing it --------------------------------------------------------------------------------

// What the screen shows of one item: bytes so far, or its outcome.
function newItem(id) {
  return { id, done: 0n, total: 0n, outcome: null, text: '' };
}

function bar(item, width) {
  if (item.total === 0n) return `[${' '.repeat(width)}]    ?`;
  const done = item.done > item.total ? item.total : item.done;
  const filled = Number((done * BigInt(width)) / item.total);
  const tenths = Number((done * 1000n) / item.total);
  const percent = `${Math.floor(tenths / 10)}.${tenths % 10}%`.padStart(6);
  return `[${'#'.repeat(filled)}${'-'.repeat(width - filled)}] ${percent}  ${megabytes(done)} of ${megabytes(item.total)} MB`;
}

function megabytes(bytes) {
  return (Number(bytes / 1000n) / 1000).toFixed(1);
}

function itemLine(item) {
  if (item.outcome === null) return `${item.id}  ${bar(item, 30)}`;
  return `${item.id}  ${item.text}`;
}

// On a terminal: one line per item, redrawn in place. Elsewhere (a pipe, a log file): one line per
// change, which is what a log wants anyway.
class Screen {
  constructor(out) {
    this.out = out;
    this.live = Boolean(out.isTTY);
    this.drawn = 0;
  }

  say(text) {
    this.clear();
    this.out.write(text + '\n');
  }

  update(run, item) {
    if (!this.live) {
      this.out.write(itemLine(item) + '\n');
      return;
    }
    this.clear();
    const width = this.out.columns || 80;
    for (const each of run.items.values()) this.out.write(itemLine(each).slice(0, width - 1) + '\n');
    this.drawn = run.items.size;
  }

  clear() {
    if (this.drawn > 0) this.out.write(`\x1b[${this.drawn}F\x1b[J`); // up to the first item line, erase below
    this.drawn = 0;
  }

  // Leaves the final state of every item on the screen.
  finish(run) {
    if (this.live) {
      this.clear();
      for (const item of run.items.values()) this.out.write(itemLine(item) + '\n');
    }
  }
}

// ---- Running quennet ---------------------------------------------------------------------------

function parseCommandLine(argv) {
  let path = process.env.QUENNET;
  const args = [...argv];
  if (args[0] === '--quennet') {
    path = args[1];
    args.splice(0, 2);
  }
  if (!path || args.length === 0) {
    process.stderr.write('usage: node host.js [--quennet PATH] <command> [workshop ids...]\n' +
                         '       (or set QUENNET to the path of quennet)\n');
    process.exit(2);
  }
  return { path, command: args[0], ids: args.slice(1) };
}

function stateText(state) {
  const flags = ['subscribed', 'installed', 'needsUpdate', 'downloading'].filter((f) => state[f]);
  return `${flags.join(', ') || 'not subscribed'}` +
    (state.folder === null ? '' : `; ${state.sizeOnDisk} bytes in ${state.folder}`);
}

// Runs the command and fills `run.items` with each item's outcome. Resolves with the verdict line.
async function runCommand(quennet, command, ids, screen, run) {
  const onReady = (account) => screen.say(`Steam account: ${account.persona} (${account.steamId})`);
  const show = (id, change) => {
    if (!run.items.has(id)) run.items.set(id, newItem(id));
    const item = run.items.get(id);
    Object.assign(item, change);
    screen.update(run, item);
  };
  const failed = (id, error) => show(id, { outcome: 'failed', text: `failed (${error.code}): ${error.message}` });

  if (command === 'whoami') {
    await quennet.whoami({ onReady });
  } else if (command === 'status') {
    for (const state of await quennet.status(ids, { onReady })) show(state.workshopId, { outcome: 'state', text: stateText(state) });
  } else if (command === 'download') {
    await quennet.download(ids, {
      onReady,
      onProgress: (p) => show(p.workshopId, { done: p.bytesDone, total: p.bytesTotal }),
      onInstalled: (i) => show(i.workshopId, { outcome: 'installed', text: `installed in ${i.folder}` }),
      onItemError: (e) => failed(e.workshopId, e),
    });
  } else if (command === 'unsubscribe') {
    for (const outcome of await quennet.unsubscribe(ids, { onReady })) {
      if (outcome.ok) show(outcome.workshopId, { outcome: 'unsubscribed', text: 'unsubscribed' });
      else failed(outcome.workshopId, outcome.error);
    }
  } else {
    // Left to quennet, which refuses it with its usage text.
    for await (const record of quennet.run([command, ...ids])) void record;
  }
  const failures = [...run.items.values()].filter((item) => item.outcome === 'failed').length;
  if (failures === 0) return [0, 'quennet: done'];
  return [1, `quennet failed: ${failures} item${failures === 1 ? '' : 's'} failed`];
}

// The verdict on a run that failed as a whole.
function wholeRunVerdict(error, screen) {
  if (!(error instanceof QuennetError)) throw error;
  if (error.code === 'steam_not_running' || error.code === 'rejected') {
    // Steam out of reach, or a command line quennet refused: quennet's own error record.
    screen.say(`error (${error.record.code}): ${error.message}`);
    return [1, `quennet failed: ${error.record.code}: ${error.message}`];
  }
  if (error.code === 'internal') return [2, error.message];
  return [2, error.code === 'not_started' ? error.message : `quennet failed (${error.code}): ${error.message}`];
}

async function main() {
  const { path, command, ids } = parseCommandLine(process.argv.slice(2));
  const screen = new Screen(process.stdout);
  const run = { items: new Map() };
  let verdict;
  try {
    verdict = await runCommand(new Quennet({ path }), command, ids, screen, run);
  } catch (error) {
    verdict = wholeRunVerdict(error, screen);
  }
  screen.finish(run);
  screen.say(verdict[1]);
  process.exitCode = verdict[0];
}

main();
