<?php
// Phrases shown to the user. A project can replace any of them through
// config.php ('phrases' => ['key' => 'text']).
declare(strict_types=1);

namespace Tarnwick;

final class Lang
{
    /** @var array<string,string> */
    private static array $phrases = [
        'add' => 'Add', 'edit' => 'Edit', 'view' => 'View', 'copy' => 'Copy',
        'delete' => 'Delete', 'back_to_list' => 'Back to list', 'save' => 'Save',
        'add_record' => 'Add record', 'cancel' => 'Cancel', 'search' => 'Search',
        'show_all' => 'Show all', 'advanced_search' => 'Advanced search',
        'exact_phrase' => 'Exact phrase', 'all_words' => 'All words', 'any_word' => 'Any word', 'starts_with' => 'Starts with',
        'records' => 'Records %1$d to %2$d of %3$d', 'no_records' => 'No records found',
        'page' => 'Page', 'of' => 'of', 'first' => 'First', 'previous' => 'Previous',
        'next' => 'Next', 'last' => 'Last', 'go' => 'Go', 'records_per_page' => 'Records per page',
        'all' => 'All', 'export' => 'Export', 'export_csv' => 'CSV', 'export_html' => 'HTML',
        'export_excel' => 'Excel', 'export_xml' => 'XML', 'export_word' => 'Word',
        'delete_selected' => 'Delete selected', 'select_all' => 'Select all',
        'delete_confirm' => 'Do you really want to delete these records?',
        'delete_confirm_button' => 'Confirm delete', 'deleted' => '%d record(s) deleted',
        'delete_failed' => 'The record could not be deleted: other records still refer to it.',
        'added' => 'Record added', 'updated' => 'Record updated',
        'save_failed' => 'The record could not be saved: a value conflicts with another record.',
        'save_bad_reference' => 'The record could not be saved: a value refers to a record that does not exist.',
        'save_broken_rule' => 'The record could not be saved: a value breaks a rule of the database.',
        'save_missing_value' => 'The record could not be saved: the database needs a value that was left empty.',
        'save_bad_value' => 'The record could not be saved: the database cannot hold a value as it was entered (its form or its size).',
        'not_found' => 'Record not found', 'no_selection' => 'No records selected',
        'please_select' => 'Please select', 'required' => 'Please enter a value for %s',
        'invalid_integer' => '%s must be a whole number', 'invalid_float' => '%s must be a number',
        'invalid_date' => '%s must be a date in the form %s', 'invalid_time' => '%s must be a time in the form hh:mm or hh:mm:ss',
        'invalid_guid' => '%s must be a GUID', 'invalid_choice' => '%s: please choose one of the offered values',
        'out_of_range' => '%s must lie between %s and %s', 'too_long' => '%s may hold at most %d characters',
        'invalid_search' => 'Search value for %s is not valid', 'fix_errors' => 'Please correct the entries marked below.',
        'upload_too_big' => '%s: the file is larger than %s bytes', 'upload_bad_type' => '%s: files of this type are not accepted',
        'upload_failed' => '%s: the upload failed', 'upload_not_image' => '%s: the file is not an image',
        'keep_file' => 'Keep', 'remove_file' => 'Remove', 'replace_file' => 'Replace',
        'csrf' => 'The form has expired or did not come from this site. Please reload the page and try again.',
        'error_title' => 'Error', 'error_text' => 'Sorry, the request could not be completed. The error has been logged.',
        'forbidden' => 'You may not open this page.', 'bad_request' => 'The request is not valid.',
        'login' => 'Login', 'logout' => 'Logout', 'username' => 'User name', 'password' => 'Password',
        'remember' => 'Remember me', 'login_failed' => 'Incorrect user name or password',
        'login_required' => 'Please log in first', 'logged_out' => 'You have been logged out',
        'register' => 'Register', 'registered' => 'Registration complete. You can log in now.',
        'login_taken' => 'This user name is already taken', 'confirm_password' => 'Confirm password',
        'password_mismatch' => 'The passwords do not match', 'password_short' => 'The password must have at least %d characters',
        'change_password' => 'Change password', 'old_password' => 'Old password', 'new_password' => 'New password',
        'password_changed' => 'Your password has been changed', 'old_password_wrong' => 'The old password is not correct',
        'password_fixed' => 'This account\'s password is set in the configuration and cannot be changed here',
        'home' => 'Home', 'tables' => 'Tables', 'views' => 'Views', 'reports' => 'Reports', 'logged_in_as' => 'Logged in as %s',
        'master_record' => 'Master record', 'details' => 'Details', 'group_total' => 'Summary for %s',
        'grand_total' => 'Grand total', 'sum' => 'Sum', 'avg' => 'Average', 'min' => 'Min', 'max' => 'Max',
        'count' => 'Count', 'actions' => 'Actions', 'yes' => 'Yes', 'no' => 'No', 'and' => 'and',
        'operator' => 'Operator', 'value' => 'Value', 'reset' => 'Reset', 'file' => 'File',
        'db_default' => 'Left empty, the database fills in its default.', 'type_to_search' => 'More choices: type in the search box', 'all_limited' => 'Only the first %1$d of %2$d records are shown; page through the list to see them all.', 'records_uncounted' => 'Records %1$d to %2$d (not counted: counting all records took too long)', 'records_over' => 'Records %1$d to %2$d of more than %3$d (lists this long are not counted)', 'records_unsearched' => 'Records %1$d to %2$d (not counted: the search would read more than %3$d records)', 'report_limited' => 'The report lists the first %1$d of %2$d rows; its summaries and totals count every row.',
    ];

    /** @param array<string,string> $overrides */
    public static function load(array $overrides): void
    {
        foreach ($overrides as $k => $v) {
            self::$phrases[(string)$k] = (string)$v;
        }
    }

    /** The phrase $key, with sprintf arguments when given. */
    public static function t(string $key, mixed ...$args): string
    {
        $text = self::$phrases[$key] ?? $key;
        return $args ? vsprintf($text, $args) : $text;
    }
}
