' Numeric, string, date and keyword literals.

' Whole numbers are Integer up to 32767, Long up to 2147483647, then Double.
AssertEq TypeName(0), "Integer", "0 is an Integer"
AssertEq TypeName(32767), "Integer", "32767 is an Integer"
AssertEq TypeName(32768), "Long", "32768 is a Long"
AssertEq TypeName(2147483647), "Long", "2147483647 is a Long"
AssertEq TypeName(2147483648), "Double", "2147483648 is a Double"
AssertEq TypeName(-32768), "Long", "-32768 is the negation of the Long 32768"
AssertEq TypeName(-1), "Integer", "-1 is an Integer"

' Decimal points and exponents make Doubles.
AssertEq 1.5, CDbl(3) / 2, "decimal literal"
AssertEq TypeName(1.0), "Double", "1.0 is a Double"
AssertEq .5, 0.5, "leading dot"
AssertEq 1E3, CDbl(1000), "exponent"
AssertEq 2.5e-1, 0.25, "negative exponent"
AssertEq 1.5E+2, CDbl(150), "signed exponent"
AssertEq TypeName(1E3), "Double", "exponent form is a Double"
AssertEq 1e-400, CDbl(0), "a literal too small to hold is 0"
AssertEq -1.5e-330 * 1e300, CDbl(0), "a negated literal too small to hold is 0"

' Hexadecimal and octal: four digits or less are Integer, more are Long.
AssertEq &HFF, 255, "hex"
AssertEq &hff, 255, "hex lower case"
AssertEq &HFFFF, -1, "&HFFFF is Integer -1"
AssertEq TypeName(&HFFFF), "Integer", "four hex digits are an Integer"
AssertEq &H8000, CInt(-32768), "&H8000 is the lowest Integer"
' A trailing & reads the digits as 32 bits; the value keeps the smallest
' subtype that holds it.
AssertEq &HFFFF&, 65535, "& suffix: four digits are not sign-extended"
AssertEq TypeName(&HFFFF&), "Long", "65535 needs a Long"
AssertEq TypeName(&HFF&), "Integer", "& suffix on a small value"
AssertEq TypeName(&H10&), "Integer", "&H10& is an Integer"
AssertEq TypeName(&H10000&), "Long", "&H10000& is a Long"
AssertEq &HFFFFFFFF&, -1, "&HFFFFFFFF& is -1"
AssertEq TypeName(&HFFFFFFFF&), "Integer", "-1 fits an Integer"
AssertEq TypeName(&H8000&), "Long", "32768 needs a Long"
AssertEq &O177777&, CLng(65535), "octal with & suffix"
AssertEq &H10000, 65536, "five hex digits are a Long"
AssertEq &HFFFFFFFF, CLng(-1), "eight hex digits wrap to a negative Long"
AssertEq TypeName(&H7FFFFFFF), "Long", "&H7FFFFFFF is a Long"
AssertEq &O17, 15, "octal"
AssertEq &O177777, -1, "octal up to 16 bits is an Integer"

' Strings: doubled quotes stand for one.
AssertEq "say ""hi""", "say " & Chr(34) & "hi" & Chr(34), "doubled quotes"
AssertEq Len(""""), CLng(1), "one quote"
AssertEq "", vbNullString, "empty string"
AssertEq TypeName(""), "String", "empty string type"

' Dates between # signs.
AssertEq TypeName(#1/2/2003#), "Date", "date literal type"
AssertEq Year(#1/2/2003#), 2003, "date literal year"
AssertEq Month(#1/2/2003#), 1, "month first under locale 1033"
AssertEq Day(#1/2/2003#), 2, "day second"
AssertEq Hour(#1/2/2003 3:04:05 PM#), 15, "date literal with a time"
AssertEq Minute(#10:30:00#), 30, "time-only literal"
AssertEq CDbl(#12/30/1899#), CDbl(0), "day zero"

' Keyword literals.
AssertEq VarType(True), vbBoolean, "True"
AssertEq CInt(True), -1, "True is -1"
AssertEq CInt(False), 0, "False is 0"
AssertTrue IsEmpty(Empty), "Empty"
AssertTrue IsNull(Null), "Null"
AssertTrue Nothing Is Nothing, "Nothing"
AssertEq TypeName(Nothing), "Nothing", "TypeName(Nothing)"

' Constants.
Const kAnswer = 42, kName = "deep", kNeg = -7, kDate = #7/4/1999#
AssertEq kAnswer, 42, "Const number"
AssertEq kName, "deep", "Const string"
AssertEq kNeg, -7, "Const with a sign"
AssertEq Year(kDate), 1999, "Const date"
On Error Resume Next
kAnswer = 1
AssertErr 501, "assigning to a constant"
On Error GoTo 0
AssertEq kAnswer, 42, "constant unchanged"

Done
