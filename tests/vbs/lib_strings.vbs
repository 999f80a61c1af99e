' String functions as scripts call them: optional arguments, Null, errors.

AssertEq Len("VBSCRIPT"), CLng(8), "Len"
AssertEq Len(123), CLng(3), "Len of a number"
AssertTrue IsNull(Len(Null)), "Len(Null) is Null"
AssertEq Len("h" & ChrW(233) & "llo"), CLng(5), "Len counts characters"
AssertEq Left("VBSCript", 3), "VBS", "Left"
AssertTrue IsNull(Left(Null, 1)), "Left(Null) is Null"
AssertEq Right("Hello World", 6), " World", "Right"
AssertEq Mid("VB Script is fun!", 4, 6), "Script", "Mid"
AssertEq Mid("VB Script is fun!", 14), "fun!", "Mid without length"
AssertTrue IsNull(Mid(Null, 1)), "Mid(Null) is Null"
AssertEq UCase("abc" & ChrW(228)), "ABC" & ChrW(196), "UCase"
AssertTrue IsNull(UCase(Null)), "UCase(Null) is Null"
AssertEq LCase("MiXeD"), "mixed", "LCase"
AssertEq Trim("  x  "), "x", "Trim"
AssertEq LTrim("  x  "), "x  ", "LTrim"
AssertEq RTrim("  x  "), "  x", "RTrim"
AssertEq Space(3), "   ", "Space"
AssertEq String(5, "*"), "*****", "String with a character"
AssertEq String(3, 65), "AAA", "String with a code"
AssertEq StrReverse("VBScript"), "tpircSBV", "StrReverse"

Dim s
s = "XXpXXpXXPXXP"
AssertEq InStr(4, s, "P", 1), CLng(6), "InStr text compare from 4"
AssertEq InStr(1, s, "P", 0), CLng(9), "InStr binary"
AssertEq InStr(s, "P"), CLng(9), "InStr without start"
AssertEq InStr(s, "W"), CLng(0), "InStr not found"
AssertEq InStr(1, s, "p", vbTextCompare), CLng(3), "InStr vbTextCompare"
AssertTrue IsNull(InStr(s, Null)), "InStr with Null"
AssertEq InStrRev(s, "P", -1, 1), CLng(12), "InStrRev"
AssertEq InStrRev(s, "P", 8, 1), CLng(6), "InStrRev from 8"
AssertEq InStrRev("abcabc", "b"), CLng(5), "InStrRev default start"
AssertEq InStrRev("abcabc", "B", , vbTextCompare), CLng(5), "InStrRev with a skipped start"

AssertEq Replace("XXpXXPXXp", "p", "Y"), "XXYXXPXXY", "Replace"
AssertEq Replace("XXpXXPXXp", "p", "Y", 3, -1, 1), "YXXYXXY", "Replace from 3, text compare"
AssertEq Replace("aaa", "a", "b", 1, 2), "bba", "Replace count"
AssertEq Replace("aAa", "a", "-", , , vbTextCompare), "---", "Replace with skipped arguments"

Dim parts
parts = Split("a,b,,c", ",")
AssertEq UBound(parts), CLng(3), "Split keeps empty parts"
AssertEq parts(2), "", "Split empty part"
AssertEq parts(3), "c", "Split last part"
parts = Split("VBScriptXisXfun!", "x", -1, 1)
AssertEq Join(parts, "|"), "VBScript|is|fun!", "Split text compare and Join"
parts = Split("")
AssertEq UBound(parts), CLng(-1), "Split of an empty text"
AssertEq Join(Array("Mr.", "John", "Doe")), "Mr. John Doe", "Join default delimiter"
parts = Filter(Array("Sunday", "Monday", "Tuesday"), "Mon")
AssertEq UBound(parts), CLng(0), "Filter count"
AssertEq parts(0), "Monday", "Filter match"
parts = Filter(Array("Sunday", "Monday", "Tuesday"), "mon", False, vbTextCompare)
AssertEq Join(parts, ","), "Sunday,Tuesday", "Filter exclude"

AssertEq StrComp("ABCD", "abcd", vbTextCompare), 0, "StrComp text"
AssertEq StrComp("ABCD", "abcd"), -1, "StrComp binary"
AssertEq StrComp("a", "B", 1), -1, "StrComp a B text"
AssertTrue IsNull(StrComp("a", Null)), "StrComp with Null"

AssertEq Asc("Apple"), 65, "Asc"
AssertEq Asc(Chr(128)), 128, "Asc of the euro sign"
AssertEq AscW(ChrW(8364)), 8364, "AscW"
AssertEq Chr(65), "A", "Chr"
AssertEq Hex(255), "FF", "Hex"
AssertEq Hex(-1), "FFFF", "Hex of an Integer"
AssertEq Hex(CLng(-1)), "FFFFFFFF", "Hex of a Long"
AssertEq Hex(-32768), "FFFF8000", "Hex of -32768, a Long"
AssertEq Oct(8), "10", "Oct"
AssertTrue IsNull(Hex(Null)), "Hex(Null)"
AssertEq Escape("a b"), "a%20b", "Escape"
AssertEq Unescape("a%20b%u20AC"), "a b" & ChrW(8364), "Unescape"

On Error Resume Next
s = Left("abc", -1)
AssertErr 5, "Left with a negative length"
s = Mid("abc", 0)
AssertErr 5, "Mid from 0"
s = Mid("abc", Null, 1)
AssertErr 94, "Mid with a Null start"
s = Asc("")
AssertErr 5, "Asc of an empty text"
s = Chr(256)
AssertErr 5, "Chr(256)"
s = Replace(Null, "a", "b")
AssertErr 94, "Replace of Null"
s = Split(Null)
AssertErr 94, "Split of Null"
s = InStr(0, "abc", "b")
AssertErr 5, "InStr from 0"
s = Space(-1)
AssertErr 5, "Space(-1)"
s = Join("abc")
AssertErr 13, "Join of a text"
s = Join(Array(1, Null))
AssertErr 13, "Join of a list holding Null"
On Error GoTo 0

Done
