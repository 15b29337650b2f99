'use strict';
// Where quennet is, first match wins: the `path` option, QUENNET_PATH, <resources>/quennet/ in a
// packaged Electron app, and the platform package that npm installed beside this one
// (@quennet/linux-x64 or @quennet/win32-x64, an optional dependency of this package).

const fs = require('node:fs');
const path = require('node:path');

const PROGRAM = process.platform === 'win32' ? 'quennet.exe' : 'quennet';
const PATH_VARIABLE = 'QUENNET_PATH';
const PLATFORMS = ['linux-x64', 'win32-x64'];
const platform = `${process.platform}-${process.arch}`;
const platformPackage = `@quennet/${platform}`;
const { version } = require('../package.json');

// The OS cannot start a program inside an asar archive: packagers put the files to unpack into
// app.asar.unpacked beside it, at the same place.
function outsideAsar(file) {
  return file.replace(/([\\/])app\.asar(?=[\\/])/g, '$1app.asar.unpacked');
}

function fromPlatformPackage() {
  let manifest;
  try {
    manifest = require.resolve(`${platformPackage}/package.json`);
  } catch {
    return null;
  }
  return outsideAsar(path.join(path.dirname(manifest), 'bin', PROGRAM));
}

// The path to start, or null when none of the four places has quennet.
function findQuennet(explicit) {
  if (explicit) return outsideAsar(explicit);
  const fromEnvironment = process.env[PATH_VARIABLE];
  if (fromEnvironment) return outsideAsar(fromEnvironment);
  if (typeof process.resourcesPath === 'string') {
    const packaged = outsideAsar(path.join(process.resourcesPath, 'quennet', PROGRAM));
    if (fs.existsSync(packaged)) return packaged;
  }
  const installed = fromPlatformPackage();
  if (installed !== null && fs.existsSync(installed)) return installed;
  return null;
}

// Why findQuennet found nothing, and what to do about it.
function notFoundMessage() {
  const ways = `pass { path } to new Quennet(), set ${PATH_VARIABLE}, or ship it as <resources>/quennet/${PROGRAM} in a packaged Electron app`;
  if (!PLATFORMS.includes(platform)) {
    return `quennet not found: there is no quennet package for ${platform} (only ${PLATFORMS.join(', ')}); ${ways}`;
  }
  const installed = fromPlatformPackage();
  if (installed !== null) {
    return `quennet not found at ${installed}: in an Electron app, unpack ${platformPackage} from the asar archive (electron-builder "asarUnpack", Forge "asar.unpack"); or ${ways}`;
  }
  return `quennet not found: install ${platformPackage}@${version} (npm leaves it out with --omit=optional or --no-optional, or when it installs for another platform), or ${ways}`;
}

module.exports = { findQuennet, notFoundMessage, outsideAsar, PROGRAM };
