// Compiled with `tsc --strict --noEmit` against index.d.ts: the records narrow by "type", the byte
// counts are bigint, and each outcome narrows by "ok".
import { Quennet, QuennetError, AbortError, QuennetRecord, DownloadOutcome, ItemState } from 'quennet';

function describe(record: QuennetRecord): string {
  switch (record.type) {
    case 'ready':
      return `account ${record.persona} (${record.steamId})`;
    case 'state':
      return `${record.workshopId}: ${record.installed ? `${record.sizeOnDisk + 0n} bytes in ${record.folder ?? '?'}` : 'not installed'}`;
    case 'progress':
      return `${record.workshopId}: ${(record.bytesDone * 100n) / (record.bytesTotal || 1n)}%`;
    case 'installed':
      return `${record.workshopId}: installed in ${record.folder.length > 0 ? record.folder : '?'}`;
    case 'done':
      return 'done';
    case 'error':
      return `${record.workshopId ?? 'the run'}: ${record.code}: ${record.message}`;
    default:
      // A kind of a newer quennet's, which this package passes on as it came.
      return `a record of a kind this package does not know: ${(record as { type: string }).type}`;
  }
}

function folderOf(outcome: DownloadOutcome): string {
  return outcome.ok ? outcome.folder : `${outcome.error.code}: ${outcome.error.message}`;
}

async function main(): Promise<number> {
  const quennet = new Quennet({ path: process.env.QUENNET_PATH });
  const controller = new AbortController();
  try {
    for await (const record of quennet.run(['status', '1111111111'], { signal: controller.signal, deadlineSecs: 30 })) {
      console.log(describe(record));
    }
    const outcomes = await quennet.download(['2222222222', 3333333333n], {
      timeoutSecs: 600,
      signal: controller.signal,
      onProgress: (p) => console.log(p.workshopId, p.bytesDone.toString(), p.bytesTotal.toString()),
      onItemError: (e) => console.log(e.workshopId, e.code),
    });
    outcomes.map(folderOf).forEach((line) => console.log(line));
    const states: ItemState[] = await quennet.status(['2222222222']);
    const size: bigint = states[0].sizeOnDisk;
    const gone = await quennet.unsubscribe(['1111111111']);
    return gone.every((outcome) => outcome.ok) && size > 0n ? 0 : 1;
  } catch (error) {
    if (error instanceof AbortError) return 2;
    if (error instanceof QuennetError) {
      const code: 'steam_not_running' | 'rejected' | 'internal' | 'crashed' | 'protocol' | 'not_started' | 'hung' = error.code;
      console.log(code, error.message, error.stderr, error.record?.code);
    }
    return 1;
  }
}

void main().then((status) => process.exit(status));
