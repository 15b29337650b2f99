'use strict';
// The options that point a Quennet at the simulated Steam client of the testing package for this
// platform (@quennet/testing-linux-x64 or @quennet/testing-win32-x64): quennet beside the
// simulator, a scenario, and a state file that carries the simulated world from one run to the next.

const fs = require('node:fs');
const path = require('node:path');

const platform = `${process.platform}-${process.arch}`;
const platformPackage = `@quennet/testing-${platform}`;
const PROGRAM = process.platform === 'win32' ? 'quennet.exe' : 'quennet';

function packageFolder() {
  try {
    return path.dirname(require.resolve(`${platformPackage}/package.json`));
  } catch {
    const { version } = require('./package.json');
    throw new Error(`${platformPackage} is not installed: npm install --save-dev ${platformPackage}@${version} (npm leaves it out with --omit=optional, or when it installs for another platform)`);
  }
}

// A scenario is the name of one of the examples (download-fails.json) or the path of a file of
// your own.
function scenarioFile(folder, scenario) {
  if (path.isAbsolute(scenario) || /[\\/]/.test(scenario)) return path.resolve(scenario);
  const example = path.join(folder, 'scenarios', scenario.endsWith('.json') ? scenario : `${scenario}.json`);
  if (!fs.existsSync(example)) {
    const names = fs.readdirSync(path.join(folder, 'scenarios')).join(', ');
    throw new Error(`no example scenario ${scenario}: the examples are ${names}; a file of your own needs a path`);
  }
  return example;
}

// options: { scenario, state, env }. Without a scenario the simulator plays its demo world; without
// a state file every run starts afresh. `env` is the rest of quennet's environment (default: this
// process's). Returns { path, env } for new Quennet().
function simulatedSteam({ scenario, state, env = process.env } = {}) {
  const folder = packageFolder();
  const childEnv = { ...env };
  delete childEnv.STEAM_SIM_SCENARIO;
  delete childEnv.STEAM_SIM_STATE;
  if (scenario !== undefined) childEnv.STEAM_SIM_SCENARIO = scenarioFile(folder, scenario);
  if (state !== undefined) childEnv.STEAM_SIM_STATE = path.resolve(state);
  return { path: path.join(folder, 'bin', PROGRAM), env: childEnv };
}

module.exports = { simulatedSteam };
