'use strict';
// The two ways a call can reject: the run failed as a whole (QuennetError), or the caller's
// AbortSignal ended it (AbortError).

// `code` says which whole-run failure it was:
//   'steam_not_running'  Steam is not running, not logged in, or its library could not be loaded
//   'rejected'           quennet refused the command line (a bad id, a bad option)
//   'internal'           quennet stopped on an internal error
//   'crashed'            quennet crashed or was killed by someone else
//   'protocol'           quennet wrote something that is not a record, or ended without its outcome
//   'not_started'        quennet could not be found or started
class QuennetError extends Error {
  constructor(code, message, details = {}) {
    super(message);
    this.name = 'QuennetError';
    this.code = code;
    this.stderr = details.stderr ?? '';
    this.exitCode = details.exitCode ?? null;
    this.signal = details.signal ?? null;
    this.record = details.record ?? null; // quennet's own error record, when it wrote one
    if (details.cause !== undefined) this.cause = details.cause;
  }
}

// Like the error of Node's own cancellable functions: name 'AbortError', code 'ABORT_ERR', and the
// signal's reason as its cause.
class AbortError extends Error {
  constructor(reason) {
    super('the quennet run was cancelled', reason === undefined ? undefined : { cause: reason });
    this.name = 'AbortError';
    this.code = 'ABORT_ERR';
  }
}

module.exports = { QuennetError, AbortError };
