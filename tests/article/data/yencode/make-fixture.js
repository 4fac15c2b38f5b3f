#!/usr/bin/env node
// Writes yEnc posts made by the npm package "yencode" (an independent SIMD encoder) for
// tst_yenc, with the CRC-32 values it computes, into this folder. Run once and commit:
//
//   npm install --prefix /tmp/yencode-peer yencode
//   (npm 11: cd /tmp/yencode-peer && npm install-scripts approve yencode && npm rebuild yencode,
//   since its native module is built by an install script)
//   NODE_PATH=/tmp/yencode-peer/node_modules node tests/article/data/yencode/make-fixture.js
//
// The data come from a small generator that tst_yenc repeats, so the fixture holds only the
// encodings: xorshift32 (shifts 13, 17, 5) from the seed, one byte (the low 8 bits) per step.
'use strict';
const fs = require('fs');
const path = require('path');
const yencode = require('yencode');

// kind "random": the low byte; "edge": mostly bytes that need escaping after the shift of 42
// (NUL, LF, CR, "=", ".", TAB, space), else the low byte; "all": 0..255 repeated.
const Edge = [0xD6, 0xE0, 0xE3, 0x13, 0x04, 0xDF, 0xF6];
function generate(kind, size, seed) {
    const data = Buffer.alloc(size);
    let x = seed >>> 0;
    for (let i = 0; i < size; i++) {
        x ^= x << 13; x >>>= 0;
        x ^= x >>> 17;
        x ^= x << 5; x >>>= 0;
        if (kind === 'all')
            data[i] = i & 0xFF;
        else if (kind === 'edge' && ((x >>> 8) % 10) < 7)
            data[i] = Edge[(x >>> 16) % 7];
        else
            data[i] = x & 0xFF;
    }
    return data;
}

// name, kind, size, seed, part size (0: one piece)
const files = [
    ['random.bin', 'random', 70000, 20261207, 0],
    ['all256.bin', 'all', 4096, 1, 0],
    ['edge mix.bin', 'edge', 30000, 42, 10000],
    ['random parts.bin', 'random', 50001, 7, 16384],
];

const dir = __dirname;
const version = require('yencode/package.json').version;
const manifest = [`# made by yencode ${version}`, '# name|kind|size|seed|part size|parts|crc32 (yencode)'];
for (const [name, kind, size, seed, partSize] of files) {
    const data = generate(kind, size, seed);
    const base = name.replace(/ /g, '_');
    const total = partSize ? Math.ceil(size / partSize) : 1;
    const encoder = yencode.multi_post(name, size, total);
    for (let k = 0; k < total; k++) {
        const piece = partSize ? data.subarray(k * partSize, Math.min(size, (k + 1) * partSize)) : data;
        fs.writeFileSync(path.join(dir, `${base}.${k + 1}.yenc`), encoder.encode(piece));
    }
    manifest.push([name, kind, size, seed, partSize || size, total, yencode.crc32(data).toString('hex')].join('|'));
}
fs.writeFileSync(path.join(dir, 'manifest.txt'), manifest.join('\n') + '\n');
