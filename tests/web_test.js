// Uses the web edition as a user does, in headless Chromium from file://,
// and compares what it offers with what the native program writes for the
// same command line:
// - the sample with each template, on both papers where there are two
//   (the song list too), with templates of the user's own (one that
//   declares %#text is named NAME-lyrics.txt, not the schedule's own name),
//   and under names that a command line would take for an option or refuse
//   for their length;
// - the deepest nesting of expansions, within the page's stack;
// - schedules without their byte-order mark: the program's fatal lines, a
//   remedy, no download; UTF-16 and UTF-8 without the mark converted
//   anyway, byte for byte as the correctly saved file; the remedy and its
//   button gone once another schedule is picked, even while it loads;
// - a template that writes without end: Stop ends it within a second, the
//   page's limit ends it by itself, and the page converts again after both;
// - titles in Messages while a large report still converts, and while a
//   song's template runs without end;
// - the outcome announced, focused and in view with its download at
//   1280 x 900; the picture and the paper following the template in use;
//   the template list readable at 360 px; the preview printed with one
//   button;
// - no request leaves file:, data: and blob:, and the page throws nothing.
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
const file = (name) => path.join(work, name);
const sample = fs.readFileSync(path.join(source, 'examples/sunday.txt'));
const fail = (message) => { throw new Error(message); };
const nativeTemplate = (name) => path.join(path.dirname(native), name === 'lyricrtf7' ? '' : 'templates', name + '.dat');

fs.writeFileSync(file('sunday.txt'), sample);
fs.writeFileSync(file('nomark.txt'), sample.subarray(3));
// Saved as "Unicode" by Notepad: UTF-16 little-endian with its mark; and
// big-endian without a mark, with a character beyond U+FFFF (a pair of
// UTF-16 codes) in a title, as the file it should have been is saved.
fs.writeFileSync(file('u16.txt'), Buffer.concat([Buffer.from([0xFF, 0xFE]), Buffer.from(sample.subarray(3).toString('utf8'), 'utf16le')]));
const notes = sample.toString('utf8').replace('Amazing Grace\n', 'Amazing Grace \u{1F3B5}\n');
fs.writeFileSync(file('notes.txt'), notes);
fs.writeFileSync(file('u16be.txt'), Buffer.from(notes.slice(1), 'utf16le').swap16());
fs.writeFileSync(file('text.dat'), '%#text\n%Schedule\n%C\n%\\\n%Song\n%T\n%\\\n');
// Names a command line would misread: an option, and one too long for it.
const longName =
    'Sunday service at St Mary and St John with the choir, the band and the whole parish family, '
        .repeat(2)
        .slice(0, 126) +
    '.txt';
fs.writeFileSync(file('-dash.txt'), sample);
fs.writeFileSync(file(longName), sample);
// The deepest nesting: each record's N line walks a song loop, then N,
// which by then holds the next record's.
fs.writeFileSync(
    file('chain.txt'),
    '\uFEFF' +
        'Schedule Detail\nfor B.sch\nT\n      \nA\nc\nx%C%N\n\n'.repeat(1100));
fs.writeFileSync(file('chain.dat'), '%Schedule\n%C%N\n%\\\n');
// The second song's number runs a slot that expands without end: its
// title must show meanwhile.
fs.writeFileSync(
    file('slow.txt'),
    '\uFEFF' +
        ['First', 'Second']
            .map(
                (title, i) => `Schedule Detail\nfor S.sch\n${title}\nVerse 1\nx\n      \nA\nc\n${
                    i ? '%a' : '1'}\n`)
            .join(''));
// Templates that write without end: nine levels of ten references, to ten
// bytes each (10^9 bytes, fast), or to one byte after ten empty slots (as
// many bytes, ten times as slow).
// Slots that no song record writes (c is the copyright line's).
function nested(
    leaf,
    schedule = '%#text\n%Schedule\n' +
        '%a'.repeat(10) + '\n%\\\n') {
  let text = schedule;
  for (const [slot, next] of [
           ['a', 'b'], ['b', 'd'], ['d', 'e'], ['e', 'f'], ['f', 'g'], ['g', 'h'], ['h', 'i']])
    text += `%${slot}\n${('%' + next).repeat(10)}\n%\\\n`;
  return text + `%i\n${leaf.repeat(10)}\n%\\\n`;
}
fs.writeFileSync(file('runaway.dat'), nested('xxxxxxxxxx'));
fs.writeFileSync(file('endless.dat'), nested('%j%j%j%j%j%j%j%j%j%jx'));
fs.writeFileSync(
    file('slow.dat'), nested('%j%j%j%j%j%j%j%j%j%jx', '%Schedule\n%C\n%\\\n%Song\n%T %N\n%\\\n'));
