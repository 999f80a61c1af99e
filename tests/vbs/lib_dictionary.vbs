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

' Many keys: growth, removal of most of them, renaming and adding again keep
' every look-up right and the insertion order.
Dim big, bi, expectOrder, bigOk
Set big = CreateObject("Scripting.Dictionary")
For bi = 1 To 2000
  big.Add "k" & bi, bi
Next
For bi = 1 To 2000
  If bi Mod 3 <> 0 Then big.Remove "k" & bi
Next
AssertEq big.Count, CLng(666), "Count after removing two keys in three"
bigOk = True
For bi = 1 To 2000
  If big.Exists("k" & bi) <> (bi Mod 3 = 0) Then bigOk = False
Next
AssertTrue bigOk, "Exists after growth and removals"
For bi = 3 To 2000 Step 3
  If big("k" & bi) <> bi Then bigOk = False
Next
AssertTrue bigOk, "items stay with their keys after removals"
big.Key("k3") = "first"
big.Add "k1", "again"
big.Item("k2") = "set"
expectOrder = "first,k6,k9"
AssertEq Join(Array(big.Keys()(0), big.Keys()(1), big.Keys()(2)), ","), expectOrder, "order kept after removals and a rename"
AssertEq big.Keys()(big.Count - 2) & "," & big.Keys()(big.Count - 1), "k1,k2", "keys added later come last"
AssertEq big("first") + big("k2000") * 0, 3, "a renamed key keeps its item"
AssertEq big("k1") & big("k2"), "againset", "keys added back after removal"
For bi = 1 To 2000
  If big.Exists("k" & bi) Then big.Remove "k" & bi
Next
big.Remove "first"
AssertEq big.Count, CLng(0), "every key removed"
big.Add "fresh", 1
AssertEq Join(big.Keys, ","), "fresh", "an emptied dictionary takes new keys"

' Text compare over many keys.
Dim tm
Set tm = CreateObject("Scripting.Dictionary")
tm.CompareMode = vbTextCompare
For bi = 1 To 100
  tm.Add "Name" & bi, bi
Next
AssertEq tm("NAME57") + tm("name100"), 157, "text compare over many keys"
On Error Resume Next
tm.Add "nAmE3", 0
AssertErr 457, "text compare: a key differing in case only is the same key"
On Error GoTo 0

Done
