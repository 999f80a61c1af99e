Sub Fail()
  Err.Raise 5
End Sub
