// An Electron main process in miniature: download the mods a server needs, with progress, then
// show what Steam has of them. Run it as `node launcher.js <workshopId>...`.
'use strict';
const { Quennet, QuennetError } = require('quennet');

async function main(ids) {
  // new Quennet() finds quennet in the platform package that npm installed with this one (or in
  // resources/quennet/ of an Electron app that ships its own build).
  const quennet = new Quennet();
  const cancel = new AbortController();
  process.once('SIGINT', () => cancel.abort()); // in Electron: the window's Cancel button

  try {
    const account = await quennet.whoami();
    console.log(`Steam account: ${account.persona} (${account.steamId})`);

    const outcomes = await quennet.download(ids, {
      signal: cancel.signal,
      onProgress: ({ workshopId, bytesDone, bytesTotal }) => {
        const percent = bytesTotal === 0n ? 0n : (bytesDone * 100n) / bytesTotal;
        console.log(`${workshopId}: ${percent}% (${bytesDone} of ${bytesTotal} bytes)`);
      },
    });
    for (const outcome of outcomes) {
      if (outcome.ok) console.log(`${outcome.workshopId}: installed in ${outcome.folder}`);
      else console.log(`${outcome.workshopId}: failed (${outcome.error.code}): ${outcome.error.message}`);
    }

    for (const item of await quennet.status(ids)) {
      const what = item.installed ? `installed, ${item.sizeOnDisk} bytes in ${item.folder}` : 'not installed';
      console.log(`${item.workshopId}: ${item.subscribed ? 'subscribed' : 'not subscribed'}, ${what}`);
    }
    return outcomes.every((outcome) => outcome.ok) ? 0 : 1;
  } catch (error) {
    if (error.name === 'AbortError') {
      console.log('cancelled: Steam goes on with the download; a later status shows how far it got');
    } else if (error instanceof QuennetError) {
      console.log(`quennet failed (${error.code}): ${error.message}`);
    } else {
      throw error;
    }
    return 2;
  }
}

main(process.argv.slice(2)).then((status) => { process.exitCode = status; });
