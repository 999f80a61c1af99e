' Classes: members, properties, default members, Me, With, and the order
' of Class_Initialize and Class_Terminate.

Dim log
log = ""

Class Counter
  Public Name
  Private count_
  Private Sub Class_Initialize()
    count_ = 0
    log = log & "init;"
  End Sub
  Private Sub Class_Terminate()
    log = log & "term " & Name & ";"
  End Sub
  Public Sub Increment(by)
    count_ = count_ + by
  End Sub
  Public Property Get Count()
    Count = count_
  End Property
  Public Property Let Count(v)
    If v < 0 Then Err.Raise 5
    count_ = v
  End Property
  Public Function Self()
    Set Self = Me
  End Function
  Private Function Secret()
    Secret = "hidden"
  End Function
  Public Function UsesSecret()
    UsesSecret = Secret() & "/" & Me.Secret
  End Function
End Class

Dim c
Set c = New Counter
AssertEq log, "init;", "Class_Initialize runs on New"
c.Name = "c1"
c.Increment 5
c.Increment 2
AssertEq c.Count, 7, "method and Property Get"
c.Count = 3
AssertEq c.Count, 3, "Property Let"
AssertEq TypeName(c), "Counter", "TypeName is the class name"
AssertTrue IsObject(c), "instances are objects"
AssertTrue c.Self() Is c, "Me is the instance"
AssertEq c.UsesSecret(), "hidden/hidden", "private members inside the class"

On Error Resume Next
Dim v
v = c.Secret()
AssertErr 438, "private members are hidden outside"
v = c.Missing
AssertErr 438, "unknown member"
c.Count = -1
AssertErr 5, "error raised in Property Let"
On Error GoTo 0
AssertEq c.Count, 3, "failed Property Let changed nothing"

' Terminate runs when the last reference goes.
Dim c2
Set c2 = c
Set c = Nothing
AssertEq log, "init;", "another reference keeps the object"
Set c2 = Nothing
AssertEq log, "init;term c1;", "Class_Terminate when the last reference goes"

' Replacing the value of a variable releases the old object first.
log = ""
Dim p
Set p = New Counter : p.Name = "a"
Set p = New Counter
AssertEq log, "init;init;term a;", "old object ends after the new one is made"
p.Name = "b"
log = ""
p = 5
AssertEq log, "term b;", "assigning a number releases the object"

' Objects local to a procedure end with the call.
Sub UseLocal()
  Dim local
  Set local = New Counter
  local.Name = "local"
  log = log & "body;"
End Sub
log = ""
UseLocal
AssertEq log, "init;body;term local;", "local object ends when the procedure returns"

' An object made and dropped inside an expression ends at once.
log = ""
v = (New Counter).Count
AssertEq log, "init;term ;", "temporary object"

' So does an object nobody keeps after a statement: a function's result
' called as a statement, and the object an assignment through its default
' member went through.
Function MakeCounter(n)
  Set MakeCounter = New Counter
  MakeCounter.Name = n
End Function
log = ""
MakeCounter "dropped"
AssertEq log, "init;term dropped;", "a function's result called as a statement"
Class Slots
  Public Name
  Private Sub Class_Terminate()
    log = log & "term " & Name & ";"
  End Sub
  Public Default Property Get Item(key)
    Item = 0
  End Property
  Public Property Let Item(key, value)
    log = log & key & "=" & value & ";"
  End Property
End Class
log = ""
Dim slots
Set slots = New Slots
slots.Name = "slots"
slots("k") = 1
Set slots = Nothing
AssertEq log, "k=1;term slots;", "an object assigned through its default member"

' Default members.
Class Wrapper
  Private items_
  Private Sub Class_Initialize()
    Set items_ = CreateObject("Scripting.Dictionary")
  End Sub
  Public Default Property Get Item(key)
    Item = items_(key)
  End Property
  Public Property Let Item(key, value)
    items_(key) = value
  End Property
End Class
Dim w
Set w = New Wrapper
w("a") = 1
w.Item("b") = 2
AssertEq w("a"), 1, "default Property Get with an index"
AssertEq w.Item("b"), 2, "named access to the default member"

Class Valued
  Public Default Function Value()
    Value = 42
  End Function
End Class
Dim vv, plain
Set vv = New Valued
plain = vv
AssertEq plain, 42, "assignment without Set takes the default value"
AssertEq vv + 1, 43, "default value in arithmetic"
AssertEq "" & vv, "42", "default value in &"
On Error Resume Next
plain = c2
AssertErr 91, "Nothing has no default value"
Dim noDefault
Set noDefault = New Holder
plain = noDefault
AssertErr 438, "an object without a default member"
On Error GoTo 0

