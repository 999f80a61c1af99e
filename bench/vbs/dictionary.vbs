' 200,000 Dictionary operations: 100,000 adds, then 100,000 lookups.
Dim d, i, total
Set d = CreateObject("Scripting.Dictionary")
For i = 1 To 100000
  d.Add "key" & i, i
Next
total = 0
For i = 1 To 100000
  total = total + d("key" & i)
Next
WScript.Echo d.Count, total