// A large report: the sample's records many times over.
const records = sample.subarray(3);
fs.writeFileSync(file('large.txt'), Buffer.concat([sample.subarray(0, 3), ...Array(6000).fill(records)]));

// Native: the document and the error stream.
function nativeRun(args) {
  const run = spawnSync(native, args, { cwd: work });
  return { code: run.status, stderr: run.stderr.toString() };
}

async function outcome(page) {
  await page.waitForFunction(() => !/^Converting/.test(document.getElementById('outcome').textContent), { timeout: 60000 });
  return page.evaluate(async () => {
    const link = document.getElementById('download');
    const bytes = link.hidden ? null : new Uint8Array(await (await fetch(link.href)).arrayBuffer());
    return { outcome: document.getElementById('outcome').textContent, name: link.hidden ? null : link.download,
             messages: document.getElementById('messages').textContent, bytes: bytes && Array.from(bytes),
             remedy: document.getElementById('remedy').hidden ? null : document.getElementById('remedy-text').textContent,
             anyway: !document.getElementById('convert-anyway').hidden };
  });
}

async function whenReady(page) {
  await page.waitForFunction(() => !document.getElementById('convert').disabled, { timeout: 30000 });
}

// Picks a schedule and waits until the page has read it.
async function pick(page, schedule) {
  await (await page.$('#schedule')).uploadFile(file(schedule));
  await page.waitForFunction(
      (name) => document.getElementById('status').textContent === `Ready to convert ${name}.`,
      {timeout: 30000}, path.basename(schedule));
}

// Picks a schedule and a template (a gallery name and paper, or a file of
// one's own) and converts.
async function convert(page, schedule, {template = 'lyricrtf7', paper = '', own = null} = {}) {
  if (own) {
    await (await page.$('#own-template')).uploadFile(own);
  } else {
    if (await page.$eval('#forget-own', (e) => !e.hidden)) await page.click('#forget-own');
    await page.select('#template', template);
    if (paper !== null) await page.select('#paper', paper);
  }
  await pick(page, schedule);
  await page.click('#convert');
  return outcome(page);
}

// The messages are compared whole, or as the page shows the last lines of
// many: their end.
function sameAsNative(what, shown, output, args) {
  const run = nativeRun(args);
  if (shown.name !== output)
    fail(`${what}: the download is ${shown.name}, not ${output}: ${shown.outcome}`);
  if (!fs.readFileSync(file(output)).equals(Buffer.from(shown.bytes))) fail(`${what}: the document differs`);
  const messages = shown.messages.replace(/^\(\d+ earlier lines are not shown\)\n/, '');
  if (messages !== shown.messages ? !run.stderr.endsWith('\n' + messages + '\n') :
                                    messages + '\n' !== run.stderr)
    fail(`${what}: the messages differ:\n${shown.messages}`);
  if (!shown.outcome.startsWith('Done')) fail(`${what}: ${shown.outcome}`);
  console.log(`${what}: ${output} as the native program writes it`);
}

const shownOf = (page, selector) =>
    page.$eval(selector, (e) => !e.hidden && e.getClientRects().length > 0);

