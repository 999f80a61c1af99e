' Variant subtypes and the rules that pick them.

Dim v
AssertEq VarType(v), vbEmpty, "a new variable is Empty"
AssertEq TypeName(v), "Empty", "TypeName of Empty"
v = Null
AssertEq VarType(v), vbNull, "Null"
v = CInt(1)
AssertEq VarType(v), vbInteger, "Integer"
v = CLng(1)
AssertEq VarType(v), vbLong, "Long"
v = CSng(1.5)
AssertEq VarType(v), vbSingle, "Single"
v = 1.5
AssertEq VarType(v), vbDouble, "Double"
v = CCur(1.5)
AssertEq VarType(v), vbCurrency, "Currency"
v = Now
AssertEq VarType(v), vbDate, "Date"
v = "s"
AssertEq VarType(v), vbString, "String"
Set v = New RegExp
AssertEq VarType(v), vbObject, "Object"
v = True
AssertEq VarType(v), vbBoolean, "Boolean"
v = CByte(7)
AssertEq VarType(v), vbByte, "Byte"
v = Array(1, 2)
AssertEq VarType(v), vbArray + vbVariant, "array of Variants"
AssertEq TypeName(v), "Variant()", "TypeName of an array"

' Conversions at the edges of their types.
Dim conversions, conv
conversions = Array( _
  Array(CBool("#TRUE#"), True, "CBool of #TRUE#"), _
  Array(CBool("#false#"), False, "CBool of #FALSE#"), _
  Array(CByte(True), CByte(255), "CByte(True) has all bits set"), _
  Array(CInt(True), CInt(-1), "CInt(True)"), _
  Array(CStr(CCur(922337203685477)), "922337203685477", "CCur of the largest whole amount is exact"), _
  Array(CStr(CCur(-922337203685477.5)), "-922337203685477.5", "CCur keeps the fraction of a large amount"), _
  Array(CStr(CCur(1.23456)), "1.2346", "CCur rounds to four places"))
For Each conv In conversions
  AssertEq conv(0), conv(1), conv(2)
Next
Dim boolText
boolText = "unset"
If "#TRUE#" Then boolText = "taken"
AssertEq boolText, "taken", "If of the text #TRUE#"

' Integer arithmetic widens on overflow: Integer, Long, then Double.
AssertEq TypeName(CInt(100) + CInt(200)), "Integer", "Integer + Integer"
AssertEq CInt(32767) + CInt(1), CLng(32768), "Integer overflow becomes Long"
AssertEq CInt(-32768) - CInt(1), CLng(-32769), "Integer underflow becomes Long"
AssertEq CInt(300) * CInt(300), CLng(90000), "Integer product widens"
AssertEq CLng(2147483647) + CLng(1), 2147483648, "Long overflow becomes Double"
AssertEq TypeName(CLng(2147483647) + 1), "Double", "Long + Integer overflow"
AssertEq TypeName(CInt(1) + CLng(1)), "Long", "Integer + Long"
AssertEq TypeName(CInt(1) + 1.5), "Double", "Integer + Double"
AssertEq TypeName(CByte(1) + CByte(1)), "Byte", "Byte + Byte"
AssertEq TypeName(CByte(200) + CByte(100)), "Integer", "Byte overflow becomes Integer"
AssertEq TypeName(CSng(1) + CInt(1)), "Single", "Single + Integer"
AssertEq TypeName(CSng(1) + CLng(1)), "Double", "Single + Long"
AssertEq TypeName(CCur(1) + 1), "Currency", "Currency + Integer"
AssertEq TypeName(True + True), "Integer", "Boolean + Boolean"
AssertEq True + True, -2, "True + True"
AssertEq TypeName(#1/1/2000# + 1), "Date", "Date + number"
AssertEq TypeName(#1/2/2000# - #1/1/2000#), "Double", "Date - Date"
AssertEq #1/2/2000# - #1/1/2000#, CDbl(1), "days between dates"

' Empty acts as 0 or "", Null propagates.
Dim e
AssertEq e + 1, 1, "Empty + 1"
AssertEq TypeName(e + e), "Integer", "Empty + Empty"
AssertEq e & "x", "x", "Empty & text"
AssertTrue IsNull(Null + 1), "Null + 1"
AssertTrue IsNull(Null * 0), "Null * 0"
AssertTrue IsNull(-Null), "-Null"

' Text with numbers: + adds numeric text, & joins.
AssertEq "3" + 4, CDbl(7), "numeric text + number"
AssertEq "3" + "4", "34", "text + text joins"
AssertEq "3" & 4, "34", "text & number"
AssertEq "3" * "4", CDbl(12), "text * text multiplies"

' Assignment copies values; arrays are copied too.
Dim a1, a2
a1 = Array(1, 2, 3)
a2 = a1
a2(0) = 99
AssertEq a1(0), 1, "array assignment copies"
AssertEq a2(0), 99, "copy changed"
Dim s1, s2
s1 = "abc"
s2 = s1
s2 = s2 & "d"
AssertEq s1, "abc", "string copy unaffected"

' Objects are references.
Set o1 = CreateObject("Scripting.Dictionary")
Set o2 = o1
o2.Add "k", 1
AssertEq o1.Count, CLng(1), "object references share"
AssertTrue o1 Is o2, "Is compares references"

' Errors of conversion and overflow.
On Error Resume Next
v = "abc" + 1
AssertErr 13, "non-numeric text + number"
v = CInt(40000)
AssertErr 6, "CInt overflow"
v = 1.7976931348623157E+308 * 10
AssertErr 6, "Double overflow"
v = Null
v = CLng(v)
AssertErr 94, "invalid use of Null"
v = Array(1) + 1
AssertErr 13, "array in arithmetic"
On Error GoTo 0

Done
