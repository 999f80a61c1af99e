' Scripting.Dictionary from script code.

Dim d, k, keys, items, seen
Set d = CreateObject("Scripting.Dictionary")
AssertEq TypeName(d), "Dictionary", "TypeName"
d.Add "a", "Athens"
d.Add "b", "Belgrade"
d("c") = "Cairo"
AssertEq d.Count, CLng(3), "Count"
AssertEq d("a"), "Athens", "default member"
AssertEq d.Item("b"), "Belgrade", "Item"
AssertTrue d.Exists("c"), "Exists"
AssertTrue Not d.Exists("A"), "binary compare by default"

keys = d.Keys
items = d.Items
AssertEq UBound(keys), CLng(2), "Keys"
AssertEq Join(keys, ","), "a,b,c", "Keys in insertion order"
AssertEq Join(items, ","), "Athens,Belgrade,Cairo", "Items in insertion order"

seen = ""
For Each k In d
  seen = seen & k
Next
AssertEq seen, "abc", "For Each yields keys"

d.Key("b") = "B"
AssertTrue d.Exists("B") And Not d.Exists("b"), "Key renames"
AssertEq d("B"), "Belgrade", "renamed key keeps its item"
d.Remove "a"
AssertEq Join(d.Keys, ","), "B,c", "Remove"

AssertTrue IsEmpty(d("missing")), "reading a missing key gives Empty"
AssertTrue d.Exists("missing"), "and adds the key"

d.RemoveAll
AssertEq d.Count, CLng(0), "RemoveAll"

d.CompareMode = vbTextCompare
d.Add "Key", 1
AssertTrue d.Exists("KEY"), "text compare folds case"

Dim n
Set n = CreateObject("Scripting.Dictionary")
n.Add 1, "number"
n.Add "1", "text"
AssertEq n.Count, CLng(2), "1 and ""1"" are two keys"
AssertEq n(1), "number", "number key"
AssertEq n("1"), "text", "text key"
AssertEq n(CLng(1)), "number", "Long and Integer keys agree"

Dim o1, o2
Set o1 = CreateObject("Scripting.Dictionary")
Set o2 = CreateObject("Scripting.Dictionary")
n.Add o1, "first object"
Set n(o2) = o1
AssertEq n(o1), "first object", "object keys"
AssertTrue n(o2) Is o1, "Set through Item stores the object"

On Error Resume Next
d.Add "key", 2
AssertErr 457, "Add of an existing key"
d.Remove "nothing here"
AssertErr 32811, "Remove of a missing key"
d.Key("nothing here") = "x"
AssertErr 32811, "renaming a missing key"
d.CompareMode = vbBinaryCompare
AssertErr 5, "CompareMode of a filled dictionary"
On Error GoTo 0

Done
