' Execute, ExecuteGlobal, Eval and GetRef.

Dim g
g = 10

' Eval: an expression in the current scope; = compares.
AssertEq Eval("1 + 2 * 3"), 7, "Eval arithmetic"
AssertEq Eval("g * 2"), 20, "Eval sees globals"
AssertEq Eval("g = 10"), True, "= in Eval compares"
AssertEq g, 10, "Eval does not assign"
AssertEq Eval("UCase(""abc"")"), "ABC", "Eval calls functions"

Function LocalEval(p)
  Dim inner
  inner = p + 1
  LocalEval = Eval("inner * 10 + p")
End Function
AssertEq LocalEval(4), 54, "Eval sees the procedure's variables"

' Execute: statements in the current scope.
Execute "g = g + 5"
AssertEq g, 15, "Execute at script level"
Execute "newGlobal = ""made"""
AssertEq newGlobal, "made", "Execute creates a variable"
Execute "Dim a1 : a1 = 1 : a1 = a1 + 1 : g = a1"
AssertEq g, 2, "several statements"

Function LocalExecute()
  Dim v
  v = 1
  Execute "v = v + 100"
  LocalExecute = v
End Function
AssertEq LocalExecute(), 101, "Execute changes the procedure's variable"

Sub ExecuteDim()
  Execute "Dim madeHere : madeHere = 5"
  AssertEq Eval("madeHere"), 5, "Dim inside Execute is local to the procedure"
End Sub
ExecuteDim
AssertTrue IsEmpty(madeHere), "Execute'd Dim did not leak out"

Function ImplicitAndExecute()
  undeclared = 3
  Execute "undeclared = undeclared * 2"
  ImplicitAndExecute = Eval("undeclared") + undeclared
End Function
AssertEq ImplicitAndExecute(), 12, "Execute and Eval share an undeclared local with the procedure"

' ExecuteGlobal: always script level, defines procedures and classes.
Sub DefineGlobal()
  Dim notSeen
  ExecuteGlobal "Dim fromSub : fromSub = 7"
  ExecuteGlobal "Function Added(a, b) : Added = a + b : End Function"
End Sub
DefineGlobal
AssertEq fromSub, 7, "ExecuteGlobal in a procedure defines a global"
AssertEq Added(2, 3), 5, "procedure defined by ExecuteGlobal"
ExecuteGlobal "Class Dyn : Public V : End Class"
Dim dy
Set dy = New Dyn
dy.V = 3
AssertEq dy.V, 3, "class defined by ExecuteGlobal"
' A procedure defined again replaces the earlier one.
ExecuteGlobal "Function Added(a, b) : Added = a * b : End Function"
AssertEq Added(2, 3), 6, "redefinition replaces"

' Execute inside a class method reaches the instance.
Class Scripted
  Public Field
  Public Sub SetVia(code)
    Execute code
  End Sub
End Class
Dim sc
Set sc = New Scripted
sc.SetVia "Field = ""from execute"""
AssertEq sc.Field, "from execute", "Execute in a method sets a field"

' Errors inside executed code.
On Error Resume Next
Execute "x = 1 / 0"
AssertErr 11, "runtime error in Execute"
Execute "x = = 1"
AssertErr 1023, "syntax error in Execute"
Dim ev
ev = Eval("1 +")
AssertErr 1023, "syntax error in Eval"
On Error GoTo 0

' GetRef: a procedure as an object.
Function Square(n)
  Square = n * n
End Function
Dim fn
Set fn = GetRef("Square")
AssertTrue IsObject(fn), "GetRef gives an object"
AssertEq fn(7), 49, "calling through GetRef"
Sub Apply(f, ByRef values)
  Dim i
  For i = 0 To UBound(values)
    values(i) = f(values(i))
  Next
End Sub
Dim nums
nums = Array(1, 2, 3)
Apply GetRef("Square"), nums
AssertEq Join(nums, ","), "1,4,9", "GetRef passed to a procedure"
Dim counter
counter = 0
Sub Bump()
  counter = counter + 1
End Sub
Set fn = GetRef("bump")
fn
fn()
AssertEq counter, 2, "GetRef of a Sub, any letter case"
On Error Resume Next
Set fn = GetRef("NoSuchProcedure")
AssertErr 5, "GetRef of an unknown name"
On Error GoTo 0

Done
