' FormatNumber, FormatCurrency and FormatPercent under en-US settings.

AssertEq FormatNumber(1234.5678, 2), "1,234.57", "FormatNumber two places"
AssertEq FormatNumber(1234.5678), "1,234.57", "FormatNumber default places"
AssertEq FormatNumber(0.5, 2, vbFalse), ".50", "FormatNumber without leading digit"
AssertEq FormatNumber(-5, 2, , vbTrue), "(5.00)", "FormatNumber with parentheses"
AssertEq FormatNumber(1234567, 0, , , vbFalse), "1234567", "FormatNumber without grouping"
AssertEq FormatNumber(2.675, 2), "2.68", "FormatNumber rounds the decimal digits"
AssertEq FormatNumber("12"), "12.00", "FormatNumber of a text"
AssertEq FormatCurrency(1000), "$1,000.00", "FormatCurrency"
AssertEq FormatCurrency(-5), "($5.00)", "FormatCurrency negative"
AssertEq FormatCurrency(-5, , , vbFalse), "-$5.00", "FormatCurrency negative without parentheses"
AssertEq FormatPercent(0.5), "50.00%", "FormatPercent"
AssertEq FormatPercent(2 / 32), "6.25%", "FormatPercent 2/32"
AssertEq FormatPercent(-0.125, 1), "-12.5%", "FormatPercent negative"

Dim x
On Error Resume Next
x = FormatNumber(Null)
AssertErr 13, "FormatNumber(Null)"
x = FormatNumber("abc")
AssertErr 13, "FormatNumber of a word"
x = FormatCurrency(1, Null)
AssertErr 94, "FormatCurrency with Null places"
On Error GoTo 0

Done
