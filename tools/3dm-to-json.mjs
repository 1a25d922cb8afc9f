#!/usr/bin/env node
// Converts a .3dm file into the host's JSON document format (docs/document-format.md).
//
//   node tools/3dm-to-json.mjs <in.3dm> [out.json]
//
// Without out.json the document goes to stdout. Every warning is printed to stderr
// ("3dm-to-json: <file>: <text>") and also stored in the document's "warnings" array.
// Exit status: 0 converted (possibly with warnings), 1 unreadable input or unwritable
// output, 2 wrong usage.
//
// rhino3dm reads almost everything the host needs. Two tables it does not expose, the
// texture-mapping table and the embedded-bitmap table, are read here straight from the
// file's top-level chunks (see readSideTables).

import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import rhino3dm from 'rhino3dm';

const kFormat = 'vantro-document';
const kVersion = 1;
const kNilUuid = '00000000-0000-0000-0000-000000000000';

// ON::object_type values as rhino3dm reports them, and their names in the format.
const kObjectTypes = new Map([
  [1, 'point'], [2, 'pointCloud'], [4, 'curve'], [8, 'surface'], [16, 'brep'],
  [32, 'mesh'], [256, 'light'], [512, 'annotation'], [4096, 'instanceReference'],
  [8192, 'textDot'], [32768, 'detail'], [65536, 'hatch'], [262144, 'subd'],
  [0x20000000, 'clipPlane'], [0x40000000, 'extrusion'],
]);

const kUnits = new Map([
  [0, 'none'], [12, 'angstroms'], [13, 'nanometers'], [1, 'microns'], [2, 'millimeters'],
  [3, 'centimeters'], [14, 'decimeters'], [4, 'meters'], [15, 'dekameters'],
  [16, 'hectometers'], [5, 'kilometers'], [17, 'megameters'], [18, 'gigameters'],
  [6, 'microinches'], [7, 'mils'], [8, 'inches'], [9, 'feet'], [19, 'yards'], [10, 'miles'],
  [20, 'printerPoints'], [21, 'printerPicas'], [22, 'nauticalMiles'],
  [23, 'astronomicalUnits'], [24, 'lightYears'], [25, 'parsecs'], [11, 'custom'],
]);

const kMaterialSources = new Map([[0, 'layer'], [1, 'object'], [3, 'parent']]);
const kModes = new Map([[0, 'normal'], [1, 'hidden'], [2, 'locked'], [3, 'instanceDefinition']]);
const kMappingTypes = new Map([
  [0, 'none'], [1, 'surfaceParameter'], [2, 'plane'], [3, 'cylinder'], [4, 'sphere'],
  [5, 'box'], [6, 'meshPrimitive'], [7, 'surfacePrimitive'], [8, 'brepPrimitive'],
  [9, 'objectCoordinates'], [10, 'falseColors'],
]);
const kProjections = new Map([[0, 'none'], [1, 'closestPoint'], [2, 'ray']]);

// ---------------------------------------------------------------------------------
// Output: numbers of float origin are written with the fewest digits that read back
// to the same float, so single-precision meshes do not grow to 17 digits per value.

class Raw {
  constructor(text) { this.text = text; }
}

function floatText(x) {
  if (Number.isInteger(x)) return String(x);
  for (let p = 6; p <= 9; p++) {
    const s = Number(x.toPrecision(p));
    if (Math.fround(s) === x) return String(s);
  }
  return String(x);
}

// Numeric arrays go either into the text as JSON arrays or, when the document is
// written with a binary companion, into that companion: the text then holds
// {"binary": [byteOffset, count]} and the reader knows each field's scalar type.
class BinaryChannel {
  constructor() { this.parts = []; this.size = 0; }
  add(typed) {
    const pad = (8 - (this.size % 8)) % 8;
    if (pad) { this.parts.push(Buffer.alloc(pad)); this.size += pad; }
    const offset = this.size;
    const bytes = Buffer.from(typed.buffer, typed.byteOffset, typed.byteLength);
    this.parts.push(bytes);
    this.size += bytes.length;
    return new Raw(`{"binary":[${offset},${typed.length}]}`);
  }
  bytes() { return Buffer.concat(this.parts, this.size); }
}

let channel = null;

function floatArray(values) {
  if (channel) return channel.add(values instanceof Float32Array ? values : Float32Array.from(values));
  return new Raw('[' + Array.from(values, floatText).join(',') + ']');
}

function doubleArray(values) {
  if (channel) return channel.add(values instanceof Float64Array ? values : Float64Array.from(values));
  return new Raw('[' + Array.from(values, (v) => String(v)).join(',') + ']');
}

// Double-precision mesh vertices: floats in the binary companion (the format stores
// mesh data as floats), full digits in text.
function vertexArray(values, doublePrecision) {
  return doublePrecision && !channel ? doubleArray(values) : floatArray(values);
}

function intArray(values) {
  if (channel) return channel.add(values instanceof Int32Array ? values : Int32Array.from(values));
  return new Raw('[' + values.join(',') + ']');
}

