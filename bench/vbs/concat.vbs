' 1,000,000 concatenations onto one text, as generated pages build output.
Dim s, i
s = ""
For i = 1 To 1000000
  s = s & "abc"
Next
WScript.Echo Len(s)
