'use strict';
// One run of quennet: start it, hand each record to the caller as it arrives, and judge the run as
// a whole from its records, its exit status and its standard error once it has ended.

const { spawn } = require('node:child_process');
const { parseRecord, lineSplitter, LineError } = require('./records');
const { QuennetError, AbortError } = require('./errors');

// Starts `file` with `args` and calls onRecord(record) for every record, and onStart(pid) once the
// process runs. Returns { finished, stop }: `finished` resolves with what the run wrote once it
// ended well (exit status 0, or 1 with errors that concern items only) and rejects with a
// QuennetError or an AbortError; stop() ends the process early.
function runQuennet({ file, args, env, cwd, signal, onStart }, onRecord) {
  let child = null;
  const finished = new Promise((resolve, reject) => {
    if (signal?.aborted) {
      reject(new AbortError(signal.reason));
      return;
    }
    const seen = { account: null, runError: null, itemErrors: 0, done: false };
    let stderr = '';
    let badLine = null;
    let aborted = false;
    let settled = false;

    const settle = (error, value) => {
      if (settled) return;
      settled = true;
      signal?.removeEventListener('abort', onAbort);
      if (error) reject(error);
      else resolve(value);
    };
    const onAbort = () => {
      aborted = true;
      child.kill();
    };

    try {
      // No shell: the arguments reach quennet as they are. No console window on Windows, and
      // nothing on standard input.
      child = spawn(file, args, { env, cwd, shell: false, windowsHide: true, stdio: ['ignore', 'pipe', 'pipe'] });
    } catch (error) {
      settle(new QuennetError('not_started', `could not start quennet (${file}): ${error.message}`, { cause: error }));
      return;
    }
    signal?.addEventListener('abort', onAbort, { once: true });
    child.on('spawn', () => onStart?.(child.pid));

    const lines = lineSplitter((line, bytes) => {
      if (badLine !== null) return;
      let record;
      try {
        if (line === null) throw new LineError('not UTF-8');
        record = parseRecord(line);
      } catch (error) {
        if (!(error instanceof LineError)) throw error;
        // Nothing after such a line can be trusted; end the run.
        badLine = `quennet wrote a line that is not a record (${error.message}): ${bytes.toString('utf8').slice(0, 200)}`;
        child.kill();
        return;
      }
      if (record === null) return;
      if (record.type === 'ready') seen.account = record;
      if (record.type === 'done') seen.done = true;
      // Before "ready", or without an item, an error is about the whole run.
      if (record.type === 'error') {
        if (seen.account === null || record.workshopId === null) seen.runError = record;
        else seen.itemErrors++;
      }
      onRecord(record);
    });
    child.stdout.on('data', (chunk) => lines.push(chunk));
    child.stderr.on('data', (chunk) => { stderr += chunk.toString('utf8'); });

    child.on('error', (error) => {
      settle(new QuennetError('not_started', `could not start quennet (${file}): ${error.message}`, { cause: error }));
    });
    // 'close' comes after the exit and after the last byte of both outputs.
    child.on('close', (exitCode, exitSignal) => {
      if (aborted) {
        settle(new AbortError(signal.reason));
        return;
      }
      if (badLine === null && lines.end().length > 0) badLine = 'quennet\'s output ended inside a line';
      const failure = judge({ seen, exitCode, exitSignal, stderr, badLine });
      if (failure) settle(failure);
      else settle(null, { account: seen.account, done: seen.done, stderr });
    });
  });
  return {
    finished,
    stop() {
      if (child && child.exitCode === null && child.signalCode === null) child.kill();
    },
  };
}

// The whole-run failure that the end of a run shows, or null when the run ended well.
function judge({ seen, exitCode, exitSignal, stderr, badLine }) {
  const details = { stderr, exitCode, signal: exitSignal };
  if (badLine !== null) return new QuennetError('protocol', badLine, details);
  if (exitSignal !== null) return new QuennetError('crashed', `quennet was killed (${exitSignal})`, details);
  if (exitCode === 0) {
    if (seen.done) return null;
    return new QuennetError('protocol', 'quennet ended with status 0 but without "done"', details);
  }
  if (exitCode !== 1) return new QuennetError('crashed', `quennet crashed (exit status ${exitCode})`, details);

  if (seen.runError) {
    const code = seen.runError.code === 'steam_not_running' ? 'steam_not_running' : 'rejected';
    return new QuennetError(code, seen.runError.message, { ...details, record: seen.runError });
  }
  // Steam's own library may write to standard error too; quennet's lines begin "quennet: ".
  const own = stderr.split(/\r?\n/).filter((line) => line.startsWith('quennet: '));
  if (own.length) return new QuennetError('internal', `quennet stopped on an internal error: ${own.join(' ')}`, details);
  if (seen.itemErrors > 0) return null;
  // Status 1 always comes with an error record or a line on standard error; without either, the
  // process was ended from outside (on Windows a killed process ends with status 1).
  return new QuennetError('crashed', 'quennet ended with status 1 without saying why: it was probably killed', details);
}

module.exports = { runQuennet };