function serialize(value, indent = '') {
  if (value instanceof Raw) return value.text;
  if (Array.isArray(value)) {
    if (value.length === 0) return '[]';
    if (value.every((v) => typeof v === 'number')) return '[' + value.join(',') + ']';
    const inner = indent + '  ';
    return '[\n' + value.map((v) => inner + serialize(v, inner)).join(',\n') + '\n' + indent + ']';
  }
  if (value !== null && typeof value === 'object') {
    const keys = Object.keys(value).filter((k) => value[k] !== undefined);
    if (keys.length === 0) return '{}';
    const inner = indent + '  ';
    return '{\n' + keys.map((k) => inner + JSON.stringify(k) + ': ' + serialize(value[k], inner)).join(',\n') +
      '\n' + indent + '}';
  }
  if (typeof value === 'number' && !Number.isFinite(value)) {
    throw new Error(`non-finite number ${value} in output`);
  }
  return JSON.stringify(value);
}

// ---------------------------------------------------------------------------------
// Small helpers over rhino3dm values.

function rgb(c) {
  // rhino3dm gives colours as {r,g,b,a} objects or [r,g,b,a] arrays depending on the class.
  if (Array.isArray(c)) return [c[0], c[1], c[2]];
  return [c.r, c.g, c.b];
}

function xformRows(t) {
  return [t.m00, t.m01, t.m02, t.m03, t.m10, t.m11, t.m12, t.m13,
    t.m20, t.m21, t.m22, t.m23, t.m30, t.m31, t.m32, t.m33];
}

function isIdentity(m) {
  return m.every((v, i) => v === (i % 5 === 0 ? 1 : 0));
}

function enumValue(e) {
  return e && typeof e === 'object' && 'value' in e ? e.value : e;
}

function objectLabel(index, attrs) {
  return `object ${index} ${JSON.stringify(attrs.name || '')} (${attrs.id})`;
}

// ---------------------------------------------------------------------------------
// Meshes.

function meshToJson(rh, mesh) {
  const vertexList = mesh.vertices();
  const vertexCount = vertexList.count;
  const doublePrecision = vertexList.useDoublePrecisionVertices;
  const vertices = new Float64Array(vertexCount * 3);
  for (let i = 0; i < vertexCount; i++) {
    const p = doublePrecision ? vertexList.point3dAt(i) : vertexList.get(i);
    vertices[3 * i] = p[0]; vertices[3 * i + 1] = p[1]; vertices[3 * i + 2] = p[2];
  }
  const faceList = mesh.faces();
  const faceCount = faceList.count;
  const faces = new Int32Array(faceCount * 4);
  for (let i = 0; i < faceCount; i++) {
    const f = faceList.get(i);
    faces[4 * i] = f[0]; faces[4 * i + 1] = f[1]; faces[4 * i + 2] = f[2]; faces[4 * i + 3] = f[3];
  }
  const out = {
    vertices: vertexArray(vertices, doublePrecision),
    faces: intArray(faces),
  };
  const normalList = mesh.normals();
  if (normalList.count > 0) {
    const normals = new Float32Array(normalList.count * 3);
    for (let i = 0; i < normalList.count; i++) {
      const n = normalList.get(i);
      normals[3 * i] = n[0]; normals[3 * i + 1] = n[1]; normals[3 * i + 2] = n[2];
    }
    out.normals = floatArray(normals);
  }
  const tcList = mesh.textureCoordinates();
  if (tcList.count > 0) {
    const tcs = new Array(tcList.count * 2);
    for (let i = 0; i < tcList.count; i++) {
      const t = tcList.get(i);
      tcs[2 * i] = t[0]; tcs[2 * i + 1] = t[1];
    }
    out.textureCoordinates = floatArray(tcs);
  }
  return out;
}

function brepRenderMeshes(rh, brep, label, warn) {
  const faces = brep.faces();
  const meshes = [];
  for (let k = 0; k < faces.count; k++) {
    const face = faces.get(k);
    const m = face.getMesh(rh.MeshType.Render);
    if (m) meshes.push(meshToJson(rh, m));
  }
  if (faces.count > 0 && meshes.length === 0) {
    warn(`${label}: brep has no cached render mesh; listed without geometry`);
  } else if (meshes.length < faces.count) {
    warn(`${label}: cached render meshes on ${meshes.length} of ${faces.count} brep faces; ` +
      'the other faces have no geometry');
  }
  return meshes;
}

// ---------------------------------------------------------------------------------
// Exact geometry, for the host to mesh what carries no cached render mesh. Knot
// vectors are written as the file keeps them (order + count - 2 knots, without the
// superfluous end knots); control points as x, y, z, w with Euclidean x, y, z.

function nurbsPoints(list, count, at) {
  const out = new Float64Array(count * 4);
  for (let i = 0; i < count; i++) {
    const p = at(list, i);  // homogeneous: x*w, y*w, z*w, w
    const w = p.length > 3 ? p[3] : 1;
    out[4 * i] = p[0] / w; out[4 * i + 1] = p[1] / w; out[4 * i + 2] = p[2] / w; out[4 * i + 3] = w;
  }
  return out;
}

function knotArray(list) {
  const out = new Float64Array(list.count);
  for (let i = 0; i < list.count; i++) out[i] = list.get(i);
  return out;
}

