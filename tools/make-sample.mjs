#!/usr/bin/env node
// Authors the bundled sample document, resources/samples/showroom.3dm, and the texture
// image it uses, resources/samples/showroom-tiles.bmp, both made here from nothing.
//
//   node tools/make-sample.mjs [out-folder]        (default: resources/samples)
//
// The model, in millimetres, exercises what the live link carries:
// - materials with their own colours: "Red lacquer", "Blue glaze", "Brass" (shiny),
//   "Glass" (half transparent), and "Floor tiles" with the texture image;
// - layer "Floor" whose own material is "Floor tiles" (its floor takes the layer's
//   material); layer "Furniture" (objects with their own materials); layer "Hidden
//   props", switched off, with an object on it;
// - a block "Stool" (seat and four legs) placed four times, rotated and moved;
// - a hidden object on a visible layer;
// - meshes with normals and texture coordinates (floor), with normals only (boxes),
//   with texture coordinates only (a wedge) and with neither (a pyramid);
// - a perspective view looking at the whole model.
// Running it again rewrites the same model (object ids and the creation time are new);
// the texture image comes out byte for byte the same.

import fs from 'node:fs';
import path from 'node:path';
import rhino3dm from 'rhino3dm';

const kDocument = 'showroom.3dm';
const kTexture = 'showroom-tiles.bmp';

// A 64 x 64 24-bit BMP: cream and terracotta tiles with a dark grout line, and one
// blue tile in the top left corner so that a flipped or turned texture shows.
function tileImage() {
  const size = 64, tile = 16, row = size * 3;
  const header = Buffer.alloc(54);
  header.write('BM', 0, 'latin1');
  header.writeUInt32LE(54 + row * size, 2);
  header.writeUInt32LE(54, 10);
  header.writeUInt32LE(40, 14);
  header.writeInt32LE(size, 18);
  header.writeInt32LE(size, 22);  // bottom-up rows
  header.writeUInt16LE(1, 26);
  header.writeUInt16LE(24, 28);
  header.writeUInt32LE(row * size, 34);
  const pixels = Buffer.alloc(row * size);
  for (let y = 0; y < size; y++) {
    const top = size - 1 - y;  // row y of the file is row `top` of the picture
    for (let x = 0; x < size; x++) {
      const tx = Math.floor(x / tile), ty = Math.floor(top / tile);
      let rgb = (tx + ty) % 2 === 0 ? [235, 222, 196] : [190, 92, 60];
      if (tx === 0 && ty === 0) rgb = [40, 80, 200];
      if (x % tile === 0 || top % tile === 0) rgb = [70, 60, 55];
      pixels.writeUInt8(rgb[2], y * row + x * 3);
      pixels.writeUInt8(rgb[1], y * row + x * 3 + 1);
      pixels.writeUInt8(rgb[0], y * row + x * 3 + 2);
    }
  }
  return Buffer.concat([header, pixels]);
}

function material(rh, name, [r, g, b], { shine = 0, transparency = 0, texture } = {}) {
  const m = new rh.Material();
  m.name = name;
  m.diffuseColor = { r, g, b, a: 255 };
  m.specularColor = { r: 255, g: 255, b: 255, a: 255 };
  m.shine = shine;
  m.transparency = transparency;
  if (texture) m.setBitmapTextureFilename(texture);
  return m;
}

function layer(rh, name, { materialIndex = -1, visible = true } = {}) {
  const l = new rh.Layer();
  l.name = name;
  l.renderMaterialIndex = materialIndex;
  l.visible = visible;
  l.color = { r: 90, g: 90, b: 90, a: 255 };
  return l;
}

