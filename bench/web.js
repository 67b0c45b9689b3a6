// Measures the web edition against the native program on the same report:
// the page's time to be ready after it is opened, and a conversion with
// the default and the web template, as the page reports it (from Convert
// to the download ready) and as a stopwatch outside the page sees it; the
// native program's time, start-up included, writing the same document
// into a file. Medians.
// Usage: node bench/web.js PAGE NATIVE_PROGRAM REPORT [RUNS]
// (bench/web.sh builds both and makes the report.)
'use strict';
const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const [html, native, report] = process.argv.slice(2, 5).map((arg) => path.resolve(arg));
const runs = Number(process.argv[5] || 7);
const puppeteer = require(require.resolve('puppeteer-core', { paths: [path.join(__dirname, '../web')] }));
const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];
const templates = path.dirname(native);

// The native program writes its document into a file, as a user has it.
const written = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'lyricrtf-bench-')), 'document');

function nativeSeconds(template) {
  const times = [];
  for (let i = 0; i < runs; i++) {
    const started = process.hrtime.bigint();
    const run = spawnSync(native, ['-c', template, '-o', written, report], { stdio: ['ignore', 'ignore', 'ignore'] });
    if (run.status !== 0) throw new Error('native: exit ' + run.status);
    times.push(Number(process.hrtime.bigint() - started) / 1e9);
  }
  return median(times);
}

(async () => {
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true, userDataDir: fs.mkdtempSync(path.join(os.tmpdir(), 'lyricrtf-bench-')),
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking', '--disable-component-update'],
  });
  const page = await browser.newPage();
  const ready = [];
  for (let i = 0; i < runs; i++) {
    await page.goto('about:blank');
    const started = Date.now();
    await page.goto('file://' + html);
    await page.waitForFunction(() => /Pick a schedule/.test(document.getElementById('status').textContent), { polling: 'mutation' });
    ready.push((Date.now() - started) / 1000);
  }
  await (await page.$('#schedule')).uploadFile(report);
  const results = {};
  for (const name of ['lyricrtf7', 'web']) {
    await page.select('#template', name);
    const reported = [], seen = [];
    for (let i = 0; i < runs; i++) {
      await page.waitForFunction(() => !document.getElementById('convert').disabled);
      const started = Date.now();
      await page.click('#convert');
      await page.waitForFunction(() => !/^Converting/.test(document.getElementById('outcome').textContent), { polling: 'mutation', timeout: 120000 });
      seen.push((Date.now() - started) / 1000);
      const outcome = await page.$eval('#outcome', (e) => e.textContent);
      const took = /It took ([\d.]+) (ms|s)/.exec(outcome);
      if (!took) throw new Error(name + ': ' + outcome);
      reported.push(Number(took[1]) / (took[2] === 'ms' ? 1000 : 1));
    }
    const template = path.join(templates, name === 'lyricrtf7' ? 'lyricrtf7.dat' : 'templates/web.dat');
    results[name] = { page: median(reported), seen: median(seen), native: nativeSeconds(template) };
  }
  await browser.close();
  console.log(`report: ${(fs.statSync(report).size / 1e6).toFixed(1)} MB, ${runs} runs each, medians`);
  console.log(`page ready after opening: ${median(ready).toFixed(3)} s`);
  for (const [name, r] of Object.entries(results))
    console.log(`${name.padEnd(10)} page ${r.page.toFixed(3)} s (stopwatch ${r.seen.toFixed(3)} s)  native ${r.native.toFixed(3)} s  ratio ${(r.page / r.native).toFixed(2)}`);
})().catch((error) => {
  console.error('bench/web.js:', error.message);
  process.exit(1);
});
