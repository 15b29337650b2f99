'use strict';
// Reading quennet's lines: exact integers, JSON escapes, and lines that are not records.

const test = require('node:test');
const assert = require('node:assert');
const { parseRecord, lineSplitter, LineError } = require('../lib/records');

test('integers stay exact and strings are decoded', () => {
  const record = parseRecord('{"type":"state","workshopId":"18446744073709551615","subscribed":true,"installed":false,' +
    '"needsUpdate":false,"downloading":true,"folder":"C:\\\\Mods\\\\\\u00e9\\ud83d\\ude00\\"x\\"","sizeOnDisk":18446744073709551615,"timestamp":4294967295}');
  assert.strictEqual(record.sizeOnDisk, 18446744073709551615n);
  assert.strictEqual(record.timestamp, 4294967295);
  assert.strictEqual(record.folder, 'C:\\Mods\\é😀"x"');
  assert.deepStrictEqual(parseRecord(' {"type" : "progress", "workshopId":"1","bytesDone":9007199254740993,"bytesTotal":9007199254740993} '),
    { type: 'progress', workshopId: '1', bytesDone: 9007199254740993n, bytesTotal: 9007199254740993n });
  // A kind this package does not know yet (a newer quennet's) is no error: it comes as it was written.
  assert.deepStrictEqual(parseRecord('{"type":"hint","text":[1,2.5,{"a":null}]}'), { type: 'hint', text: [1n, 2.5, { a: null }] });
});

test('lines that are not records', () => {
  for (const line of [
    '', 'garbage', '{"type":"done"} x', '{"type":"done",}', '[1]', '{"kind":"done"}', '{"type":"done","type":"done"}',
    '{"type":"ready","steamId":"1"}', '{"type":"ready","steamId":1,"persona":"x"}',
    '{"type":"progress","workshopId":"1","bytesDone":-1,"bytesTotal":2}',
    '{"type":"installed","workshopId":"1","folder":"a\tb"}', '{"type":"error","code":"x","message":"\\x","workshopId":null}',
    '{"type":"ready","steamId":"1","persona":"x"', '{"type":"done"}\u0000',
  ]) {
    assert.throws(() => parseRecord(line), LineError, JSON.stringify(line));
  }
});

test('lines are split at line feeds only, and a character cut between chunks stays whole', () => {
  const lines = [];
  const splitter = lineSplitter((line) => lines.push(line));
  const bytes = Buffer.from('{"a":"é"}\n\n€\r\nrest');
  const cuts = [0, 7, 8, 12, 13, bytes.length]; // inside "é", and inside "€"
  for (let i = 1; i < cuts.length; i++) splitter.push(bytes.subarray(cuts[i - 1], cuts[i]));
  assert.deepStrictEqual(lines, ['{"a":"é"}', '', '€\r']);
  assert.strictEqual(splitter.end().toString(), 'rest');

  const bad = [];
  lineSplitter((line, raw) => bad.push([line, raw.length])).push(Buffer.from([0x41, 0xff, 0x0a]));
  assert.deepStrictEqual(bad, [[null, 2]]);
});
