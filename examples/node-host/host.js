#!/usr/bin/env node
// An example host for quennet, written the way an Electron launcher's main process would do it:
// spawn quennet, read its records line by line while it runs, show one progress bar per Workshop
// item, report errors per item, and turn quennet's exit status into an outcome. Node's standard
// library only.
//
//   node host.js [--quennet PATH] <quennet arguments...>
//   QUENNET=PATH node host.js download 1559212036 1564026768
//
// Exit status: 0 everything succeeded; 1 quennet reported failures; 2 quennet could not be run, was
// killed, or broke its protocol.
'use strict';

const { spawn } = require('node:child_process');

// ---- Records ---------------------------------------------------------------------------------

// Byte counts can exceed 2^53, where JSON.parse rounds. A '"' inside a string value is always
// escaped, so this pattern only ever matches these keys: quote their digits, then make BigInts.
const BIG_KEYS = /"(bytesDone|bytesTotal|sizeOnDisk)":(\d+)/g;

function parseRecord(line) {
  return JSON.parse(line.replace(BIG_KEYS, '"$1":"$2"'), (key, value) =>
    (key === 'bytesDone' || key === 'bytesTotal' || key === 'sizeOnDisk') ? BigInt(value) : value);
}

// Splits a byte stream at every line feed and hands each complete line, decoded as UTF-8, to
// onLine. Decoding whole lines only means a chunk that ends inside a character cannot garble it.
function lineReader(onLine) {
  let pending = Buffer.alloc(0);
  return (chunk) => {
    pending = Buffer.concat([pending, chunk]);
    let end;
    while ((end = pending.indexOf(0x0a)) !== -1) {
      onLine(pending.subarray(0, end).toString('utf8'));
      pending = pending.subarray(end + 1);
    }
  };
}

// ---- What we know about the run ----------------------------------------------------------------

class Run {
  constructor() {
    this.account = null;
    this.items = new Map(); // workshopId -> { id, done, total, outcome, text }, in order of appearance
    this.runErrors = []; // errors that concern no item (workshopId null)
    this.sawDone = false;
    this.protocolErrors = [];
  }

  item(id) {
    if (!this.items.has(id)) this.items.set(id, { id, done: 0n, total: 0n, outcome: null, text: '' });
    return this.items.get(id);
  }

  // Applies one record; returns the item it changed, if any.
  apply(record) {
    switch (record.type) {
      case 'ready':
        this.account = record;
        return null;
      case 'state': {
        const item = this.item(record.workshopId);
        const flags = ['subscribed', 'installed', 'needsUpdate', 'downloading'].filter((f) => record[f]);
        item.outcome = 'state';
        item.text = `${flags.join(', ') || 'not subscribed'}` +
          (record.folder === null ? '' : `; ${record.sizeOnDisk} bytes in ${record.folder}`);
        return item;
      }
      case 'progress': {
        const item = this.item(record.workshopId);
        item.done = record.bytesDone;
        item.total = record.bytesTotal;
        return item;
      }
      case 'installed': {
        const item = this.item(record.workshopId);
        item.outcome = 'installed';
        item.text = `installed in ${record.folder}`;
        return item;
      }
      case 'done':
        this.sawDone = true;
        return null;
      case 'error': {
        // Before "ready", an error is about the whole run: a rejected command line (whose
        // workshopId is the rejected argument, if any) or Steam out of reach.
        if (this.account === null || record.workshopId === null) {
          this.runErrors.push(record);
          return null;
        }
        const item = this.item(record.workshopId);
        item.outcome = 'failed';
        item.text = `failed (${record.code}): ${record.message}`;
        return item;
      }
      default:
        // A newer quennet may add kinds; an old host should carry on without them.
        return null;
    }
  }
}

// ---- Showing it --------------------------------------------------------------------------------

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
  let quennet = process.env.QUENNET;
  const args = [...argv];
  if (args[0] === '--quennet') {
    quennet = args[1];
    args.splice(0, 2);
  }
  if (!quennet || args.length === 0) {
    process.stderr.write('usage: node host.js [--quennet PATH] <command> [arguments...]\n' +
                         '       (or set QUENNET to the path of quennet)\n');
    process.exit(2);
  }
  return { quennet, args };
}

// The host's verdict on one finished run of quennet: its own exit status and a line for people.
function verdict(run, status, signal, stderr) {
  if (signal !== null) return [2, `quennet was killed (${signal})`];
  if (status === 0 && run.sawDone) return [0, 'quennet: done'];
  if (status === 0) return [2, 'quennet ended with status 0 but without "done": not a quennet we understand'];
  if (status !== 1) return [2, `quennet crashed (exit status ${status})`];
  // Steam's own library may write to standard error too; quennet's lines begin "quennet: ".
  const own = stderr.split('\n').filter((line) => line.startsWith('quennet: '));
  if (own.length) return [2, `quennet stopped on an internal error: ${own.join(' ')}`];
  const failed = [...run.items.values()].filter((item) => item.outcome === 'failed').length;
  const open = [...run.items.values()].filter((item) => item.outcome === null).length;
  const parts = [];
  if (failed) parts.push(`${failed} item${failed === 1 ? '' : 's'} failed`);
  if (open) parts.push(`${open} without an outcome`);
  for (const error of run.runErrors) parts.push(`${error.code}: ${error.message}`);
  return [1, `quennet failed: ${parts.join('; ') || 'no reason given'}`];
}

function main() {
  const { quennet, args } = parseCommandLine(process.argv.slice(2));
  const screen = new Screen(process.stdout);
  const run = new Run();
  let stderr = '';

  // No shell, so no quoting issues; no window for the console program on Windows; no stdin.
  const child = spawn(quennet, args, { stdio: ['ignore', 'pipe', 'pipe'], windowsHide: true });

  child.stdout.on('data', lineReader((line) => {
    let record;
    try {
      record = parseRecord(line);
    } catch (error) {
      run.protocolErrors.push(line);
      screen.say(`quennet wrote something that is not a record: ${line}`);
      return;
    }
    const item = run.apply(record);
    if (record.type === 'ready') screen.say(`Steam account: ${record.persona} (${record.steamId})`);
    else if (record.type === 'error' && item === null) screen.say(`error (${record.code}): ${record.message}`);
    if (item !== null) screen.update(run, item);
  }));
  child.stderr.on('data', (chunk) => { stderr += chunk.toString('utf8'); });

  child.on('error', (error) => {
    // Could not be started at all (no such file, not executable).
    process.stderr.write(`could not start quennet (${quennet}): ${error.message}\n`);
    process.exit(2);
  });
  // 'close' comes after the exit and after the last byte of standard output has been read.
  child.on('close', (status, signal) => {
    screen.finish(run);
    let [exitStatus, text] = verdict(run, status, signal, stderr);
    if (run.protocolErrors.length && exitStatus !== 2) exitStatus = 2;
    screen.say(text);
    process.exitCode = exitStatus;
  });
}

main();
