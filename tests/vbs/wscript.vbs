' The WScript object of vbsrun.

AssertEq WScript.ScriptName, "wscript.vbs", "ScriptName"
AssertTrue Right(WScript.ScriptFullName, 12) = "/wscript.vbs", "ScriptFullName ends with the name"
AssertEq WScript.Arguments.Count, CLng(0), "no arguments"
AssertEq WScript.Arguments.Length, CLng(0), "Length"
On Error Resume Next
Dim a
a = WScript.Arguments(0)
AssertErr 9, "missing argument"
On Error GoTo 0
WScript.StdOut.Write ""
WScript.StdErr.Write ""
AssertEq TypeName(WScript.StdOut), "TextStream", "StdOut"
AssertEq WScript.Name, "Windows Script Host", "Name"

Done
