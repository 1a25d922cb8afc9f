#!/usr/bin/env node
// Plays another program saving a .3dm: reads a document, moves one object and writes
// the file again, keeping every id, as a modelling program saves after a move.
//
//   node tools/move-object.mjs IN OUT (--name NAME | --largest) --by X,Y,Z [--same OUT0]
//
// --name moves the object of that name, --largest the one whose geometry is the
// largest (the model's main piece); --same also writes IN unchanged through the same
// writer, so that OUT0 and OUT differ by the move alone (the writer may store other
// things differently from the program that wrote IN). OUT is written to a temporary
// file beside it and renamed into place, the way programs save.
// Exit status: 0 written; 1 the object or the file could not be found or written.

import fs from 'node:fs';
import rhino3dm from 'rhino3dm';

const kUsage = 'usage: move-object.mjs IN OUT (--name NAME | --largest) --by X,Y,Z [--same OUT0]\n';

function parseArgs(argv) {
  const args = { files: [] };
  for (let i = 0; i < argv.length; i++) {
    const a = argv[i];
    if (a === '--largest') args.largest = true;
    else if (['--name', '--by', '--same'].includes(a) && i + 1 < argv.length) args[a.slice(2)] = argv[++i];
    else if (a.startsWith('--')) throw new Error(`unknown or incomplete option ${a}`);
    else args.files.push(a);
  }
  const by = (args.by ?? '').split(',').map(Number);
  if (args.files.length !== 2 || by.length !== 3 || by.some((n) => !Number.isFinite(n)) || !(args.name || args.largest))
    throw new Error('expected IN, OUT, --name or --largest, and --by X,Y,Z');
  args.by = by;
  return args;
}

function write(rh, file, out) {
  const bytes = file.toByteArrayOptions(Object.assign(new rh.File3dmWriteOptions(), { version: 7 }));
  fs.writeFileSync(`${out}.tmp`, Buffer.from(bytes));
  fs.renameSync(`${out}.tmp`, out);
}

function size(object) {
  const bytes = object.geometry()?.encode?.();
  return bytes ? JSON.stringify(bytes).length : 0;
}

async function main() {
  const args = parseArgs(process.argv.slice(2));
  const rh = await rhino3dm();
  const read = () => rh.File3dm.fromByteArray(new Uint8Array(fs.readFileSync(args.files[0])));
  if (args.same) write(rh, read(), args.same);
  const file = read();
  const objects = file.objects();
  let target = null, biggest = -1;
  for (let i = 0; i < objects.count; i++) {
    const object = objects.get(i);
    if (args.name && object.attributes().name === args.name) target = object;
    else if (args.largest && object.attributes().mode !== rh.ObjectMode.InstanceDefinitionObject) {
      const s = size(object);
      if (s > biggest) biggest = s, target = object;
    }
  }
  if (!target) throw new Error(`no object ${args.name ? `named "${args.name}"` : 'with geometry'}`);
  const attributes = target.attributes();
  const geometry = target.geometry();
  geometry.translate(args.by);
  // Deleting first frees the id, so the moved copy takes it again.
  objects.delete(attributes.id);
  objects.add(geometry, attributes);
  write(rh, file, args.files[1]);
  process.stdout.write(`move-object: moved "${attributes.name}" (${attributes.id}) by ${args.by.join(',')}\n`);
}

main().catch((e) => {
  process.stderr.write(`move-object: ${e.message}\n${kUsage}`);
  process.exitCode = 1;
});
