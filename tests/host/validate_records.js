#!/usr/bin/env node
// Validates quennet's records against docs/events.schema.json with a real JSON Schema validator:
// every line of every standard output that the black-box runner kept must be a valid record, and
// every hand-made bad record must be rejected (so that a schema that accepts anything fails here).
//
//   node validate_records.js --deps DIR --schema FILE --bad FILE WORK_DIR...
//
// DIR holds node_modules with the locked ajv (npm ci); WORK_DIR is a black-box work folder whose
// <NNN-case>/stdout files are checked. Exit status 77 when ajv is not installed (no registry).
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const { createRequire } = require('node:module');

function parseArgs(argv) {
  const options = { dirs: [] };
  for (let i = 0; i < argv.length; i++) {
    const arg = argv[i];
    if (arg === '--deps' || arg === '--schema' || arg === '--bad') options[arg.slice(2)] = argv[++i];
    else options.dirs.push(arg);
  }
  if (!options.deps || !options.schema || !options.bad || options.dirs.length === 0) {
    console.error('usage: validate_records.js --deps DIR --schema FILE --bad FILE WORK_DIR...');
    process.exit(2);
  }
  return options;
}

function loadValidator(depsDir, schemaPath) {
  let Ajv2020;
  try {
    Ajv2020 = createRequire(path.join(path.resolve(depsDir), 'package.json'))('ajv/dist/2020');
  } catch (error) {
    console.log(`skip: ajv is not installed in ${depsDir} (npm ci failed?): ${error.message}`);
    process.exit(77);
  }
  const ajv = new Ajv2020({ strict: true, allowUnionTypes: true, allErrors: true });
  return ajv.compile(JSON.parse(fs.readFileSync(schemaPath, 'utf8')));
}

// The lines of one file, without the final line feed. The runner checks the framing itself.
function lines(file) {
  const text = fs.readFileSync(file, 'utf8');
  return text === '' ? [] : text.replace(/\n$/, '').split('\n');
}

function describe(validate) {
  return validate.errors.map((e) => `${e.instancePath || '/'} ${e.message}`).join('; ');
}

function checkOutputs(validate, dirs) {
  const failures = [];
  let files = 0;
  let records = 0;
  for (const dir of dirs) {
    if (!fs.existsSync(dir)) {
      failures.push(`${dir} does not exist: run the black-box tests first`);
      continue;
    }
    for (const run of fs.readdirSync(dir).sort()) {
      const file = path.join(dir, run, 'stdout');
      if (!fs.existsSync(file)) continue;
      files++;
      lines(file).forEach((line, index) => {
        records++;
        let record;
        try {
          record = JSON.parse(line);
        } catch (error) {
          failures.push(`${file}:${index + 1}: not JSON (${error.message}): ${line}`);
          return;
        }
        if (!validate(record)) failures.push(`${file}:${index + 1}: ${describe(validate)}: ${line}`);
      });
    }
  }
  if (files === 0) failures.push(`no kept standard output under ${dirs.join(', ')}`);
  return { failures, files, records };
}

// Bad records: a line "# why" followed by the record; each must parse as JSON and be rejected.
function checkBadRecords(validate, file) {
  const failures = [];
  let why = null;
  let count = 0;
  for (const line of lines(file)) {
    if (line.startsWith('#')) {
      why = line.slice(1).trim();
      continue;
    }
    if (line.trim() === '') continue;
    count++;
    let record;
    try {
      record = JSON.parse(line);
    } catch (error) {
      failures.push(`bad record "${why}" is not even JSON: ${line}`);
      continue;
    }
    if (validate(record)) failures.push(`the schema accepts a bad record (${why}): ${line}`);
  }
  if (count === 0) failures.push(`no bad records in ${file}`);
  return { failures, count };
}

function main() {
  const options = parseArgs(process.argv.slice(2));
  const validate = loadValidator(options.deps, options.schema);
  const outputs = checkOutputs(validate, options.dirs);
  const bad = checkBadRecords(validate, options.bad);
  const failures = outputs.failures.concat(bad.failures);
  for (const failure of failures) console.log(`FAIL ${failure}`);
  console.log(`${outputs.records} records in ${outputs.files} outputs checked, ` +
              `${bad.count} bad records checked, ${failures.length} failures`);
  process.exit(failures.length ? 1 : 0);
}

main();