Class Holder
  Public Value
  Public Items(2)
  Public Child
End Class

' Fields: arrays and objects.
Dim hd
Set hd = New Holder
hd.Items(1) = "one"
AssertEq hd.Items(1), "one", "array field element"
AssertEq UBound(hd.Items), CLng(2), "array field bounds"
Set hd.Child = New Holder
hd.Child.Value = "nested"
AssertEq hd.Child.Value, "nested", "object field"

' Property Set.
Class Box
  Private content_
  Public Property Set Content(o)
    Set content_ = o
  End Property
  Public Property Get Content()
    Set Content = content_
  End Property
End Class
Dim bx
Set bx = New Box
Set bx.Content = hd
AssertTrue bx.Content Is hd, "Property Set and Get of an object"

' Set needs an object.
On Error Resume Next
Set v = 5
AssertErr 424, "Set with a number"
Dim nothingVar
Set nothingVar = Nothing
nothingVar.Value = 1
AssertErr 91, "member of Nothing"
v = "text"
v.Value = 1
AssertErr 424, "member of a non-object"
Set v = New Undefined2
AssertErr 506, "class not defined"
On Error GoTo 0

' With blocks.
With hd
  .Value = "with"
  .Items(0) = "w0"
  With .Child
    .Value = "inner"
  End With
  AssertEq .Value, "with", "With member read"
End With
AssertEq hd.Value & hd.Items(0) & hd.Child.Value, "withw0inner", "With blocks"

' Instances are independent.
Dim i1, i2
Set i1 = New Holder : Set i2 = New Holder
i1.Value = 1 : i2.Value = 2
AssertEq i1.Value + i2.Value, 3, "separate instances"

' Script objects in collections and arrays.
Dim list(1)
Set list(0) = New Holder
list(0).Value = "in array"
AssertEq list(0).Value, "in array", "object in an array"
Dim dict
Set dict = CreateObject("Scripting.Dictionary")
dict.Add "obj", i1
AssertEq dict("obj").Value, 1, "object in a Dictionary"

' Methods call each other without Me and recurse.
Class MathBox
  Public Function Fact(n)
    If n <= 1 Then Fact = 1 Else Fact = n * Fact(n - 1)
  End Function
  Public Function Twice(n)
    Twice = Add(n, n)
  End Function
  Private Function Add(a, b)
    Add = a + b
  End Function
End Class
Dim mb
Set mb = New MathBox
AssertEq mb.Fact(6), 720, "recursive method"
AssertEq mb.Twice(4), 8, "method calling a private method"

' Class_Terminate of objects still referenced by globals runs at the end;
' objects released during an error still terminate.
log = ""
Sub FailWithLocal()
  Dim t
  Set t = New Counter
  t.Name = "failing"
  Err.Raise 1000
End Sub
On Error Resume Next
FailWithLocal
AssertErr 1000, "error from the procedure"
On Error GoTo 0
AssertEq log, "init;term failing;", "locals terminate when an error leaves the procedure"

' A member without parameters followed by an index: the index applies to
' its value.
Class Lister
  Public Property Get Items()
    Items = Array("a", "b", "c")
  End Property
  Public Function Lookup()
    Set Lookup = CreateObject("Scripting.Dictionary")
    Lookup.Add "k", "v"
  End Function
  Public Function Second()
    Second = Items(1)
  End Function
End Class
Dim lst
Set lst = New Lister
AssertEq lst.Items(2), "c", "element of a property's array"
AssertEq lst.Lookup("k"), "v", "default member of a method's object"
AssertEq lst.Second(), "b", "inside the class"

' Exit Property, Dim fields, properties with parameters.
Class Grid
  Dim cells
  Private Sub Class_Initialize()
    ReDim cells(2, 2)
  End Sub
  Public Property Get Cell(r, c)
    If r < 0 Then
      Cell = "none"
      Exit Property
    End If
    Cell = cells(r, c)
  End Property
  Public Property Let Cell(r, c, v)
    cells(r, c) = v
  End Property
End Class
Dim gr
Set gr = New Grid
gr.Cell(1, 2) = "x"
AssertEq gr.Cell(1, 2), "x", "property with two parameters"
AssertEq gr.Cell(-1, 0), "none", "Exit Property"
AssertTrue IsArray(gr.cells), "Dim in a class declares a public field"

' A script's own class named like a built-in one is the one New makes.
ExecuteGlobal "Class RegExp" & vbCrLf & "Public Function Who()" & vbCrLf & "Who = ""script class""" & vbCrLf & _
              "End Function" & vbCrLf & "End Class"
Dim ownRegExp
Set ownRegExp = New RegExp
AssertEq ownRegExp.Who(), "script class", "Class RegExp overrides the built-in RegExp"

Done
