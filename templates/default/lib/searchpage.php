<?php
// The advanced search page of a table: a form that sends each searchable
// field's value (and operator) to the list page.
declare(strict_types=1);

namespace Tarnwick;

final class SearchPage
{
    public function __construct(private readonly App $app, private readonly array $t)
    {
    }

    /** The advanced search page: one row per searchable field, sent to the list page. */
    public function run(): void
    {
        $html = '<h1>' . H::e($this->t['caption']) . ': ' . H::e(Lang::t('advanced_search')) . '</h1>'
            . '<form method="get" action="' . H::e($this->t['pages']['list'] ?? '') . '" class="tw-form tw-advanced"><table class="tw-grid tw-record">';
        foreach ($this->t['fields'] as $f) {
            if (!$f['search']) {
                continue;
            }
            $html .= '<tr><th>' . H::e($f['caption']) . '</th><td class="tw-op">';
            if ($f['search_op'] === 'USER SELECT') {
                $html .= '<select name="z_' . H::e($f['var']) . '" aria-label="' . H::e(Lang::t('operator')) . '">';
                foreach (Meta::OPERATORS as $op) {
                    $html .= '<option value="' . H::e($op) . '">' . H::e($op) . '</option>';
                }
                $html .= '</select>';
            } else {
                $html .= H::e($f['search_op']);
            }
            $html .= '</td><td>';
            $sf = $f;
            $sf['required'] = false;
            $sf['var'] = 'x_' . $f['var'];
            $sf['readonly'] = false;
            if (in_array($f['control'], ['RADIO', 'CHECKBOX'], true)) {
                $sf['control'] = 'SELECT';
                $sf['multiple'] = false;
            } elseif (!in_array($f['control'], ['SELECT'], true)) {
                $sf['control'] = 'TEXT';
            }
            $sf['validate'] = '';
            $html .= Controls::render($this->app, $sf, null, false);
            if ($f['search_op'] === 'BETWEEN' || $f['search_op'] === 'USER SELECT') {
                $sf['var'] = 'y_' . $f['var'];
                $html .= ' <span class="tw-and">' . H::e(Lang::t('and')) . '</span> ' . Controls::render($this->app, $sf, null, false);
            }
            $html .= '</td></tr>';
        }
        $html .= '</table><div class="tw-buttons"><button type="submit" class="tw-btn tw-btn-primary">' . H::e(Lang::t('search'))
            . '</button> <button type="reset" class="tw-btn">' . H::e(Lang::t('reset')) . '</button> <a href="'
            . H::e($this->t['pages']['list'] ?? '') . '">' . H::e(Lang::t('back_to_list')) . '</a></div></form>';
        $this->app->render($this->t['caption'] . ' - ' . Lang::t('advanced_search'), $html);
    }
}
