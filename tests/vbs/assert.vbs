' Checks shared by the tests/vbs scripts. vbsrun loads this file before each
' test script (--include), so the helpers are ordinary global procedures.
'
'   AssertEq actual, expected, "label"   value and subtype must both match
'   AssertTrue condition, "label"
'   AssertErr number, "label"            after a statement run under
'                                        On Error Resume Next; clears Err
'   Done                                 prints "N passed, N failed" and
'                                        quits with exit code 1 on failures
'
' Each test runs in its own scratch directory (the working directory).

Dim assertPassed, assertFailed
assertPassed = 0
assertFailed = 0

' A readable form of any value for failure messages: subtype and value.
Function AssertDescribe(v)
  Dim s, i
  If IsObject(v) Then
    If v Is Nothing Then
      AssertDescribe = "Nothing"
    Else
      AssertDescribe = "object " & TypeName(v)
    End If
  ElseIf IsArray(v) Then
    s = "array("
    For i = LBound(v) To UBound(v)
      If i > LBound(v) Then s = s & ", "
      s = s & AssertDescribe(v(i))
    Next
    AssertDescribe = s & ")"
  ElseIf IsNull(v) Then
    AssertDescribe = "Null"
  ElseIf IsEmpty(v) Then
    AssertDescribe = "Empty"
  ElseIf VarType(v) = vbString Then
    AssertDescribe = "String """ & v & """"
  Else
    AssertDescribe = TypeName(v) & " " & CStr(v)
  End If
End Function

' True when both values have the same subtype and the same value. Objects are
' compared by identity, one-dimensional arrays element by element.
Function AssertSame(a, b)
  Dim i
  AssertSame = False
  If IsObject(a) Or IsObject(b) Then
    If IsObject(a) And IsObject(b) Then AssertSame = (a Is b)
    Exit Function
  End If
  If VarType(a) <> VarType(b) Then Exit Function
  If IsArray(a) Then
    If LBound(a) <> LBound(b) Or UBound(a) <> UBound(b) Then Exit Function
    For i = LBound(a) To UBound(a)
      If Not AssertSame(a(i), b(i)) Then Exit Function
    Next
    AssertSame = True
  ElseIf IsNull(a) Or IsEmpty(a) Then
    AssertSame = True
  Else
    AssertSame = (a = b)
  End If
End Function

Sub AssertPass()
  assertPassed = assertPassed + 1
End Sub

Sub AssertFail(label, message)
  assertFailed = assertFailed + 1
  WScript.Echo "FAIL " & label & ": " & message
End Sub

Sub AssertEq(actual, expected, label)
  If AssertSame(actual, expected) Then
    AssertPass
  Else
    AssertFail label, "expected " & AssertDescribe(expected) & " got " & AssertDescribe(actual)
  End If
End Sub

Sub AssertTrue(condition, label)
  If condition Then
    AssertPass
  Else
    AssertFail label, "condition is false"
  End If
End Sub

' Err.Number must be the expected number (0: no error). Err is cleared.
Sub AssertErr(expectedNumber, label)
  Dim n, d
  n = Err.Number
  d = Err.Description
  Err.Clear
  If n = expectedNumber Then
    AssertPass
  Else
    AssertFail label, "expected error " & expectedNumber & " got " & n & " (" & d & ")"
  End If
End Sub

Sub Done()
  WScript.Echo assertPassed & " passed, " & assertFailed & " failed"
  If assertFailed > 0 Then WScript.Quit 1
End Sub
