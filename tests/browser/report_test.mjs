// Drives the HTML report of an output folder in headless Chromium and checks what a person
// would: the index lists every page with its component count, a page view loads its pictures
// without errors or requests outside the folder, a layer switch and the boxes change the
// picture, the component under the pointer is outlined with its box, the arrow keys go to
// the next and previous page.
// Usage: node report_test.mjs OUT_DIR [SCREENSHOT_DIR]
import { chromium } from 'playwright-core';
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const outDir = path.resolve(process.argv[2] || '');
const screens = process.argv[3] ? path.resolve(process.argv[3]) : null;
const executablePath = process.env.VORLANE_CHROMIUM || '/usr/bin/chromium';
const folderUrl = pathToFileURL(outDir).href + '/';

let failures = 0;
function check(ok, what) {
  console.log((ok ? 'ok    ' : 'FAIL  ') + what);
  if (!ok) failures++;
}

// The pages of the run, as its reports tell them.
const reports = fs.readdirSync(outDir).filter((f) => f.endsWith('-report.json')).sort()
  .map((f) => ({ stem: f.slice(0, -'-report.json'.length),
                 count: JSON.parse(fs.readFileSync(path.join(outDir, f))).component_count }));

const browser = await chromium.launch({
  executablePath,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
const context = await browser.newContext({ viewport: { width: 1280, height: 900 } });
const page = await context.newPage();
const problems = [];
page.on('console', (m) => { if (m.type() === 'error') problems.push('console: ' + m.text()); });
page.on('pageerror', (e) => problems.push('script error: ' + e.message));
page.on('requestfailed', (r) => problems.push('failed request: ' + r.url()));
page.on('request', (r) => {
  if (!r.url().startsWith(folderUrl)) problems.push('request outside the folder: ' + r.url());
});

// Whether every picture in the document that has a source decoded.
const picturesLoaded = () => page.evaluate(async () => {
  const shown = [...document.images].filter((i) => i.getAttribute('src'));
  await Promise.all(shown.map((i) => i.decode().catch(() => {})));
  return shown.length > 0 && shown.every((i) => i.complete && i.naturalWidth > 0);
});
const shot = async (name, locator) => {
  const png = await (locator || page).screenshot();
  if (screens) fs.writeFileSync(path.join(screens, name), png);
  return png;
};

// ---- The index ------------------------------------------------------------------------------
await page.goto(folderUrl + 'index.html');
const cards = await page.$$eval('article.card', (all) => all.map((c) => ({
  stem: c.dataset.stem,
  count: Number(c.querySelector('[data-fact="component_count"]')?.textContent),
  link: c.querySelector('h2 a')?.getAttribute('href') })));
check(reports.length >= 2, `the run left ${reports.length} page reports`);
for (const r of reports) {
  const card = cards.find((c) => c.stem === r.stem);
  check(card && card.count === r.count, `index lists ${r.stem} with ${r.count} components`);
}
check(await picturesLoaded(), 'index thumbnails load');
await shot('index.png');

// ---- A page view ----------------------------------------------------------------------------
await page.click(`article.card[data-stem="${reports[0].stem}"] h2 a`);
await page.waitForSelector('body[data-ready="true"]');
check(await picturesLoaded(), 'page view pictures load');
const viewport = page.locator('#viewport');
const layers = await page.$$eval('#layers input', (all) => all.map((i) => i.value));
check(layers.includes('overlay') && layers.includes('components'),
  'layers offered: ' + layers.join(', '));
const first = await shot('page.png');
const firstViewport = await shot('viewport-overlay.png', viewport);
await page.check('#layers input[value="components"]');
check(await picturesLoaded(), 'the components layer loads');
check(await page.getAttribute('body', 'data-layer') === 'components', 'components layer shown');
const components = await shot('viewport-components.png', viewport);
check(!components.equals(firstViewport), 'switching the layer changes the picture');
await page.keyboard.press('b');
const boxed = await shot('viewport-boxes.png', viewport);
check(!boxed.equals(components), 'the boxes change the picture');
await page.keyboard.press('b');

// A component whose box meets no other: the pointer at its centre must pick it.
const target = await page.evaluate(() => {
  const c = window.vorlanePage.components;
  const meets = (a, b) => a[0] < b[0] + b[2] && b[0] < a[0] + a[2] &&
                          a[1] < b[1] + b[3] && b[1] < a[1] + a[3];
  const order = c.map((_, k) => k).sort((a, b) => c[b][4] - c[a][4]);
  for (const k of order)
    if (c[k][2] >= 4 && c[k][3] >= 4 && !c.some((o, j) => j !== k && meets(o, c[k]))) return k;
  return -1;
});
check(target >= 0, 'the page has a component whose box meets no other');
const box = await page.evaluate((k) => window.vorlanePage.components[k], target);
const sheet = await page.locator('#sheet').boundingBox();
const scale = sheet.width / (await page.evaluate(() => window.vorlanePage.width));
const at = { x: sheet.x + (box[0] + box[2] / 2) * scale, y: sheet.y + (box[1] + box[3] / 2) * scale };
await page.mouse.move(at.x, at.y);
const info = await page.textContent('#hover-info');
check(info.includes(`box     ${box[0]}, ${box[1]}  ${box[2]} \u00d7 ${box[3]}`) &&
      info.includes(`size    ${box[4]} pixels`), 'hovering shows the box: ' +
      info.split('\n')[1]);
const outline = await page.locator('#hover').boundingBox();
const near = (a, b) => Math.abs(a - b) <= 2.5;
check(outline && near(outline.x, sheet.x + box[0] * scale) &&
      near(outline.width, box[2] * scale), 'the outline lies on the component');
await shot('page-hover.png');

// Zoom to actual pixels and beyond: the pictures are drawn from the full image.
await page.click('#zoom-one');
await page.click('#zoom-in');
await page.click('#zoom-in');
const zoomed = await page.locator('#sheet').boundingBox();
check(near(zoomed.width, 2.25 * (await page.evaluate(() => window.vorlanePage.width))),
  'zoom scales the page');
check(await page.getAttribute('#sheet', 'class') === 'pixels', 'zoomed pixels stay sharp');

// The table of the largest components sorts by size.
const sizes = await page.$$eval('#largest tbody tr', (rows) => rows.map((r) => +r.cells[5].textContent));
check(sizes.length > 0 && sizes.every((s, k) => k === 0 || sizes[k - 1] >= s),
  'largest components listed by size, descending');
await page.click('#largest th[data-column="size"]');
const ascending = await page.$$eval('#largest tbody tr', (rows) => rows.map((r) => +r.cells[5].textContent));
check(ascending.every((s, k) => k === 0 || ascending[k - 1] <= s), 'a click sorts ascending');

// ---- Keys: next and previous page -------------------------------------------------------------
await page.keyboard.press('ArrowRight');
await page.waitForURL('**/page-' + encodeURIComponent(reports[1].stem) + '.html');
await page.waitForSelector('body[data-ready="true"]');
check(await picturesLoaded(), 'next page loads its pictures');
await page.keyboard.press('ArrowLeft');
await page.waitForURL('**/page-' + encodeURIComponent(reports[0].stem) + '.html');
check(true, 'arrow keys go to the next and the previous page');

for (const p of problems) check(false, p);
check(problems.length === 0, 'no console error, failed request or request outside the folder');
await browser.close();
console.log(failures ? `${failures} check(s) failed` : 'all checks passed');
process.exit(failures ? 1 : 0);
