' Deep recursion and huge values raise errors instead of stopping the host.

Function Endless(n)
  Endless = Endless(n + 1)
End Function
On Error Resume Next
Dim r
r = Endless(1)
AssertErr 28, "runaway recursion is Out of stack space"
On Error GoTo 0

' Recursion to a moderate depth works.
Function Down(n)
  If n = 0 Then
    Down = 0
  Else
    Down = Down(n - 1) + 1
  End If
End Function
AssertEq Down(1000), 1000, "a thousand nested calls"
AssertEq Down(3900), 3900, "several thousand nested calls, as on Windows"

' Recursion through default members and class methods.
Class Looper
  Public Default Function Go(n)
    Go = Me(n + 1)
  End Function
End Class
Dim lp
Set lp = New Looper
On Error Resume Next
r = lp(1)
AssertErr 28, "runaway recursion through a default member"
On Error GoTo 0

' Long generated expressions and deep nesting compile: each text is built
' here, run with ExecuteGlobal and must leave the value expected in deep.
Dim deep, deepCases, dc, pieces, k
Function Repeated(text, times)
  Dim parts()
  ReDim parts(times - 1)
  For k = 0 To times - 1
    parts(k) = text
  Next
  Repeated = Join(parts, "")
End Function
deepCases = Array( _
  Array("deep = 0" & Repeated(" + 1", 10000), 10000, "10,000 terms of +"), _
  Array("deep = 20000" & Repeated(" - 1 * 1", 10000), 10000, "10,000 terms of - and *"), _
  Array("deep = True" & Repeated(" And True", 5000) & Repeated(" Or False", 5000), True, "10,000 logical terms"), _
  Array("deep = " & Repeated("(", 1000) & "7" & Repeated(")", 1000), 7, "1,000 nested parentheses"), _
  Array("deep = 0" & vbCrLf & Repeated("If True Then" & vbCrLf, 1000) & "deep = 5" & vbCrLf & _
        Repeated("End If" & vbCrLf, 1000), 5, "1,000 nested If blocks"), _
  Array("deep = 0" & vbCrLf & Repeated("For i1 = 1 To 1" & vbCrLf, 1000) & "deep = deep + 1" & vbCrLf & _
        Repeated("Next" & vbCrLf, 1000), 1, "1,000 nested For loops"), _
  Array("deep = " & Repeated("-", 3000) & "4", 4, "3,000 signs"))
For Each dc In deepCases
  deep = Empty
  On Error Resume Next
  ExecuteGlobal dc(0)
  AssertErr 0, dc(2)
  On Error GoTo 0
  AssertEq deep, dc(1), dc(2)
Next
' Deeper still is Out of stack space, reported as an error.
On Error Resume Next
ExecuteGlobal "deep = " & Repeated("(", 50000) & "7" & Repeated(")", 50000)
AssertErr 28, "50,000 nested parentheses"
ExecuteGlobal Repeated("If True Then" & vbCrLf, 50000)
AssertErr 28, "50,000 nested If blocks"
On Error GoTo 0

' A string too long to build.
Dim s
s = String(1024, "x")
On Error Resume Next
Do
  s = s & s
Loop While Err.Number = 0
AssertEq Err.Number, CLng(7), "a huge string is Out of memory"
Err.Clear
' A Replace whose result would be 2.5e9 characters fails before building it.
s = Replace(String(50000, "a"), "a", String(50000, "b"))
AssertErr 7, "a huge Replace result is Out of memory"
AssertEq Len(Replace(String(1000, "a"), "A", "xyz", 1, -1, vbTextCompare)), CLng(3000), _
         "a growing Replace within bounds"
On Error GoTo 0

Done
