// Uses the web edition as a user does, in headless Chromium from file://:
// uploads the sample, converts it with each template and with a template
// of the user's own, and compares each document the download link offers,
// its name and the messages with what the native program writes for the
// same command line. A schedule without its byte-order mark must give the
// fatal line and no download, and no request may leave file:, data: and
// blob:.
// Usage: node web_test.js PAGE NATIVE_PROGRAM SOURCE_DIR
'use strict';
const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const [html, native, source] = process.argv.slice(2).map((arg) => path.resolve(arg));
const modules = path.join(source, 'web/node_modules/puppeteer-core');
if (!fs.existsSync(modules)) console.log('skipped: no puppeteer-core (npm ci in web/)') || process.exit(77);
const puppeteer = require(modules);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'lyricrtf-web-'));
fs.copyFileSync(path.join(source, 'examples/sunday.txt'), path.join(work, 'sunday.txt'));
fs.writeFileSync(path.join(work, 'nomark.txt'), 'Schedule Detail\n');
const fail = (message) => { throw new Error(message); };

// The page's conversion: the outcome, the messages, and the download's
// name and bytes, or null.
async function convert(page, schedule, template, own) {
  await page.$eval('#outcome', (e) => { e.textContent = ''; });
  await (await page.$('#schedule')).uploadFile(path.join(work, schedule));
  if (own) await (await page.$('#own-template')).uploadFile(own);
  else await page.select('#template', template);
  await page.click('#convert');
  await page.waitForFunction(() => document.getElementById('outcome').textContent !== '');
  return page.evaluate(async () => {
    const link = document.getElementById('download');
    const bytes = link.hidden ? null : new Uint8Array(await (await fetch(link.href)).arrayBuffer());
    return { outcome: document.getElementById('outcome').textContent, name: link.hidden ? null : link.download,
             messages: document.getElementById('messages').textContent, bytes: bytes && Array.from(bytes) };
  });
}

(async () => {
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true, userDataDir: path.join(work, 'profile'),
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-sync',
           '--disable-background-networking', '--disable-component-update'],
  });
  try {
    const page = await browser.newPage();
    const requests = [];
    page.on('request', (request) => requests.push(request.url()));
    await page.goto('file://' + html);
    await page.waitForFunction(() => /Pick a schedule/.test(document.getElementById('status').textContent));
    const gallery = (name) => path.join(source, name === 'lyricrtf7' ? 'data' : 'data/templates', name + '.dat');
    for (const name of ['lyricrtf7', 'booklet', 'large-print', 'slides', 'web', 'own']) {
      const template = gallery(name === 'own' ? 'lyricrtf7' : name);
      const output = name === 'web' ? 'sunday.html' : 'sunday.rtf';
      const shown = await convert(page, 'sunday.txt', name, name === 'own' ? template : null);
      const run = spawnSync(native, ['-c', template, '-o', output, 'sunday.txt'], { cwd: work });
      if (shown.name !== output) fail(`${name}: the download is ${shown.name}, not ${output}`);
      if (!fs.readFileSync(path.join(work, output)).equals(Buffer.from(shown.bytes))) fail(`${name}: the document differs`);
      if (shown.messages + '\n' !== run.stderr.toString()) fail(`${name}: the messages differ:\n${shown.messages}`);
      if (!shown.outcome.startsWith('Done')) fail(`${name}: ${shown.outcome}`);
      if (name === 'web') {
        // The preview navigates to its blob after the outcome shows: read it
        // once that document has loaded, not the blank one before it.
        const frame = await page.waitForFrame((f) => f.url().startsWith('blob:'));
        const first = await (await frame.waitForSelector('h2')).evaluate((e) => e.textContent);
        if (first !== 'Amazing Grace') fail(`the preview shows "${first}" first`);
      }
      console.log(`${name}: ${output} as the native program writes it`);
    }
    await page.click('#forget-own');
    const shown = await convert(page, 'nomark.txt', 'lyricrtf7', null);
    if (!shown.messages.startsWith('Fatal: Unicode identifier missing\nFatal: ')) fail(`no mark: ${shown.messages}`);
    if (shown.name !== null || !shown.outcome.startsWith('Stopped')) fail(`no mark: ${shown.outcome}, ${shown.name}`);
    const away = requests.filter((url) => !/^(file|data|blob):/.test(url));
    if (away.length) fail('requests that leave the page: ' + away.join(' '));
    console.log(`no mark: the fatal line, no download; ${requests.length} requests, all file:, data: or blob:`);
  } finally {
    await browser.close();
    fs.rmSync(work, { recursive: true, force: true });
  }
})().catch((error) => {
  console.error('web_test:', error.message);
  process.exit(1);
});
