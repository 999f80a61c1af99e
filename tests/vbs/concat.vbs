' The & operator and appending in place.

AssertEq "a" & "b", "ab", "texts"
AssertEq 1 & 2, "12", "numbers become text"
AssertEq TypeName(1 & 2), "String", "& gives a String"
AssertEq "x" & True, "xTrue", "Boolean as text"
AssertEq "x" & 1.5, "x1.5", "Double as text"
AssertEq "a" & Null, "a", "Null joins as nothing"
AssertEq Null & "a", "a", "Null on the left"
AssertTrue IsNull(Null & Null), "Null & Null is Null"
Dim e
AssertEq e & e, "", "Empty & Empty is an empty String"
AssertEq TypeName(e & e), "String", "Empty & Empty type"
AssertEq "a" & "b" & "c" & "d", "abcd", "chains"
' Integer and Long digits, in a pair, a chain and appended in place.
Dim small, big, neg
small = CInt(-32768) : big = CLng(-2147483647) - 1 : neg = -7
AssertEq "i" & small, "i-32768", "lowest Integer"
AssertEq big & "L", "-2147483648L", "lowest Long"
AssertEq small & big, "-32768-2147483648", "two numbers"
AssertEq "<" & neg & ">" & 2147483647 & "|" & 0, "<-7>2147483647|0", "numbers in a chain"
Dim built
built = "n="
built = built & neg & "," & small & "," & 1.5 & "," & 40000
AssertEq built, "n=-7,-32768,1.5,40000", "numbers appended in place"
AssertEq Null & Null & "z", "z", "Null chain with text"
AssertTrue IsNull(Null & Null & Null), "all Null"

' s = s & x builds a text; copies taken on the way keep their value.
Dim s, snapshot, i
s = ""
For i = 1 To 1000
  s = s & "ab"
  If i = 10 Then snapshot = s
Next
AssertEq Len(s), CLng(2000), "1000 appends"
AssertEq snapshot, "abababababababababab", "copy made during appending is unchanged"
AssertEq Left(s, 4), "abab", "start of the text"

' Several parts appended at once.
Dim page, parts(2)
parts(1) = "<p>" : parts(2) = "</p>"
page = ""
page = page & parts(1) & 42 & parts(2)
page = page & parts(1) & Null & parts(2)
AssertEq page, "<p>42</p><p></p>", "page-shaped appends"

' A variable that is not yet a text.
Dim u
u = u & "x"
AssertEq u, "x", "append to Empty"
Dim num
num = 5
num = num & "x"
AssertEq num, "5x", "append to a number"
Dim nul
nul = Null
nul = nul & Null
AssertTrue IsNull(nul), "Null & Null stays Null"

' An error while building the parts leaves the variable unchanged.
Dim kept
kept = "start"
On Error Resume Next
kept = kept & "more" & (1 / 0)
AssertErr 11, "error in an appended part"
On Error GoTo 0
AssertEq kept, "start", "failed append changed nothing"

' Appending inside a procedure to a ByRef parameter and to a global.
Dim g
g = "g"
Sub AddTo(ByRef target, what)
  target = target & what
End Sub
AddTo g, "1"
AddTo g, "2"
AssertEq g, "g12", "append through ByRef"

' Objects take part through their default member.
Class Named
  Public Default Property Get Value
    Value = "N"
  End Property
End Class
Dim nm
Set nm = New Named
AssertEq "x" & nm, "xN", "default member in &"
Dim acc
acc = "a"
acc = acc & nm & nm
AssertEq acc, "aNN", "default member in an append"

Done
