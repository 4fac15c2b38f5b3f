// The npm package yencode as the peer of bench/yenc/run. Prints "seconds cpu-seconds".
//
//   node peer.js encode FILE PARTSIZE   file in parts, with CRC-32, to /dev/null
//   node peer.js decode FILE            a single-part post, CRC-32 checked, to /dev/null
//   node peer.js memory FILE RUNS       encode of the file's bytes in memory: lines alone and
//                                       with the CRC-32, median GB/s of RUNS each, elapsed
//                                       and CPU
'use strict';
const fs = require('fs');
const path = require('path');
const y = require('yencode');

const [mode, file, arg] = process.argv.slice(2);
const started = process.hrtime.bigint();
const cpu = process.cpuUsage();
const report = () => {
    const used = process.cpuUsage(cpu);
    const seconds = Number(process.hrtime.bigint() - started) / 1e9;
    console.log(`${seconds.toFixed(3)} ${((used.user + used.system) / 1e6).toFixed(3)}`);
};

function encode(partSize) {
    const size = fs.statSync(file).size;
    const parts = Math.max(1, Math.ceil(size / partSize));
    const encoder = y.multi_post(path.basename(file), size, parts);
    const input = fs.openSync(file, 'r');
    const output = fs.openSync('/dev/null', 'w');
    const block = Buffer.allocUnsafe(partSize);
    for (let k = 0; k < parts; k++) {
        const got = fs.readSync(input, block, 0, partSize, null);
        fs.writeSync(output, encoder.encode(block.subarray(0, got)));
    }
    report();
}

function decode() {
    const input = fs.openSync(file, 'r');
    const output = fs.openSync('/dev/null', 'w');
    const block = Buffer.allocUnsafe(1 << 20);
    const decoded = Buffer.allocUnsafe(1 << 20);
    let got = fs.readSync(input, block, 0, block.length, null);
    let start = block.indexOf('\n') + 1; // after the =ybegin line
    let state = null, crc = undefined, rest = Buffer.alloc(0);
    for (;;) {
        const r = y.decodeChunk(block.subarray(start, got), state, decoded);
        const bytes = r.output.subarray(0, r.written);
        crc = crc ? y.crc32(bytes, crc) : y.crc32(bytes);
        fs.writeSync(output, bytes);
        state = r.state;
        if (r.ended) {
            rest = block.subarray(start + r.read, got);
            break;
        }
        got = fs.readSync(input, block, 0, block.length, null);
        start = 0;
        if (got === 0)
            throw new Error('no =yend line');
    }
    // The =yend line may go on in the next block.
    const more = Buffer.allocUnsafe(4096);
    const tail = Buffer.concat([rest, more.subarray(0, fs.readSync(input, more, 0, 4096, null))])
        .toString('latin1');
    const given = /crc32=([0-9a-fA-F]{8})/.exec(tail);
    if (!given || given[1].toLowerCase() !== crc.toString('hex'))
        throw new Error('CRC-32 mismatch');
    report();
}

function memory(runs) {
    const data = fs.readFileSync(file);
    const out = Buffer.allocUnsafe(y.maxSize(data.length));
    const median = (values) => values.sort((a, b) => a - b)[Math.floor(values.length / 2)];
    // Elapsed and CPU rates in GB/s; the CPU one holds up better on a busy machine.
    const rate = (work) => {
        const wall = [], cpu = [];
        for (let i = 0; i < runs; i++) {
            const t = process.hrtime.bigint();
            const c = process.cpuUsage();
            work();
            const used = process.cpuUsage(c);
            wall.push(data.length / Number(process.hrtime.bigint() - t));
            cpu.push(data.length / ((used.user + used.system) * 1000));
        }
        return `${median(wall).toFixed(2)} ${median(cpu).toFixed(2)}`;
    };
    y.encodeTo(data, out); // warm up (pages of the output)
    console.log(`${rate(() => y.encodeTo(data, out))} ${rate(() => { y.encodeTo(data, out); y.crc32(data); })}`);
}

if (mode === 'encode')
    encode(Number(arg));
else if (mode === 'decode')
    decode();
else
    memory(Number(arg) || 5);
