// Test helper: reports, straight from rhino3dm and independently of tools/3dm-to-json,
// the mesh data of the first object of a .3dm file that has any, for the import tests
// to compare with what the document reader loaded.
//
//   node rhino3dm_probe.mjs <file.3dm>
//
// Prints "<id> <vertex count> <face count> <normal count> <the first three vertices as
// x y z>" for a mesh object's mesh, or the first cached render mesh of a brep (its first
// meshed face) or an extrusion; nothing when no object has one.
import fs from 'node:fs';
import { createRequire } from 'node:module';

const require = createRequire(new URL('../../tools/package.json', import.meta.url));
const rh = await require('rhino3dm')();
const model = rh.File3dm.fromByteArray(new Uint8Array(fs.readFileSync(process.argv[2])));

function meshOf(g) {
  if (g instanceof rh.Mesh) return g;
  if (g instanceof rh.Extrusion) return g.getMesh(rh.MeshType.Render);
  if (g instanceof rh.Brep) {
    for (let k = 0; k < g.faces().count; k++) {
      const m = g.faces().get(k).getMesh(rh.MeshType.Render);
      if (m) return m;
    }
  }
  return null;
}

const table = model.objects();
for (let i = 0; i < table.count; i++) {
  const entry = table.get(i);
  const mesh = meshOf(entry.geometry());
  if (!mesh) continue;
  const vertices = [];
  for (let k = 0; k < Math.min(3, mesh.vertices().count); k++) vertices.push(...mesh.vertices().get(k));
  const counts = [mesh.vertices().count, mesh.faces().count, mesh.normals().count];
  process.stdout.write([entry.attributes().id, ...counts, ...vertices].join(' ') + '\n');
  break;
}
