// Small conveniences for the generated pages; every page works without them.
(function () {
  'use strict';
  document.addEventListener('DOMContentLoaded', function () {
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
    // record forms: the browser's own checks (required, pattern) before sending
    document.querySelectorAll('form.tw-record-form').forEach(function (form) {
      form.addEventListener('submit', function (ev) {
        if (!form.checkValidity()) { ev.preventDefault(); form.reportValidity(); }
      });
    });
  });
})();
