'use strict';
// Turning one line of quennet's output into a record. JSON.parse would round byte counts above
// 2^53, so the line is read by a small JSON reader of our own that keeps every integer as a
// BigInt; each record kind then takes the fields it knows and checks their types.

class LineError extends Error {}

// Reads one JSON value, the whole of `text`. Integers become BigInts, other numbers Numbers.
function parseJson(text) {
  let at = 0;

  const fail = (what) => {
    throw new LineError(`${what} at character ${at + 1}`);
  };
  const skipSpace = () => {
    while (at < text.length && ' \t\n\r'.includes(text[at])) at++;
  };
  const expect = (word) => {
    if (text.startsWith(word, at)) {
      at += word.length;
    } else {
      fail(`expected ${word}`);
    }
  };

  const string = () => {
    expect('"');
    let out = '';
    for (;;) {
      const end = text.slice(at).search(/["\\\u0000-\u001f]/);
      if (end === -1) fail('unterminated string');
      out += text.slice(at, at + end);
      at += end;
      const c = text[at];
      if (c === '"') {
        at++;
        return out;
      }
      if (c !== '\\') fail('control character in string');
      const escape = text[at + 1];
      const simple = { '"': '"', '\\': '\\', '/': '/', b: '\b', f: '\f', n: '\n', r: '\r', t: '\t' };
      if (escape in simple) {
        out += simple[escape];
        at += 2;
      } else if (escape === 'u' && /^[0-9a-fA-F]{4}$/.test(text.slice(at + 2, at + 6))) {
        out += String.fromCharCode(parseInt(text.slice(at + 2, at + 6), 16));
        at += 6;
      } else {
        fail('bad escape');
      }
    }
  };

  const number = () => {
    const match = /^-?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?/.exec(text.slice(at));
    if (!match) fail('unexpected character');
    at += match[0].length;
    return match[2] || match[3] ? Number(match[0]) : BigInt(match[0]);
  };

  const value = () => {
    skipSpace();
    const c = text[at];
    let result;
    if (c === '{') {
      at++;
      result = {};
      skipSpace();
      if (text[at] === '}') {
        at++;
      } else {
        for (;;) {
          skipSpace();
          const key = string();
          skipSpace();
          expect(':');
          if (Object.prototype.hasOwnProperty.call(result, key)) fail(`key "${key}" twice`);
          Object.defineProperty(result, key, { value: value(), enumerable: true, writable: true, configurable: true });
          skipSpace();
          if (text[at] === ',') { at++; continue; }
          expect('}');
          break;
        }
      }
    } else if (c === '[') {
      at++;
      result = [];
      skipSpace();
      if (text[at] === ']') {
        at++;
      } else {
        for (;;) {
          result.push(value());
          skipSpace();
          if (text[at] === ',') { at++; continue; }
          expect(']');
          break;
        }
      }
    } else if (c === '"') {
      result = string();
    } else if (text.startsWith('true', at)) {
      at += 4;
      result = true;
    } else if (text.startsWith('false', at)) {
      at += 5;
      result = false;
    } else if (text.startsWith('null', at)) {
      at += 4;
      result = null;
    } else {
      result = number();
    }
    skipSpace();
    return result;
  };

  const result = value();
  if (at !== text.length) fail('text after the value');
  return result;
}

// Each record kind quennet writes: its fields in quennet's order, each with what it holds, and
// how its record is built from what a JSON reader made of the line, as one object literal, which
// takes no more room than needed (a launcher may keep thousands). A count is a BigInt, from our
// own reader's BigInt or from a number JSON.parse read exactly; a time stamp is seconds since 1970
// and fits a Number.
const KINDS = new Map(Object.entries({
  ready: {
    fields: [['steamId', 'digits'], ['persona', 'text']],
    build: (v) => ({ steamId: v.steamId, persona: v.persona }),
  },
  state: {
    fields: [['workshopId', 'digits'], ['subscribed', 'flag'], ['installed', 'flag'], ['needsUpdate', 'flag'],
      ['downloading', 'flag'], ['folder', 'textOrNull'], ['sizeOnDisk', 'count'], ['timestamp', 'count']],
    build: (v) => ({
      workshopId: v.workshopId, subscribed: v.subscribed, installed: v.installed, needsUpdate: v.needsUpdate,
      downloading: v.downloading, folder: v.folder, sizeOnDisk: BigInt(v.sizeOnDisk), timestamp: Number(v.timestamp),
    }),
  },
  progress: {
    fields: [['workshopId', 'digits'], ['bytesDone', 'count'], ['bytesTotal', 'count']],
    build: (v) => ({ workshopId: v.workshopId, bytesDone: BigInt(v.bytesDone), bytesTotal: BigInt(v.bytesTotal) }),
  },
  installed: {
    fields: [['workshopId', 'digits'], ['folder', 'text']],
    build: (v) => ({ workshopId: v.workshopId, folder: v.folder }),
  },
  done: { fields: [], build: () => ({}) },
  error: {
    fields: [['code', 'text'], ['message', 'text'], ['workshopId', 'textOrNull']],
    build: (v) => ({ code: v.code, message: v.message, workshopId: v.workshopId }),
  },
}));

// What each field may hold, as our own reader gives it.
const VALID = {
  digits: (v) => typeof v === 'string' && /^[0-9]+$/.test(v),
  text: (v) => typeof v === 'string',
  textOrNull: (v) => v === null || typeof v === 'string',
  flag: (v) => typeof v === 'boolean',
  count: (v) => typeof v === 'bigint' && v >= 0n,
};

// The same, as it stands in a line exactly as quennet writes it: compact, each key once, in its
// order, strings with JSON's escapes and no raw control characters, and every count of at most 15
// digits, which JSON.parse reads exactly (2^53 has 16). A line that matches is JSON, so its kind's
// pattern alone checks a record that is not read.
const STRING = '"(?:[^"\\\\\\u0000-\\u001f]|\\\\(?:["\\\\/bfnrt]|u[0-9a-fA-F]{4}))*"';
const WRITTEN = { digits: '"[0-9]+"', text: STRING, textOrNull: `(?:null|${STRING})`, flag: '(?:true|false)', count: '(?:0|[1-9][0-9]{0,14})' };
for (const [type, kind] of KINDS) {
  const fields = kind.fields.map(([key, what]) => `,"${key}":${WRITTEN[what]}`).join('');
  kind.written = new RegExp(`^\\{"type":"${type}"${fields}\\}$`);
}

// The record on `line`, as one object with its "type".
function parseRecord(line) {
  let record;
  readRecord(line, (type, fields) => { record = { type, ...fields }; });
  return record;
}

// Reads the record on `line` and hands it on as onRecord(type, fields), the fields being an object
// that a method may keep as it is. A kind this package does not know (a newer quennet's) comes as
// it was written, integers as BigInts; the known kinds carry their own fields only. A line of a
// kind in `unread` (a Set) that stands as quennet writes it is only checked, and not handed on.
// Throws LineError when the line is not a record.
function readRecord(line, onRecord, unread = NONE) {
  if (readWritten(line, onRecord, unread)) return;
  const value = parseJson(line);
  if (value === null || typeof value !== 'object' || Array.isArray(value)) throw new LineError('not a JSON object');
  const { type, ...rest } = value;
  if (typeof type !== 'string') throw new LineError('no "type"');
  const kind = KINDS.get(type);
  if (kind === undefined) {
    onRecord(type, rest);
    return;
  }
  for (const [key, what] of kind.fields) {
    if (!VALID[what](value[key])) throw new LineError(`"${type}" record with a bad "${key}"`);
  }
  onRecord(type, kind.build(value));
}

// A line exactly as quennet writes it, read by JSON.parse, which is much faster than our own
// reader but rounds integers above 2^53 and lets a key given twice overwrite the first; false for
// any other line, which is left to our own reader. The kinds begin with different letters, so
// the letter after `{"type":"` says which pattern the line must match.
const BY_LETTER = new Map([...KINDS].map(([type, kind]) => [type.charCodeAt(0), { type, ...kind }]));
if (BY_LETTER.size !== KINDS.size) throw new Error('two record kinds begin with the same letter');
const NONE = new Set();
function readWritten(line, onRecord, unread) {
  const kind = BY_LETTER.get(line.charCodeAt(9));
  if (kind === undefined || !kind.written.test(line)) return false;
  if (unread.has(kind.type)) return true;
  let value;
  try {
    value = JSON.parse(line);
  } catch {
    return false;
  }
  onRecord(kind.type, kind.build(value));
  return true;
}

// Splits a byte stream at line feeds and hands each complete line, decoded as UTF-8, to
// onLine(line), or onLine(null, bytes) for a line that is not UTF-8. Whole lines only, so that a
// chunk ending inside a character cannot garble it. `end()` returns the bytes after the last line
// feed, which a finished run should not leave.
function lineSplitter(onLine) {
  const decoder = new TextDecoder('utf-8', { fatal: true });
  let pending = null; // a line begun in an earlier chunk
  // `bytes` is whole lines joined by line feeds: decoded in one go, or, when that fails, one line
  // at a time, to find the line that is not UTF-8.
  const lines = (bytes) => {
    let text = null;
    try {
      text = decoder.decode(bytes);
    } catch {
      // below
    }
    if (text !== null) {
      const each = text.split('\n');
      for (let i = 0; i < each.length; i++) onLine(each[i]);
      return;
    }
    for (let start = 0; start <= bytes.length;) {
      let end = bytes.indexOf(0x0a, start);
      if (end === -1) end = bytes.length;
      const line = bytes.subarray(start, end);
      let decoded = null;
      try {
        decoded = decoder.decode(line);
      } catch {
        // not UTF-8
      }
      if (decoded === null) onLine(null, line);
      else onLine(decoded);
      start = end + 1;
    }
  };
  return {
    push(chunk) {
      const first = chunk.indexOf(0x0a);
      if (first === -1) {
        pending = pending === null ? chunk : Buffer.concat([pending, chunk]);
        return;
      }
      const last = chunk.lastIndexOf(0x0a);
      if (pending === null) {
        lines(chunk.subarray(0, last));
      } else {
        lines(Buffer.concat([pending, chunk.subarray(0, first)]));
        if (first < last) lines(chunk.subarray(first + 1, last));
      }
      pending = last + 1 < chunk.length ? chunk.subarray(last + 1) : null;
    },
    end() {
      return pending ?? Buffer.alloc(0);
    },
  };
}

module.exports = { parseRecord, readRecord, lineSplitter, LineError };