(async () => {
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true, userDataDir: file('profile'),
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-sync',
           '--disable-background-networking', '--disable-component-update'],
  });
  try {
    const page = await browser.newPage();
    await page.setViewport({width: 1280, height: 900});
    const requests = [], errors = [];
    page.on('request', (request) => requests.push(request.url()));
    page.on('pageerror', (error) => errors.push(error.message));
    await page.goto('file://' + html);
    await page.waitForFunction(() => /Pick a schedule/.test(document.getElementById('status').textContent));

    for (const [name, paper] of [
             ['lyricrtf7', ''], ['lyricrtf7', '-letter'], ['booklet', ''], ['booklet', '-letter'],
             ['large-print', '-letter'], ['slides', null], ['web', null], ['song-list', null]]) {
      const output = {web: 'sunday.html', 'song-list': 'sunday.csv'}[name] || 'sunday.rtf';
      const shown = await convert(page, 'sunday.txt', { template: name, paper });
      sameAsNative(name + (paper || ''), shown, output, ['-c', nativeTemplate(name + (paper || '')), '-o', output, 'sunday.txt']);
      // The picture is the template's, and the paper is offered for print
      // templates only; the outcome and the download are in view.
      const caption = await page.$eval('#picture-caption', (e) => e.textContent);
      if (!(await shownOf(page, '#template-picture')) || caption !== name + (paper || '') + '.dat')
        fail(`${name}: the picture shows ${caption}`);
      if ((await shownOf(page, '#paper-choice')) !== (paper !== null))
        fail(`${name}: the paper is ${paper === null ? '' : 'not '}offered`);
      const inView = await page.$eval('#download', (e) => {
        const r = e.getBoundingClientRect();
        return r.top >= 0 && r.bottom <= innerHeight;
      });
      if (!inView) fail(`${name}: the download is not in view after Convert`);
      if (name === 'web') {
        // The preview shows the page, and prints with one button.
        const frame = await (await page.$('#preview')).contentFrame();
        const first = await (await frame.waitForSelector('h2')).evaluate((e) => e.textContent);
        if (first !== 'Amazing Grace') fail(`the preview shows "${first}" first`);
        await page.evaluate(() => { const w = document.getElementById('preview').contentWindow; w.print = () => { w.printed = true; }; });
        await page.click('#print');
        if (!(await page.evaluate(() => document.getElementById('preview').contentWindow.printed))) fail('Print did not print the preview');
      }
    }
    console.log(
        'the picture follows the template; the paper shows for print templates only; the download comes into view');

    // Names a command line would take for an option, or refuse for their
    // length: the document is named after them all the same.
    for (const name of ['-dash.txt', longName]) {
      const output = name.replace(/\.txt$/, '.rtf');
      const shown = await convert(page, name, {});
      if (shown.name !== output || !shown.outcome.startsWith('Done'))
        fail(`${name}: ${shown.outcome} ${shown.messages}`);
      nativeRun(['-c', nativeTemplate('lyricrtf7'), '-o', 'named.rtf', 'sunday.txt']);
      if (!fs.readFileSync(file('named.rtf')).equals(Buffer.from(shown.bytes)))
        fail(`${name}: the document differs`);
    }
    console.log(`-dash.txt and a name of ${longName.length} characters convert as any other`);

    // The deepest nesting runs within the page's stack.
    const chain = await convert(page, 'chain.txt', {own: file('chain.dat')});
    sameAsNative(
        '1000-deep chain', chain, 'chain.rtf',
        ['-c', file('chain.dat'), '-o', 'chain.rtf', 'chain.txt']);

    // A template of one's own: no gallery picture, no paper.
    const own = path.join(source, 'data/lyricrtf7.dat');
    sameAsNative('own', await convert(page, 'sunday.txt', { own }), 'sunday.rtf', ['-c', own, '-o', 'sunday.rtf', 'sunday.txt']);
    if ((await shownOf(page, '#template-picture')) || (await shownOf(page, '#paper-choice')))
      fail('own: a gallery picture or paper shows');
    const text = await convert(page, 'sunday.txt', { own: file('text.dat') });
    sameAsNative('own %#text', text, 'sunday-lyrics.txt', ['-c', file('text.dat'), '-o', 'sunday-lyrics.txt', 'sunday.txt']);
    if (!/named sunday-lyrics.txt, since sunday.txt is the schedule itself/.test(text.outcome)) fail(`own %#text: ${text.outcome}`);

    // Wrong files: the fatal lines, a remedy, no download; converted anyway
    // where the page can, as the correctly saved file. Another schedule
    // picked takes the remedy away, and its button acts on nothing else.
    for (const [schedule, kind, saved] of [['nomark.txt', 'without its byte-order mark', 'sunday.txt'],
                                           ['u16.txt', 'UTF-16', 'sunday.txt'], ['u16be.txt', 'UTF-16', 'notes.txt']]) {
      const shown = await convert(page, schedule, {});
      const run = nativeRun(['-c', nativeTemplate('lyricrtf7'), '-o', 'x.rtf', schedule]);
      if (shown.messages + '\n' !== run.stderr || run.code !== 12) fail(`${schedule}: ${shown.messages}`);
      if (shown.name !== null || !shown.outcome.startsWith('Stopped')) fail(`${schedule}: ${shown.outcome}, ${shown.name}`);
      if (!shown.remedy || !shown.remedy.includes(kind) || !shown.anyway) fail(`${schedule}: no remedy: ${shown.remedy}`);
      if (!(await page.$eval('#remedy', (e) => {
            const r = e.getBoundingClientRect();
            return r.top >= 0 && r.bottom <= innerHeight;
          })))
        fail(`${schedule}: the remedy is not in view`);
      await page.click('#convert-anyway');
      const anyway = await outcome(page);
      const output = schedule.replace('.txt', '.rtf');
      nativeRun(['-c', nativeTemplate('lyricrtf7'), '-o', output, saved]);
      if (anyway.name !== output || !fs.readFileSync(file(output)).equals(Buffer.from(anyway.bytes)))
        fail(`${schedule} converted anyway differs from the file with its mark: ${anyway.outcome}`);
      console.log(`${schedule}: the fatal lines and a remedy; converted anyway, as the file saved with its mark`);
    }
    await convert(page, 'u16.txt', {});
    await (await page.$('#schedule')).uploadFile(file('large.txt'));
    // Pressed while the new pick loads, and once it is read: nothing.
    await page.evaluate(() => document.getElementById('convert-anyway').click());
    await pick(page, 'large.txt');
    if ((await shownOf(page, '#remedy')) || (await shownOf(page, '#convert-anyway')))
      fail('the remedy stays after another pick');
    await page.evaluate(() => document.getElementById('convert-anyway').click());
    const untouched = await page.$eval('#outcome', (e) => e.textContent);
    if (!untouched.startsWith('Stopped: the conversion failed'))
      fail(`Convert it anyway acted on another schedule: ${untouched}`);
    console.log('another pick takes the remedy away, and Convert it anyway acts on nothing else');

    // A song's title shows while its template runs without end, then Stop
    // ends it within a second, by keyboard, and the outcome has the focus
    // and is announced.
    await (await page.$('#own-template')).uploadFile(file('slow.dat'));
    await pick(page, 'slow.txt');
    await page.focus('#convert');
    const clicked = Date.now();
    await page.keyboard.press('Enter');
    await page.waitForFunction(
        () => document.getElementById('messages').textContent === 'First\nSecond',
        {polling: 10, timeout: 5000});
    const titled = Date.now() - clicked;
    if (titled > 1000) fail(`the second title showed after ${titled} ms`);
    if (!(await page.evaluate(() => document.activeElement.id === 'stop')))
      fail(
          'Stop has no focus while converting: ' +
          await page.evaluate(
              () => document.activeElement.id + ' ' +
                  document.getElementById('outcome').textContent));
    const stopped = Date.now();
    await page.keyboard.press('Enter');
    const shownStop = await outcome(page);
    if (Date.now() - stopped > 1000 || !/^Stopped: you stopped/.test(shownStop.outcome)) fail(`Stop: ${shownStop.outcome}`);
    const announced = await page.evaluate(() => {
      const outcome = document.getElementById('outcome');
      return outcome.getAttribute('aria-live') === 'polite' && document.activeElement === outcome;
    });
    if (!announced) fail('the outcome is neither live nor focused');
    console.log(`the second title showed ${
        titled} ms after Convert, while its template ran; Stop: stopped in ${
        Date.now() - stopped} ms; the outcome is live and has the focus`);
    // By itself, the limit stops the fast one.
    await (await page.$('#own-template')).uploadFile(file('runaway.dat'));
    await whenReady(page);
    const limitedAt = Date.now();
    await page.click('#convert');
    const limited = await outcome(page);
    if (!/grew past 256 MB.*expands without end, or the report is huge/.test(limited.outcome)) fail(`limit: ${limited.outcome}`);
    console.log(`limit: after ${Date.now() - limitedAt} ms: ${limited.outcome}`);
    // And the page converts again.
    await page.click('#forget-own');
    sameAsNative('after Stop and the limit', await convert(page, 'sunday.txt', {}), 'sunday.rtf',
                 ['-c', nativeTemplate('lyricrtf7'), '-o', 'sunday.rtf', 'sunday.txt']);

    // Titles show while a large report converts.
    await pick(page, 'large.txt');
    await page.click('#convert');
    await page.waitForFunction(() => document.getElementById('messages').textContent.includes('Amazing Grace'), { polling: 10 });
    const during = await page.$eval('#outcome', (e) => e.textContent);
    if (!during.startsWith('Converting')) fail(`the titles showed only at the end: ${during}`);
    const large = await outcome(page);
    if (!large.outcome.startsWith('Done')) fail(`large: ${large.outcome}`);
    console.log(`large: titles show while it converts; ${large.outcome}`);

    // After a print template on Letter, the web template offers no paper.
    await page.select('#template', 'booklet');
    await page.select('#paper', '-letter');
    await page.select('#template', 'web');
    if (await shownOf(page, '#paper-choice')) fail('the web template shows a paper');

    // At 360 px every template's name fits its list.
    await page.setViewport({ width: 360, height: 800 });
    const cut = await page.evaluate(() => {
      const select = document.getElementById('template');
      const style = getComputedStyle(select);
      const context = document.createElement('canvas').getContext('2d');
      context.font = `${style.fontWeight} ${style.fontSize} ${style.fontFamily}`;
      const room = select.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight) - 24;  // the arrow
      return [...select.options].filter((o) => context.measureText(o.textContent).width > room).map((o) => o.textContent);
    });
    if (cut.length) fail('cut at 360 px: ' + cut.join(', '));
    console.log('360 px: every template name fits');

    const away = requests.filter((url) => !/^(file|data|blob):/.test(url));
    if (away.length) fail('requests that leave the page: ' + away.join(' '));
    if (errors.length) fail('the page threw: ' + errors.join('; '));
    console.log(`${requests.length} requests, all file:, data: or blob:; nothing thrown`);
  } finally {
    await browser.close();
    fs.rmSync(work, { recursive: true, force: true });
  }
})().catch((error) => {
  console.error('web_test:', error.message);
  process.exit(1);
});
