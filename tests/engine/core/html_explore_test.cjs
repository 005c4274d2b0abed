// The report page explored in headless Chromium through the DevTools
// protocol, as a reader would: click down folder by folder, go back up by the
// path and by Back, find a file by name, and read the page with script off.
// Usage: node html_explore_test.cjs PAGE.html NAME... (the names of the
// folders to click down through, outermost first; the last holds FILE_NAME)
// FILE_NAME. Prints what failed and exits non-zero on the first failure.
'use strict';
const puppeteer = require(process.env.ORVANE_PUPPETEER || 'puppeteer-core');

const [page_path, ...rest] = process.argv.slice(2);
const file_name = rest.pop();
const chain = rest;
const url = 'file://' + page_path;

function check(condition, what) {
  if (!condition) throw new Error(what);
}

// A real mouse click in the middle of the folder's rectangle on the map.
async function clickFolder(page, name) {
  const box = await page.evaluate((wanted) => {
    for (const g of document.querySelectorAll('#explore svg g[data-f]')) {
      if (g.querySelector('title').textContent.startsWith(wanted + ' \u2014 ')) {
        const r = g.querySelector('rect').getBoundingClientRect();
        g.scrollIntoView({block: 'center'});
        const s = g.querySelector('rect').getBoundingClientRect();
        return {x: s.x + s.width / 2, y: s.y + s.height / 2, w: r.width, h: r.height};
      }
    }
    return null;
  }, name);
  check(box, `no rectangle for the folder "${name}" on the map`);
  await page.mouse.click(box.x, box.y);
  await page.waitForFunction((n) => {
    const here = document.querySelector('.crumbs [aria-current]');
    return here && here.textContent === n;
  }, {timeout: 5000}, name);
}

async function listedNames(page, kind) {
  return page.$$eval(`#focus-list tr.x-${kind} td.path`, (cells) =>
    cells.map((c) => (c.firstChild ? c.firstChild.textContent : '')));
}

async function explore(browser) {
  const page = await browser.newPage();
  const problems = [];
  page.on('console', (m) => problems.push(`console ${m.type()}: ${m.text()}`));
  page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
  page.on('requestfailed', (r) => problems.push(`request failed: ${r.url()}`));
  page.on('request', (r) => {
    if (r.url() !== url && !r.url().startsWith(url + '#')) problems.push(`fetched ${r.url()}`);
  });
  await page.setViewport({width: 1100, height: 900});
  await page.goto(url, {waitUntil: 'load'});
  check(await page.$('#explore svg g[data-f]'), 'the map did not open on the drive');
  check(await page.$eval('section#map svg.map:not(.live)', (s) => getComputedStyle(s).display === 'none'),
        'the static map still shows beside the live one');

  for (const name of chain) await clickFolder(page, name);
  const deepest = chain[chain.length - 1];
  const files = await listedNames(page, 'file');
  check(files.includes(file_name), `the files of ${deepest} are not listed: ${files}`);
  const onMap = await page.$$eval('#explore svg g.x-file title', (t) => t.map((e) => e.textContent));
  check(onMap.some((t) => t.startsWith(file_name + ' \u2014 ')), `${file_name} is not on the map`);
  const crumbs = await page.$$eval('.crumbs a, .crumbs strong', (e) => e.map((x) => x.textContent));
  check(crumbs.slice(1).join('/') === chain.join('/'), `the path above the map reads ${crumbs}`);

  // Sorting by name puts the listed files in name order.
  await page.click('#focus-list th:first-child button');
  const sorted = await listedNames(page, 'file');
  check(JSON.stringify(sorted) === JSON.stringify([...sorted].sort((a, b) => a.localeCompare(b))),
        `sorting by name gave ${sorted}`);

  // Up by the path, then Back returns to where the reader was.
  await page.evaluate((n) => {
    [...document.querySelectorAll('.crumbs a')].find((a) => a.textContent === n).click();
  }, chain[0]);
  await page.waitForFunction((n) => document.querySelector('.crumbs [aria-current]').textContent === n,
                             {timeout: 5000}, chain[0]);
  await page.goBack();
  await page.waitForFunction((n) => document.querySelector('.crumbs [aria-current]').textContent === n,
                             {timeout: 5000}, deepest)
      .catch(() => check(false, 'Back did not return to the folder opened last'));

  // Find by name, from the drive.
  await page.goto(url, {waitUntil: 'load'});
  await page.type('#find', file_name.slice(0, -1).toUpperCase());
  await page.waitForSelector('#found li a');
  const found = await page.$$eval('#found li a', (a) => a.map((e) => e.textContent));
  const hit = found.findIndex((t) => t.endsWith('/' + chain.join('/') + '/' + file_name));
  check(hit >= 0, `the search did not find ${file_name}: ${found}`);
  await page.evaluate((i) => document.querySelectorAll('#found li a')[i].click(), hit);
  await page.waitForFunction((n) => document.querySelector('.crumbs [aria-current]').textContent === n,
                             {timeout: 5000}, deepest);
  check(problems.length === 0, problems.join('\n'));
  await page.close();
}

async function withoutScript(browser) {
  const page = await browser.newPage();
  await page.setJavaScriptEnabled(false);
  await page.goto(url, {waitUntil: 'load'});
  check(!(await page.$('#explore')), 'the explorer appeared with script off');
  const map = await page.$eval('section#map svg.map', (s) => getComputedStyle(s).display);
  check(map !== 'none', 'the static map is hidden with script off');
  for (const id of ['totals', 'folders', 'files', 'types']) {
    const rows = await page.$$eval(`section#${id} tr, section#${id} .cards div`, (r) => r.length);
    check(rows > 1, `the section ${id} is empty with script off`);
  }
  await page.close();
}

(async () => {
  const browser = await puppeteer.launch({
    executablePath: process.env.ORVANE_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    timeout: 120000,  // a machine busy building starts a browser slowly
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
  try {
    await explore(browser);
    await withoutScript(browser);
    console.log('explored');
  } finally {
    await browser.close();
  }
})().catch((error) => {
  console.error(error.message);
  process.exit(1);
});
