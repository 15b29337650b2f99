'use strict';
// What the package's tests share: where the built quennet and the simulated Steam library are, and
// a fresh folder per test with copies of them, as a launcher would ship them.

const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const windows = process.platform === 'win32';
const PROGRAM = windows ? 'quennet.exe' : 'quennet';
const LIBRARY = windows ? 'steam_api64.dll' : 'libsteam_api.so';

// ctest hands paths over in Unix form; Windows Node under Wine reaches them through drive Z:.
function hostPath(name) {
  const value = process.env[name];
  if (!value) throw new Error(`${name} is not set: run these tests through ctest`);
  return windows && value.startsWith('/') ? 'Z:' + value.replace(/\//g, '\\') : value;
}

let counter = 0;

// A new, empty folder under `parent` (default: the folder ctest gives, else the temporary folder).
function freshFolder(name, parent = process.env.QUENNET_TEST_WORK ? hostPath('QUENNET_TEST_WORK') : os.tmpdir()) {
  const folder = path.join(parent, `quennet-node-${process.pid}-${++counter}-${name}`);
  fs.rmSync(folder, { recursive: true, force: true });
  fs.mkdirSync(folder, { recursive: true });
  return folder;
}

// A hard link to the built file, or a copy across file systems: a sanitized build's binaries are
// large, and a copy per test would take hundreds of megabytes.
function place(source, target) {
  try {
    fs.linkSync(source, target);
  } catch {
    fs.copyFileSync(source, target);
  }
}

// quennet, with the simulated Steam library beside it unless `library` is false, in `folder`.
// Returns the program's path.
function install(folder, { library = true } = {}) {
  fs.mkdirSync(folder, { recursive: true });
  const program = path.join(folder, PROGRAM);
  place(hostPath('QUENNET_TEST_EXE'), program);
  fs.chmodSync(program, 0o755);
  if (library) place(hostPath('QUENNET_TEST_SIM_LIBRARY'), path.join(folder, LIBRARY));
  return program;
}

// The environment of a run against the simulator: the built-in demo world unless a scenario (a
// file name under sim/scenarios, or JSON text) is given; a state file when asked.
function simEnvironment(folder, { scenario, state } = {}) {
  const env = { ...process.env };
  delete env.STEAM_SIM_SCENARIO;
  delete env.STEAM_SIM_STATE;
  delete env.QUENNET_PATH;
  if (scenario !== undefined) {
    if (scenario.trimStart().startsWith('{')) {
      env.STEAM_SIM_SCENARIO = path.join(folder, 'scenario.json');
      fs.writeFileSync(env.STEAM_SIM_SCENARIO, scenario);
    } else {
      env.STEAM_SIM_SCENARIO = path.join(hostPath('QUENNET_TEST_SCENARIOS'), scenario);
    }
  }
  if (state) env.STEAM_SIM_STATE = path.join(folder, 'state.json');
  return env;
}

module.exports = { windows, PROGRAM, LIBRARY, hostPath, freshFolder, install, simEnvironment };
