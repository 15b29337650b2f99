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

// The fields of each record kind quennet writes, and what each must be.
const isDigits = (v) => typeof v === 'string' && /^[0-9]+$/.test(v);
const isCount = (v) => typeof v === 'bigint' && v >= 0n;
const FIELDS = {
  ready: { steamId: isDigits, persona: (v) => typeof v === 'string' },
  state: {
    workshopId: isDigits,
    subscribed: (v) => typeof v === 'boolean',
    installed: (v) => typeof v === 'boolean',
    needsUpdate: (v) => typeof v === 'boolean',
    downloading: (v) => typeof v === 'boolean',
    folder: (v) => v === null || typeof v === 'string',
    sizeOnDisk: isCount,
    timestamp: isCount,
  },
  progress: { workshopId: isDigits, bytesDone: isCount, bytesTotal: isCount },
  installed: { workshopId: isDigits, folder: (v) => typeof v === 'string' },
  done: {},
  error: {
    code: (v) => typeof v === 'string',
    message: (v) => typeof v === 'string',
    workshopId: (v) => v === null || typeof v === 'string',
  },
};

// The record on `line`, or null for a kind this package does not know (a newer quennet's).
// Throws LineError when the line is not a record.
function parseRecord(line) {
  const value = parseJson(line);
  if (value === null || typeof value !== 'object' || Array.isArray(value)) throw new LineError('not a JSON object');
  if (typeof value.type !== 'string') throw new LineError('no "type"');
  const fields = FIELDS[value.type];
  if (!fields) return null;
  const record = { type: value.type };
  for (const [key, valid] of Object.entries(fields)) {
    if (!(key in value) || !valid(value[key])) throw new LineError(`"${value.type}" record with a bad "${key}"`);
    record[key] = value[key];
  }
  // A time stamp is seconds since 1970 and fits a Number exactly.
  if (record.type === 'state') record.timestamp = Number(record.timestamp);
  return record;
}

// Splits a byte stream at line feeds and hands each complete line, decoded as UTF-8, to onLine.
// Whole lines only, so that a chunk ending inside a character cannot garble it. `end()` returns the
// bytes after the last line feed, which a finished run should not leave.
function lineSplitter(onLine) {
  const decoder = new TextDecoder('utf-8', { fatal: true });
  let pending = Buffer.alloc(0);
  return {
    push(chunk) {
      pending = pending.length ? Buffer.concat([pending, chunk]) : chunk;
      let end;
      while ((end = pending.indexOf(0x0a)) !== -1) {
        const bytes = pending.subarray(0, end);
        pending = pending.subarray(end + 1);
        let line;
        try {
          line = decoder.decode(bytes);
        } catch {
          onLine(null, bytes);
          continue;
        }
        onLine(line, bytes);
      }
    },
    end() {
      return pending;
    },
  };
}

module.exports = { parseRecord, lineSplitter, LineError };
