// Test helper: reports, straight from rhino3dm and independently of tools/3dm-to-json,
// the mesh data of the first object of a .3dm file that has any, for the import tests
// to compare with what the document reader loaded.
//
//   node rhino3dm_probe.mjs <file.3dm>
//
// Prints {"index", "id", "vertexCount", "faceCount", "normalCount", "vertices": [the
// first three vertices as x, y, z]}: a mesh object's mesh, or the first cached render
// mesh of a brep (its first meshed face) or an extrusion. {"index": -1} when no
// object has one.
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

let out = { index: -1 };
const table = model.objects();
for (let i = 0; i < table.count && out.index < 0; i++) {
  const entry = table.get(i);
  const mesh = meshOf(entry.geometry());
  if (!mesh) continue;
  const vertices = [];
  for (let k = 0; k < Math.min(3, mesh.vertices().count); k++) vertices.push(...mesh.vertices().get(k));
  out = { index: i, id: entry.attributes().id, vertexCount: mesh.vertices().count, faceCount: mesh.faces().count,
    normalCount: mesh.normals().count, vertices };
}
process.stdout.write(JSON.stringify(out) + '\n');