function nurbsSurfaceJson(surface) {
  const ns = surface.toNurbsSurface();
  if (!ns) throw new Error('surface has no NURBS form');
  const pts = ns.points();
  const nu = pts.countU; const nv = pts.countV;
  return {
    degree: [ns.orderU - 1, ns.orderV - 1],
    count: [nu, nv],
    knotsU: doubleArray(knotArray(ns.knotsU())),
    knotsV: doubleArray(knotArray(ns.knotsV())),
    // u-major: point (i, j) at i * nv + j
    points: doubleArray(nurbsPoints(pts, nu * nv, (l, k) => l.get(Math.floor(k / nv), k % nv))),
  };
}

function nurbsCurveJson(curve) {
  const nc = curve.toNurbsCurve();
  if (!nc) throw new Error('edge has no NURBS form');
  const pts = nc.points();
  return {
    degree: nc.order - 1,
    knots: doubleArray(knotArray(nc.knots())),
    points: doubleArray(nurbsPoints(pts, pts.count, (l, k) => l.get(k))),
  };
}

// Faces with their surface and loops of trims; a trim names the edge it runs along
// (-1: a singular trim, collapsed to a point in 3D) and whether it runs against it.
function brepJson(rh, brep, cachedMeshIndex) {
  const edgeList = brep.edges();
  const edges = [];
  for (let e = 0; e < edgeList.count; e++) edges.push(nurbsCurveJson(edgeList.get(e)));
  const faceList = brep.faces();
  const faces = [];
  for (let k = 0; k < faceList.count; k++) {
    const face = faceList.get(k);
    const loops = [];
    const loopList = face.loops;
    for (let l = 0; l < loopList.count; l++) {
      const loop = loopList.get(l);
      const trimList = loop.trims;
      const trims = new Int32Array(trimList.count * 2);
      for (let t = 0; t < trimList.count; t++) {
        const trim = trimList.get(t);
        trims[2 * t] = trim.edgeIndex; trims[2 * t + 1] = trim.isReversed ? 1 : 0;
      }
      loops.push({ outer: enumValue(loop.loopType) === enumValue(rh.BrepLoopType.Outer), trims: intArray(trims) });
    }
    faces.push({
      surface: nurbsSurfaceJson(face.underlyingSurface()),
      reversed: face.orientationIsReversed || undefined,
      loops,
      cachedMesh: cachedMeshIndex ? cachedMeshIndex[k] : undefined,
    });
  }
  return { edges, faces };
}

// The control net of a SubD: vertices, faces (counts then vertex indices), creased
// edges (vertex pairs) and corner vertices.
function subdJson(subd) {
  const vertexIndex = new Map();
  const positions = [];
  const corners = [];
  const vi = subd.vertices();
  for (let k = 0; k < vi.count; k++) {
    const v = k === 0 ? vi.first() : vi.next();
    vertexIndex.set(v.id, k);
    positions.push(...v.controlNetPoint);
    if (v.isCorner) corners.push(k);
  }
  const counts = [];
  const indices = [];
  const fi = subd.faces();
  for (let k = 0; k < fi.count; k++) {
    const f = k === 0 ? fi.first() : fi.next();
    counts.push(f.vertexCount);
    for (let i = 0; i < f.vertexCount; i++) indices.push(vertexIndex.get(f.vertex(i).id));
  }
  const creases = [];
  const ei = subd.edges();
  for (let k = 0; k < ei.count; k++) {
    const e = k === 0 ? ei.first() : ei.next();
    if (e.isCrease) creases.push(vertexIndex.get(e.vertexId(0)), vertexIndex.get(e.vertexId(1)));
  }
  if (indices.some((i) => i === undefined) || creases.some((i) => i === undefined)) {
    throw new Error('SubD control net refers to a vertex it does not list');
  }
  return {
    vertices: doubleArray(positions),
    faceCounts: intArray(counts),
    faceVertices: intArray(indices),
    creases: creases.length ? intArray(creases) : undefined,
    corners: corners.length ? intArray(corners) : undefined,
  };
}

// Cached render meshes of a brep, one per face that has one, and for each face the
// index of its mesh (-1: none).
function cachedFaceMeshes(rh, brep) {
  const faces = brep.faces();
  const meshes = [];
  const index = [];
  for (let k = 0; k < faces.count; k++) {
    const m = faces.get(k).getMesh(rh.MeshType.Render);
    index.push(m ? meshes.length : -1);
    if (m) meshes.push(meshToJson(rh, m));
  }
  return { meshes, index };
}

// Breps and extrusions: cached render meshes when every face has one (the file is the
// truth), else the exact geometry for the host to mesh. withGeometry adds the exact
// geometry even when cached meshes are complete (for checking the host's mesher).
function surfaceFields(rh, brep, label, warn, withGeometry) {
  const cached = cachedFaceMeshes(rh, brep);
  const complete = cached.meshes.length === brep.faces().count && cached.meshes.length > 0;
  if (complete && !withGeometry) return { renderMeshes: cached.meshes };
  try {
    return { renderMeshes: complete ? cached.meshes : [], brep: brepJson(rh, brep, complete ? cached.index : null) };
  } catch (e) {
    warn(`${label}: geometry not readable (${e.message}); listed without geometry`);
    return { renderMeshes: cached.meshes };
  }
}

