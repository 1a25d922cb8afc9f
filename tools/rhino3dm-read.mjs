#!/usr/bin/env node
// The baseline of bench_open_3dm (bench/open_3dm_bench.cpp): a .3dm read with rhino3dm alone, every mesh it
// holds walked (mesh objects, cached render meshes of brep faces and extrusions):
// what any reader of the file through rhino3dm pays before doing anything else.
//
//   node tools/rhino3dm-read.mjs <in.3dm>
import fs from 'node:fs';
import rhino3dm from 'rhino3dm';

function walk(mesh) {
  const v = mesh.vertices();
  const f = mesh.faces();
  let sum = 0;
  for (let i = 0; i < v.count; i++) sum += v.get(i)[0];
  for (let i = 0; i < f.count; i++) sum += f.get(i)[0];
  return sum;
}

const rh = await rhino3dm();
const file = rh.File3dm.fromByteArray(new Uint8Array(fs.readFileSync(process.argv[2])));
const objects = file.objects();
let total = 0;
for (let i = 0; i < objects.count; i++) {
  const g = objects.get(i).geometry();
  const name = g.constructor.name;
  if (name === 'Mesh') total += walk(g);
  else if (name === 'Brep') {
    const faces = g.faces();
    for (let k = 0; k < faces.count; k++) {
      const m = faces.get(k).getMesh(rh.MeshType.Render);
      if (m) total += walk(m);
    }
  } else if (name === 'Extrusion') {
    const m = g.getMesh(rh.MeshType.Render);
    if (m) total += walk(m);
  }
}
process.stdout.write(`${Number.isFinite(total)}\n`);
