// Types of the quennet package. Every record is one member of the QuennetRecord union, told apart
// by its "type"; byte counts and sizes are bigint, exact at any size.

/** A Workshop item id: a decimal string or a bigint. A number is accepted only up to 2^53. */
export type WorkshopId = string | bigint | number;

/** The error codes quennet writes in its error records. */
export type ErrorCode = 'steam_not_running' | 'timeout' | 'item_invalid' | 'unknown';

export interface ReadyRecord {
  type: 'ready';
  /** The account's 64-bit Steam ID as decimal digits. */
  steamId: string;
  persona: string;
}

export interface StateRecord {
  type: 'state';
  workshopId: string;
  subscribed: boolean;
  installed: boolean;
  needsUpdate: boolean;
  downloading: boolean;
  /** The install folder, or null when Steam has none for the item. */
  folder: string | null;
  sizeOnDisk: bigint;
  /** Install time, seconds since 1970 (0 when unknown). */
  timestamp: number;
}

export interface ProgressRecord {
  type: 'progress';
  workshopId: string;
  bytesDone: bigint;
  bytesTotal: bigint;
}

export interface InstalledRecord {
  type: 'installed';
  workshopId: string;
  folder: string;
}

export interface DoneRecord {
  type: 'done';
}

export interface ErrorRecord {
  type: 'error';
  code: ErrorCode;
  message: string;
  /** The item it concerns; null when it concerns the whole run. */
  workshopId: string | null;
}

export type QuennetRecord =
  | ReadyRecord
  | StateRecord
  | ProgressRecord
  | InstalledRecord
  | DoneRecord
  | ErrorRecord;

export type Account = Omit<ReadyRecord, 'type'>;
export type ItemState = Omit<StateRecord, 'type'>;
export type Progress = Omit<ProgressRecord, 'type'>;
export type Installed = Omit<InstalledRecord, 'type'>;

/** What went wrong with one item. */
export interface ItemError {
  code: ErrorCode;
  message: string;
}

export type DownloadOutcome =
  | { workshopId: string; ok: true; folder: string }
  | { workshopId: string; ok: false; error: ItemError };

export type UnsubscribeOutcome =
  | { workshopId: string; ok: true }
  | { workshopId: string; ok: false; error: ItemError };

export interface QuennetOptions {
  /** Path of quennet (quennet.exe on Windows). Default: $QUENNET_PATH, else, in a packaged
   * Electron app, <process.resourcesPath>/quennet/quennet(.exe). */
  path?: string | undefined;
  /** The child's whole environment (default: this process's). */
  env?: NodeJS.ProcessEnv | undefined;
  /** The child's working folder. */
  cwd?: string | undefined;
  /** The deadline of every call that does not give its own (see CallOptions.deadlineSecs). */
  deadlineSecs?: number | undefined;
}

export interface CallOptions {
  /** Aborting it ends quennet and rejects the call with an AbortError. */
  signal?: AbortSignal | undefined;
  /** Seconds after which a quennet still running is taken for hung: killed, and the call rejects
   * with a QuennetError of code 'hung'. Default: quennet's own limit for the command plus 60 s
   * (download: timeoutSecs, else 1800; unsubscribe: 30; others: 60). Infinity means none. */
  deadlineSecs?: number | undefined;
  /** Called once quennet has started, with its process id (to log it, or to watch it). */
  onStart?: ((pid: number) => void) | undefined;
  /** Called when Steam was reached, with the account, before any other record. */
  onReady?: ((account: Account) => void) | undefined;
}

export interface DownloadOptions extends CallOptions {
  /** One time limit for the whole download, in seconds (quennet's default: 1800). */
  timeoutSecs?: number | undefined;
  onProgress?: ((progress: Progress) => void) | undefined;
  onInstalled?: ((installed: Installed) => void) | undefined;
  onItemError?: ((error: ItemError & { workshopId: string }) => void) | undefined;
}

export type QuennetErrorCode =
  | 'steam_not_running'
  | 'rejected'
  | 'internal'
  | 'crashed'
  | 'protocol'
  | 'not_started'
  | 'hung';

/** A failure of the whole run. Failures of single items do not reject. A callback that throws
 * ends the run too, and the call rejects with the callback's own error. */
export class QuennetError extends Error {
  name: 'QuennetError';
  code: QuennetErrorCode;
  /** Everything quennet wrote to standard error. */
  stderr: string;
  exitCode: number | null;
  signal: NodeJS.Signals | null;
  /** quennet's own error record, for 'steam_not_running' and 'rejected'. */
  record: ErrorRecord | null;
}

/** The rejection of a call whose AbortSignal was aborted; the signal's reason is its cause. */
export class AbortError extends Error {
  name: 'AbortError';
  code: 'ABORT_ERR';
}

export class Quennet {
  constructor(options?: QuennetOptions);
  whoami(options?: CallOptions): Promise<Account>;
  /** One state per id, in the order given, under the id as given (quennet reads '007' as 7). */
  status(ids: readonly WorkshopId[], options?: CallOptions): Promise<ItemState[]>;
  /** One outcome per id, in the order given; a failed item does not reject. */
  download(ids: readonly WorkshopId[], options?: DownloadOptions): Promise<DownloadOutcome[]>;
  /** One outcome per id, in the order given; a failed item does not reject. */
  unsubscribe(ids: readonly WorkshopId[], options?: CallOptions): Promise<UnsubscribeOutcome[]>;
  /** Every record of one run of quennet with these arguments, as it arrives. Records of a kind
   * this package does not know (a newer quennet's) come too, as written: their `type` is none of
   * QuennetRecord's, so give a switch on it a default branch. The methods pass over them. */
  run(args: readonly string[], options?: CallOptions): AsyncGenerator<QuennetRecord, void, undefined>;
}

/** Where the package would start quennet from, or null when it finds no path. */
export function findQuennet(explicit?: string): string | null;

/** The ids as quennet's arguments; throws on an id that is not exact. */
export function idArguments(ids: readonly WorkshopId[]): string[];
