'use strict';
// How long a run may go on before the package takes quennet for stuck. quennet ends every command
// within a limit of its own (the download's --timeout-secs, 30 seconds to confirm an unsubscribe,
// and status and whoami make no call that waits), but it cannot end while a call into Steam's
// library never returns. The deadline is that limit plus a margin.

const MARGIN_SECS = 60;
const LIMIT_SECS = { download: 1800, unsubscribe: 30 };
const OTHER_LIMIT_SECS = 60;

// The deadline in seconds of a run with `args`, or `override` (from the call, else from the
// Quennet) when one is given. Infinity means none.
function deadlineSecs(args, override) {
  if (override !== undefined) {
    if (typeof override !== 'number' || !(override > 0)) {
      throw new RangeError('deadlineSecs: expected a number of seconds above 0 (or Infinity)');
    }
    return override;
  }
  return (args[0] === 'download' ? downloadLimit(args) : LIMIT_SECS[args[0]] ?? OTHER_LIMIT_SECS) + MARGIN_SECS;
}

// The time limit quennet takes from a download's command line: the last --timeout-secs, in either
// form. A value quennet would refuse does not matter: quennet then ends at once.
function downloadLimit(args) {
  let limit = LIMIT_SECS.download;
  for (let i = 1; i < args.length; i++) {
    let value = null;
    if (args[i] === '--timeout-secs') value = args[++i];
    else if (args[i].startsWith('--timeout-secs=')) value = args[i].slice('--timeout-secs='.length);
    if (typeof value === 'string' && /^\+?[0-9]+$/.test(value)) limit = Number(value);
  }
  return limit;
}

module.exports = { deadlineSecs };
