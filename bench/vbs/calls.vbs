' 10,000,000 calls of a script Function with two arguments.
Function Add(a, b)
  Add = a + b
End Function
Dim i, x
x = 0
For i = 1 To 10000000
  x = Add(x, i)
Next
WScript.Echo x
