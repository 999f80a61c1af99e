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

' A string too long to build.
Dim s
s = String(1024, "x")
On Error Resume Next
Do
  s = s & s
Loop While Err.Number = 0
AssertEq Err.Number, CLng(7), "a huge string is Out of memory"
On Error GoTo 0

Done
