// Runs a story script (resources/samples/showroom-story.txt) step by step: vantro-host
// with the plug-in edits the document while velora-peer pictures what it receives,
// and after each step the last picture is the one that shows the step. Ends with the
// list of those pictures. For scripts/demo.sh.
//
//   node scripts/demo-story.mjs --host H --plugin M --peer P --document DOC
//        --story FILE --pictures DIR [--size WxH] [--settle MS] [--pids FILE]
//
// --pids FILE receives the process ids of the host and the peer it starts, one a line,
// so that the caller can tell their shared memory from anyone else's.
//
// A step is done when the host has run its lines and the peer, having written at
// least one picture since, has been quiet for --settle ms (default 400). The host
// follows its document's file (--watch): a story line "#! Move <object> <x,y,z>" is
// another program saving the document with that object moved
// (tools/move-object.mjs), and the step waits for the host to apply that save.
// Exit status: 0 when every step got its picture and both programs ended cleanly.
import { spawn, execFileSync } from 'node:child_process';
import { appendFileSync, readFileSync } from 'node:fs';
import path from 'node:path';

const kStepTimeoutMs = 20000;

function parseArgs(argv) {
  const args = { size: '640x360', settle: 400 };
  for (let i = 0; i < argv.length; i += 2) {
    const key = argv[i].replace(/^--/, '');
    if (!(key in { host: 1, plugin: 1, peer: 1, document: 1, story: 1, pictures: 1, size: 1, settle: 1, pids: 1 }) || i + 1 >= argv.length)
      throw new Error(`unknown or incomplete option ${argv[i]}`);
    args[key] = argv[i + 1];
  }
  for (const key of ['host', 'plugin', 'peer', 'document', 'story', 'pictures'])
    if (!args[key]) throw new Error(`--${key} is missing`);
  args.settle = Number(args.settle);
  return args;
}

