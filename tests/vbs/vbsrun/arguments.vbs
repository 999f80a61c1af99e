WScript.Echo WScript.Arguments.Count, WScript.Arguments(0), WScript.Arguments.Item(1)
For Each a In WScript.Arguments
  WScript.StdOut.Write "[" & a & "]"
Next
WScript.StdOut.WriteLine
