// Tarnwick Studio: the page. Everything it shows comes from the studio's
// JSON API, which needs the access token of the address the studio printed.
'use strict';

const token = new URLSearchParams(location.search).get('token') || '';
const $ = (id) => document.getElementById(id);
const state = { tree: null, selected: { kind: 'project' }, settings: null, previewRuns: -1, runs: -1,
  waitingForRun: false, previewUrl: null, previewPage: '', previewPages: new Set() };

async function api(method, path, params) {
  const options = { method, headers: { 'X-Tarnwick-Token': token } };
  let url = '/api/' + path;
  if (params) {
    const body = new URLSearchParams();
    for (const [k, v] of params) body.append(k, v);
    if (method === 'GET') url += '?' + body.toString();
    else options.body = body;
  }
  const response = await fetch(url, options);
  let data = null;
  try { data = await response.json(); } catch (e) { data = { error: response.statusText }; }
  if (!response.ok) throw new Error(data && data.error ? data.error : response.statusText);
  return data;
}

function say(text, isError) {
  const s = $('status');
  s.textContent = text;
  s.classList.toggle('error', !!isError);
}

function el(tag, attrs, ...children) {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs || {})) {
    if (k === 'class') e.className = v;
    else if (k.startsWith('on')) e.addEventListener(k.slice(2), v);
    else if (v === true) e.setAttribute(k, '');
    else if (v !== false && v !== null && v !== undefined) e.setAttribute(k, v);
  }
  for (const c of children) if (c !== null && c !== undefined) e.append(c);
  return e;
}

// ------------------------------------------------------------ the tree

function objectParams(sel) {
  const p = [];
  if (sel.kind === 'database') p.push(['database', '1']);
  if (sel.table) p.push(['table', sel.table]);
  if (sel.kind === 'field') p.push(['field', sel.name]);
  if (sel.kind === 'chart') p.push(['chart', sel.name]);
  return p;
}

function sameSelection(a, b) {
  return a.kind === b.kind && (a.table || '') === (b.table || '') && (a.name || '') === (b.name || '');
}

function treeItem(sel, label, kindText, extra) {
  const selected = sameSelection(sel, state.selected);
  const button = el('button', { type: 'button', class: 'item', role: 'treeitem', 'aria-selected': selected ? 'true' : 'false',
    tabindex: selected ? '0' : '-1', 'data-kind': sel.kind, 'data-table': sel.table || '', 'data-name': sel.name || '',
    onclick: () => select(sel) }, label, kindText ? el('span', { class: 'kind' }, kindText) : null);
  if (extra && extra.off) button.classList.add('off');
  if (sel.kind === 'table' || sel.kind === 'field' || sel.kind === 'chart') {
    button.draggable = true;
    button.addEventListener('dragstart', (ev) => { ev.dataTransfer.setData('text/plain', JSON.stringify(sel)); });
    button.addEventListener('dragover', (ev) => { ev.preventDefault(); button.classList.add('drop'); });
    button.addEventListener('dragleave', () => button.classList.remove('drop'));
    button.addEventListener('drop', (ev) => {
      ev.preventDefault();
      button.classList.remove('drop');
      let moved;
      try { moved = JSON.parse(ev.dataTransfer.getData('text/plain')); } catch (e) { return; }
      if (moved.kind !== sel.kind || (sel.kind !== 'table' && moved.table !== sel.table)) return;
      moveTo(moved, extra.position);
    });
    button.addEventListener('keydown', (ev) => {
      if (!ev.altKey || (ev.key !== 'ArrowUp' && ev.key !== 'ArrowDown')) return;
      ev.preventDefault();
      const to = extra.position + (ev.key === 'ArrowUp' ? -1 : 1);
      if (to >= 1 && to <= extra.count) moveTo(sel, to);
    });
  }
  return button;
}

