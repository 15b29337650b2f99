'use strict';
// quennet for Node.js and Electron hosts: one method per command, each a promise of its outcome,
// and run() for hosts that want the records as they come.

const { runQuennet } = require('./lib/process');
const { QuennetError, AbortError } = require('./lib/errors');
const { findQuennet, notFoundMessage } = require('./lib/locate');

// Workshop ids as quennet's arguments. Decimal strings and bigints are exact; a number is taken
// only while it is exact, since 2^53 + 1 would silently become 2^53.
function idArguments(ids) {
  if (!Array.isArray(ids) || ids.length === 0) {
    throw new TypeError('workshop ids: expected a non-empty array of decimal strings or bigints');
  }
  return ids.map((id) => {
    if (typeof id === 'bigint') return id.toString();
    if (typeof id === 'string' && /^[0-9]+$/.test(id)) return id;
    if (typeof id === 'number' && Number.isInteger(id) && id >= 0) {
      if (!Number.isSafeInteger(id)) {
        throw new RangeError(`workshop id ${id} is a number above 2^53 and may have been rounded: pass it as a string or a bigint`);
      }
      return String(id);
    }
    throw new TypeError(`workshop id ${String(id)}: expected a decimal string, a bigint or a whole number`);
  });
}

class Quennet {
  // options: { path, env, cwd }. env replaces the child's environment (default: this process's).
  constructor(options = {}) {
    this.options = { ...options };
  }

  async whoami(options = {}) {
    const { account } = await this.#call(['whoami'], options, () => {});
    return { steamId: account.steamId, persona: account.persona };
  }

  async status(ids, options = {}) {
    // quennet reports an id repeated in a row once (`5 5 6` is `5 6`); every id given gets its state.
    const wanted = idArguments(ids);
    const sent = wanted.filter((id, i) => i === 0 || id !== wanted[i - 1]);
    const states = [];
    const end = await this.#call(['status', ...sent], options, (record) => {
      if (record.type === 'state') states.push(without(record, 'type'));
    });
    if (states.length !== sent.length || states.some((state, i) => state.workshopId !== sent[i])) {
      throw new QuennetError('protocol', `quennet reported ${states.length} states for ${sent.length} items`, end);
    }
    let at = -1;
    return wanted.map((id, i) => {
      if (i === 0 || id !== wanted[i - 1]) at++;
      return { ...states[at] };
    });
  }

  // options: { timeoutSecs, onProgress, onInstalled, onItemError } and those of every call:
  // { signal, onStart, onReady }
  async download(ids, options = {}) {
    const args = ['download', ...idArguments(ids)];
    if (options.timeoutSecs !== undefined) {
      if (!Number.isSafeInteger(options.timeoutSecs) || options.timeoutSecs < 1) {
        throw new RangeError('timeoutSecs: expected a whole number of seconds from 1 up');
      }
      args.push('--timeout-secs', String(options.timeoutSecs));
    }
    const outcomes = new Map();
    const end = await this.#call(args, options, (record) => {
      if (record.type === 'progress') options.onProgress?.(without(record, 'type'));
      if (record.type === 'installed') {
        outcomes.set(record.workshopId, { workshopId: record.workshopId, ok: true, folder: record.folder });
        options.onInstalled?.(without(record, 'type'));
      }
      if (record.type === 'error' && record.workshopId !== null) {
        const error = { code: record.code, message: record.message };
        outcomes.set(record.workshopId, { workshopId: record.workshopId, ok: false, error });
        options.onItemError?.({ workshopId: record.workshopId, ...error });
      }
    });
    return everyOutcome(args.slice(1, 1 + ids.length), outcomes, end);
  }

  // Confirmed items get no record of their own: ok unless an error came for them.
  async unsubscribe(ids, options = {}) {
    const args = ['unsubscribe', ...idArguments(ids)];
    const errors = new Map();
    await this.#call(args, options, (record) => {
      if (record.type === 'error' && record.workshopId !== null) {
        errors.set(record.workshopId, { code: record.code, message: record.message });
      }
    });
    return args.slice(1).map((workshopId) =>
      errors.has(workshopId) ? { workshopId, ok: false, error: errors.get(workshopId) } : { workshopId, ok: true });
  }

  // Every record of one run with `args`, as it arrives. Ends after the last record of a run that
  // ended well; throws a QuennetError or an AbortError where the methods would reject. Leaving the
  // loop early ends the process.
  async *run(args, options = {}) {
    if (!Array.isArray(args) || !args.every((arg) => typeof arg === 'string')) {
      throw new TypeError('run: expected an array of strings');
    }
    const queue = [];
    let wake = null;
    let end = null;
    const started = this.#start(args, options, (record) => {
      queue.push(record);
      wake?.();
    });
    started.finished.then(() => { end = {}; }, (error) => { end = { error }; }).finally(() => wake?.());
    try {
      for (;;) {
        if (queue.length) {
          yield queue.shift();
        } else if (end) {
          if (end.error) throw end.error;
          return;
        } else {
          await new Promise((resolve) => { wake = resolve; });
          wake = null;
        }
      }
    } finally {
      started.stop();
    }
  }

  #start(args, options, onRecord) {
    const file = findQuennet(this.options.path);
    if (file === null) {
      const error = new QuennetError('not_started', notFoundMessage());
      return { finished: Promise.reject(error), stop() {} };
    }
    const { signal, onStart, onReady } = options;
    return runQuennet({ file, args, env: this.options.env, cwd: this.options.cwd, signal, onStart }, (record) => {
      // A callback that throws is the host's bug, not the run's: report it without losing the run.
      try {
        if (record.type === 'ready') onReady?.(without(record, 'type'));
        onRecord(record);
      } catch (error) {
        process.nextTick(() => { throw error; });
      }
    });
  }

  #call(args, options, onRecord) {
    return this.#start(args, options, onRecord).finished;
  }
}

function without(record, key) {
  const copy = { ...record };
  delete copy[key];
  return copy;
}

// One outcome per id, in the order given; an id without one means the run ended unfinished.
function everyOutcome(ids, outcomes, end) {
  return ids.map((id) => {
    const outcome = outcomes.get(id);
    if (!outcome) throw new QuennetError('protocol', `quennet ended without an outcome for ${id}`, { stderr: end.stderr });
    return outcome;
  });
}

module.exports = { Quennet, QuennetError, AbortError, findQuennet, idArguments };