function geometryFields(rh, geometry, type, label, warn, withGeometry) {
  switch (type) {
    case 'mesh':
      return { mesh: meshToJson(rh, geometry) };
    case 'brep':
      return surfaceFields(rh, geometry, label, warn, withGeometry);
    case 'extrusion': {
      const m = geometry.getMesh(rh.MeshType.Render);
      if (m && !withGeometry) return { renderMeshes: [meshToJson(rh, m)] };
      const brep = geometry.toBrep(true);
      if (!brep) {
        warn(`${label}: extrusion has no brep form; listed without geometry`);
        return { renderMeshes: m ? [meshToJson(rh, m)] : [] };
      }
      const renderMeshes = m ? [meshToJson(rh, m)] : [];
      try {
        return { renderMeshes, brep: brepJson(rh, brep, null) };
      } catch (e) {
        warn(`${label}: geometry not readable (${e.message}); listed without geometry`);
        return { renderMeshes };
      }
    }
    case 'subd':
      try {
        return { renderMeshes: [], subd: subdJson(geometry) };
      } catch (e) {
        warn(`${label}: SubD control net not readable (${e.message}); listed without geometry`);
        return { renderMeshes: [] };
      }
    case 'surface':
      warn(`${label}: surface objects carry no readable render mesh; listed without geometry`);
      return { renderMeshes: [] };
    case 'instanceReference':
      return { instance: { definition: geometry.parentIdefId, transform: xformRows(geometry.xform) } };
    default:
      return {};
  }
}

// ---------------------------------------------------------------------------------
// Tables read with rhino3dm.

function unitsJson(settings, warn) {
  const unitValue = enumValue(settings.modelUnitSystem);
  const length = kUnits.get(unitValue);
  const units = {
    length: length ?? 'none',
    absoluteTolerance: settings.modelAbsoluteTolerance,
    angleTolerance: settings.modelAngleToleranceRadians,
    relativeTolerance: settings.modelRelativeTolerance,
  };
  if (length === undefined) warn(`unknown unit system ${unitValue}; written as "none"`);
  if (length === 'custom') warn('custom units: their scale cannot be read; 1 metre per unit is assumed');
  if (length === 'custom') units.metersPerUnit = 1;
  return units;
}

function layersJson(file) {
  const table = file.layers();
  const layers = [];
  for (let i = 0; i < table.count; i++) {
    const l = table.get(i);
    layers.push({
      id: l.id,
      name: l.name,
      parentId: l.parentLayerId !== kNilUuid ? l.parentLayerId : undefined,
      visible: l.visible,
      locked: l.locked,
      materialIndex: l.renderMaterialIndex,
      color: rgb(l.color),
    });
  }
  return layers;
}

function textureJson(t, type) {
  const uvw = t.uvwTransform.toFloatArray(true);
  const ref = t.fileReference();
  return {
    id: t.id !== kNilUuid ? t.id : undefined,
    type,
    on: t.enabled,
    filePath: t.fileName,
    relativePath: ref && ref.relativePath ? ref.relativePath : undefined,
    uvwTransform: isIdentity(uvw) ? undefined : uvw,
  };
}

function materialJson(m) {
  const textures = [];
  const slots = [['bitmap', m.getBitmapTexture()], ['bump', m.getBumpTexture()],
    ['transparency', m.getTransparencyTexture()], ['environment', m.getEnvironmentTexture()]];
  for (const [type, t] of slots) if (t) textures.push(textureJson(t, type));
  return {
    id: m.id,
    name: m.name,
    diffuse: rgb(m.diffuseColor),
    ambient: rgb(m.ambientColor),
    emission: rgb(m.emissionColor),
    specular: rgb(m.specularColor),
    reflection: rgb(m.reflectionColor),
    transparent: rgb(m.transparentColor),
    shine: m.shine,
    transparency: m.transparency,
    reflectivity: m.reflectivity,
    indexOfRefraction: m.indexOfRefraction,
    renderMaterialInstanceId: m.renderMaterialInstanceId !== kNilUuid ? m.renderMaterialInstanceId : undefined,
    textures: textures.length ? textures : undefined,
  };
}

// Every render content, children included (a material's texture is a content too).
function renderContentsJson(file) {
  const table = file.renderContent();
  const out = [];
  const visit = (c) => {
    out.push({ id: c.id, typeId: c.typeId, name: c.name });
    for (let child = c.getFirstChild(); child; child = child.getNextSibling()) visit(child);
  };
  for (let i = 0; i < table.count; i++) visit(table.get(i));
  return out;
}

function instanceDefinitionsJson(file) {
  const table = file.instanceDefinitions();
  const defs = [];
  for (let i = 0; i < table.count; i++) {
    const d = table.get(i);
    defs.push({ id: d.id, name: d.name, description: d.description || undefined, objects: d.getObjectIds() });
  }
  return defs;
}

function viewsJson(file) {
  const table = file.views();
  const views = [];
  for (let i = 0; i < table.count; i++) {
    const v = table.get(i);
    const vp = v.getViewport();
    const f = vp.getFrustum();
    // rhino3dm gives the port as [left, top, right, bottom].
    const port = vp.screenPort;
    const target = vp.targetPoint;
    views.push({
      name: v.name,
      projection: vp.isPerspectiveProjection ? 'perspective' : 'parallel',
      cameraLocation: vp.cameraLocation,
      cameraDirection: vp.cameraDirection,
      cameraUp: vp.cameraUp,
      target: target.every(Number.isFinite) && Math.abs(target[0]) < 1e300 ? target : undefined,
      frustum: [f.left, f.right, f.bottom, f.top, f.near, f.far],
      screenPort: port[2] !== port[0] && port[3] !== port[1] ? [port[0], port[2], port[3], port[1]] : undefined,
    });
  }
  return views;
}

