' On Error, the Err object and how errors travel between procedures.

AssertEq Err.Number, CLng(0), "no error at the start"
AssertEq TypeName(Err), "ErrObject", "TypeName(Err)"

On Error Resume Next
Dim x
x = 1 / 0
AssertEq Err.Number, CLng(11), "Err.Number after an error"
AssertEq Err.Description, "Division by zero", "Err.Description"
AssertEq Err.Source, "Microsoft VBScript runtime error", "Err.Source of a runtime error"
x = Err
AssertEq x, CLng(11), "Number is the default member"
Err.Clear
AssertEq Err.Number, CLng(0), "Clear resets Number"
AssertEq Err.Description, "", "Clear resets Description"

' Execution continues with the next statement.
Dim steps
steps = ""
steps = steps & "a"
x = 1 / 0
steps = steps & "b"
AssertEq steps, "ab", "Resume Next continues after the failing statement"
Err.Clear

' Err.Raise with and without a description.
Err.Raise 6
AssertEq Err.Number, CLng(6), "Raise number"
AssertEq Err.Description, "Overflow", "standard description of a raised number"
Err.Raise 1001 + vbObjectError, "MySource", "My description"
AssertEq Err.Number, CLng(1001 + vbObjectError), "user error number"
AssertEq Err.Source, "MySource", "raised source"
AssertEq Err.Description, "My description", "raised description"
Err.Clear
Err.Raise 31999
AssertEq Err.Description, "Unknown runtime error", "number without a standard text"
Err.Clear
Err.Raise 5, "HelpSource", "With help", "manual.chm", 42
AssertEq Err.HelpFile & "#" & Err.HelpContext, "manual.chm#42", "Raise keeps the help file and context"
' A second Raise without them keeps what the first left in Err.
Err.Raise 6
AssertEq Err.Source & "|" & Err.Description, "HelpSource|With help", "values not cleared serve the next Raise"
AssertEq Err.HelpFile & "#" & Err.HelpContext, "manual.chm#42", "help not cleared serves the next Raise"
Err.Clear
Err.Raise 6
AssertEq Err.Source & "|" & Err.Description, "Microsoft VBScript runtime error|Overflow", "after Clear, the defaults"
Err.Clear
Err.Raise &H8007000E
AssertEq Err.Number & " " & Err.Description, "7 Out of memory", "E_OUTOFMEMORY is Out of memory"
Err.Clear
x = 1 / 0
AssertEq Err.HelpFile & "#" & Err.HelpContext, "#0", "an engine error has no help of its own"
Err.Clear

' Err properties can be set.
Err.Number = 5
Err.Description = "custom"
AssertEq Err.Number, CLng(5), "Number is writable"
AssertEq Err.Description, "custom", "Description is writable"

' On Error Resume Next clears Err.
On Error Resume Next
AssertEq Err.Number, CLng(0), "On Error Resume Next clears Err"

' On Error GoTo 0 turns handling off.
On Error GoTo 0
Dim caught
caught = False
Sub Risky()
  x = 1 / 0
End Sub
Sub CallsRisky()
  On Error Resume Next
  Risky
  caught = (Err.Number = 11)
End Sub
CallsRisky
AssertEq caught, True, "error in a callee is handled by the caller"

' A procedure without handling stops at the error; the caller resumes after the call.
Dim trace
trace = ""
Sub Stops()
  trace = trace & "1"
  x = 1 / 0
  trace = trace & "2"
End Sub
On Error Resume Next
Stops
trace = trace & "3"
AssertEq trace, "13", "callee stops, caller continues"
Err.Clear

' Handling is per procedure: a callee's Resume Next does not leak out.
Sub Handles()
  On Error Resume Next
  x = 1 / 0
  trace = trace & "h"
End Sub
trace = ""
Handles
AssertEq trace, "h", "callee handles its own error"
AssertEq Err.Number, CLng(11), "Err keeps the handled error after the callee returns"
Err.Clear

' An error in an If condition continues into the Then block.
Dim entered
entered = False
If 1 / 0 = 1 Then
  entered = True
End If
AssertEq entered, True, "failing If condition continues with the next statement"
Err.Clear

