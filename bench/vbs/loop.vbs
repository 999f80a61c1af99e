' Arithmetic loop: 20,000,000 iterations of integer and floating arithmetic.
Dim i, x, y
x = 0
y = 0.5
For i = 1 To 20000000
  x = (x + i * 3) Mod 1000003
  y = y * 0.999 + 1
Next
WScript.Echo x, Round(y, 3)