// A stable id for an image that has none of its own (embedded files are named by path).
function idFromText(text) {
  const h = crypto.createHash('sha1').update(text).digest('hex');
  return `${h.slice(0, 8)}-${h.slice(8, 12)}-5${h.slice(13, 16)}-a${h.slice(17, 20)}-${h.slice(20, 32)}`;
}

// Embedded files that are images become bitmaps; others are named in a warning.
function embeddedImages(file, warn) {
  const out = [];
  for (const p of file.embeddedFilePaths()) {
    const bytes = Buffer.from(file.getEmbeddedFileAsBase64(p), 'base64');
    try {
      out.push({ id: idFromText(p), filePath: p, ...decodeImage(bytes) });
    } catch (e) {
      warn(`embedded file "${p}" not kept: ${e.message}`);
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------
// Side tables read from the file's chunks. A 3dm file is a 32-byte header followed by
// top-level chunks: a 4-byte type code and a length (4 bytes before archive version 50,
// 8 bytes from 50 on); type codes with the top bit set carry a value instead of a body.

const kTextureMappingTable = 0x10000025;
const kTextureMappingRecord = 0x2000807a;
const kBitmapTable = 0x10000016;
const kBitmapRecord = 0x20008090;
const kClassChunk = 0x00027ffa;
const kClassUuid = 0x0002fffb;
const kClassData = 0x0002fffc;
const kEmbeddedBitmapClass = '772e6fc1-b17b-4fc4-8f54-5fda511d76d2';

class Reader {
  constructor(buf, pos, end, wideLengths) {
    this.buf = buf; this.pos = pos; this.end = end; this.wide = wideLengths;
  }
  need(n) { if (this.pos + n > this.end) throw new Error('truncated chunk'); }
  u8() { this.need(1); return this.buf[this.pos++]; }
  i32() { this.need(4); const v = this.buf.readInt32LE(this.pos); this.pos += 4; return v; }
  u32() { this.need(4); const v = this.buf.readUInt32LE(this.pos); this.pos += 4; return v; }
  f64() { this.need(8); const v = this.buf.readDoubleLE(this.pos); this.pos += 8; return v; }
  uuid() {
    this.need(16);
    const b = this.buf; const p = this.pos; this.pos += 16;
    const hex = (i, n) => b.slice(p + i, p + i + n).toString('hex');
    const le = (i, n) => Buffer.from(b.slice(p + i, p + i + n)).reverse().toString('hex');
    return `${le(0, 4)}-${le(4, 2)}-${le(6, 2)}-${hex(8, 2)}-${hex(10, 6)}`;
  }
  xform() { const m = []; for (let i = 0; i < 16; i++) m.push(this.f64()); return m; }
  wideString() {
    const n = this.i32();
    if (n < 0 || n > (this.end - this.pos) / 2) throw new Error('bad string length');
    const s = this.buf.toString('utf16le', this.pos, this.pos + 2 * n);
    this.pos += 2 * n;
    return s.replace(/\0+$/, '');
  }
  chunk() {
    const code = this.u32();
    if (code & 0x80000000) { this.need(this.wide ? 8 : 4); this.pos += this.wide ? 8 : 4; return { code, short: true }; }
    let length;
    if (this.wide) { this.need(8); length = Number(this.buf.readBigUInt64LE(this.pos)); this.pos += 8; }
    else length = this.u32();
    if (length > this.end - this.pos) throw new Error('chunk longer than its parent');
    const start = this.pos;
    this.pos += length;
    return { code, start, end: start + length };
  }
  sub(c) { return new Reader(this.buf, c.start, c.end, this.wide); }
}

function topLevelChunks(buf) {
  const header = buf.toString('latin1', 0, 32);
  if (!header.startsWith('3D Geometry File Format ')) throw new Error('not a 3dm file');
  const archiveVersion = parseInt(header.slice(24), 10);
  const r = new Reader(buf, 32, buf.length, archiveVersion >= 50);
  const chunks = [];
  while (r.pos + 8 <= r.end) {
    const c = r.chunk();
    if (!c.short) chunks.push(c);
  }
  return { reader: r, chunks };
}

function recordsOf(reader, table, recordCode) {
  const r = reader.sub(table);
  const out = [];
  while (r.pos < r.end) {
    const c = r.chunk();
    if (c.short) break;
    if (c.code === recordCode) out.push(c);
  }
  return out;
}

// The record body is a class chunk: the class uuid chunk, then the class data chunk.
function classData(reader, record) {
  const r = reader.sub(record);
  const cls = r.sub(r.chunk());
  const idChunk = cls.chunk();
  const classId = cls.sub(idChunk).uuid();
  const data = cls.chunk();
  if (data.code !== kClassData) throw new Error('class data chunk missing');
  return { classId, data: cls.sub(data) };
}

function readTextureMapping(reader, record) {
  const { data } = classData(reader, record);
  const body = data.sub(data.chunk());
  const major = body.i32();
  body.i32(); // minor version: later minor versions only append fields we do not use
  if (major !== 1) throw new Error(`texture mapping version ${major} not understood`);
  const id = body.uuid();
  const type = body.i32();
  const projection = body.i32();
  const pointTransform = body.xform();
  const uvwTransform = body.xform();
  const name = body.wideString();
  return {
    id,
    name: name || undefined,
    type: kMappingTypes.get(type) ?? 'none',
    projection: kProjections.get(projection) ?? 'none',
    pointTransform,
    uvwTransform: isIdentity(uvwTransform) ? undefined : uvwTransform,
  };
}

function readEmbeddedBitmap(reader, record) {
  const { classId, data } = classData(reader, record);
  if (classId !== kEmbeddedBitmapClass) return null;
  data.u8(); // chunk version byte
  const name = data.wideString();
  data.u32(); // crc of the whole buffer
  data.u32(); // "buffer is compressed" flag; the method byte below is what counts
  const size = data.u32();
  data.u32(); // crc again
  const method = data.u8();
  let bytes;
  if (method === 0) {
    data.need(size);
    bytes = data.buf.subarray(data.pos, data.pos + size);
  } else {
    const c = data.chunk();
    bytes = zlib.inflateSync(data.buf.subarray(c.start, c.end));
  }
  if (bytes.length !== size) throw new Error(`embedded bitmap "${name}": ${bytes.length} bytes, ${size} expected`);
  return { name, bytes };
}

// Decodes an uncompressed Windows BMP (1, 4, 8, 24 or 32 bits per pixel) into
// bottom-up rows of 24-bit BGR (32-bit BGRA when the source has 32 bits), rows
// padded to 4 bytes: the layout of a device-independent bitmap.
function decodeBmp(bytes) {
  if (bytes.length < 54 || bytes[0] !== 0x42 || bytes[1] !== 0x4d) throw new Error('not a BMP image');
  const dataOffset = bytes.readUInt32LE(10);
  const headerSize = bytes.readUInt32LE(14);
  const width = bytes.readInt32LE(18);
  const rawHeight = bytes.readInt32LE(22);
  const bpp = bytes.readUInt16LE(28);
  const compression = bytes.readUInt32LE(30);
  const height = Math.abs(rawHeight);
  if (compression !== 0 || ![1, 4, 8, 24, 32].includes(bpp) || width <= 0 || height === 0) {
    throw new Error(`BMP variant not supported (${bpp} bits, compression ${compression})`);
  }
  const paletteSize = bpp <= 8 ? (bytes.readUInt32LE(46) || (1 << bpp)) : 0;
  const palette = 14 + headerSize;
  const srcScan = Math.floor((width * bpp + 31) / 32) * 4;
  const outBpp = bpp === 32 ? 32 : 24;
  const outScan = Math.floor((width * outBpp + 31) / 32) * 4;
  if (dataOffset + srcScan * height > bytes.length) throw new Error('BMP pixel data truncated');
  const out = Buffer.alloc(outScan * height);
  for (let row = 0; row < height; row++) {
    // Rows are stored bottom-up unless the height is negative.
    const srcRow = dataOffset + srcScan * (rawHeight > 0 ? row : height - 1 - row);
    const dstRow = outScan * row;
    for (let x = 0; x < width; x++) {
      let b; let g; let r; let a = 255;
      if (bpp >= 24) {
        const s = srcRow + x * (bpp / 8);
        b = bytes[s]; g = bytes[s + 1]; r = bytes[s + 2]; if (bpp === 32) a = bytes[s + 3];
      } else {
        const bit = x * bpp;
        const byte = bytes[srcRow + (bit >> 3)];
        const index = (byte >> (8 - bpp - (bit & 7))) & ((1 << bpp) - 1);
        if (index >= paletteSize) throw new Error('BMP palette index out of range');
        const q = palette + 4 * index;
        b = bytes[q]; g = bytes[q + 1]; r = bytes[q + 2];
      }
      const d = dstRow + x * (outBpp / 8);
      out[d] = b; out[d + 1] = g; out[d + 2] = r; if (outBpp === 32) out[d + 3] = a;
    }
  }
  return { width, height, bitsPerPixel: outBpp, pixels: out.toString('base64') };
}

// Decodes a non-interlaced PNG (any colour type, 1 to 16 bits per sample) into the
// same bottom-up BGR(A) rows as decodeBmp.
function decodePng(bytes) {
  let p = 8;
  let ihdr = null;
  let palette = null;
  let transparency = null;
  const data = [];
  while (p + 8 <= bytes.length) {
    const length = bytes.readUInt32BE(p);
    const type = bytes.toString('latin1', p + 4, p + 8);
    const body = bytes.subarray(p + 8, p + 8 + length);
    if (body.length !== length) throw new Error('PNG chunk truncated');
    if (type === 'IHDR') ihdr = body;
    else if (type === 'PLTE') palette = body;
    else if (type === 'tRNS') transparency = body;
    else if (type === 'IDAT') data.push(body);
    else if (type === 'IEND') break;
    p += 12 + length;
  }
  if (!ihdr) throw new Error('PNG without header');
  const width = ihdr.readUInt32BE(0);
  const height = ihdr.readUInt32BE(4);
  const depth = ihdr[8];
  const colorType = ihdr[9];
  if (ihdr[12] !== 0) throw new Error('interlaced PNG not supported');
  const channels = { 0: 1, 2: 3, 3: 1, 4: 2, 6: 4 }[colorType];
  if (!channels || width === 0 || height === 0) throw new Error(`PNG colour type ${colorType} not supported`);
  const raw = zlib.inflateSync(Buffer.concat(data));
  const bitsPerPixel = channels * depth;
  const stride = Math.ceil((width * bitsPerPixel) / 8);
  const bpp = Math.max(1, bitsPerPixel >> 3);
  if (raw.length < (stride + 1) * height) throw new Error('PNG pixel data truncated');
  const rows = [];
  let prev = Buffer.alloc(stride);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    const line = Buffer.from(raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1)));
    for (let x = 0; x < stride; x++) {
      const a = x >= bpp ? line[x - bpp] : 0;
      const b = prev[x];
      const c = x >= bpp ? prev[x - bpp] : 0;
      let add = 0;
      if (filter === 1) add = a;
      else if (filter === 2) add = b;
      else if (filter === 3) add = (a + b) >> 1;
      else if (filter === 4) {
        const pa = Math.abs(b - c); const pb = Math.abs(a - c); const pc = Math.abs(a + b - 2 * c);
        add = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      } else if (filter !== 0) throw new Error(`PNG filter ${filter} not known`);
      line[x] = (line[x] + add) & 255;
    }
    rows.push(line);
    prev = line;
  }
  const sample = (line, index) => {
    if (depth === 8) return line[index];
    if (depth === 16) return line[2 * index];
    const bit = index * depth;
    return (line[bit >> 3] >> (8 - depth - (bit & 7))) & ((1 << depth) - 1);
  };
  const scale = (v) => (depth >= 8 ? v : Math.round((v * 255) / ((1 << depth) - 1)));
  const hasAlpha = colorType === 4 || colorType === 6 || transparency !== null;
  const outBpp = hasAlpha ? 32 : 24;
  const outScan = Math.floor((width * outBpp + 31) / 32) * 4;
  const out = Buffer.alloc(outScan * height);
  for (let y = 0; y < height; y++) {
    const line = rows[height - 1 - y];  // bottom row first
    for (let x = 0; x < width; x++) {
      let r; let g; let b; let alpha = 255;
      if (colorType === 3) {
        const i = sample(line, x);
        if (!palette || 3 * i + 2 >= palette.length) throw new Error('PNG palette index out of range');
        r = palette[3 * i]; g = palette[3 * i + 1]; b = palette[3 * i + 2];
        if (transparency && i < transparency.length) alpha = transparency[i];
      } else if (colorType === 0 || colorType === 4) {
        r = g = b = scale(sample(line, x * channels));
        if (colorType === 4) alpha = sample(line, x * channels + 1);
      } else {
        r = sample(line, x * channels); g = sample(line, x * channels + 1); b = sample(line, x * channels + 2);
        if (colorType === 6) alpha = sample(line, x * channels + 3);
      }
      const d = y * outScan + x * (outBpp / 8);
      out[d] = b; out[d + 1] = g; out[d + 2] = r; if (outBpp === 32) out[d + 3] = alpha;
    }
  }
  return { width, height, bitsPerPixel: outBpp, pixels: out.toString('base64') };
}

