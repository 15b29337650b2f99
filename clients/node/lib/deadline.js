'use strict';
// How long a run may go on before the package takes quennet for stuck. quennet ends every command
// within a limit of its own (the download's --timeout-secs, 30 seconds to confirm an unsubscribe,
// and status and whoami make no call that waits), but it cannot end while a call into Steam's
// library never returns. The deadline is that limit plus a margin.

const MARGIN_SECS = 60;
// quennet's limits: download's default, unsubscribe's fixed one, and a bound for status and whoami.
const LIMIT_SECS = { download: 1800, unsubscribe: 30, other: 60 };

// The deadline in seconds of a run whose command has the time limit `limitSecs`, or `override`
// (from the call, else from the Quennet) when one is given. Infinity means none.
function deadlineSecs(limitSecs, override) {
  if (override !== undefined) {
    if (typeof override !== 'number' || !(override > 0)) {
      throw new RangeError('deadlineSecs: expected a number of seconds above 0 (or Infinity)');
    }
    return override;
  }
  return limitSecs + MARGIN_SECS;
}

// quennet's own time limit for a run with `args`. For a download, the last --timeout-secs, in
// either form; a value quennet would refuse does not matter, since quennet then ends at once.
function commandLimit(args) {
  if (args[0] === 'unsubscribe') return LIMIT_SECS.unsubscribe;
  if (args[0] !== 'download') return LIMIT_SECS.other;
  let limit = LIMIT_SECS.download;
  for (let i = 1; i < args.length; i++) {
    let value = null;
    if (args[i] === '--timeout-secs') value = args[++i];
    else if (args[i].startsWith('--timeout-secs=')) value = args[i].slice('--timeout-secs='.length);
    if (typeof value === 'string' && /^\+?[0-9]+$/.test(value)) limit = Number(value);
  }
  return limit;
}

module.exports = { deadlineSecs, commandLimit, LIMIT_SECS };
