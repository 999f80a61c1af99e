' Arrays: Dim, ReDim, Preserve, Erase, bounds and element access.

' An array comes to be when its Dim line runs; before that it is Empty.
AssertEq TypeName(a), "Empty", "script-level fixed array before its Dim line"
AssertEq TypeName(early), "Empty", "script-level dynamic array before its Dim line"
Dim early()
AssertEq TypeName(early), "Variant()", "dynamic array after its Dim line"
Function LocalBeforeDim()
  LocalBeforeDim = TypeName(inner)
  Dim inner(2)
  LocalBeforeDim = LocalBeforeDim & " " & TypeName(inner) & " " & UBound(inner)
End Function
AssertEq LocalBeforeDim(), "Empty Variant() 2", "local array before and after its Dim line"
Function DimInLoop()
  Dim i
  For i = 1 To 3
    Dim kept(3)
    kept(i) = i
  Next
  DimInLoop = kept(1) + kept(2) + kept(3)
End Function
AssertEq DimInLoop(), 6, "a Dim line that runs again keeps its array"

Dim a(3)
AssertEq LBound(a), CLng(0), "lower bound is 0"
AssertEq UBound(a), CLng(3), "Dim a(3) has 4 elements"
AssertTrue IsEmpty(a(0)), "elements start Empty"
a(0) = "x" : a(3) = 3
AssertEq a(0), "x", "element store"
AssertEq a(3), 3, "last element"
AssertEq a(1.6), Empty, "index rounds"

Dim m(2, 4)
AssertEq UBound(m, 1), CLng(2), "first dimension"
AssertEq UBound(m, 2), CLng(4), "second dimension"
m(1, 3) = "mid"
AssertEq m(1, 3), "mid", "two-dimensional element"

On Error Resume Next
Dim bad
bad = a(4)
AssertErr 9, "index past the upper bound"
bad = a(-1)
AssertErr 9, "negative index"
bad = m(1)
AssertErr 9, "wrong number of indexes"
ReDim a(5)
AssertErr 10, "a Dim'd array is fixed"
bad = UBound(m, 3)
AssertErr 9, "UBound of a missing dimension"
On Error GoTo 0

' Dynamic arrays.
Dim d()
AssertTrue IsArray(d), "Dim d() is an array"
ReDim d(2)
d(0) = 1 : d(1) = 2 : d(2) = 3
ReDim Preserve d(4)
AssertEq UBound(d), CLng(4), "ReDim Preserve grows"
AssertEq d(2), 3, "Preserve keeps elements"
AssertTrue IsEmpty(d(4)), "new elements are Empty"
ReDim Preserve d(1)
AssertEq UBound(d), CLng(1), "ReDim Preserve shrinks"
AssertEq d(1), 2, "kept element after shrinking"
ReDim d(3)
AssertTrue IsEmpty(d(0)), "ReDim without Preserve clears"
ReDim d(-1)
AssertEq UBound(d), CLng(-1), "ReDim to -1 makes an empty array"

' ReDim Preserve grows an array declared empty: the usual way to build a list.
Dim grown(), gi
For gi = 0 To 2
  ReDim Preserve grown(gi)
  grown(gi) = gi * 10
Next
AssertEq grown, Array(0, 10, 20), "ReDim Preserve of Dim x() grows it"
Sub GrowLocal(result)
  Dim items()
  ReDim Preserve items(1)
  items(1) = "b"
  result = UBound(items) & items(1)
End Sub
Dim growResult
GrowLocal growResult
AssertEq growResult, "1b", "ReDim Preserve of a local Dim x()"

Dim g()
ReDim g(1, 2)
g(1, 2) = "corner"
ReDim Preserve g(1, 5)
AssertEq g(1, 2), "corner", "Preserve on the last dimension"
On Error Resume Next
ReDim Preserve g(3, 5)
AssertErr 9, "Preserve cannot change other dimensions"
On Error GoTo 0

' ReDim declares a variable that does not exist yet.
ReDim fresh(2)
AssertEq UBound(fresh), CLng(2), "ReDim of a new name"

' Erase: fixed arrays are cleared, dynamic arrays are freed.
Dim f(1)
f(0) = 5 : f(1) = 6
Erase f
AssertEq UBound(f), CLng(1), "Erase keeps a fixed array's size"
AssertTrue IsEmpty(f(0)), "Erase clears elements"
ReDim d(3)
Erase d
On Error Resume Next
bad = UBound(d)
AssertErr 9, "an erased dynamic array has no elements"
Dim notArray
notArray = 5
Erase notArray
AssertErr 13, "Erase of a non-array"
On Error GoTo 0

' Array() builds a Variant array with lower bound 0.
Dim lit
lit = Array(1, "two", 3.5)
AssertEq UBound(lit), CLng(2), "Array() bounds"
AssertEq lit(1), "two", "Array() element"
AssertEq UBound(Array()), CLng(-1), "empty Array()"

' Arrays inside arrays.
Dim nest
nest = Array(Array(1, 2), Array(3, 4))
AssertEq nest(1)(0), 3, "element of an inner array"

' Arrays are values: assignment and ByVal copy them.
Dim src, dst
src = Array(1, 2)
dst = src
dst(0) = 100
AssertEq src(0), 1, "assigned array is a copy"
Sub ChangeFirst(ByVal arrParam)
  arrParam(0) = "changed"
End Sub
ChangeFirst src
AssertEq src(0), 1, "ByVal array is a copy"
Sub ChangeFirstRef(arrParam)
  arrParam(0) = "changed"
End Sub
ChangeFirstRef src
AssertEq src(0), "changed", "ByRef array is shared"

' Functions returning arrays.
Function MakeRange(n)
  Dim r(), i
  ReDim r(n - 1)
  For i = 0 To n - 1
    r(i) = i * i
  Next
  MakeRange = r
End Function
AssertEq MakeRange(5)(4), 16, "indexing a returned array"
AssertEq Join(MakeRange(3), ","), "0,1,4", "returned array"

' Huge arrays raise "Out of memory".
On Error Resume Next
ReDim huge(2000000000)
AssertErr 7, "an array too large to allocate"
On Error GoTo 0

Done