const kPngSignature = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);

function decodeImage(bytes) {
  if (bytes.length >= 8 && bytes.subarray(0, 8).equals(kPngSignature)) return decodePng(bytes);
  if (bytes.length >= 2 && bytes[0] === 0x42 && bytes[1] === 0x4d) return decodeBmp(bytes);
  throw new Error('not a BMP or PNG image');
}

function readSideTables(buf, warn) {
  const textureMappings = [];
  const bitmaps = [];
  let top;
  try {
    top = topLevelChunks(buf);
  } catch (e) {
    warn(`texture-mapping and bitmap tables not read: ${e.message}`);
    return { textureMappings, bitmaps };
  }
  for (const c of top.chunks) {
    if (c.code === kTextureMappingTable) {
      for (const rec of recordsOf(top.reader, c, kTextureMappingRecord)) {
        try { textureMappings.push(readTextureMapping(top.reader, rec)); } catch (e) {
          warn(`texture mapping record ${textureMappings.length} skipped: ${e.message}`);
        }
      }
    } else if (c.code === kBitmapTable) {
      for (const rec of recordsOf(top.reader, c, kBitmapRecord)) {
        try {
          const bmp = readEmbeddedBitmap(top.reader, rec);
          if (!bmp) { warn(`bitmap record ${bitmaps.length}: not an embedded bitmap; skipped`); continue; }
          bitmaps.push({ filePath: bmp.name, ...decodeImage(bmp.bytes) });
        } catch (e) {
          warn(`bitmap record ${bitmaps.length} skipped: ${e.message}`);
        }
      }
    }
  }
  return { textureMappings, bitmaps };
}