function renderTree() {
  const t = state.tree;
  $('project-name').textContent = t.project ? '— ' + t.project : '';
  document.title = 'Tarnwick Studio — ' + (t.project || t.file);
  $('undo').disabled = !t.undo;
  $('undo').textContent = t.undo ? 'Undo ' + t.undo : 'Undo';
  const root = $('tree');
  root.replaceChildren();
  root.append(el('li', { role: 'none' }, treeItem({ kind: 'project' }, 'Project', t.project)));
  if (t.database) root.append(el('li', { role: 'none' }, treeItem({ kind: 'database' }, 'Database', t.database.type)));
  const kinds = { TABLE: 'table', VIEW: 'view', CUSTOMVIEW: 'custom view', REPORT: 'report' };
  t.tables.forEach((table, i) => {
    const children = el('ul', { role: 'group' });
    table.fields.forEach((f, j) => children.append(el('li', { role: 'none' },
      treeItem({ kind: 'field', table: table.name, name: f.name }, f.name, f.key ? 'key' : '',
        { position: j + 1, count: table.fields.length }))));
    table.charts.forEach((c, j) => children.append(el('li', { role: 'none' },
      treeItem({ kind: 'chart', table: table.name, name: c.name }, c.name, 'chart', { position: j + 1, count: table.charts.length }))));
    const open = state.selected.table === table.name;
    children.hidden = !open;
    const item = treeItem({ kind: 'table', table: table.name, name: table.name }, table.name, kinds[table.type] || table.type,
      { position: i + 1, count: t.tables.length, off: !table.gen });
    item.setAttribute('aria-expanded', open ? 'true' : 'false');
    root.append(el('li', { role: 'none' }, item, children));
  });
}

async function loadTree() {
  state.tree = await api('GET', 'tree');
  renderTree();
}

async function moveTo(sel, position) {
  const p = [['table', sel.table], ['position', String(position)]];
  if (sel.kind === 'field') p.push(['field', sel.name]);
  if (sel.kind === 'chart') p.push(['chart', sel.name]);
  try {
    await api('POST', 'reorder', p);
    say('Moved ' + sel.name + ' to position ' + position);
    await loadTree();
    focusSelected();
  } catch (e) { say(e.message, true); }
}

function focusSelected() {
  const item = $('tree').querySelector('[aria-selected="true"]');
  if (item) item.focus();
}

$('tree').addEventListener('keydown', (ev) => {
  if (ev.altKey || (ev.key !== 'ArrowUp' && ev.key !== 'ArrowDown')) return;
  const items = [...$('tree').querySelectorAll('.item')].filter((b) => b.offsetParent !== null);
  const at = items.indexOf(document.activeElement);
  const next = items[at + (ev.key === 'ArrowUp' ? -1 : 1)];
  if (next) { ev.preventDefault(); next.focus(); next.click(); }
});

// ------------------------------------------------------------ settings

async function select(sel) {
  state.selected = sel;
  if (sel.table) previewTable(sel.table);
  renderTree();
  focusSelected();
  try {
    state.settings = await api('GET', 'settings', objectParams(sel));
    renderSettings();
  } catch (e) { say(e.message, true); }
}

function inputFor(s, id, describedBy) {
  const value = s.value === null || s.value === undefined ? '' : s.value;
  const common = { id, name: s.name, 'aria-describedby': describedBy };
  if (s.input === 'fixed') return el('input', { ...common, type: 'text', value: String(value), readonly: true });
  if (s.input === 'bool') {
    const box = el('input', { ...common, type: 'checkbox' });
    box.checked = value === true || value === 'True' || value === -1;
    return box;
  }
  if (s.input === 'int') return el('input', { ...common, type: 'number', step: '1', value: String(value) });
  if (s.input === 'choice') {
    const select = el('select', common);
    const choices = [...s.choices];
    if (!choices.includes(String(value))) choices.unshift(String(value));
    for (const c of choices) {
      const o = el('option', { value: c }, c === '' ? '(none)' : c);
      if (c === String(value)) o.selected = true;
      select.append(o);
    }
    return select;
  }
  if (s.input === 'lines') return el('textarea', { ...common, rows: '3' }, String(value));
  if (s.input === 'password') return el('input', { ...common, type: 'password', value: String(value), autocomplete: 'off' });
  if (s.input === 'colour') {
    const text = el('input', { ...common, type: 'text', value: String(value) });
    const hex = /^#[0-9a-fA-F]{6}$/.test(String(value)) ? String(value) : '#ffffff';
    const picker = el('input', { type: 'color', value: hex, 'aria-label': s.name + ' colour picker' });
    picker.addEventListener('change', () => { text.value = picker.value; text.dispatchEvent(new Event('change', { bubbles: true })); });
    const wrap = el('div', { class: 'colour' }, text, picker);
    wrap.valueInput = text;
    return wrap;
  }
  return el('input', { ...common, type: 'text', value: String(value) });
}

