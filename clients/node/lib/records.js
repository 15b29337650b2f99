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

// The fields of each record kind quennet writes: for each, what it must be, as a function that
// returns the value to keep, or BAD.
const BAD = Symbol('bad');
const digits = (v) => (typeof v === 'string' && /^[0-9]+$/.test(v) ? v : BAD);
const text = (v) => (typeof v === 'string' ? v : BAD);
const textOrNull = (v) => (v === null || typeof v === 'string' ? v : BAD);
const flag = (v) => (typeof v === 'boolean' ? v : BAD);
// Counts are BigInts. Our own reader gives them so; from JSON.parse, a safe integer is exact.
const count = (v) => (typeof v === 'bigint' ? (v >= 0n ? v : BAD) : Number.isSafeInteger(v) && v >= 0 ? BigInt(v) : BAD);
// A time stamp is seconds since 1970 and fits a Number exactly.
const stamp = (v) => (typeof v === 'bigint' ? (v >= 0n ? Number(v) : BAD) : Number.isSafeInteger(v) && v >= 0 ? v : BAD);
const FIELDS = new Map(Object.entries({
  ready: { steamId: digits, persona: text },
  state: {
    workshopId: digits, subscribed: flag, installed: flag, needsUpdate: flag, downloading: flag,
    folder: textOrNull, sizeOnDisk: count, timestamp: stamp,
  },
  progress: { workshopId: digits, bytesDone: count, bytesTotal: count },
  installed: { workshopId: digits, folder: text },
  done: {},
  error: { code: text, message: text, workshopId: textOrNull },
}).map(([type, fields]) => [type, Object.entries(fields)]));

// The record on `line`. A kind this package does not know (a newer quennet's) comes as it was
// written, integers as BigInts; the known kinds carry their own fields only. Throws LineError when
// the line is not a record.
function parseRecord(line) {
  const fast = readFast(line);
  if (fast !== undefined) return fast;
  const value = parseJson(line);
  if (value === null || typeof value !== 'object' || Array.isArray(value)) throw new LineError('not a JSON object');
  if (typeof value.type !== 'string') throw new LineError('no "type"');
  const fields = FIELDS.get(value.type);
  if (!fields) return value;
  const record = { type: value.type };
  for (const [key, valid] of fields) {
    const kept = valid(value[key]);
    if (kept === BAD) throw new LineError(`"${value.type}" record with a bad "${key}"`);
    record[key] = kept;
  }
  return record;
}

// The record on a line of a known kind, read by JSON.parse; undefined when JSON.parse may not have
// read it exactly, which leaves the line to our own reader. JSON.parse is much faster, but rounds
// integers above 2^53 (so every count must be a safe integer) and lets a key given twice overwrite
// the first. So the line must hold exactly one `":` for each key of its kind: a key given twice,
// or one this package does not know, adds one (and so does a string that holds `\":`, which then
// only costs the slower reader).
function readFast(line) {
  let value;
  try {
    value = JSON.parse(line);
  } catch {
    return undefined;
  }
  const fields = value !== null && typeof value === 'object' ? FIELDS.get(value.type) : undefined;
  if (fields === undefined || keysIn(line) !== fields.length + 1) return undefined;
  for (let i = 0; i < fields.length; i++) {
    const [key, valid] = fields[i];
    const given = value[key];
    const kept = valid(given);
    if (kept === BAD) return undefined;
    if (kept !== given) value[key] = kept;
  }
  return value;
}

function keysIn(line) {
  let keys = 0;
  for (let at = line.indexOf('":'); at !== -1; at = line.indexOf('":', at + 2)) keys++;
  return keys;
}

// Splits a byte stream at line feeds and hands each complete line, decoded as UTF-8, to
// onLine(line), or onLine(null, bytes) for a line that is not UTF-8. Whole lines only, so that a
// chunk ending inside a character cannot garble it. `end()` returns the bytes after the last line
// feed, which a finished run should not leave.
function lineSplitter(onLine) {
  const decoder = new TextDecoder('utf-8', { fatal: true });
  let pending = null;
  const each = (text) => {
    let start = 0;
    for (let end; (end = text.indexOf('\n', start)) !== -1; start = end + 1) onLine(text.slice(start, end));
    onLine(text.slice(start));
  };
  return {
    push(chunk) {
      const bytes = pending === null ? chunk : Buffer.concat([pending, chunk]);
      const last = bytes.lastIndexOf(0x0a);
      if (last === -1) {
        pending = bytes;
        return;
      }
      pending = last + 1 < bytes.length ? bytes.subarray(last + 1) : null;
      // The lines of one chunk are decoded in one go; only when that fails, one by one, to find
      // the line that is not UTF-8.
      const lines = bytes.subarray(0, last);
      let text;
      try {
        text = decoder.decode(lines);
      } catch {
        text = null;
      }
      if (text !== null) {
        each(text);
        return;
      }
      for (let start = 0, end; start <= lines.length; start = end + 1) {
        end = lines.indexOf(0x0a, start);
        if (end === -1) end = lines.length;
        const line = lines.subarray(start, end);
        let decoded = null;
        try {
          decoded = decoder.decode(line);
        } catch {
          // not UTF-8: reported as null
        }
        onLine(decoded, decoded === null ? line : undefined);
      }
    },
    end() {
      return pending ?? Buffer.alloc(0);
    },
  };
}

module.exports = { parseRecord, lineSplitter, LineError };
