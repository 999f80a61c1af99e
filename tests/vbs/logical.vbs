' Not, And, Or, Xor, Eqv, Imp: logical on Booleans, bitwise on numbers.

AssertEq Not True, False, "Not True"
AssertEq Not False, True, "Not False"
AssertEq True And False, False, "And"
AssertEq True Or False, True, "Or"
AssertEq True Xor True, False, "Xor"
AssertEq True Eqv False, False, "Eqv"
AssertEq False Eqv False, True, "Eqv of equals"
AssertEq True Imp False, False, "Imp"
AssertEq False Imp True, True, "false implies anything"

' Numbers work bit by bit.
AssertEq 12 And 10, 8, "bitwise And"
AssertEq 12 Or 10, 14, "bitwise Or"
AssertEq 12 Xor 10, 6, "bitwise Xor"
AssertEq Not 0, -1, "Not 0"
AssertEq Not 5, -6, "Not 5"
AssertEq TypeName(Not CLng(5)), "Long", "Not of a Long"
AssertEq TypeName(CInt(1) And CInt(3)), "Integer", "Integer And Integer"
AssertEq TypeName(CLng(1) Or CInt(3)), "Long", "Long Or Integer"
AssertEq 5 Eqv 3, -7, "bitwise Eqv"
AssertEq 5 Imp 3, -5, "bitwise Imp"
AssertEq True And 3, 3, "True is all bits set"

' Null: three-valued logic.
AssertTrue IsNull(Not Null), "Not Null"
AssertTrue IsNull(True And Null), "True And Null"
AssertEq False And Null, False, "False And Null"
AssertEq True Or Null, True, "True Or Null"
AssertTrue IsNull(False Or Null), "False Or Null"
AssertTrue IsNull(True Xor Null), "Xor with Null"
AssertEq False Imp Null, True, "False Imp Null"
AssertTrue IsNull(True Imp Null), "True Imp Null"
AssertEq Null Imp True, True, "Null Imp True"

' Conditions: Null and Empty are false, numbers are true when not zero.
Dim hit
hit = False
If Null Then hit = True
AssertEq hit, False, "If Null is false"
hit = False
If Not Null Then hit = True
AssertEq hit, False, "If Not Null is false too"
If 2 Then hit = True
AssertEq hit, True, "nonzero is true"
hit = False
If "True" Then hit = True
AssertEq hit, True, "text True"
On Error Resume Next
hit = False
If "maybe" Then hit = True
AssertErr 13, "non-Boolean text in a condition"
On Error GoTo 0

' Both operands are evaluated: no short-circuit.
Dim calls
calls = 0
Function Count(v)
  calls = calls + 1
  Count = v
End Function
hit = Count(False) And Count(True)
AssertEq calls, 2, "And evaluates both sides"
hit = Count(True) Or Count(False)
AssertEq calls, 4, "Or evaluates both sides"

Done