// ---------------------------------------------------------------------------------

function objectsJson(rh, file, warn, withGeometry) {
  const table = file.objects();
  const objects = [];
  for (let i = 0; i < table.count; i++) {
    const entry = table.get(i);
    const g = entry.geometry();
    const a = entry.attributes();
    const label = objectLabel(i, a);
    const typeValue = enumValue(g.objectType);
    let type = kObjectTypes.get(typeValue);
    if (!type) {
      warn(`${label}: object type ${typeValue} (${g.constructor.name}) unknown; written as "other"`);
      type = 'other';
    }
    const materialSource = kMaterialSources.get(enumValue(a.materialSource)) ?? 'layer';
    const mode = kModes.get(enumValue(a.mode)) ?? 'normal';
    objects.push({
      id: a.id,
      name: a.name || undefined,
      type,
      class: g.constructor.name,
      attributes: {
        layer: a.layerIndex,
        materialSource,
        materialIndex: a.materialIndex,
        visible: a.visible,
        mode,
      },
      ...geometryFields(rh, g, type, label, warn, withGeometry),
    });
  }
  return objects;
}

function baseName(path) {
  return path.split(/[\\/]/).pop().toLowerCase();
}

// A texture whose image travels in the file gets that image's id: the document finds
// embedded images of textures by id (the paths rarely agree: rhino3dm rewrites some,
// and embedded files keep the path of the machine they came from).
function linkEmbeddedImages(materials, bitmaps) {
  for (const m of materials) {
    for (const t of m.textures ?? []) {
      if (!t.filePath) continue;
      const matches = bitmaps.filter((b) => baseName(b.filePath) === baseName(t.filePath));
      if (matches.length === 1) t.id = matches[0].id;
    }
  }
}

