// Browser test of the sample application: Debian's chromium, headless,
// driven by playwright-core. Logs in, searches the customer list, edits a
// record through its form, chooses a lookup by name, picks a date, follows a
// master row to its details, folds the menu at 375 px, and saves
// screenshots at 1280 and 375 px.
import path from 'node:path';
import { artifacts, browserTest } from './harness.mjs';

const base = process.env.TW_BASE_URL;

await browserTest('browser', async ({ page, check }) => {
  // the list needs a login first, and comes back after it
  await page.goto(base + 'customerslist.php');
  check('login_page_first', page.url().includes('login.php'), page.url());
  await page.fill('input[name=username]', 'ceo');
  await page.fill('input[name=password]', 'tarnwick-demo');
  await Promise.all([page.waitForURL(/customerslist\.php/), page.click('form.tw-form button[type=submit]')]);
  check('list_after_login', (await page.textContent('h1')) === 'Customers');
  const all = await page.textContent('.tw-count');
  check('record_count_shown', /Records 1 to 20 of \d+/.test(all ?? ''), all ?? '');

  // the search box
  await page.fill('#tw_psearch', 'Zürich');
  await page.selectOption('select[name=psearchtype]', 'AND');
  await Promise.all([page.waitForURL(/psearch=/), page.press('#tw_psearch', 'Enter')]);
  const rows = await page.locator('tr.tw-row').allTextContents();
  check('search_finds_rows', rows.length > 0 && rows.every((r) => r.includes('Zürich')), `${rows.length} rows`);
  const shown = (await page.textContent('.tw-count')) ?? '';
  check('search_count_matches_rows', shown.endsWith(`of ${rows.length}`), shown);
  check('search_text_kept', (await page.inputValue('#tw_psearch')) === 'Zürich');

  // an edit form: the browser refuses a bad number, the server saves a good one
  await Promise.all([page.waitForURL(/customersedit\.php/), page.locator('tr.tw-row').first().locator('a.tw-link-edit').click()]);
  const editUrl = page.url();
  await page.fill('#tw_x_credit_limit', 'not a number');
  await page.click('#tw_form_edit button[type=submit]');
  await page.waitForTimeout(300);
  check('browser_validation_blocks_bad_number', page.url() === editUrl && (await page.locator('#tw_form_edit').count()) === 1);
  const stamp = `Browser Test ${Date.now()}`;
  await page.fill('#tw_x_credit_limit', '4321.5');
  await page.fill('#tw_x_contact_name', stamp);
  await Promise.all([page.waitForURL(/customersview\.php/), page.click('#tw_form_edit button[type=submit]')]);
  const msg = (await page.textContent('.tw-msg')) ?? '';
  check('saved_message', msg.includes('Record updated'), msg);
  check('saved_values_shown', (await page.textContent('#tw_view_x_contact_name')) === stamp
    && (await page.textContent('#tw_view_x_credit_limit')) === '$4,321.50');

  // the list page, sorted by a header click, as a picture for people to look at
  await page.goto(base + 'customerslist.php');
  await Promise.all([page.waitForURL(/sort=/), page.click('th a:has-text("Company Name")')]);
  const first = await page.locator('tr.tw-row').first().textContent();
  check('sorted_list', first !== null && first.length > 0);
  await page.screenshot({ path: path.join(artifacts, 'customers-list.png'), fullPage: false });
  await page.goto(base + 'orders_by_statusreport.php', { waitUntil: 'networkidle' });
  check('report_chart', (await page.locator('figure.tw-chart svg rect.tw-bar').count()) > 0);
  await page.screenshot({ path: path.join(artifacts, 'orders-report.png'), fullPage: false });
  await page.goto(base + 'categorieslist.php', { waitUntil: 'networkidle' });
  const thumb = page.locator('img.tw-thumb').first();
  await thumb.scrollIntoViewIfNeeded();
  const width = await thumb.evaluate((img) => img.complete ? img.naturalWidth : -1);
  check('picture_from_database_shown', width === 8, `natural width ${width}`);
  await page.goto(base + 'productsedit.php?key=1');
  await page.screenshot({ path: path.join(artifacts, 'product-edit.png'), fullPage: false });

  // a foreign key is edited by choosing a name from the referenced table
  const category = page.locator('select#tw_x_category_id');
  check('lookup_is_a_list_of_names', (await category.count()) === 1
    && (await category.locator('option', { hasText: 'Premium Pasta' }).count()) === 1);
  await category.selectOption({ label: 'Premium Pasta' });
  await Promise.all([page.waitForURL(/productsview\.php/), page.click('#tw_form_edit button[type=submit]')]);
  check('lookup_saved_and_shown_by_name', (await page.textContent('#tw_view_x_category_id')) === 'Premium Pasta',
    (await page.textContent('#tw_view_x_category_id')) ?? '');

  // a date is picked with the browser's date input
  await page.goto(base + 'ordersedit.php?key=1');
  const date = page.locator('#tw_x_required_date');
  check('date_input', (await date.getAttribute('type')) === 'date');
  await date.fill('2031-02-14');
  await Promise.all([page.waitForURL(/ordersview\.php/), page.click('#tw_form_edit button[type=submit]')]);
  check('date_saved', ((await page.textContent('#tw_view_x_required_date')) ?? '').includes('2031'),
    (await page.textContent('#tw_view_x_required_date')) ?? '');

  // a master row links to its details: a customer's orders
  await page.goto(base + 'customerslist.php');
  const detailLink = page.locator('tr.tw-row').first().locator('a[href*="orderslist.php"]');
  check('master_links_to_details', (await detailLink.count()) === 1);
  await Promise.all([page.waitForURL(/orderslist\.php/), detailLink.click()]);
  // the master's company name, below its column heading
  const heads = await page.locator('.tw-master th').allTextContents();
  const cells = await page.locator('.tw-master td').allTextContents();
  const customerName = cells[heads.indexOf('Company Name')] ?? '';
  const orders = await page.locator('tr.tw-row').allTextContents();
  check('details_of_the_master_only', customerName.length > 0 && orders.length > 0
    && orders.every((r) => r.includes(customerName)), `${orders.length} orders of "${customerName}"`);

  // tables and views apart in the menu
  const groups = await page.locator('.tw-menu-group').allTextContents();
  check('menu_groups', groups.join(',') === 'Tables,Views,Reports', groups.join(','));
  await page.screenshot({ path: path.join(artifacts, 'orders-of-a-customer-1280.png'), fullPage: false });

  // at 375 px the menu folds behind a button
  await page.setViewportSize({ width: 375, height: 740 });
  await page.goto(base + 'orderslist.php');
  const menu = page.locator('#tw-menu');
  check('narrow_menu_folded', !(await menu.isVisible()) && await page.locator('.tw-menu-button').isVisible());
  await page.screenshot({ path: path.join(artifacts, 'orders-list-375.png'), fullPage: false });
  await page.click('.tw-menu-button');
  check('narrow_menu_opens', await menu.isVisible()
    && (await page.getAttribute('.tw-menu-button', 'aria-expanded')) === 'true');
  await page.screenshot({ path: path.join(artifacts, 'menu-open-375.png'), fullPage: false });
  await page.setViewportSize({ width: 1280, height: 860 });
  check('wide_menu_without_button', await menu.isVisible() && !(await page.locator('.tw-menu-button').isVisible()));
}, { timeout: 15000 });