// A mesh from points and faces (triangles or quads); normals and texture
// coordinates only when asked, so that the sample has meshes without them.
function mesh(rh, points, faces, { normals = false, uv = null } = {}) {
  const m = new rh.Mesh();
  for (const p of points) m.vertices().add(p[0], p[1], p[2]);
  for (const f of faces) {
    if (f.length === 3) m.faces().addTriFace(f[0], f[1], f[2]);
    else m.faces().addQuadFace(f[0], f[1], f[2], f[3]);
  }
  if (uv) for (const t of uv) m.textureCoordinates().add(t[0], t[1]);
  if (normals) m.normals().computeNormals();
  m.compact();
  return m;
}

// An axis-aligned box from corner a to corner b, outward faces, normals per vertex.
function box(rh, a, b) {
  const p = [];
  for (const z of [a[2], b[2]]) for (const [x, y] of [[a[0], a[1]], [b[0], a[1]], [b[0], b[1]], [a[0], b[1]]]) p.push([x, y, z]);
  const faces = [[0, 3, 2, 1], [4, 5, 6, 7], [0, 1, 5, 4], [1, 2, 6, 5], [2, 3, 7, 6], [3, 0, 4, 7]];
  // Separate corners per face so that each face keeps a flat normal.
  const points = [], quads = [];
  for (const f of faces) {
    quads.push([points.length, points.length + 1, points.length + 2, points.length + 3]);
    for (const i of f) points.push(p[i]);
  }
  return mesh(rh, points, quads, { normals: true });
}

function attributes(rh, layerIndex, { materialIndex = -1, visible = true, name } = {}) {
  const a = new rh.ObjectAttributes();
  a.layerIndex = layerIndex;
  if (materialIndex >= 0) {
    a.materialIndex = materialIndex;
    a.materialSource = rh.ObjectMaterialSource.MaterialFromObject;
  }
  a.visible = visible;
  if (name) a.name = name;
  return a;
}

function perspectiveView(rh) {
  const view = new rh.ViewInfo();
  view.name = 'Perspective';
  const vp = view.getViewport();
  vp.changeToPerspectiveProjection(50, true, 50);
  const eye = [5200, -4200, 3100], target = [1800, 1300, 300];
  vp.setCameraLocation(eye);
  vp.setCameraDirection([target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]]);
  vp.setCameraUp([0, 0, 1]);
  vp.setFrustum(-0.02, 0.02, -0.0125, 0.0125, 0.05, 100000);
  view.setViewport(vp);
  return view;
}

