// Browser test of tarnwick studio: Debian's chromium, headless, driven by
// playwright-core. Opens the studio, edits a field setting, moves a table,
// sees the change in the preview, generates, saves; screenshots at 1280 and
// 768 px are kept as artefacts.
import path from 'node:path';
import { artifacts, browserTest } from './harness.mjs';

const url = process.env.TW_STUDIO_URL;

// (a refused bad value answers 400 on purpose)
await browserTest('studio', async ({ page, check }) => {
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

  // drag products onto the first table's place
  const firstBefore = (await tables())[0];
  await item('products').dragTo(page.locator('#tree > li > .item[data-kind="table"]').first());
  await page.waitForFunction(() => document.querySelector('#tree > li > .item[data-kind="table"]').dataset.name === 'products',
    null, { timeout: 60000 }).catch(() => {});
  const afterDrag = await tables();
  check('table_dragged', afterDrag[0] === 'products' && afterDrag[1] === firstBefore, afterDrag.join(','));

  // a chart added through its dialog, then removed again
  await page.click('#add-chart');
  await page.selectOption('#chart-table', 'orders');
  await page.fill('#chart-name', 'orders_by_month');
  await page.click('#dialog-ok');
  const chart = page.locator('#tree .item[data-kind="chart"][data-table="orders"][data-name="orders_by_month"]');
  await chart.waitFor({ timeout: 60000 });
  check('chart_added', await page.locator('#settings-form #set-ChartName').inputValue() === 'orders_by_month');
  page.once('dialog', (d) => d.accept());
  await chart.click();
  await page.click('#remove');
  await chart.waitFor({ state: 'detached', timeout: 60000 });
  check('chart_removed', true);

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

  // labels break between the words of a name, never inside one
  const labelsBrokenMidWord = () => page.evaluate(() => [...document.querySelectorAll('#settings-form .setting label')]
    .filter((label) => [...label.childNodes].some((n) => {
      if (n.nodeType !== Node.TEXT_NODE) return false;
      const range = document.createRange();
      range.selectNodeContents(n);
      return new Set([...range.getClientRects()].map((r) => Math.round(r.top))).size > 1;
    })).map((label) => label.textContent));
  await item('customers').click();
  await page.locator('#tree .item[data-table="customers"][data-name="contact_name"]').click();
  await page.locator('#set-FldHtmlTagReadOnly').waitFor();
  let broken = await labelsBrokenMidWord();
  check('labels_whole_words_at_1280', broken.length === 0, broken.join(', '));

  // 768 px: still readable, nothing wider than the window
  await page.setViewportSize({ width: 768, height: 1000 });
  await page.waitForFunction(() => window.innerWidth === 768);
  const overflow = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
  check('no_sideways_scroll_at_768', overflow <= 0, `${overflow}px`);
  await page.screenshot({ path: path.join(artifacts, 'studio-768.png'), fullPage: false });
  broken = await labelsBrokenMidWord();
  check('labels_whole_words_at_768', broken.length === 0, broken.join(', '));
  await page.locator('#set-FldHtmlTagReadOnly').scrollIntoViewIfNeeded();
  await page.screenshot({ path: path.join(artifacts, 'studio-labels-768.png') });

  // every input of the settings form has a label
  const unlabelled = await page.evaluate(() => [...document.querySelectorAll('#settings-form input, #settings-form select, #settings-form textarea')]
    .filter((e) => e.type !== 'color' && !document.querySelector(`label[for="${e.id}"]`)).map((e) => e.name));
  check('inputs_labelled', unlabelled.length === 0, unlabelled.join(', '));
}, {
  ignoreConsole: (text) => text.includes('status of 400'),
  onFailure: async (page) => {
    console.log('         progress: ' + await page.evaluate(async () => JSON.stringify(await (await fetch('/api/progress',
      { headers: { 'X-Tarnwick-Token': new URLSearchParams(location.search).get('token') } })).json())));
    console.log('         preview frame: ' + await page.getAttribute('#preview-frame', 'src'));
  },
});
