// Summarises what velora-peer received, for scripts/demo.sh.
//
//   node scripts/demo-report.mjs PEER_LOG BUFFERS_LOG
//
// PEER_LOG holds the peer's --dump output (the last channel summary counts);
// BUFFERS_LOG its READ-BUFFER lines for the geometry buffers, whose first words are
// the vertex and index counts (docs/scene.md).
import { readFileSync } from 'node:fs';

const [peerLog, buffersLog] = process.argv.slice(2);
const summaries = readFileSync(peerLog, 'utf8').split('\n').filter((l) => l.startsWith('{'));
if (summaries.length === 0) {
  console.log('The peer printed no channel summary.');
  process.exit(1);
}
const channel = JSON.parse(summaries[summaries.length - 1]);

const heads = new Map();
for (const line of readFileSync(buffersLog, 'utf8').split('\n')) {
  const m = /^READ-BUFFER id=0x([0-9A-F]+) size=(\d+) fnv=\S+ head=([0-9a-f]*)/.exec(line);
  if (m) heads.set(parseInt(m[1], 16), m[3]);
}
const word = (hex, i) => (hex.length >= 8 * (i + 1) ? Buffer.from(hex.slice(8 * i, 8 * i + 8), 'hex').readUInt32LE(0) : 0);

const materials = channel.records.filter((r) => r.tag === 'SRFC');
console.log(`Connection: ${channel.connection}`);
console.log(`Materials: ${materials.length} records`);
let total = 0;
for (const r of materials) {
  const buffer = r.srfc.geometryBuffer;
  if (buffer === 0) {
    console.log(`  record ${r.id}: no geometry`);
    continue;
  }
  const head = heads.get(buffer);
  if (head === undefined) {
    console.log(`  record ${r.id}: buffer ${buffer} not read`);
    continue;
  }
  const triangles = Math.floor(word(head, 1) / 3);
  total += triangles;
  console.log(`  record ${r.id}: ${triangles} triangles, ${word(head, 0)} vertices (buffer ${buffer}, ${r.srfc.geometryBufferSize} bytes)`);
}
console.log(`Triangles: ${total}`);

const view = channel.records.find((r) => r.tag === 'VIEW');
if (view) {
  const v = view.view;
  const zero = v.position.every((x) => x === 0) && v.direction.every((x) => x === 0);
  console.log(zero ? 'Camera: none sent (the VIEW record is empty)'
                   : `Camera: position ${v.position.join(', ')}; direction ${v.direction.join(', ')}; up ${v.up.join(', ')}; field of view ${v.fieldOfView}`);
}

const stat = channel.records.find((r) => r.tag === 'STAT');
if (stat && stat.stat.text) {
  console.log('Statistics:');
  for (const [key, value] of Object.entries(JSON.parse(stat.stat.text)))
    console.log(`  ${key}: ${decodeURIComponent(value)}`);
}
