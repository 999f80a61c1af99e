' Comparison operators.

AssertEq 1 < 2, True, "<"
AssertEq 2 <= 2, True, "<="
AssertEq 3 > 2, True, ">"
AssertEq 2 >= 3, False, ">="
AssertEq 2 = 2, True, "="
AssertEq 2 <> 2, False, "<>"
AssertEq 1 = 1.0, True, "Integer = Double"
AssertEq CLng(5) = CByte(5), True, "Long = Byte"
AssertEq True = -1, True, "True is -1"
' A Single meets a Double at the Single's precision.
Dim single1
single1 = CSng(0.1)
AssertEq single1 = 0.1, True, "Single = Double"
AssertEq 0.1 = single1, True, "Double = Single"
AssertEq single1 < 0.1, False, "Single < Double"
AssertEq single1 <> 0.1, False, "Single <> Double"
AssertEq CSng(0.1) = CDbl(1) / 10, True, "Single = computed Double"

' Alternate spellings.
AssertEq 3 => 2, True, "=> is >="
AssertEq 2 =< 2, True, "=< is <="
AssertEq 1 >< 2, True, ">< is <>"

' Texts compare by character codes.
AssertEq "abc" < "abd", True, "text order"
AssertEq "a" < "B", False, "binary compare: lower case after upper case"
AssertEq "abc" = "ABC", False, "binary compare is case-sensitive"
AssertEq "ab" < "abc", True, "prefix is smaller"
AssertEq "" < "a", True, "empty text is smallest"

' Variables: a number is less than any text.
Dim n, t
n = 10 : t = "9"
AssertEq n < t, True, "number variable < text variable"
t = "10"
AssertEq n = t, False, "number variable <> text variable holding the same digits"
' A numeric literal makes the text compare as a number.
AssertEq t = 10, True, "text variable = numeric literal"
AssertEq "10" > 9, True, "text literal > numeric literal, numerically"
AssertEq t < 9, False, "10 < 9 numerically"

' Empty.
Dim e
AssertEq e = 0, True, "Empty = 0"
AssertEq e = "", True, "Empty = empty text"
AssertEq e < 1, True, "Empty < 1"
AssertEq e = e, True, "Empty = Empty"

' Null gives Null.
AssertTrue IsNull(Null = Null), "Null = Null"
AssertTrue IsNull(1 < Null), "1 < Null"
AssertTrue IsNull(Null <> "a"), "Null <> text"

' Is compares object references.
Dim o1, o2
Set o1 = New RegExp
Set o2 = New RegExp
AssertEq o1 Is o2, False, "different objects"
Set o2 = o1
AssertEq o1 Is o2, True, "same object"
AssertEq o1 Is Nothing, False, "object Is Nothing"
Set o1 = Nothing
AssertEq o1 Is Nothing, True, "Nothing Is Nothing"
On Error Resume Next
Dim b
b = 1 Is 2
AssertErr 424, "Is needs objects"
On Error GoTo 0

' Comparisons are Booleans.
AssertEq TypeName(1 < 2), "Boolean", "comparison result type"

Done
