export interface SimulatedSteamOptions {
  /** The name of an example scenario ('download-fails.json') or the path of a scenario file. */
  scenario?: string;
  /** A state file: the world one run ends with is the world the next run begins with. */
  state?: string;
  /** The rest of quennet's environment (default: process.env). */
  env?: NodeJS.ProcessEnv;
}

/** The options for `new Quennet()` that point it at the simulated Steam client. */
export function simulatedSteam(options?: SimulatedSteamOptions): { path: string; env: NodeJS.ProcessEnv };
