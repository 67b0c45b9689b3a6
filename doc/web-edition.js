// Makes doc/pictures/web-edition.png, the README's picture of the web
// edition: build/web/lyricrtf.html in headless Chromium with the sample
// converted by the web page template. Needs the web build and the npm
// packages of web/ (npm ci there).
// Usage: node doc/web-edition.js
'use strict';
const path = require('path');
const root = path.resolve(__dirname, '..');
const puppeteer = require(require.resolve('puppeteer-core', { paths: [path.join(root, 'web')] }));

(async () => {
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
           '--no-first-run', '--hide-scrollbars'],
  });
  const page = await browser.newPage();
  await page.setViewport({ width: 960, height: 1060, deviceScaleFactor: 0.62 });
  await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'light' }]);
  await page.goto('file://' + path.join(root, 'build/web/lyricrtf.html'));
  await page.waitForFunction(() => /Pick a schedule/.test(document.getElementById('status').textContent));
  await (await page.$('#schedule')).uploadFile(path.join(root, 'examples/sunday.txt'));
  await page.select('#template', 'web');
  await page.waitForFunction(() => !document.getElementById('convert').disabled);
  await page.click('#convert');
  await page.waitForFunction(() => /^Done/.test(document.getElementById('outcome').textContent));
  const frame = await (await page.$('#preview')).contentFrame();
  await frame.waitForSelector('h2');
  await page.evaluate(() => window.scrollTo(0, 0));
  await page.screenshot({ path: path.join(root, 'doc/pictures/web-edition.png') });
  await browser.close();
})();
