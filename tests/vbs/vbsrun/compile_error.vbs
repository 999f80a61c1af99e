Dim x
If x Then
  x = 2 +
End If