' A loop or Select Case whose header fails under Resume Next runs its body
' once: the body is the statement after the failing one.
Dim headerRuns, headerError, headerCases, hc
headerCases = Array( _
  Array("For i = 1 To 1 / 0" & vbCrLf & "headerRuns = headerRuns + 1" & vbCrLf & "Next", "For with a failing limit"), _
  Array("For i = CInt(""x"") To 3" & vbCrLf & "headerRuns = headerRuns + 1" & vbCrLf & "Next", "For with a failing start"), _
  Array("For Each i In 5" & vbCrLf & "headerRuns = headerRuns + 1" & vbCrLf & "Next", "For Each over no collection"), _
  Array("Select Case 1 / 0" & vbCrLf & "Case 1" & vbCrLf & "headerRuns = headerRuns + 1" & vbCrLf & _
        "Case Else" & vbCrLf & "headerRuns = headerRuns + 10" & vbCrLf & "End Select", "Select Case with a failing value"))
For Each hc In headerCases
  headerRuns = 0
  Err.Clear
  ExecuteGlobal "On Error Resume Next" & vbCrLf & hc(0) & vbCrLf & "headerError = Err.Number"
  AssertEq headerRuns, 1, hc(1)
  AssertTrue headerError <> 0, hc(1) & " keeps its error"
Next
Err.Clear

' Errors inside loops under Resume Next.
Dim n, i
n = 0
For i = 1 To 5
  x = 10 / (i - 3)
  n = n + 1
Next
AssertEq n, 5, "loop continues after an error in its body"
AssertEq Err.Number, CLng(11), "the loop's error is kept"
Err.Clear

' Runtime error numbers of common faults.
Dim arr(1), o
x = arr(5)
AssertErr 9, "subscript out of range"
x = CInt("abc")
AssertErr 13, "type mismatch"
x = o.Member
AssertErr 424, "object required"
x = .Member
AssertErr 505, "member of no object outside With"

' Err.Description is the standard text alone, without the name involved.
Dim described, nameCases, nc
Set described = CreateObject("Scripting.Dictionary")
Sub TakesOne(a)
End Sub
nameCases = Array( _
  Array("x = o.Foo", 424, "Object required"), _
  Array("x = described.NoSuchMember", 438, "Object doesn't support this property or method"), _
  Array("TakesOne 1, 2", 450, "Wrong number of arguments or invalid property assignment"))
Set o = Nothing
o = Empty
For Each nc In nameCases
  Err.Clear
  Execute nc(0)
  AssertEq Err.Number, CLng(nc(1)), nc(0) & ": number"
  AssertEq Err.Description, nc(2), nc(0) & ": description"
Next
Err.Clear
Set o = Nothing
x = o.Member
AssertErr 91, "object variable not set"
x = CreateObject("No.Such.Object")
AssertErr 429, "cannot create object"
x = Sqr(-1)
AssertErr 5, "invalid procedure call"
x = CByte(300)
AssertErr 6, "overflow"
x = Null + Len(Null)
AssertErr 0, "Null propagates without error"
x = Left(Null, 1) & Mid("abc", 0)
AssertErr 5, "Mid start must be positive"
Set x = CreateObject("Scripting.Dictionary")
x.Add "k", 1
x.Add "k", 2
AssertErr 457, "duplicate key"
On Error GoTo 0

' Option Explicit in a unit of its own.
On Error Resume Next
ExecuteGlobal "Option Explicit" & vbCrLf & "undeclaredName = 1"
AssertErr 500, "Option Explicit: undefined variable"
ExecuteGlobal "Option Explicit" & vbCrLf & "Dim declaredName" & vbCrLf & "declaredName = 1"
AssertErr 0, "Option Explicit with a declaration"
ExecuteGlobal "Option Explicit" & vbCrLf & "ReDim redimmed(3)" & vbCrLf & "redimmed(3) = 1"
AssertErr 0, "ReDim declares under Option Explicit"
ExecuteGlobal "Option Explicit" & vbCrLf & "Sub UsesReDim()" & vbCrLf & "ReDim localArr(2)" & vbCrLf & "localArr(2) = 1" & vbCrLf & "End Sub" & vbCrLf & "UsesReDim"
AssertErr 0, "ReDim declares a local under Option Explicit"
ExecuteGlobal "Option Explicit" & vbCrLf & "Sub UsesUndeclared()" & vbCrLf & "notDeclared = 1" & vbCrLf & "End Sub" & vbCrLf & "UsesUndeclared"
AssertErr 500, "Option Explicit in a procedure"
On Error GoTo 0

Done
