'use strict';
// Which of the caller's ids a record of quennet's answers. quennet reads ids by their value (007 is
// item 7, and its records say "7"), makes one task of adjacent repeats (5 5 6 is two tasks) but
// keeps repeats apart from each other as separate tasks (5 6 5 is three), and ends the tasks of one
// id in list order. So a record goes to the first task of its id that has no outcome yet, and a
// task's outcome to every position the caller gave it.

// An id without its leading zeros, as quennet writes it.
function byValue(id) {
  return id.charCodeAt(0) === 48 ? id.replace(/^0+(?=.)/, '') : id;
}

class Tasks {
  // `ids`: the caller's ids as decimal strings, in the caller's order.
  constructor(ids) {
    this.ids = ids;
    // Mostly each id is a task of its own, written as quennet writes it: then the tasks are the
    // ids, and a task's outcome is its position's result as it is.
    this.taskIds = ids; // task -> its id by value
    this.taskAt = null; // position -> task, when that is not the position itself
    for (let at = 0; at < ids.length; at++) {
      if (ids[at].charCodeAt(0) === 48 || (at > 0 && ids[at] === ids[at - 1])) {
        this.#group();
        break;
      }
    }
    this.outcomes = new Array(this.taskIds.length).fill(undefined);
    this.settled = 0;
    this.unmatched = null; // the first id quennet reported on that no task was waiting for
    // Records mostly come in list order (always for status): while they do, each goes to the first
    // task without an outcome, and nothing more is needed. For the first that does not, `waiting`
    // is built: id -> its first task without an outcome, and `nextOfId`: task -> the next task of
    // the same id.
    this.first = 0;
    this.waiting = null;
    this.nextOfId = null;
  }

  // Ids with leading zeros, or repeated next to each other: a task per run of equal values.
  #group() {
    this.taskIds = [];
    this.taskAt = new Int32Array(this.ids.length);
    for (let at = 0; at < this.ids.length; at++) {
      const id = byValue(this.ids[at]);
      if (at === 0 || id !== this.taskIds[this.taskIds.length - 1]) this.taskIds.push(id);
      this.taskAt[at] = this.taskIds.length - 1;
    }
  }

  // Gives `outcome` to the first task of `workshopId` that has none yet. False when no task of that
  // id is waiting: quennet answered something it was not asked, or answered it twice.
  settle(workshopId, outcome) {
    const id = byValue(workshopId);
    if (this.waiting === null && this.first < this.taskIds.length && this.taskIds[this.first] === id) {
      this.outcomes[this.first++] = outcome;
      this.settled++;
      return true;
    }
    this.waiting ??= this.#waitingTasks();
    const task = this.waiting.get(id);
    if (task === undefined) {
      this.unmatched ??= workshopId;
      return false;
    }
    this.outcomes[task] = outcome;
    this.settled++;
    const next = this.nextOfId[task];
    if (next === -1) this.waiting.delete(id);
    else this.waiting.set(id, next);
    return true;
  }

  // Up to now every outcome went to the first task without one, so the tasks from `first` on are
  // the ones waiting. Built from the last to the first, so that each id ends at its first task.
  #waitingTasks() {
    const waiting = new Map();
    this.nextOfId = new Int32Array(this.taskIds.length);
    for (let task = this.taskIds.length - 1; task >= this.first; task--) {
      const id = this.taskIds[task];
      this.nextOfId[task] = waiting.get(id) ?? -1;
      waiting.set(id, task);
    }
    return waiting;
  }

  // The first position of a task without an outcome, or -1.
  missing() {
    if (this.settled === this.taskIds.length) return -1;
    for (let at = 0; at < this.ids.length; at++) if (this.outcomes[this.#taskOf(at)] === undefined) return at;
    return -1;
  }

  // One result per position, under the id as the caller wrote it: `make(outcome, workshopId, again)`,
  // where `outcome` is undefined for a task that got none, and `again` says that an earlier
  // position of the same task has had it already (so it must be copied, not handed out twice).
  each(make) {
    const results = new Array(this.ids.length);
    for (let at = 0; at < this.ids.length; at++) {
      const task = this.#taskOf(at);
      results[at] = make(this.outcomes[task], this.ids[at], at > 0 && this.#taskOf(at - 1) === task);
    }
    return results;
  }

  // The outcomes, each an object with the task's workshopId, under the ids as the caller wrote
  // them. When each id is a task of its own, quennet's ids are the caller's.
  underIds() {
    if (this.taskAt === null) return this.outcomes;
    return this.each((outcome, workshopId, again) => {
      const copy = again ? { ...outcome } : outcome;
      copy.workshopId = workshopId;
      return copy;
    });
  }

  #taskOf(at) {
    return this.taskAt === null ? at : this.taskAt[at];
  }
}

module.exports = { Tasks };
