' If, Select Case, For, For Each, Do, While and Exit.

Dim r, i, j, s

' Block If with ElseIf and Else.
Function Classify(n)
  If n < 0 Then
    Classify = "negative"
  ElseIf n = 0 Then
    Classify = "zero"
  ElseIf n < 10 Then
    Classify = "small"
  Else
    Classify = "large"
  End If
End Function
AssertEq Classify(-5), "negative", "If branch"
AssertEq Classify(0), "zero", "first ElseIf"
AssertEq Classify(5), "small", "second ElseIf"
AssertEq Classify(50), "large", "Else"

' Single-line forms.
r = 0
If True Then r = 1
AssertEq r, 1, "single-line If"
If False Then r = 2 Else r = 3
AssertEq r, 3, "single-line Else"
If False Then r = 4 Else If True Then r = 5 Else r = 6
AssertEq r, 5, "single-line If inside Else"
If True Then If False Then r = 7 Else r = 8
AssertEq r, 8, "Else binds to the nearest If"

' Select Case: lists of values, Case Else, first match wins.
Function Kind(v)
  Select Case v
    Case 1, 2, 3
      Kind = "low"
    Case 4: Kind = "four"
    Case 4, 5
      Kind = "never for 4"
    Case Else
      Kind = "other"
  End Select
End Function
AssertEq Kind(2), "low", "Case list"
AssertEq Kind(4), "four", "first matching Case"
AssertEq Kind(5), "never for 4", "later Case"
Select Case "y"
  Case "x", "y"
    r = "letter"
  Case Else
    r = "no"
End Select
AssertEq r, "letter", "Case with texts"
' A numeric Case value reads the tested text as a number.
Select Case "2"
  Case 2
    r = "two"
  Case Else
    r = "no"
End Select
AssertEq r, "two", "text tested against a numeric literal"
AssertEq Kind(9), "other", "Case Else"
AssertEq Kind(Null), "other", "Null matches no Case"
r = "none"
Select Case 10
  Case 1
    r = "one"
End Select
AssertEq r, "none", "no Case matches and no Case Else"
' The tested expression is evaluated once.
Dim evals
evals = 0
Function Tested()
  evals = evals + 1
  Tested = 3
End Function
Select Case Tested()
  Case 1
  Case 2
  Case 3
End Select
AssertEq evals, 1, "Select Case evaluates its expression once"

' For with Step; the counter ends one step past the limit.
s = ""
For i = 1 To 10 Step 3
  s = s & i & ","
Next
AssertEq s, "1,4,7,10,", "For Step 3"
AssertEq i, 13, "counter after the loop"
s = ""
For i = 10 To 1 Step -4
  s = s & i & ","
Next
AssertEq s, "10,6,2,", "negative Step"
AssertEq i, -2, "counter after a downward loop"
r = 0
For i = 5 To 1
  r = r + 1
Next
AssertEq r, 0, "a loop whose start passes its limit does not run"
AssertEq i, 5, "counter keeps the start"
s = ""
For i = 0 To 1 Step 0.25
  s = s & i & " "
Next
AssertEq s, "0 0.25 0.5 0.75 1 ", "fractional Step"
' Limit and step are evaluated once.
Dim limit
limit = 3
r = 0
For i = 1 To limit
  limit = 10
  r = r + 1
Next
AssertEq r, 3, "limit evaluated once"
' The counter can be changed inside the loop.
r = 0
For i = 1 To 10
  i = i + 1
  r = r + 1
Next
AssertEq r, 5, "changing the counter inside the loop"
AssertEq TypeName(i), "Integer", "counter keeps the Integer subtype"
For i = 32766 To 32767
Next
AssertEq TypeName(i), "Long", "counter widens past 32767"
' Texts as bounds are read as numbers.
r = 0
For i = "1" To "3"
  r = r + 1
Next
AssertEq r, 3, "text bounds"

' Nested loops and Exit For.
s = ""
For i = 1 To 3
  For j = 1 To 3
    If j = 2 Then Exit For
    s = s & i & j & " "
  Next
Next
AssertEq s, "11 21 31 ", "Exit For leaves the inner loop"

' For Each over arrays and collections.
s = ""
For Each r In Array("a", "b", "c")
  s = s & r
Next
AssertEq s, "abc", "For Each over an array"
Dim grid(1, 1)
grid(0, 0) = 1 : grid(1, 0) = 2 : grid(0, 1) = 3 : grid(1, 1) = 4
s = ""
For Each r In grid
  s = s & r
Next
AssertEq s, "1234", "For Each over a two-dimensional array, first index fastest"
Dim d
Set d = CreateObject("Scripting.Dictionary")
d.Add "k1", 1
d.Add "k2", 2
s = ""
For Each r In d
  s = s & r & "=" & d(r) & ";"
Next
AssertEq s, "k1=1;k2=2;", "For Each over a Dictionary gives keys"
s = ""
For Each r In Array()
  s = s & "x"
Next
AssertEq s, "", "For Each over an empty array"
s = ""
For Each r In Array(1, 2, 3, 4)
  If r = 3 Then Exit For
  s = s & r
Next
AssertEq s, "12", "Exit For in For Each"
On Error Resume Next
For Each r In 42
  s = "ran"
Next
AssertErr 451, "For Each over a number"
On Error GoTo 0

' Do loops: test at the top or at the bottom, While or Until.
i = 0
Do While i < 5
  i = i + 1
Loop
AssertEq i, 5, "Do While"
i = 0
Do Until i = 3
  i = i + 1
Loop
AssertEq i, 3, "Do Until"
i = 10
Do
  i = i + 1
Loop While i < 5
AssertEq i, 11, "Loop While runs the body once"
i = 0
Do
  i = i + 2
Loop Until i >= 7
AssertEq i, 8, "Loop Until"
i = 0
Do
  i = i + 1
  If i = 4 Then Exit Do
Loop
AssertEq i, 4, "Exit Do"
i = 0
Do While True
  Do
    i = i + 1
    Exit Do
  Loop
  If i >= 3 Then Exit Do
Loop
AssertEq i, 3, "Exit Do leaves the innermost Do"

' While ... Wend.
i = 0
While i < 4
  i = i + 1
Wend
AssertEq i, 4, "While Wend"

' Exit Sub and Exit Function.
Function FirstOver(limitValue)
  Dim k
  For k = 1 To 100
    If k * k > limitValue Then
      FirstOver = k
      Exit Function
    End If
  Next
  FirstOver = -1
End Function
AssertEq FirstOver(50), 8, "Exit Function inside a loop"
r = 0
Sub Early()
  r = 1
  Exit Sub
  r = 2
End Sub
Early
AssertEq r, 1, "Exit Sub"

Done