// Steps of a story: a "## " line opens one; a "#! " line is a save by another program
// (kept in the step's saves); other comments and blank lines are dropped.
export function parseStory(text) {
  const steps = [];
  for (const raw of text.split('\n')) {
    const line = raw.trim();
    if (line.startsWith('##')) steps.push({ title: line.replace(/^#+\s*/, ''), lines: [], saves: [] });
    else if (line.startsWith('#!') && steps.length > 0) steps[steps.length - 1].saves.push(line.slice(2).trim());
    else if (line === '' || line.startsWith('#')) continue;
    else if (steps.length === 0) throw new Error(`command before the first step: ${line}`);
    else steps[steps.length - 1].lines.push(line);
  }
  return steps;
}

// Collects a child's standard output as lines, with the time of the last one.
class Output {
  constructor(stream) {
    this.lines = [];
    this.lastAt = Date.now();
    this.waiters = [];
    let pending = '';
    stream.setEncoding('utf8');
    stream.on('data', (chunk) => {
      pending += chunk;
      const parts = pending.split('\n');
      pending = parts.pop();
      for (const line of parts) this.lines.push(line);
      this.lastAt = Date.now();
      this.waiters.forEach((w) => w());
    });
  }

  // Resolves with the index of the first line from `from` that matches, or -1 on timeout.
  waitFor(pattern, from = 0, timeoutMs = kStepTimeoutMs) {
    return new Promise((resolve) => {
      const look = () => {
        const at = this.lines.findIndex((l, i) => i >= from && pattern.test(l));
        if (at < 0) return false;
        done(at);
        return true;
      };
      const timer = setTimeout(() => done(-1), timeoutMs);
      const waiter = () => look();
      const done = (at) => {
        clearTimeout(timer);
        this.waiters = this.waiters.filter((w) => w !== waiter);
        resolve(at);
      };
      this.waiters.push(waiter);
      look();
    });
  }
}

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// Another program's save: "Move <object> <x,y,z>" rewrites the document with the
// object moved, renamed into place as programs save.
function saveElsewhere(save, document) {
  const m = /^Move\s+("([^"]+)"|\S+)\s+(\S+)$/.exec(save);
  if (!m) throw new Error(`cannot play the save "${save}"`);
  const tool = path.join(path.dirname(new URL(import.meta.url).pathname), '..', 'tools', 'move-object.mjs');
  execFileSync('node', [tool, document, document, '--name', m[2] ?? m[1], '--by', m[3]], { stdio: 'ignore' });
}

// Waits until the peer has written a picture since line `from` and then said nothing
// for settleMs; returns the step's last PICTURE and MIRROR lines (null when none came).
async function settle(peer, from, settleMs) {
  const start = Date.now();
  while (Date.now() - start < kStepTimeoutMs) {
    const lines = peer.lines.slice(from);
    const picture = lines.findLast((l) => l.startsWith('PICTURE '));
    if (picture && Date.now() - peer.lastAt >= settleMs)
      return { picture, mirror: lines.findLast((l) => l.startsWith('MIRROR ')) ?? null };
    await sleep(50);
  }
  return { picture: null, mirror: null };
}

function exited(child) {
  return new Promise((resolve) => {
    if (child.exitCode !== null || child.signalCode !== null) resolve(child.exitCode ?? 128);
    else child.on('exit', (code, signal) => resolve(code ?? (signal ? 128 : 1)));
  });
}

// "MIRROR materials=6 textured=1 triangles=262 ..." -> "6 materials, 262 triangles".
function mirrorSummary(mirror) {
  const m = /materials=(\d+) .*triangles=(\d+) camera=(\S+)/.exec(mirror ?? '');
  return m ? `${m[1]} materials, ${m[2]} triangles, camera ${m[3]}` : 'no mirror update';
}

async function main() {
  const args = parseArgs(process.argv.slice(2));
  const steps = parseStory(readFileSync(args.story, 'utf8'));
  const peerChild = spawn(args.peer, ['--listen', '-1', '--preview', args.pictures, '--size', args.size],
                          { stdio: ['ignore', 'pipe', 'inherit'] });
  const peer = new Output(peerChild.stdout);
  if (args.pids) appendFileSync(args.pids, `${peerChild.pid}\n`);
  if ((await peer.waitFor(/^READY /)) < 0) throw new Error('velora-peer did not start');

  const hostChild = spawn(args.host, [args.document, '--watch', '--plugin', args.plugin],
                          { stdio: ['pipe', 'pipe', 'inherit'] });
  const host = new Output(hostChild.stdout);
  if (args.pids) appendFileSync(args.pids, `${hostChild.pid}\n`);
  const shown = [];
  let failed = false;
  for (const [n, step] of steps.entries()) {
    console.log(`-- step ${n + 1}: ${step.title}`);
    const hostFrom = host.lines.length, peerFrom = peer.lines.length;
    const marker = `step ${n + 1} sent`;
    let applied = hostFrom;
    for (const save of step.saves) {
      console.log(`   another program saves: ${save}`);
      saveElsewhere(save, args.document);
      applied = await host.waitFor(/^Applied the save of /, applied);
      if (applied < 0) break;
      ++applied;
    }
    if (applied < 0) {
      console.log('   vantro-host did not apply the save');
      failed = true;
      break;
    }
    hostChild.stdin.write(step.lines.join('\n') + `\nPrint ${marker}\n`);
    if ((await host.waitFor(new RegExp(`^${marker}$`), hostFrom)) < 0) {
      console.log('   vantro-host did not finish the step');
      failed = true;
      break;
    }
    for (const line of host.lines.slice(hostFrom)) {
      if (line !== marker) console.log(`   host: ${line}`);
    }
    const { picture, mirror } = await settle(peer, peerFrom, args.settle);
    if (!picture) {
      console.log('   velora-peer wrote no picture for this step');
      failed = true;
      continue;
    }
    console.log(`   peer: ${mirrorSummary(mirror)}`);
    shown.push({ n: n + 1, title: step.title, file: /file=(\S+)/.exec(picture)[1] });
  }

  // The peer lets go of the link's memory only once it sees the link gone.
  const peerEnd = peer.lines.length;
  hostChild.stdin.end('Vantro Stop\nQuit\n');
  const hostStatus = await exited(hostChild);
  await peer.waitFor(/^RELEASED /, peerEnd, 5000);
  peerChild.kill('SIGTERM');
  await exited(peerChild);
  if (hostStatus !== 0) {
    console.log(`vantro-host ended with status ${hostStatus}`);
    failed = true;
  }

  console.log();
  console.log(`The pictures velora-peer wrote, one per step (in ${path.resolve(args.pictures)}):`);
  for (const s of shown) console.log(`  ${path.basename(s.file)}  ${s.n}. ${s.title}`);
  process.exit(failed || shown.length !== steps.length ? 1 : 0);
}

if (import.meta.url === `file://${process.argv[1]}`) {
  main().catch((e) => {
    console.error(`demo-story: ${e.message}`);
    process.exit(1);
  });
}
