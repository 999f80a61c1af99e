' Arithmetic operators and precedence.

AssertEq 7 + 3, 10, "+"
AssertEq 7 - 10, -3, "-"
AssertEq 6 * 7, 42, "*"
AssertEq 7 / 2, 3.5, "/"
AssertEq TypeName(6 / 2), "Double", "/ gives a Double"
AssertEq 7 \ 2, 3, "\"
AssertEq -7 \ 2, -3, "\ truncates towards zero"
AssertEq 7 Mod 3, 1, "Mod"
AssertEq -7 Mod 3, -1, "Mod takes the dividend's sign"
AssertEq 7 Mod -3, 1, "Mod with a negative divisor"
AssertEq 7.5 \ 2, CLng(4), "\ rounds operands first (7.5 to 8), a Double becomes a Long"
AssertEq 6.5 Mod 4, CLng(2), "Mod rounds half to even (6.5 to 6)"
AssertEq TypeName(CLng(7) \ 2), "Long", "\ of a Long"
AssertEq 2 ^ 10, CDbl(1024), "^"
AssertEq 2 ^ -1, 0.5, "negative exponent"
AssertEq 4 ^ 0.5, CDbl(2), "root"
AssertEq -5, 0 - 5, "unary minus"
AssertEq - -5, 5, "double negation"

' Precedence: negation, ^, * /, \, Mod, + -, &, comparison, Not, And, Or, Xor, Eqv, Imp.
' A sign belongs to its operand, so it binds tighter than ^.
AssertEq -2 ^ 2, CDbl(4), "negation binds tighter than ^"
AssertEq -3 ^ 2, CDbl(9), "the square of minus three"
AssertEq 2 ^ -2 ^ 2, 0.0625, "a signed right operand of ^"
AssertEq -2 ^ 3, CDbl(-8), "odd power of a negative base"
AssertEq -2 * 3 ^ 2, CDbl(-18), "^ before * after the sign"
AssertEq 2 ^ 3 ^ 2, CDbl(64), "^ is left associative"
AssertEq 1 + 2 * 3, 7, "* before +"
AssertEq (1 + 2) * 3, 9, "parentheses"
AssertEq 10 - 4 - 3, 3, "- is left associative"
AssertEq 100 / 10 / 5, CDbl(2), "/ is left associative"
AssertEq 7 \ 2 * 2, 1, "* before \"
AssertEq 10 Mod 4 \ 2, 0, "\ before Mod"
AssertEq 1 + 10 Mod 4, 3, "Mod before +"
AssertEq 1 + 2 & 3 + 4, "37", "+ before &"
AssertEq 2 * 3 = 6, True, "arithmetic before comparison"
AssertEq Not 1 = 2, True, "comparison before Not"
AssertEq Not True And False, False, "Not before And"
AssertEq Not False = False, False, "Not of a comparison"
AssertEq 1 = 1 And Not 2 = 3, True, "Not after And"
AssertEq True Imp False Eqv True, False, "Eqv before Imp"
AssertEq True Or False And False, True, "And before Or"
AssertEq True Xor True Or True, False, "Or before Xor"

' A variable with a literal right operand: the same subtypes and results.
Dim v
v = CInt(32767)
AssertEq TypeName(v + 1), "Long", "Integer + literal overflows into a Long"
AssertEq v + 1, CLng(32768), "Integer + literal"
v = CInt(2)
AssertEq TypeName(v * 3), "Integer", "Integer * small literal stays Integer"
v = CLng(2147483647)
AssertEq TypeName(v + 1), "Double", "Long + literal overflows into a Double"
AssertEq v - -1, CDbl(2147483648), "minus a negative literal"
v = 7
AssertEq v \ -1, -7, "\ by a literal -1"
AssertEq v Mod -3, 1, "Mod by a negative literal"
AssertEq v / 2, 3.5, "/ by a literal"
AssertEq TypeName(v / 1), "Double", "/ by a literal gives a Double"
v = 0.5
AssertEq v * 0.5, 0.25, "Double * literal"
AssertEq v + 1, 1.5, "Double + Integer literal"
v = "4"
AssertEq v + 1, CDbl(5), "numeric text + literal adds"
AssertEq v * 2, CDbl(8), "numeric text * literal"
AssertEq v + "1", "41", "text + text literal concatenates"
v = Empty
AssertEq v + 1, 1, "Empty + literal"
v = Null
AssertTrue IsNull(v + 1), "Null + literal"
AssertTrue IsNull(v Mod 2), "Null Mod literal"

' The same with a procedure's own variables, and a function named alone as
' the left operand (it is called first).
Function Two()
  Two = 2
End Function
Sub LocalOperands()
  Dim w
  w = CInt(32767)
  AssertEq TypeName(w + 1), "Long", "local Integer + literal overflows into a Long"
  w = "4"
  AssertEq w * 2, CDbl(8), "local numeric text * literal"
  w = Empty
  AssertEq w - 1, -1, "local Empty - literal"
  w = 2.5
  AssertEq w * 2 + 1, CDbl(6), "local Double * literal, then + literal"
  AssertEq Two * 3, 6, "a function named alone * literal, in a procedure"
  On Error Resume Next
  w = "x"
  w = w - 1
  AssertErr 13, "local text that is no number - literal"
  On Error GoTo 0
End Sub
LocalOperands
AssertEq Two + 1, 3, "a function named alone + literal"
AssertEq Two - 1 + 5, 6, "a function named alone in a longer chain"

' Division errors.
On Error Resume Next
Dim r
r = 1 / 0
AssertErr 11, "division by zero"
r = 1 \ 0
AssertErr 11, "integer division by zero"
r = 1 Mod 0
AssertErr 11, "Mod by zero"
r = 0 / 0
AssertErr 6, "0 / 0 overflows"
r = (-8) ^ 0.5
AssertErr 5, "negative base with a fraction"
r = CInt(-32768) \ CInt(-1)
AssertErr 0, "Integer \ -1 widens instead of failing"
r = CLng(-2147483647 - 1) \ -1
AssertErr 6, "the lowest Long \ -1 overflows"
r = 5
r = r / 0
AssertErr 11, "a variable / literal 0"
r = 5
r = r Mod 0
AssertErr 11, "a variable Mod literal 0"
r = "x"
r = r * 2
AssertErr 13, "text that is no number * literal"
On Error GoTo 0
AssertEq CInt(-32768) \ CInt(-1), CLng(32768), "Integer \ -1"

Done