function firstPerspective(views) {
  const i = views.findIndex((v) => v.projection === 'perspective');
  return views.length === 0 ? undefined : Math.max(i, 0);
}

// options.binary: numeric arrays go to a binary companion (the document's "binary"
// member then says so; main writes it beside the text). options.geometry: exact
// geometry of breps and extrusions even where cached render meshes are complete.
export async function convert(inputPath, options = {}) {
  channel = options.binary ? new BinaryChannel() : null;
  const warnings = [];
  const warn = (text) => warnings.push(text);
  const buf = fs.readFileSync(inputPath);
  const rh = await rhino3dm();
  const file = rh.File3dm.fromByteArray(new Uint8Array(buf));
  if (!file) throw new Error('not a readable .3dm file');

  const side = readSideTables(buf, warn);
  // rhino3dm makes up new ids for the bitmap table on every read; ids derived from
  // the paths keep the output the same from run to run.
  side.bitmaps.forEach((b, i) => { b.id = idFromText(`${i}:${b.filePath}`); });
  const bitmaps = [...side.bitmaps, ...embeddedImages(file, warn)];
  const materials = [];
  const materialTable = file.materials();
  for (let i = 0; i < materialTable.count; i++) materials.push(materialJson(materialTable.get(i)));
  linkEmbeddedImages(materials, bitmaps);
  const views = viewsJson(file);
  const doc = {
    format: kFormat,
    version: kVersion,
    source: {
      file: path.basename(inputPath),
      application: file.applicationName || undefined,
      archiveVersion: file.archiveVersion,
    },
    units: unitsJson(file.settings(), warn),
    layers: layersJson(file),
    materials,
    renderContents: renderContentsJson(file),
    textureMappings: side.textureMappings,
    bitmaps,
    instanceDefinitions: instanceDefinitionsJson(file),
    objects: objectsJson(rh, file, warn, Boolean(options.geometry)),
    views,
    activeView: firstPerspective(views),
  };
  const textured = materials.some((m) => (m.textures ?? []).some((t) => t.filePath));
  if (textured || side.textureMappings.length > 0) {
    warn('mapping channels of textures and objects cannot be read: textures keep the default channel 1 ' +
      'and objects have no mappings, so the meshes\' own texture coordinates are used');
  }
  doc.warnings = warnings;
  if (channel) {
    doc.binary = { bytes: channel.size };
    Object.defineProperty(doc, 'binaryData', { value: channel.bytes(), enumerable: false });
    channel = null;
  }
  return doc;
}

const kUsage = 'usage: 3dm-to-json.mjs [--binary] [--geometry] <in.3dm> [out.json]\n' +
  '  --binary    numeric arrays into <out.json>.bin (little-endian, see docs/document-format.md)\n' +
  '  --geometry  exact brep and extrusion geometry even where cached render meshes exist\n';

async function main(argv) {
  const options = { binary: false, geometry: false };
  const args = [];
  for (const a of argv) {
    if (a === '--binary') options.binary = true;
    else if (a === '--geometry') options.geometry = true;
    else if (a.startsWith('-')) { process.stderr.write(kUsage); return 2; }
    else args.push(a);
  }
  if (args.length < 1 || args.length > 2 || (options.binary && args.length < 2)) {
    process.stderr.write(kUsage);
    return 2;
  }
  const [input, output] = args;
  const name = path.basename(input);
  let doc;
  try {
    doc = await convert(input, options);
  } catch (e) {
    process.stderr.write(`3dm-to-json: ${name}: ${e.code === 'ENOENT' ? 'file not found' : e.message}\n`);
    return 1;
  }
  for (const w of doc.warnings) process.stderr.write(`3dm-to-json: ${name}: ${w}\n`);
  const text = serialize(doc) + '\n';
  try {
    // The companion first: a reader that finds the text finds its arrays.
    if (doc.binaryData) fs.writeFileSync(`${output}.bin`, doc.binaryData);
    if (output) fs.writeFileSync(output, text);
    else process.stdout.write(text);
  } catch (e) {
    process.stderr.write(`3dm-to-json: ${output}: cannot write: ${e.message}\n`);
    return 1;
  }
  return 0;
}

if (import.meta.url === `file://${fs.realpathSync(process.argv[1])}`) {
  process.exitCode = await main(process.argv.slice(2));
}
