' Lexical rules: comments, continuation, separators, names and keywords.

' Keywords and names ignore letter case.
DIM upperVar : upperVar = 3
AssertEq UPPERVAR + uppervar, 6, "names ignore case"
If TRUE then AssertTrue True, "keywords ignore case"

' Comments: apostrophe anywhere, Rem as a statement and after a colon.
Dim c : c = 1 ' a comment after code
Rem c = 2
c = c + 1 : Rem c = 100
AssertEq c, 2, "Rem and apostrophe comments"
AssertEq "it's", "it" & Chr(39) & "s", "apostrophe inside a string is text"

' Line continuation joins lines; the underscore needs a blank before it.
Dim total
total = 1 + _
        2 + _
  3
AssertEq total, 6, "line continuation"
Dim joined
joined = "a" & _
   "b"
AssertEq joined, "ab", "continuation inside an expression"
Dim under_score : under_score = 5
AssertEq under_score, 5, "underscore inside a name"

' Colons separate statements on one line.
Dim p, q : p = 1 : q = 2 : p = p + q
AssertEq p, 3, "colon separators"

' Bracketed names may hold blanks and keywords.
Dim [my var], [End]
[my var] = 10
[End] = 20
AssertEq [my var] + [End], 30, "bracketed identifiers"

' Keywords may follow a dot as member names.
Class KeywordMembers
  Public [Next], [Loop]
End Class
Dim km : Set km = New KeywordMembers
km.Next = 1
km.Loop = 2
AssertEq km.Next + km.Loop, 3, "keywords as member names after a dot"

' Blank lines and indentation are not significant.


    Dim indented : indented = "ok"
AssertEq indented, "ok", "indentation"

' Tabs count as blanks.
Dim	tabbed	:	tabbed	=	4
AssertEq tabbed, 4, "tabs are blanks"

' Statements on a line after Then in the single-line If.
Dim s1 : s1 = 0
If True Then s1 = 1 : s1 = s1 + 1 Else s1 = 10
AssertEq s1, 2, "single-line If runs all statements after Then"
If False Then s1 = 1 : s1 = 5 Else s1 = 7 : s1 = s1 + 1
AssertEq s1, 8, "single-line If runs all statements after Else"

' Statement forms Windows accepts on one line: each text runs as a script of
' its own and leaves its mark in oneLine.
Dim oneLine, oneLineForms, form
oneLineForms = Array( _
  Array("Select Case 2" & vbCrLf & "Case 1  oneLine = ""one""" & vbCrLf & _
        "Case 2  oneLine = ""two""" & vbCrLf & "End Select", "two", "Case value and statement on one line"), _
  Array("Sub OneLineSub() oneLine = ""sub"" End Sub" & vbCrLf & "OneLineSub", "sub", "Sub on one line"), _
  Array("Sub EndAfter()" & vbCrLf & "oneLine = ""end"" End Sub" & vbCrLf & "EndAfter", "end", _
        "End Sub right after a statement"), _
  Array("Function OneLineFn() OneLineFn = ""fn"" End Function" & vbCrLf & "oneLine = OneLineFn()", "fn", _
        "Function on one line"), _
  Array("oneLine = ""kept""" & vbCrLf & "If False Then :" & vbCrLf & "oneLine = oneLine & ""!""", "kept!", _
        "If Then with an empty statement"), _
  Array("If True Then : oneLine = ""colon"" : End If", "colon", "If Then : ... : End If on one line"), _
  Array("If False Then : oneLine = ""no"" Else oneLine = ""else""", "else", "Else after Then :"), _
  Array("If True Then" & vbCrLf & "oneLine = ""block"" End If", "block", "End If right after a statement"))
For Each form In oneLineForms
  oneLine = Empty
  On Error Resume Next
  ExecuteGlobal form(0)
  AssertErr 0, form(2)
  On Error GoTo 0
  AssertEq oneLine, form(1), form(2)
Next

' Compilation errors carry VBScript's numbers.
On Error Resume Next
ExecuteGlobal "x = ""unterminated"
AssertErr 1033, "unterminated string"
ExecuteGlobal "x = 1 2"
AssertErr 1025, "expected end of statement"
ExecuteGlobal "If x Then" & vbCrLf & "x = 1"
AssertErr 1014, "expected End"
ExecuteGlobal "x = 1e400"
AssertErr 1031, "a literal too large to hold"
ExecuteGlobal "x = 3 $ 4"
AssertErr 1032, "invalid character"
ExecuteGlobal "For = 1"
AssertErr 1040, "invalid for loop variable"
ExecuteGlobal "Loop"
AssertErr 1038, "loop without do"
ExecuteGlobal "Next"
AssertErr 1055, "unexpected next"
ExecuteGlobal "x = (1 + 2"
AssertErr 1006, "expected )"
ExecuteGlobal "Dim a(n)"
AssertErr 1026, "Dim bounds must be literals"
ExecuteGlobal "Const k = upperVar"
AssertErr 1045, "Const needs a literal"
ExecuteGlobal "Sub S(a, b)" & vbCrLf & "End Sub" & vbCrLf & "S(1, 2)"
AssertErr 1044, "parentheses around several Sub arguments"
ExecuteGlobal "Exit For"
AssertErr 1039, "Exit For outside a loop"
ExecuteGlobal "Dim dup, dup"
AssertErr 1041, "name redefined"
On Error GoTo 0

Done
