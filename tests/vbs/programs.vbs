' Small whole programs that combine the language's parts.

' Bubble sort with a Swap of array elements passed ByRef.
Sub Swap(a, b)
  Dim t
  t = a : a = b : b = t
End Sub
Function Sorted(values)
  Dim arr, i, j
  arr = values
  For i = UBound(arr) To 1 Step -1
    For j = 0 To i - 1
      If arr(j) > arr(j + 1) Then Swap arr(j), arr(j + 1)
    Next
  Next
  Sorted = arr
End Function
AssertEq Join(Sorted(Array(5, 3, 8, 1, 9, 2)), ","), "1,2,3,5,8,9", "bubble sort"
AssertEq Join(Sorted(Array("pear", "apple", "fig")), ","), "apple,fig,pear", "sorting texts"

' Towers of Hanoi: 2^n - 1 moves.
Dim moves
moves = 0
Sub Hanoi(n, from, target, via)
  If n = 0 Then Exit Sub
  Hanoi n - 1, from, via, target
  moves = moves + 1
  Hanoi n - 1, via, target, from
End Sub
Hanoi 10, "A", "C", "B"
AssertEq moves, 1023, "Hanoi with 10 discs"

' A linked list of class instances.
Class ListNode
  Public Value, NextNode
End Class
Class LinkedList
  Private head_, count_
  Private Sub Class_Initialize()
    Set head_ = Nothing
    count_ = 0
  End Sub
  Public Sub Push(v)
    Dim n
    Set n = New ListNode
    n.Value = v
    Set n.NextNode = head_
    Set head_ = n
    count_ = count_ + 1
  End Sub
  Public Property Get Count()
    Count = count_
  End Property
  Public Function ToText()
    Dim n, s
    Set n = head_
    Do Until n Is Nothing
      s = s & n.Value
      Set n = n.NextNode
      If Not n Is Nothing Then s = s & "->"
    Loop
    ToText = s
  End Function
  Public Sub Reverse()
    Dim prev, cur, nxt
    Set prev = Nothing
    Set cur = head_
    Do While Not cur Is Nothing
      Set nxt = cur.NextNode
      Set cur.NextNode = prev
      Set prev = cur
      Set cur = nxt
    Loop
    Set head_ = prev
  End Sub
End Class
Dim list
Set list = New LinkedList
list.Push 1 : list.Push 2 : list.Push 3
AssertEq list.ToText(), "3->2->1", "linked list"
list.Reverse
AssertEq list.ToText(), "1->2->3", "reversed list"
AssertEq list.Count, 3, "list count"

' Word frequencies with a Dictionary.
Dim words, freq, w, report
Set freq = CreateObject("Scripting.Dictionary")
words = Split("the cat and the hat and the bat", " ")
For Each w In words
  If freq.Exists(w) Then
    freq(w) = freq(w) + 1
  Else
    freq.Add w, 1
  End If
Next
report = ""
For Each w In freq.Keys
  report = report & w & "=" & freq(w) & " "
Next
AssertEq report, "the=3 cat=1 and=2 hat=1 bat=1 ", "word counts in insertion order"

' Building a page the way compiled templates do.
Function RenderRows(n)
  Dim zbAr(3), zbOut, i
  zbAr(1) = "<tr><td>"
  zbAr(2) = "</td><td>"
  zbAr(3) = "</td></tr>"
  For i = 1 To n
    zbOut = zbOut & zbAr(1) & i & zbAr(2) & i * i & zbAr(3)
  Next
  RenderRows = zbOut
End Function
AssertEq RenderRows(2), "<tr><td>1</td><td>1</td></tr><tr><td>2</td><td>4</td></tr>", "template-shaped output"
AssertEq Len(RenderRows(500)), CLng(500 * 27 + (9 + 90 * 2 + 401 * 3) + (3 + 6 * 2 + 22 * 3 + 68 * 4 + 217 * 5 + 184 * 6)), "length of 500 rows"

' Recursion over nested arrays.
Function Flatten(v)
  Dim item, s
  If IsArray(v) Then
    For Each item In v
      If s <> "" Then s = s & ","
      s = s & Flatten(item)
    Next
    Flatten = s
  Else
    Flatten = CStr(v)
  End If
End Function
AssertEq Flatten(Array(1, Array(2, Array(3, 4)), 5)), "1,2,3,4,5", "nested arrays"

' Greatest common divisor, iterative and recursive.
Function Gcd(a, b)
  If b = 0 Then Gcd = a Else Gcd = Gcd(b, a Mod b)
End Function
AssertEq Gcd(1071, 462), 21, "gcd"

' Callbacks through GetRef.
Function MapArray(f, values)
  Dim out(), i
  ReDim out(UBound(values))
  For i = 0 To UBound(values)
    out(i) = f(values(i))
  Next
  MapArray = out
End Function
Function Cube(x)
  Cube = x * x * x
End Function
AssertEq Join(MapArray(GetRef("Cube"), Array(1, 2, 3)), " "), "1 8 27", "map with GetRef"

Done