// A setting's name with line-break chances between its words only
// (FldHtmlTagReadOnly breaks as Fld·Html·Tag·Read·Only, never mid-word).
function wrappableName(name) {
  const words = name.match(/[A-Z]+(?![a-z])|[A-Z]?[a-z]+|[0-9]+|[^A-Za-z0-9]+/g) || [name];
  const out = document.createDocumentFragment();
  words.forEach((w, i) => {
    if (i) out.append(document.createElement('wbr'));
    out.append(w);
  });
  return out;
}

function renderSettings() {
  const data = state.settings;
  const form = $('settings-form');
  form.replaceChildren();
  const kindText = { project: 'Project', database: 'Database', table: 'Table', field: 'Field', chart: 'Chart' }[data.kind];
  $('settings-title').textContent = kindText + (data.kind === 'project' ? ' settings' :
    ': ' + (data.table && data.kind !== 'table' ? data.table + '.' : '') + data.name);
  $('remove').hidden = !['table', 'field', 'chart'].includes(data.kind);
  const words = $('filter').value.trim().toLowerCase();
  const showFixed = $('show-fixed').checked;
  let shown = 0;
  for (const group of data.groups) {
    const settings = data.settings.filter((s) => s.group === group && s.file && (showFixed || s.input !== 'fixed') &&
      (!words || (s.name + ' ' + s.description).toLowerCase().includes(words)));
    if (!settings.length) continue;
    const fieldset = el('fieldset', {}, el('legend', {}, group));
    for (const s of settings) {
      const id = 'set-' + s.name;
      const descId = id + '-desc';
      const input = inputFor(s, id, descId);
      const label = el('label', { for: id }, wrappableName(s.name), s.used === 'unused' ? el('span', { class: 'unused-mark', title: 'Neither the template nor the engine reads this setting' }, 'not used') : null);
      const row = el('div', { class: 'setting', 'data-setting': s.name }, label, input,
        el('p', { class: 'desc', id: descId }, s.description + (s.type ? ' (' + s.type + ')' : '')));
      fieldset.append(row);
      shown++;
    }
    form.append(fieldset);
  }
  if (!shown) form.append(el('p', {}, 'No setting matches.'));
}

$('settings-form').addEventListener('change', async (ev) => {
  const input = ev.target;
  if (!input.name || input.readOnly) return;
  const row = input.closest('.setting');
  const value = input.type === 'checkbox' ? (input.checked ? 'True' : 'False') : input.value;
  row.querySelectorAll('.err').forEach((e) => e.remove());
  input.removeAttribute('aria-invalid');
  try {
    const result = await api('POST', 'set', [...objectParams(state.selected), ['name', input.name], ['value', value]]);
    const s = state.settings.settings.find((x) => x.name === input.name);
    if (s) s.value = result.values[s.name];
    row.classList.add('saved');
    setTimeout(() => row.classList.remove('saved'), 1200);
    say('Set ' + input.name + ' (not saved yet)');
    if (['TblName', 'FldName', 'ChartName'].includes(input.name)) {
      state.selected = { ...state.selected, name: value, table: state.selected.kind === 'table' ? value : state.selected.table };
    }
    await loadTree();
    state.waitingForRun = true;
  } catch (e) {
    input.setAttribute('aria-invalid', 'true');
    const id = 'err-' + input.name;
    row.append(el('p', { class: 'err', id, role: 'alert' }, e.message));
    input.setAttribute('aria-describedby', id + ' ' + input.id + '-desc');
    say(e.message, true);
  }
});

$('filter').addEventListener('input', () => state.settings && renderSettings());
$('show-fixed').addEventListener('change', () => state.settings && renderSettings());

// ------------------------------------------------------------ actions

$('undo').addEventListener('click', async () => {
  try {
    const r = await api('POST', 'undo');
    say('Undid ' + r.undone);
    await loadTree();
    await select(state.selected).catch(() => select({ kind: 'project' }));
  } catch (e) { say(e.message, true); }
});

$('save').addEventListener('click', async () => {
  try {
    const r = await api('POST', 'save');
    say('Saved ' + r.saved);
    await loadTree();
  } catch (e) { say(e.message, true); }
});

$('remove').addEventListener('click', async () => {
  const s = state.selected;
  const what = s.kind === 'table' ? s.table : s.table + '.' + s.name;
  if (!confirm('Remove ' + what + ' from the project? The database is not touched.')) return;
  try {
    await api('POST', 'remove', objectParams(s));
    say('Removed ' + what);
    await loadTree();
    await select(s.kind === 'table' ? { kind: 'project' } : { kind: 'table', table: s.table, name: s.table });
  } catch (e) { say(e.message, true); }
});

