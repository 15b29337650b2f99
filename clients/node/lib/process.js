'use strict';
// One run of quennet: start it, hand each record to the caller as it arrives, and judge the run as
// a whole from its records, its exit status and its standard error once it has ended.

const { spawn } = require('node:child_process');
const { readRecord, lineSplitter, LineError } = require('./records');
const { QuennetError, AbortError } = require('./errors');

// The longest wait setTimeout can make (about 24.8 days); a longer deadline is cut to it.
const LONGEST_TIMER_MS = 2 ** 31 - 1;

// Starts `file` with `args` and calls onRecord(type, fields) for every record, and onStart(pid)
// once the process runs. Returns { finished, stop }: `finished` resolves with what the run wrote once it
// ended well (exit status 0 with "ready" and "done", or 1 with errors that concern items only) and
// rejects with a QuennetError, an AbortError, or the error a callback threw; stop() ends the
// process early. Whatever ends the run, `finished` settles only after the process has ended: no
// quennet outlives its call. A run still going after `deadlineSecs` is killed and rejects as 'hung'.
// Records of the kinds in `unread` (a Set) are checked, but not read for onRecord.
function runQuennet({ file, args, env, cwd, signal, onStart, deadlineSecs, unread }, onRecord) {
  let child = null;
  let stop = () => {};
  const finished = new Promise((resolve, reject) => {
    if (signal?.aborted) {
      reject(new AbortError(signal.reason));
      return;
    }
    const seen = { account: null, runError: null, itemErrors: 0, done: false };
    let stderr = '';
    let stoppedFor = null; // once the package ends the run: (details) => the error to reject with
    let deadline = null;
    let settled = false;

    const settle = (error, value) => {
      if (settled) return;
      settled = true;
      clearTimeout(deadline);
      signal?.removeEventListener('abort', onAbort);
      if (error) reject(error);
      else resolve(value);
    };
    // Ends the run for `reason`; the first reason is the one the call rejects with. Once quennet
    // has exited its output no longer matters, so its pipes are closed even if a process it left
    // behind still holds them.
    stop = (reason, how = 'SIGTERM') => {
      if (child === null) return;
      stoppedFor ??= reason;
      if (child.exitCode === null && child.signalCode === null) child.kill(how);
      else closePipes();
    };
    const closePipes = () => {
      child.stdout.destroy();
      child.stderr.destroy();
    };
    const onAbort = () => stop(() => new AbortError(signal.reason));

    try {
      // No shell: the arguments reach quennet as they are. No console window on Windows, and
      // nothing on standard input.
      child = spawn(file, args, { env, cwd, shell: false, windowsHide: true, stdio: ['ignore', 'pipe', 'pipe'] });
    } catch (error) {
      settle(new QuennetError('not_started', `could not start quennet (${file}): ${error.message}`, { cause: error }));
      return;
    }
    signal?.addEventListener('abort', onAbort, { once: true });
    if (deadlineSecs !== Infinity) {
      // A quennet stuck inside Steam's library may not answer SIGTERM.
      deadline = setTimeout(() => stop((details) => new QuennetError('hung',
        `quennet was still running ${deadlineSecs} s after it started, long after it should have ended by itself: it was stopped (Steam may have stopped answering)`,
        details), 'SIGKILL'), Math.min(deadlineSecs * 1000, LONGEST_TIMER_MS));
    }
    // A callback that throws is the host's own error: it ends the run, and the call rejects with it
    // once quennet has gone, rather than surfacing later where nothing can catch it.
    child.on('spawn', () => {
      try {
        onStart?.(child.pid);
      } catch (error) {
        stop(() => error);
      }
    });

    const parsed = (type, fields) => {
      if (type === 'ready') seen.account = fields;
      if (type === 'done') seen.done = true;
      // Before "ready", or without an item, an error is about the whole run.
      if (type === 'error') {
        if (seen.account === null || fields.workshopId === null) seen.runError = { type, ...fields };
        else seen.itemErrors++;
      }
      try {
        onRecord(type, fields);
      } catch (error) {
        stop(() => error);
      }
    };
    const lines = lineSplitter((line, bytes) => {
      if (stoppedFor !== null) return;
      try {
        if (line === null) throw new LineError('not UTF-8');
        readRecord(line, parsed, unread);
      } catch (error) {
        if (!(error instanceof LineError)) throw error;
        // Nothing after such a line can be trusted; end the run.
        const message = `quennet wrote a line that is not a record (${error.message}): ${(line ?? bytes.toString('utf8')).slice(0, 200)}`;
        stop((details) => new QuennetError('protocol', message, details));
      }
    });
    child.stdout.on('data', (chunk) => lines.push(chunk));
    child.stderr.on('data', (chunk) => { stderr += chunk.toString('utf8'); });

    child.on('error', (error) => {
      settle(new QuennetError('not_started', `could not start quennet (${file}): ${error.message}`, { cause: error }));
    });
    child.on('exit', () => {
      if (stoppedFor !== null) closePipes();
    });
    // 'close' comes after the exit and after the last byte of both outputs.
    child.on('close', (exitCode, exitSignal) => {
      const details = { stderr, exitCode, signal: exitSignal };
      if (stoppedFor !== null) {
        settle(stoppedFor(details));
        return;
      }
      const badLine = lines.end().length > 0 ? 'quennet\'s output ended inside a line' : null;
      const failure = judge({ seen, details, badLine });
      if (failure) settle(failure);
      else settle(null, { account: seen.account, done: seen.done, ...details });
    });
  });
  return { finished, stop: () => stop(() => new AbortError()) };
}

// The whole-run failure that the end of a run shows, or null when the run ended well.
function judge({ seen, details, badLine }) {
  const { exitCode, signal, stderr } = details;
  if (badLine !== null) return new QuennetError('protocol', badLine, details);
  if (signal !== null) return new QuennetError('crashed', `quennet was killed (${signal})`, details);
  if (exitCode === 0) {
    if (!seen.done) return new QuennetError('protocol', 'quennet ended with status 0 but without "done"', details);
    if (!seen.account) return new QuennetError('protocol', 'quennet ended with status 0 but without "ready"', details);
    return null;
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
