// The testing package's declarations as a TypeScript host uses them: type-checked, never run.
import { Quennet } from 'quennet';
import { simulatedSteam } from '@quennet/testing';

export const quennet = new Quennet(simulatedSteam({ scenario: 'download-fails.json', state: 'steam.json' }));
export const fresh = new Quennet(simulatedSteam());
export const withEnv = new Quennet(simulatedSteam({ env: { ...process.env, STEAM_SIM_LOG: 'calls.log' } }));