function openDialog(title, body, okText, onOk) {
  $('dialog-title').textContent = title;
  $('dialog-body').replaceChildren(...body);
  $('dialog-error').textContent = '';
  $('dialog-ok').textContent = okText;
  $('dialog-ok').hidden = !onOk;
  const dialog = $('dialog');
  const handler = async (ev) => {
    if (ev.submitter && ev.submitter.value === 'ok' && onOk) {
      ev.preventDefault();
      try {
        await onOk();
        dialog.close();
        $('dialog-form').removeEventListener('submit', handler);
      } catch (e) { $('dialog-error').textContent = e.message; }
    } else {
      $('dialog-form').removeEventListener('submit', handler);
    }
  };
  $('dialog-form').addEventListener('submit', handler);
  dialog.showModal();
  const first = dialog.querySelector('#dialog-body input, #dialog-body textarea, #dialog-body select');
  if (first) first.focus();
}

function field(label, input) {
  return [el('label', { for: input.id }, label), input];
}

function tableChoice(id) {
  const select = el('select', { id });
  for (const t of state.tree.tables) select.append(el('option', { value: t.name }, t.name));
  if (state.selected.table) select.value = state.selected.table;
  return select;
}

$('add-view').addEventListener('click', () => {
  const name = el('input', { id: 'view-name', type: 'text', required: true });
  const sql = el('textarea', { id: 'view-sql', required: true });
  const copy = el('input', { id: 'view-copy', type: 'checkbox' });
  openDialog('Add a custom view', [...field('Name', name), ...field('SELECT statement', sql),
    el('label', { for: 'view-copy', class: 'check' }, copy, ' Copy the settings of the columns it takes from tables')], 'Add', async () => {
    const r = await api('POST', 'add-view', [['name', name.value], ['sql', sql.value], ['copy_fields', copy.checked ? '1' : '0']]);
    const traced = r.fields.map((f) => f.name + (f.source_table ? ' ← ' + f.source_table + '.' + f.source_field : '')).join(', ');
    say('Added custom view ' + r.name + ': ' + traced);
    await loadTree();
    await select({ kind: 'table', table: r.name, name: r.name });
  });
});

$('add-report').addEventListener('click', () => {
  const name = el('input', { id: 'report-name', type: 'text', required: true });
  const from = tableChoice('report-from');
  openDialog('Add a report', [...field('Name', name), ...field('Made from', from)], 'Add', async () => {
    const r = await api('POST', 'add-report', [['name', name.value], ['from', from.value]]);
    say('Added report ' + r.name);
    await loadTree();
    await select({ kind: 'table', table: r.name, name: r.name });
  });
});

$('add-chart').addEventListener('click', () => {
  const name = el('input', { id: 'chart-name', type: 'text', required: true });
  const table = tableChoice('chart-table');
  openDialog('Add a chart', [...field('Table', table), ...field('Name', name)], 'Add', async () => {
    const r = await api('POST', 'add-chart', [['table', table.value], ['name', name.value]]);
    say('Added chart ' + r.name);
    await loadTree();
    await select({ kind: 'chart', table: table.value, name: r.name });
  });
});

$('check').addEventListener('click', async () => {
  say('Comparing the project with the database…');
  let r;
  try { r = await api('POST', 'check'); } catch (e) { say(e.message, true); return; }
  if (!r.count) { say('The project is in sync with the database'); return; }
  say('The database differs: ' + r.count + ' difference(s)');
  const list = el('ul', { class: 'diffs' });
  const pairs = [];
  r.differences.forEach((d, i) => {
    const where = d.kind === 'field' ? d.table + '.' + (d.field || '') : d.table;
    const text = d.kind + ' ' + where + ': ' + d.change + (d.from ? ' (was ' + d.from + ')' : '') + (d.to ? ' (now ' + d.to + ')' : '');
    if (d.change === 'renamed?') {
      const box = el('input', { type: 'checkbox', id: 'pair-' + i, checked: true });
      pairs.push({ box, d });
      list.append(el('li', {}, el('label', { for: 'pair-' + i, class: 'check' }, box, ' ' + text + ' — treat as renamed')));
    } else {
      list.append(el('li', {}, text));
    }
  });
  openDialog('The database has changed', [el('p', {}, 'Update the project to match? Renamed tables and fields keep their settings when paired.'), list],
    'Update the project', async () => {
      const p = [];
      for (const { box, d } of pairs) {
        if (!box.checked) continue;
        p.push(['from', d.from], ['to', d.kind === 'field' ? d.field : d.table], ['in', d.kind === 'field' ? d.table : '']);
      }
      const s = await api('POST', 'sync', p);
      say(s.updated ? 'Updated the project from the database (not saved yet)' : 'Nothing to update');
      await loadTree();
    });
});

