// Small conveniences for the generated pages; every page works without them.
(function () {
  'use strict';
  // With scripts on, a narrow screen shows the menu behind its button.
  document.documentElement.classList.add('tw-js');
  document.addEventListener('DOMContentLoaded', function () {
    document.querySelectorAll('.tw-menu-button').forEach(function (button) {
      var menu = document.getElementById(button.getAttribute('aria-controls'));
      if (!menu) return;
      button.addEventListener('click', function () {
        var open = menu.classList.toggle('tw-menu-open');
        button.setAttribute('aria-expanded', open ? 'true' : 'false');
      });
    });
    // "select all" box of a multi-delete list
    document.querySelectorAll('.tw-check-all').forEach(function (box) {
      box.addEventListener('change', function () {
        var form = box.closest('form');
        if (!form) return;
        form.querySelectorAll('input[name="keys[]"]').forEach(function (c) { c.checked = box.checked; });
      });
    });
    // records-per-page choice applies at once
    document.querySelectorAll('select.tw-autosubmit').forEach(function (sel) {
      sel.addEventListener('change', function () { sel.form.submit(); });
    });
    // file inputs: refuse files over the field's limit before uploading them
    document.querySelectorAll('input[type=file][data-max-size]').forEach(function (input) {
      input.addEventListener('change', function () {
        var max = parseInt(input.getAttribute('data-max-size'), 10);
        var f = input.files && input.files[0];
        input.setCustomValidity(f && max && f.size > max ? 'The file is too large' : '');
      });
    });
    // lookups over large tables: typing searches the table (the page's JSON
    // lookup), the chosen value stays among the choices
    document.querySelectorAll('input.tw-lookup-search').forEach(function (input) {
      var select = document.getElementById(input.getAttribute('data-for'));
      if (!select) return;
      var timer = null;
      var asked = 0;
      function option(value, label, selected) {
        var o = document.createElement('option');
        o.value = value;
        o.textContent = label;
        if (selected) o.selected = true;
        return o;
      }
      function show(term, data) {
        var current = select.value;
        var currentLabel = select.selectedIndex >= 0 ? select.options[select.selectedIndex].textContent : '';
        while (select.options.length) select.remove(0);
        select.appendChild(option('', select.getAttribute('data-empty') || '', current === ''));
        var found = false;
        data.items.forEach(function (item) {
          found = found || item.value === current;
          select.appendChild(option(item.value, item.label, item.value === current));
        });
        if (!found && current !== '') select.insertBefore(option(current, currentLabel, true), select.options[1] || null);
        if (data.more) {
          var more = option('', '\u2026', false);
          more.disabled = true;
          select.appendChild(more);
        }
      }
      select.setAttribute('data-empty', select.options.length ? select.options[0].textContent : '');
      input.addEventListener('input', function () {
        clearTimeout(timer);
        timer = setTimeout(function () {
          var n = ++asked;
          var url = input.getAttribute('data-url') + '&q=' + encodeURIComponent(input.value.trim());
          fetch(url, { credentials: 'same-origin', headers: { 'Accept': 'application/json' } })
            .then(function (r) { return r.ok ? r.json() : null; })
            .then(function (data) { if (data && n === asked) show(input.value, data); })
            .catch(function () {});
        }, 250);
      });
    });
    // record forms: the browser's own checks (required, pattern) before sending
    document.querySelectorAll('form.tw-record-form').forEach(function (form) {
      form.addEventListener('submit', function (ev) {
        if (!form.checkValidity()) { ev.preventDefault(); form.reportValidity(); }
      });
    });
  });
})();