async function build(outFolder) {
  const rh = await rhino3dm();
  const file = new rh.File3dm();
  file.settings().modelUnitSystem = rh.UnitSystem.Millimeters;

  const mats = file.materials();
  const red = mats.count; mats.add(material(rh, 'Red lacquer', [200, 30, 40], { shine: 0.4 * 255 }));
  const blue = mats.count; mats.add(material(rh, 'Blue glaze', [40, 90, 210], { shine: 0.7 * 255 }));
  const brass = mats.count; mats.add(material(rh, 'Brass', [200, 160, 60], { shine: 255 }));
  const glass = mats.count; mats.add(material(rh, 'Glass', [180, 220, 230], { transparency: 0.5, shine: 255 }));
  const tiles = mats.count; mats.add(material(rh, 'Floor tiles', [255, 255, 255], { texture: kTexture }));

  const layers = file.layers();
  const floorLayer = layers.add(layer(rh, 'Floor', { materialIndex: tiles }));
  const furniture = layers.add(layer(rh, 'Furniture'));
  const hiddenLayer = layers.add(layer(rh, 'Hidden props', { visible: false }));

  const objects = file.objects();
  // Floor: 4 x 3 m, tiles repeating every 500 mm (8 x 6 repeats), normals and uv.
  objects.addMesh(mesh(rh, [[0, 0, 0], [4000, 0, 0], [4000, 3000, 0], [0, 3000, 0]], [[0, 1, 2, 3]],
    { normals: true, uv: [[0, 0], [8, 0], [8, 6], [0, 6]] }), attributes(rh, floorLayer, { name: 'floor' }));

  // The block: a brass seat on four red legs, 450 mm high, base point at its centre.
  const stoolParts = [box(rh, [-200, -200, 400], [200, 200, 450])];
  for (const [x, y] of [[-180, -180], [140, -180], [140, 140], [-180, 140]]) stoolParts.push(box(rh, [x, y, 0], [x + 40, y + 40, 400]));
  const partAttributes = stoolParts.map((_, i) => attributes(rh, furniture, { materialIndex: i === 0 ? brass : red }));
  const defs = file.instanceDefinitions();
  const stool = defs.add('Stool', 'a stool: seat and four legs', '', '', [0, 0, 0], stoolParts, partAttributes);
  const placements = [[800, 800, 0], [1600, 800, 30], [800, 2000, 45], [1600, 2000, 90]];
  for (const [x, y, degrees] of placements) {
    const turn = rh.Transform.rotation(degrees * Math.PI / 180, [0, 0, 1], [0, 0, 0]);
    const move = rh.Transform.translationXYZ(x, y, 0);
    const iref = new rh.InstanceReference(defs.get(stool).id, rh.Transform.multiply(move, turn));
    objects.add(iref, attributes(rh, furniture));
  }

  // A blue pyramid without normals or texture coordinates.
  objects.addMesh(mesh(rh, [[2600, 600, 0], [3400, 600, 0], [3400, 1400, 0], [2600, 1400, 0], [3000, 1000, 900]],
    [[0, 3, 2, 1], [0, 1, 4], [1, 2, 4], [2, 3, 4], [3, 0, 4]]),
  attributes(rh, furniture, { materialIndex: blue, name: 'pyramid' }));
  // A red wedge with texture coordinates but no normals.
  objects.addMesh(mesh(rh, [[2600, 1900, 0], [3600, 1900, 0], [3600, 2600, 0], [2600, 2600, 0], [2600, 1900, 600], [2600, 2600, 600]],
    [[0, 3, 2, 1], [0, 1, 4], [3, 5, 2], [1, 2, 5, 4], [0, 4, 5, 3]],
    { uv: [[0, 0], [1, 0], [1, 1], [0, 1], [0, 0.5], [1, 0.5]] }),
  attributes(rh, furniture, { materialIndex: red, name: 'wedge' }));
  // A glass pane standing on the floor, a single open quad.
  objects.addMesh(mesh(rh, [[400, 2800, 0], [3600, 2800, 0], [3600, 2800, 1200], [400, 2800, 1200]], [[0, 1, 2, 3]], { normals: true }),
    attributes(rh, furniture, { materialIndex: glass, name: 'glass pane' }));
  // Hidden: one object switched off on a visible layer, one on the switched-off layer.
  objects.addMesh(box(rh, [3700, 200, 0], [3900, 400, 2000]), attributes(rh, furniture, { materialIndex: blue, visible: false, name: 'hidden column' }));
  objects.addMesh(box(rh, [200, 200, 0], [600, 600, 300]), attributes(rh, hiddenLayer, { materialIndex: red, name: 'crate on hidden layer' }));

  file.views().add(perspectiveView(rh));

  fs.mkdirSync(outFolder, { recursive: true });
  fs.writeFileSync(path.join(outFolder, kTexture), tileImage());
  const bytes = file.toByteArrayOptions(Object.assign(new rh.File3dmWriteOptions(), { version: 7 }));
  fs.writeFileSync(path.join(outFolder, kDocument), Buffer.from(bytes));
  return path.join(outFolder, kDocument);
}

const here = path.dirname(new URL(import.meta.url).pathname);
const out = process.argv[2] ?? path.join(here, '..', 'resources', 'samples');
try {
  process.stdout.write(`make-sample: wrote ${await build(out)}\n`);
} catch (e) {
  process.stderr.write(`make-sample: ${e.stack ?? e}\n`);
  process.exitCode = 1;
}