// ------------------------------------------------------------ generation and preview

$('generate').addEventListener('click', async () => {
  try {
    await api('POST', 'generate', [['target', 'destination']]);
    state.waitingForRun = true;
    $('result').replaceChildren();
    say('Generating…');
  } catch (e) { say(e.message, true); }
});

$('cancel').addEventListener('click', async () => {
  try { await api('POST', 'cancel'); say('Cancelling…'); } catch (e) { say(e.message, true); }
});

function showResult(r) {
  const box = $('result');
  box.replaceChildren();
  if (!r.ok) { box.append(el('p', { class: 'error' }, (r.cancelled ? 'Cancelled' : 'Failed') + ': ' + r.error)); return; }
  box.append(el('p', {}, 'Generated ' + r.pages_written + ' page(s) into ' + r.destination + ' in ' + Number(r.seconds).toFixed(1) + ' s; ' + r.unchanged + ' unchanged.'));
  const list = (title, items) => {
    if (!items.length) return;
    box.append(el('p', {}, title + ' (' + items.length + ')'), el('ul', {}, ...items.map((f) => el('li', {}, f))));
  };
  list('Written', r.written);
  list('Skipped', r.skipped);
  list('Warnings', r.warnings);
}

// The preview's page in the frame beside the settings, loaded again after
// each preview run (the frame's own address cannot be read: it is another
// origin, so the page shown is the one named in the Page box).
function showPreview() {
  if (!state.previewUrl) return;
  const page = state.previewPage.replace(/^\/+/, '');
  const url = state.previewUrl + page;
  $('preview-open').href = url;
  const frame = $('preview-frame');
  // The same address again is loaded afresh (setting src to what it holds
  // does not always load it again).
  if (frame.getAttribute('src') === url && frame.contentWindow) frame.contentWindow.location.replace(url);
  else frame.src = url;
}

$('preview-go').addEventListener('submit', (ev) => {
  ev.preventDefault();
  state.previewPage = $('preview-page').value.trim();
  showPreview();
});

// Choosing a table in the tree shows its list page, where the template makes one.
function previewTable(table) {
  const page = table + 'list.php';
  if (!state.previewPages.has(page) || state.previewPage === page) return;
  state.previewPage = page;
  $('preview-page').value = page;
  showPreview();
}

async function poll() {
  let p;
  try { p = await api('GET', 'progress'); } catch (e) { setTimeout(poll, 2000); return; }
  const box = $('progress-box');
  box.hidden = !(p.running && p.target === 'destination');
  $('progress').value = p.position;
  $('progress-label').textContent = (p.caption || 'Generating') + (p.info ? ': ' + p.info : '');
  if (p.preview_url && p.preview_url !== state.previewUrl) {
    state.previewUrl = p.preview_url;
    $('preview-open').hidden = false;
    $('preview-go').hidden = false;
    $('preview-frame').hidden = false;
  }
  if (p.runs !== state.runs && p.result && p.result.ok && p.result.target === 'preview') {
    for (const f of p.result.written) if (f.endsWith('.php')) state.previewPages.add(f.replace(/^public\//, ''));
  }
  if (state.runs >= 0 && p.runs !== state.runs && p.result) {
    if (p.result.target === 'destination' || !p.result.ok) showResult(p.result);
    if (p.result.target === 'destination' && p.result.ok) say('Generated ' + p.result.pages_written + ' page(s)');
  }
  state.runs = p.runs;
  if (p.preview_url && p.preview_runs !== state.previewRuns) {
    state.previewRuns = p.preview_runs;
    $('preview-state').textContent = 'Preview updated at ' + new Date().toLocaleTimeString();
    showPreview();
  }
  setTimeout(poll, p.running ? 300 : 800);
}

(async function start() {
  if (!token) { say('Open the address that tarnwick studio printed: it carries the access token.', true); return; }
  try {
    await loadTree();
    await select({ kind: 'project' });
    say('Opened ' + state.tree.file);
  } catch (e) { say(e.message, true); }
  poll();
})();
