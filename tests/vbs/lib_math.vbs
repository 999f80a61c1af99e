' Conversion and math functions, and the random number generator.

AssertEq CInt(2345.5678), 2346, "CInt rounds"
AssertEq CInt(2.5), 2, "CInt rounds half to even"
AssertEq CLng(25427.55), CLng(25428), "CLng"
AssertEq CByte(125.5678), CByte(126), "CByte"
AssertEq CBool(5), True, "CBool"
AssertEq CStr(437.324), "437.324", "CStr"
AssertEq VarType(CDbl("1.5")), vbDouble, "CDbl subtype"
AssertEq VarType(CCur(1)), vbCurrency, "CCur subtype"
AssertEq VarType(CSng(1)), vbSingle, "CSng subtype"
AssertEq CDate(1), #12/31/1899#, "CDate of a number"

AssertEq Int(99.8), CDbl(99), "Int"
AssertEq Int(-99.8), CDbl(-100), "Int of a negative number"
AssertEq Fix(-99.8), CDbl(-99), "Fix of a negative number"
AssertEq Int(7), 7, "Int keeps an Integer"
AssertEq VarType(Int(CCur(1.5))), vbCurrency, "Int keeps Currency"
AssertTrue IsNull(Int(Null)), "Int(Null)"

AssertEq Round(2.5), CDbl(2), "Round to even"
AssertEq Round(3.5), CDbl(4), "Round to even, up"
AssertEq Round(3.14159, 2), 3.14, "Round to two places"
AssertEq Round(3), 3, "Round keeps an Integer"
AssertEq Abs(-1), 1, "Abs"
AssertEq Abs(-2.5), 2.5, "Abs of a Double"
AssertEq Abs(-32768), CLng(32768), "Abs of -32768"
AssertTrue IsNull(Abs(Null)), "Abs(Null)"
AssertEq Sgn(-7), -1, "Sgn"
AssertEq Sgn(0), 0, "Sgn of zero"
AssertEq Sqr(4), CDbl(2), "Sqr"
AssertTrue Abs(Exp(1) - 2.71828182845905) < 1E-14, "Exp"
AssertTrue Abs(Log(Exp(2)) - 2) < 1E-14, "Log"
AssertTrue Abs(Atn(1) * 4 - 3.14159265358979) < 1E-14, "Atn"
AssertTrue Abs(Sin(0)) < 1E-15 And Abs(Cos(0) - 1) < 1E-15 And Abs(Tan(0)) < 1E-15, "Sin Cos Tan"
AssertEq RGB(255, 0, 0), vbRed, "RGB red"
AssertEq RGB(0, 0, 255), vbBlue, "RGB blue"

' Without Randomize every script draws the same sequence.
AssertEq Rnd, CSng(0.7055475), "first Rnd"
AssertEq Rnd, CSng(0.533424), "second Rnd"
AssertEq Rnd(0), CSng(0.533424), "Rnd(0) repeats"
Dim first, second, i, r, inRange
first = Rnd(-1)
AssertEq VarType(first), vbSingle, "Rnd gives a Single"
AssertTrue Abs(first - 0.224007) < 0.0000005, "Rnd(-1)"
AssertEq Rnd(-1), first, "Rnd(-1) again"
Rnd -1
Randomize 42
first = Rnd
Rnd -1
Randomize 42
second = Rnd
AssertEq first, second, "Randomize with a number repeats from a reset state"
Randomize
inRange = True
For i = 1 To 200
  r = Rnd
  If r < 0 Or r >= 1 Then inRange = False
Next
AssertTrue inRange, "Rnd stays below 1"

Dim x
On Error Resume Next
x = Sqr(-1)
AssertErr 5, "Sqr of a negative number"
x = Log(0)
AssertErr 5, "Log(0)"
x = CInt(40000)
AssertErr 6, "CInt overflow"
x = CStr(Null)
AssertErr 94, "CStr(Null)"
x = CLng("abc")
AssertErr 13, "CLng of a word"
x = Round(1.5, -1)
AssertErr 5, "Round to -1 places"
x = Sgn(Null)
AssertErr 94, "Sgn(Null)"
On Error GoTo 0

Done
