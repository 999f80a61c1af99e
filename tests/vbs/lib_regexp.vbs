' VBScript.RegExp and New RegExp from script code.

Dim re, matches, m, s
Set re = New RegExp
AssertEq TypeName(re), "IRegExp2", "TypeName"
AssertEq re.Pattern, "", "Pattern starts empty"
AssertEq re.Global, False, "Global starts False"

re.Pattern = "(\w+)@(\w+)\.com"
AssertTrue re.Test("mail bob@site.com"), "Test"
AssertTrue Not re.Test("no address"), "Test without a match"

re.Global = True
Set matches = re.Execute("bob@site.com, ann@web.com")
AssertEq matches.Count, CLng(2), "Execute finds every match when Global"
Set m = matches(1)
AssertEq m.Value, "ann@web.com", "Match.Value"
AssertEq "" & m, "ann@web.com", "Value is the default member"
AssertEq m.FirstIndex, CLng(14), "Match.FirstIndex is 0-based"
AssertEq m.Length, CLng(11), "Match.Length"
AssertEq m.SubMatches.Count, CLng(2), "SubMatches.Count"
AssertEq m.SubMatches(0), "ann", "SubMatches(0)"
AssertEq m.SubMatches(1), "web", "SubMatches(1)"

s = ""
For Each m In matches
  s = s & m.SubMatches(0) & ";"
Next
AssertEq s, "bob;ann;", "For Each over matches"

AssertEq re.Replace("bob@site.com, ann@web.com", "$2:$1"), "site:bob, web:ann", "Replace with groups"
re.Global = False
AssertEq re.Replace("bob@site.com, ann@web.com", "[$&]"), "[bob@site.com], ann@web.com", "Replace first only"

Set re = CreateObject("VBScript.RegExp")
re.Pattern = "^\s*(\w+)\s*=\s*(.*?)\s*$"
re.Multiline = True
re.Global = True
Set matches = re.Execute("name = value" & vbLf & " other=thing ")
AssertEq matches.Count, CLng(2), "Multiline anchors"
AssertEq matches(1).SubMatches(1), "thing", "lazy group and trailing blanks"

re.Pattern = "colou?r"
re.IgnoreCase = True
AssertEq re.Replace("Color and COLOUR", "hue"), "hue and hue", "IgnoreCase"

re.Pattern = "\d"
AssertEq re.Replace(ChrW(228) & "1" & ChrW(8364) & "2", "#"), ChrW(228) & "#" & ChrW(8364) & "#", "non-ASCII text"
Set matches = re.Execute(ChrW(8364) & "5")
AssertEq matches(0).FirstIndex, CLng(1), "FirstIndex counts characters"

On Error Resume Next
re.Pattern = "(unclosed"
re.Test "x"
AssertErr 5020, "missing )"
re.Pattern = "[abc"
re.Test "x"
AssertErr 5019, "missing ]"
re.Pattern = "*x"
re.Test "x"
AssertErr 5018, "quantifier with nothing before it"
Set m = matches(5)
AssertErr 5, "Matches index past the end"
On Error GoTo 0

Done
