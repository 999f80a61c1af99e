// Browser test of tarnwick studio: Debian's chromium, headless, driven by
// playwright-core. Opens the studio, edits a field setting, moves a table,
// sees the change in the preview, generates, saves; screenshots at 1280 and
// 768 px are kept as artefacts.
import { chromium } from 'playwright-core';
import path from 'node:path';

const url = process.env.TW_STUDIO_URL;
const artifacts = process.env.TW_ARTIFACTS;
let passed = 0;
let failed = 0;

function check(name, ok, detail = '') {
  if (ok) {
    passed++;
    console.log(`[ PASS ] studio.${name}`);
  } else {
    failed++;
    console.log(`[ FAIL ] studio.${name}${detail ? ': ' + detail : ''}`);
  }
}

const context = await chromium.launchPersistentContext(process.env.TW_PROFILE, {
  executablePath: process.env.TW_CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
    '--disable-sync', '--no-first-run'],
  viewport: { width: 1280, height: 860 },
});
const problems = [];
try {
  const page = context.pages()[0] ?? await context.newPage();
  page.on('pageerror', (e) => problems.push('page error: ' + e.message));
  // (the refused bad value below answers 400 on purpose)
  page.on('console', (m) => {
    if (m.type() === 'error' && !m.text().includes('status of 400')) problems.push('console: ' + m.text());
  });
  page.setDefaultTimeout(30000);

  await page.goto(url);
  const item = (name) => page.locator(`#tree .item[data-name="${name}"]`).first();
  await item('customers').waitFor();
  check('tree_shows_tables', await item('orders').isVisible());
  // the project's settings come grouped, with descriptions
  await page.locator('#settings-form fieldset legend', { hasText: 'list' }).first().waitFor();
  check('settings_grouped', (await page.locator('#settings-form legend').count()) > 3);
  check('setting_described', (await page.locator('#set-RecPerPage-desc').textContent()).includes('Records per list page'));
  check('unused_marked', (await page.locator('.unused-mark').count()) > 0);
  // the first preview
  await page.locator('#preview-state', { hasText: 'Preview updated' }).waitFor({ timeout: 60000 });
  await page.screenshot({ path: path.join(artifacts, 'studio-1280.png') });

  // a field setting, typed and confirmed with Tab as a keyboard user does
  await item('customers').click();
  await page.locator('#tree .item[data-table="customers"][data-name="contact_name"]').click();
  await page.locator('#set-FldCaption').waitFor();
  const runsBefore = await page.textContent('#preview-state');
  await page.fill('#set-FldCaption', 'Contact person (studio)');
  await page.press('#set-FldCaption', 'Tab');
  await page.locator('#status', { hasText: 'Set FldCaption' }).waitFor();
  check('field_setting_set', true);
  // a bad value is refused with the command line's message, beside the input
  await page.fill('#set-FldTagSize', '99999999');
  await page.press('#set-FldTagSize', 'Tab');
  const error = page.locator('.setting[data-setting="FldTagSize"] .err');
  await error.waitFor();
  check('bad_value_refused', (await error.textContent()).includes('whole number'), await error.textContent());
  check('bad_value_marked', (await page.getAttribute('#set-FldTagSize', 'aria-invalid')) === 'true');
  await page.fill('#set-FldTagSize', '30');
  await page.press('#set-FldTagSize', 'Tab');

  // the preview beside the settings follows: choosing customers showed its
  // list, which now has the new caption
  await page.waitForFunction((before) => document.getElementById('preview-state').textContent !== before, runsBefore, { timeout: 90000 });
  check('preview_page_follows_tree', (await page.inputValue('#preview-page')) === 'customerslist.php', await page.inputValue('#preview-page'));
  const frame = page.frameLocator('#preview-frame');
  await frame.locator('th', { hasText: 'Contact person (studio)' }).first().waitFor({ timeout: 90000 });
  check('preview_shows_change', true);
  await page.screenshot({ path: path.join(artifacts, 'studio-field-1280.png') });

  // move customers to the front with the keyboard, one place at a time:
  // each step waits for the tree to show the new order
  const tables = () => page.locator('#tree > li > .item[data-kind="table"]').evaluateAll((items) => items.map((b) => b.dataset.name));
  const before = (await tables())[0];
  await item('customers').click();
  for (let at = (await tables()).indexOf('customers'); at > 0; at--) {
    await item('customers').focus();
    await page.keyboard.press('Alt+ArrowUp');
    await page.waitForFunction((to) => [...document.querySelectorAll('#tree > li > .item[data-kind="table"]')]
      .findIndex((b) => b.dataset.name === 'customers') === to, at - 1, { timeout: 60000 });
  }
  check('table_moved', before !== 'customers' && (await tables())[0] === 'customers');

  // generate into the destination: progress, then the list of written files
  await page.click('#generate');
  await page.locator('#result', { hasText: 'Generated' }).waitFor({ timeout: 120000 });
  const result = await page.textContent('#result');
  check('generation_listed', result.includes('Written') && result.includes('customerslist.php'), result.slice(0, 200));

  // save, then undo has nothing left
  await page.click('#save');
  await page.locator('#status', { hasText: 'Saved' }).waitFor();
  // (the tree, and with it the undo button, is fetched again after the save)
  check('saved', await page.waitForFunction(() => document.getElementById('undo').disabled, null, { timeout: 30000 })
    .then(() => true, () => false));

  // 768 px: still readable, nothing wider than the window
  await page.setViewportSize({ width: 768, height: 1000 });
  await page.waitForTimeout(300);
  const overflow = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
  check('no_sideways_scroll_at_768', overflow <= 0, `${overflow}px`);
  await page.screenshot({ path: path.join(artifacts, 'studio-768.png'), fullPage: false });

  // every input of the settings form has a label
  const unlabelled = await page.evaluate(() => [...document.querySelectorAll('#settings-form input, #settings-form select, #settings-form textarea')]
    .filter((e) => e.type !== 'color' && !document.querySelector(`label[for="${e.id}"]`)).map((e) => e.name));
  check('inputs_labelled', unlabelled.length === 0, unlabelled.join(', '));
  check('no_page_errors', problems.length === 0, problems.join('; '));
} catch (e) {
  failed++;
  console.log('[ FAIL ] studio.run: ' + e.message);
  try {
    const page = context.pages()[0];
    console.log('         progress: ' + await page.evaluate(async () => JSON.stringify(await (await fetch('/api/progress',
      { headers: { 'X-Tarnwick-Token': new URLSearchParams(location.search).get('token') } })).json())));
    console.log('         preview frame: ' + await page.getAttribute('#preview-frame', 'src') + ': ' +
      (await page.frameLocator('#preview-frame').locator('th').allTextContents()).join('|'));
    await page.screenshot({ path: path.join(artifacts, 'studio-failure.png') });
  } catch (_) { /* none */ }
} finally {
  await context.close();
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed || !passed ? 1 : 0);
