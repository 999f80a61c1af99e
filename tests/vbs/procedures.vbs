' Sub and Function: calls, ByRef and ByVal, parentheses, recursion.

Dim x, y, r

Sub SetTo(target, value)
  target = value
End Sub
Sub SetByVal(ByVal target, value)
  target = value
End Sub
Function Twice(n)
  Twice = n * 2
End Function
Function NoResult()
End Function

' ByRef is the default.
x = 1
SetTo x, 5
AssertEq x, 5, "ByRef parameter writes back"
SetByVal x, 9
AssertEq x, 5, "ByVal parameter does not"
' Parentheses around an argument pass it by value.
SetTo (x), 7
AssertEq x, 5, "(x) is passed by value"
SetTo(x), 8
AssertEq x, 5, "Sub(x) as a statement passes (x) by value"
Call SetTo(x, 6)
AssertEq x, 6, "Call passes by reference"
' Expressions go by value whatever the parameter says.
SetTo x + 1, 100
AssertEq x, 6, "an expression argument"

' Functions and their results.
AssertEq Twice(21), 42, "Function result"
AssertEq Twice(Twice(2)), 8, "nested calls"
AssertTrue IsEmpty(NoResult()), "a Function that sets nothing returns Empty"
Call Twice(1)
Twice 1
' The function's name is its result variable inside it.
Function Build()
  Build = "a"
  Build = Build & "b"
End Function
AssertEq Build(), "ab", "reading the result variable"
AssertEq Build, "ab", "calling without parentheses"

' Recursion.
Function Fib(n)
  If n < 2 Then
    Fib = n
  Else
    Fib = Fib(n - 1) + Fib(n - 2)
  End If
End Function
AssertEq Fib(20), 6765, "recursion"

' Local variables are separate for each call.
Function Depth(n)
  Dim local
  local = n
  If n > 0 Then Depth = Depth(n - 1)
  Depth = Depth + local
End Function
AssertEq Depth(4), 10, "locals per call"

' Undeclared names assigned in a procedure are its own variables.
Sub UsesImplicit()
  implicitLocal = 42
  y = "set by sub"
End Sub
y = "global"
UsesImplicit
AssertTrue IsEmpty(implicitLocal), "undeclared name in a procedure stays local"
AssertEq y, "set by sub", "a declared global is reached from a procedure"

' Array elements are passed by reference.
Dim arr(2)
arr(1) = 10
SetTo arr(1), 11
AssertEq arr(1), 11, "array element ByRef"
Sub Swap(a, b)
  Dim t
  t = a : a = b : b = t
End Sub
arr(0) = "first" : arr(2) = "last"
Swap arr(0), arr(2)
AssertEq arr(0) & "," & arr(2), "last,first", "swapping array elements"
' An element passed ByRef keeps its array from being resized.
Dim dyn()
ReDim dyn(3)
Sub ResizeWhileHeld(el)
  ReDim dyn(10)
End Sub
On Error Resume Next
ResizeWhileHeld dyn(1)
AssertErr 10, "array locked while an element is passed ByRef"
On Error GoTo 0
ReDim dyn(5)
AssertEq UBound(dyn), CLng(5), "unlocked after the call"

' Objects' properties are passed by value.
Class Holder
  Public Value
End Class
Dim h
Set h = New Holder
h.Value = 1
SetTo h.Value, 2
AssertEq h.Value, 1, "property argument is a copy"

' Wrong argument counts.
On Error Resume Next
r = Twice(1, 2)
AssertErr 450, "too many arguments"
r = Twice()
AssertErr 450, "too few arguments"
Call Undefined1(1)
AssertErr 13, "calling an undefined procedure"
' A conversion function as a statement: its value has nowhere to go.
Call CInt(1)
AssertErr 458, "Call CInt(1)"
CLng 2
AssertErr 458, "CLng as a statement"
Call CStr(3)
AssertErr 458, "Call CStr(3)"
Call Len("abc")
AssertErr 0, "other built-in functions may be called as statements"
On Error GoTo 0

' Call with the procedure's name in parentheses calls it with the arguments.
x = 0
Call (SetTo)(x, 9)
AssertEq x, 9, "Call (Sub)(arguments)"
Call ((SetTo))(x, 10)
AssertEq x, 10, "Call ((Sub))(arguments)"

' A procedure defined later in the file can be called earlier.
AssertEq LaterDefined(), "later", "procedures are known before the code runs"
Function LaterDefined()
  LaterDefined = "later"
End Function

' Arguments are evaluated left to right.
Dim order
order = ""
Function Note(v)
  order = order & v
  Note = v
End Function
Sub Three(a, b, c)
End Sub
Three Note("1"), Note("2"), Note("3")
AssertEq order, "123", "argument order"

' A ByRef parameter aliases the caller's variable during the call.
Dim shared
shared = 1
Sub Alias(p)
  p = 2
  AssertEq shared, 2, "the caller's variable changes at once"
End Sub
Alias shared

' Procedures with array parameters.
Function SumAll(values())
  Dim v, t
  For Each v In values
    t = t + v
  Next
  SumAll = t
End Function
AssertEq SumAll(Array(1, 2, 3)), 6, "array parameter"

' Script-level Public and Private declare variables like Dim.
Public pubVar
Private privVar
pubVar = 1 : privVar = 2
Sub ReadLevels()
  AssertEq pubVar + privVar, 3, "Public and Private script-level variables"
End Sub
ReadLevels
Private Function PrivateFn()
  PrivateFn = "private function"
End Function
Public Sub PublicSub()
End Sub
AssertEq PrivateFn(), "private function", "Private Function at script level"

' A procedure defined twice: the last definition is the one called, from
' anywhere in the script.
AssertEq DefinedTwice(), "second", "call before both definitions"
Function DefinedTwice()
  DefinedTwice = "first"
End Function
AssertEq DefinedTwice(), "second", "call between the definitions"
Function DefinedTwice()
  DefinedTwice = "second"
End Function

' A procedure inside If at script level is defined whether or not the
' branch runs.
If False Then
  Function InsideIf(a)
    InsideIf = a * 2
  End Function
End If
AssertEq InsideIf(21), 42, "Function defined inside a branch that never runs"

Done
