'use strict';
// quennet for Node.js and Electron hosts: one method per command, each a promise of its outcome,
// and run() for hosts that want the records as they come.

const { runQuennet } = require('./lib/process');
const { deadlineSecs, commandLimit, LIMIT_SECS } = require('./lib/deadline');
const { Tasks } = require('./lib/tasks');
const { QuennetError, AbortError } = require('./lib/errors');
const { findQuennet, notFoundMessage } = require('./lib/locate');

const PROGRESS = new Set(['progress']);

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
  // options: { path, env, cwd, deadlineSecs }. env replaces the child's environment (default: this
  // process's); deadlineSecs is the deadline of every call that does not give its own.
  constructor(options = {}) {
    this.options = { ...options };
  }

  async whoami(options = {}) {
    const { account } = await this.#call(['whoami'], options, () => {}, LIMIT_SECS.other);
    return { steamId: account.steamId, persona: account.persona };
  }

  async status(ids, options = {}) {
    const tasks = new Tasks(idArguments(ids));
    const end = await this.#call(['status', ...tasks.ids], options, (type, state) => {
      if (type === 'state') tasks.settle(state.workshopId, state);
    }, LIMIT_SECS.other);
    answered(tasks, end, 'a state');
    return tasks.underIds();
  }

  // options: { timeoutSecs, onProgress, onInstalled, onItemError } and those of every call:
  // { signal, deadlineSecs, onStart, onReady }
  async download(ids, options = {}) {
    const tasks = new Tasks(idArguments(ids));
    const args = ['download', ...tasks.ids];
    if (options.timeoutSecs !== undefined) {
      if (!Number.isSafeInteger(options.timeoutSecs) || options.timeoutSecs < 1) {
        throw new RangeError('timeoutSecs: expected a whole number of seconds from 1 up');
      }
      args.push('--timeout-secs', String(options.timeoutSecs));
    }
    // Progress records are read only for onProgress.
    const unread = options.onProgress ? undefined : PROGRESS;
    const end = await this.#call(args, options, (type, fields) => {
      if (type === 'progress') options.onProgress?.(fields);
      if (type === 'installed') {
        tasks.settle(fields.workshopId, { workshopId: fields.workshopId, ok: true, folder: fields.folder });
        options.onInstalled?.(fields);
      }
      if (type === 'error' && fields.workshopId !== null) {
        const error = { code: fields.code, message: fields.message };
        tasks.settle(fields.workshopId, { workshopId: fields.workshopId, ok: false, error });
        options.onItemError?.({ workshopId: fields.workshopId, ...error });
      }
    }, options.timeoutSecs ?? LIMIT_SECS.download, unread);
    answered(tasks, end, 'an outcome');
    return tasks.underIds();
  }

  // Confirmed items get no record of their own: a task is ok when the run ended the way quennet
  // ends (status 0 with "done", or 1 with errors for other items) and no error came for it.
  async unsubscribe(ids, options = {}) {
    const tasks = new Tasks(idArguments(ids));
    const end = await this.#call(['unsubscribe', ...tasks.ids], options, (type, fields) => {
      if (type === 'error' && fields.workshopId !== null) {
        tasks.settle(fields.workshopId, { code: fields.code, message: fields.message });
      }
    }, LIMIT_SECS.unsubscribe);
    answered(tasks, end);
    return tasks.each((error, workshopId) => (error ? { workshopId, ok: false, error } : { workshopId, ok: true }));
  }

  // Every record of one run with `args`, as it arrives, records of kinds this package does not know
  // included. Ends after the last record of a run that ended well; throws a QuennetError, an
  // AbortError or a callback's error where the methods would reject. Leaving the loop early ends
  // the process.
  async *run(args, options = {}) {
    if (!Array.isArray(args) || !args.every((arg) => typeof arg === 'string')) {
      throw new TypeError('run: expected an array of strings');
    }
    const queue = [];
    let wake = null;
    let end = null;
    const started = this.#start(args, options, (type, fields) => {
      queue.push({ type, ...fields });
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
      // Leaving the loop early ends quennet; the loop is left once it has gone.
      started.stop();
      await started.finished.catch(() => {});
    }
  }

  // `limitSecs`: quennet's own time limit for the command, which the methods know; `unread`: the
  // kinds of records a method has no use for.
  #start(args, options, onRecord, limitSecs = commandLimit(args), unread = undefined) {
    let deadline;
    try {
      deadline = deadlineSecs(limitSecs, options.deadlineSecs ?? this.options.deadlineSecs);
    } catch (error) {
      return { finished: Promise.reject(error), stop() {} };
    }
    const file = findQuennet(this.options.path);
    if (file === null) {
      const error = new QuennetError('not_started', notFoundMessage());
      return { finished: Promise.reject(error), stop() {} };
    }
    const { signal, onStart, onReady } = options;
    const run = { file, args, env: this.options.env, cwd: this.options.cwd, signal, onStart, deadlineSecs: deadline, unread };
    return runQuennet(run, (type, fields) => {
      if (type === 'ready') onReady?.({ ...fields });
      onRecord(type, fields);
    });
  }

  #call(args, options, onRecord, limitSecs, unread) {
    return this.#start(args, options, onRecord, limitSecs, unread).finished;
  }
}

// Checks, once a run has ended well, that each record went to a task (`every`: and that each task
// got one); throws the protocol error otherwise.
function answered(tasks, end, every = null) {
  const details = { stderr: end.stderr, exitCode: end.exitCode, signal: end.signal };
  if (tasks.unmatched !== null) {
    throw new QuennetError('protocol', `quennet reported on ${tasks.unmatched}, which no task of that id was waiting for`, details);
  }
  const at = every === null ? -1 : tasks.missing();
  if (at !== -1) throw new QuennetError('protocol', `quennet ended without ${every} for ${tasks.ids[at]}`, details);
}

module.exports = { Quennet, QuennetError, AbortError, findQuennet, idArguments };
