// What the browser tests share: Debian's chromium, headless, driven by
// playwright-core; PASS and FAIL lines for the runner; errors of the page
// and its console collected; a screenshot when the run breaks off; the exit
// code (failing when nothing passed).
import { chromium } from 'playwright-core';
import path from 'node:path';

export const artifacts = process.env.TW_ARTIFACTS;

// Runs `body({ page, context, check, problems })` in a fresh browser
// profile. `ignoreConsole(text)` names console errors the test causes on
// purpose; `onFailure(page)` prints what helps to understand a failure.
export async function browserTest(prefix, body, { timeout = 30000, ignoreConsole = () => false, onFailure } = {}) {
  let passed = 0;
  let failed = 0;
  const check = (name, ok, detail = '') => {
    if (ok) {
      passed++;
      console.log(`[ PASS ] ${prefix}.${name}`);
    } else {
      failed++;
      console.log(`[ FAIL ] ${prefix}.${name}${detail ? ': ' + detail : ''}`);
    }
  };
  const context = await chromium.launchPersistentContext(process.env.TW_PROFILE, {
    executablePath: process.env.TW_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run'],
    viewport: { width: 1280, height: 860 },
  });
  const problems = [];
  const page = context.pages()[0] ?? await context.newPage();
  page.on('pageerror', (e) => problems.push('page error: ' + e.message));
  page.on('console', (m) => {
    if (m.type() === 'error' && !ignoreConsole(m.text())) problems.push('console: ' + m.text());
  });
  page.setDefaultTimeout(timeout);
  try {
    await body({ page, context, check, problems });
    check('no_page_errors', problems.length === 0, problems.join('; '));
  } catch (e) {
    check('run', false, String((e && e.stack) || e));
    try {
      if (onFailure) await onFailure(page);
      await page.screenshot({ path: path.join(artifacts, `${prefix}-failure.png`) });
    } catch (_) { /* the page is gone */ }
  } finally {
    await context.close();
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed || !passed ? 1 : 0);
}
