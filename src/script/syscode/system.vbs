' Built-in system code. It is added to the System module after the common
' code (which declares TABLE, FIELD, CTRL and LoadCurrent), so every page
' script and every user function can call these helpers. Keep it small: a
' helper belongs here when templates would otherwise repeat it.
'
' Objects at hand: PROJ (the project), DB (its database), Controls, LANG,
' SCRPT and FILTERS.

' ---------------------------------------------------------------------------
' Pages and text. What a page script writes, and the text helpers most
' templates need.

' The indentation of the line a <!--##~ ... ##--> block stands on. The page
' script sets it right before the block's expression runs; IndentText and
' indented system-code templates continue their lines with it.
Dim zbIndentWrk
zbIndentWrk = ""

' Include_File remembers the script function it compiled for each file and
' session, and how deep the includes nest.
Dim zbIncludes, zbIncludeCount, zbIncludeDepth
zbIncludes = ""
zbIncludeCount = 0
zbIncludeDepth = 0

' The output of a template file of the template folder, in place: its text
' with its own blocks run as part of the page. A control's "include" session
' calls it with the file and the session's parameter; a parameter names a
' session of the file, and only that session is included: with "" it is the
' whole of the file, with "nav" the session nav of the file. Each file and
' session is compiled once; includes nest 16 deep at most, a deeper one
' raises error 28 (a file that includes itself).
Function Include_File(name, parm)
  Dim key, at, fn
  key = Chr(1) & LCase(Trim(name) & "/" & Trim(parm)) & Chr(2)
  at = InStr(1, zbIncludes, key, 0)
  If at = 0 Then
    zbIncludeCount = zbIncludeCount + 1
    fn = "zbInclude" & zbIncludeCount
    ExecuteGlobal PROJ.IncludeCode(name, parm, fn)
    zbIncludes = zbIncludes & key & fn
  Else
    at = at + Len(key)
    fn = Mid(zbIncludes, at, InStr(at, zbIncludes & Chr(1), Chr(1)) - at)
  End If
  If zbIncludeDepth >= 16 Then
    Err.Raise 28, "Include_File", "Include_File: """ & name & """ includes itself"
  End If
  zbIncludeDepth = zbIncludeDepth + 1
  Include_File = Eval(fn & "()")
  zbIncludeDepth = zbIncludeDepth - 1
End Function

' A text as a PHP single-quoted string literal: backslashes and single
' quotes are escaped, so the literal reads back as the text.
'   PhpString("it's C:\") => 'it\'s C:\\'
Function PhpString(text)
  PhpString = "'" & Replace(Replace(text & "", "\", "\\"), "'", "\'") & "'"
End Function

' A PHP Boolean literal of a setting.
Function PhpBool(value)
  If CBool(value) Then
    PhpBool = "true"
  Else
    PhpBool = "false"
  End If
End Function

' A text for an HTML page: &, <, >, " and ' as entities.
Function HtmlEncode(text)
  Dim s
  s = text & ""
  s = Replace(s, "&", "&amp;")
  s = Replace(s, "<", "&lt;")
  s = Replace(s, ">", "&gt;")
  s = Replace(s, """", "&quot;")
  s = Replace(s, "'", "&#39;")
  HtmlEncode = s
End Function

' The caption of a field for a page, HTML-encoded; the field's name when it
' has no caption.
Function FieldCaption(fld)
  Dim caption
  caption = fld.FldCaption
  If caption = "" Then caption = fld.FldName
  FieldCaption = HtmlEncode(caption)
End Function

' The caption of a table for a page, HTML-encoded; the table's name when it
' has no caption.
Function TableCaption(tbl)
  Dim caption
  caption = tbl.TblCaption
  If caption = "" Then caption = tbl.TblName
  TableCaption = HtmlEncode(caption)
End Function

' A table or column name in SQL, between the database's identifier quotes
' (DBQuoteS and DBQuoteE); a closing quote inside the name is doubled.
' On MySQL and MariaDB SqlName("order") is `order`; on SQLite:
'   SqlName("order") => "order"
Function SqlName(name)
  Dim quoteStart, quoteEnd, s
  quoteStart = DB.DBQuoteS
  quoteEnd = DB.DBQuoteE
  s = name & ""
  If quoteEnd <> "" Then s = Replace(s, quoteEnd, quoteEnd & quoteEnd)
  SqlName = quoteStart & s & quoteEnd
End Function

' A field's column name in SQL.
Function FieldSqlName(fld)
  FieldSqlName = SqlName(fld.FldName)
End Function

' The names of a table's key fields (FldIsPrimaryKey) in field order,
' joined with sep; "" when the table has no key.
Function KeyFieldNames(tbl, sep)
  Dim fld, list
  list = ""
  For Each fld In tbl.Fields
    If fld.FldIsPrimaryKey Then
      If list <> "" Then list = list & sep
      list = list & fld.FldName
    End If
  Next
  KeyFieldNames = list
End Function

' The same with every name quoted for SQL.
Function KeyFieldSqlNames(tbl, sep)
  Dim fld, list
  list = ""
  For Each fld In tbl.Fields
    If fld.FldIsPrimaryKey Then
      If list <> "" Then list = list & sep
      list = list & SqlName(fld.FldName)
    End If
  Next
  KeyFieldSqlNames = list
End Function

' A text of several lines for a <!--##~ ... ##--> block: every line after
' the first starts with the indentation of the block's own line.
Function IndentText(text)
  IndentText = Replace(text & "", vbCrLf, vbCrLf & zbIndentWrk)
End Function

' ---------------------------------------------------------------------------
' PHP output. The default template writes PHP arrays of settings; these
' helpers turn project values into PHP literals.

' A text as a PHP string literal that keeps every character and stays on one
' line: single-quoted pieces, with carriage returns and line feeds written
' as "\r" and "\n" between them.
'   PhpText("it's") => 'it\'s'
'   PhpText("a" & vbCrLf & "b") => 'a' . "\r\n" . 'b'
Function PhpText(text)
  Dim s
  s = Replace(Replace(text & "", "\", "\\"), "'", "\'")
  s = Replace(s, vbCrLf, "' . ""\r\n"" . '")
  s = Replace(s, vbCr, "' . ""\r"" . '")
  s = Replace(s, vbLf, "' . ""\n"" . '")
  PhpText = "'" & s & "'"
End Function

' True when the text is a plain decimal number as PHP writes one: an
' optional minus sign, digits, and an optional fraction after a point.
Function IsPlainNumber(text)
  Dim re
  Set re = New RegExp
  re.Pattern = "^-?[0-9]+(\.[0-9]+)?$"
  IsPlainNumber = re.Test(Trim(text & ""))
End Function

' A value as a PHP literal by its kind: null for Empty and Null, true or
' false, numbers as numbers, texts through PhpText.
'   PhpValue(12) => 12
'   PhpValue(1.5) => 1.5
'   PhpValue("12") => '12'
Function PhpValue(v)
  Select Case VarType(v)
    Case vbEmpty, vbNull
      PhpValue = "null"
    Case vbBoolean
      PhpValue = PhpBool(v)
    Case vbInteger, vbLong, vbByte, vbSingle, vbDouble, vbCurrency, vbDecimal
      PhpValue = Trim(CStr(v))
    Case Else
      PhpValue = PhpText(v)
  End Select
End Function

' A setting that may hold a number or a text (FldMin, FldDefault ...): a
' plain number is written as a number, anything else as a text.
'   PhpNumberOrText("10") => 10
'   PhpNumberOrText("1,000") => '1,000'
Function PhpNumberOrText(v)
  If VarType(v) = vbString Then
    If IsPlainNumber(v) Then
      PhpNumberOrText = Trim(v)
    Else
      PhpNumberOrText = PhpText(v)
    End If
  Else
    PhpNumberOrText = PhpValue(v)
  End If
End Function

' A text for a one-line PHP "//" comment: line breaks become blanks and a
' closing tag "?>" is broken up, so the comment cannot end PHP mode.
Function PhpComment(text)
  Dim s
  s = Replace(Replace(Replace(text & "", vbCrLf, " "), vbCr, " "), vbLf, " ")
  PhpComment = Replace(s, "?>", "? >")
End Function

' The items of a separated list, each trimmed, empty items left out; an
' array without elements (UBound -1) when there are none.
'   Join(SplitList(" a, ,b ", ","), "|") => a|b
'   UBound(SplitList(" , ", ",")) => -1
Function SplitList(text, sep)
  Dim items, item, out, n
  items = Split(text & "", sep)
  n = -1
  ReDim out(UBound(items))
  For Each item In items
    item = Trim(item)
    If item <> "" Then
      n = n + 1
      out(n) = item
    End If
  Next
  If n < 0 Then
    SplitList = Array()
  Else
    ReDim Preserve out(n)
    SplitList = out
  End If
End Function

' A file's path as the application finds it: relative to the destination
' (the application folder) when the two share a folder below the root, so
' that a project folder moved elsewhere gives the same output; otherwise as
' it is. Both are taken with "/" between folders; "." and ".." are not
' resolved. With the destination /srv/shop/app, the path
' /srv/shop/data/shop.sqlite becomes ../data/shop.sqlite.
Function PathFromDestination(path)
  Dim target, base, i, common, out
  PathFromDestination = path & ""
  target = SplitList(Replace(path & "", "\", "/"), "/")
  base = SplitList(Replace(PROJ.Destination & "", "\", "/"), "/")
  If Left(Replace(path & "", "\", "/"), 1) <> "/" Or Left(Replace(PROJ.Destination & "", "\", "/"), 1) <> "/" Then Exit Function
  common = 0
  Do While common <= UBound(target) - 1 And common <= UBound(base)
    If target(common) <> base(common) Then Exit Do
    common = common + 1
  Loop
  If common = 0 Then Exit Function
  out = ""
  For i = common To UBound(base)
    out = out & "../"
  Next
  For i = common To UBound(target)
    out = out & target(i)
    If i < UBound(target) Then out = out & "/"
  Next
  PathFromDestination = out
End Function

' An array of values as a PHP list, each item through PhpValue.
'   PhpList(Array("a", 2)) => ['a', 2]
Function PhpList(items)
  Dim item, s
  s = ""
  For Each item In items
    If s <> "" Then s = s & ", "
    s = s & PhpValue(item)
  Next
  PhpList = "[" & s & "]"
End Function

' A value list (FldTagValues: one line per choice, the stored value and
' the label each in double quotes, a comma between them) as a PHP list of
' [value, label] pairs. A line without the quoted form is value and label
' at once; empty lines are skipped.
'   PhpValueList("""Y"",""Yes""" & vbCrLf & """N"",""No""") => [['Y', 'Yes'], ['N', 'No']]
Function PhpValueList(text)
  Dim re, line, m, value, label, s
  Set re = New RegExp
  re.Pattern = "^\s*""((?:[^""]|"""")*)""\s*,\s*""((?:[^""]|"""")*)""\s*$"
  s = ""
  For Each line In Split(Replace(text & "", vbCr, ""), vbLf)
    If Trim(line) <> "" Then
      If re.Test(line) Then
        Set m = re.Execute(line)(0)
        value = Replace(m.SubMatches(0), """""", """")
        label = Replace(m.SubMatches(1), """""", """")
      Else
        value = Trim(Replace(line, """", ""))
        label = value
      End If
      If s <> "" Then s = s & ", "
      s = s & "[" & PhpText(value) & ", " & PhpText(label) & "]"
    End If
  Next
  PhpValueList = "[" & s & "]"
End Function

' ---------------------------------------------------------------------------
' Output names. Pages link to each other by file name, so a template needs
' the names the generation run gives the pages of other controls and other
' tables; these helpers form them as the run does.

' The project's script extension (P_Ext; "php" when it is empty).
Function ScriptExtension()
  ScriptExtension = Trim(PROJ.P_Ext & "")
  If ScriptExtension = "" Then ScriptExtension = "php"
End Function

' The file name of an output by the project's naming settings
' (OutputNameType, OutputNameExt, OutputNameLCase): base is the table's
' TblVar (empty for project-wide pages), stem the control's output name and
' ext its extension, where "*" stands for the script extension.
' With OutputNameType "infix" and OutputNameExt "_", the page "list" of
' the table Orders is Orders_list.php; with the shipped defaults:
'   OutputFileName("Orders", "list", "*") => Orderslist.php
'   OutputFileName("", "menu", "js") => menu.js
Function OutputFileName(base, stem, ext)
  Dim name, sep, e
  e = ext
  If e = "*" Then e = ScriptExtension()
  sep = PROJ.OutputNameExt & ""
  Select Case LCase(PROJ.OutputNameType & "")
    Case "prefix"
      name = sep & base & stem
    Case "infix"
      If base <> "" Then
        name = base & sep & stem
      Else
        name = stem
      End If
    Case "suffix"
      name = base & stem & sep
    Case Else
      name = base & stem
  End Select
  name = name & "." & e
  If PROJ.OutputNameLCase Then name = LCase(name)
  OutputFileName = name
End Function

' ControlByID remembers the positions of the controls (zbControlIds) while
' the collection keeps its size; a remembered position is checked before it
' is used.
Dim zbControlIds, zbControlCount

' The control whose CtrlID is id, or Nothing. Fetching a control by
' position makes it the collection's current one, so the control that was
' current is fetched again before returning.
Function ControlByID(id)
  Dim i, current, ctrl
  Set ControlByID = Nothing
  current = Controls.curIndex
  If IsObject(zbControlIds) Then
    If zbControlCount = Controls.Count And zbControlIds.Exists(id) Then
      Set ctrl = Controls.Item(zbControlIds(id))
      If ctrl.CtrlID = id Then Set ControlByID = ctrl
    End If
  End If
  If ControlByID Is Nothing Then
    Set zbControlIds = CreateObject("Scripting.Dictionary")
    zbControlCount = Controls.Count
    For i = 1 To zbControlCount
      Set ctrl = Controls.Item(i)
      If Not zbControlIds.Exists(ctrl.CtrlID) Then zbControlIds.Add ctrl.CtrlID, i
      If ctrl.CtrlID = id And ControlByID Is Nothing Then Set ControlByID = ctrl
    Next
  End If
  If current >= 1 And current <= Controls.Count Then Call Controls.Item(current)
End Function

' The output name of a control: CtrlOFileCompat in compatibility mode
' (AppCompat) when it is set, else CtrlOFile.
Function ControlStem(ctrl)
  ControlStem = ctrl.CtrlOFile
  If PROJ.AppCompat And ctrl.CtrlOFileCompat <> "" Then ControlStem = ctrl.CtrlOFileCompat
End Function

' One setting of a property store compared as a control condition compares
' it: the listed value converted to the setting's type ("%Name" names
' another setting of the same store); op is eq, ne, gt, ge, lt, le, in
' (contained, ignoring case) or ni. An unknown setting or operator holds.
Function SettingMatches(store, prop, op, value)
  Dim actual, v, t
  SettingMatches = True
  If Not store.PropertyExist(prop) Then Exit Function
  actual = store(prop).Value
  t = LCase(store(prop).DataType)
  v = Trim(value)
  If Left(v, 1) = "%" Then
    If store.PropertyExist(Mid(v, 2)) Then v = store(Mid(v, 2)).Value
  End If
  On Error Resume Next
  Select Case t
    Case "boolean"
      v = CBool(v)
      actual = CBool(actual)
    Case "integer", "long"
      v = CLng(v)
      actual = CLng(actual)
    Case "string"
      v = CStr(v)
      actual = CStr(actual)
  End Select
  Err.Clear
  Select Case LCase(op)
    Case "eq"
      SettingMatches = (actual = v)
    Case "ne"
      SettingMatches = (actual <> v)
    Case "gt"
      SettingMatches = (actual > v)
    Case "ge"
      SettingMatches = (actual >= v)
    Case "lt"
      SettingMatches = (actual < v)
    Case "le"
      SettingMatches = (actual <= v)
    Case "in"
      SettingMatches = (InStr(1, actual & "", v & "", vbTextCompare) > 0)
    Case "ni"
      SettingMatches = (InStr(1, actual & "", v & "", vbTextCompare) = 0)
  End Select
  If Err.Number <> 0 Then SettingMatches = False
End Function

' A control condition (CtrlCond, SessCond) for table tbl (Nothing for the
' project-wide pages), evaluated as the generation run does for the items
' of the forms proj/, db/ and table/ + setting/operator/values: every
' comma-separated item must hold, and an item holds when one of its values
' separated by "|" matches. Items on other objects (ctrl/, field/,
' custom:) and items that are not made of four parts hold.
' So ConditionHolds("table/TblView/eq/true", tbl) is tbl.TblView.
'   ConditionHolds("proj/P_Ext/eq/php|php5", Nothing) => True
'   ConditionHolds("table/TblName/in/ORD", FindTable("orders")) => True
'   ConditionHolds("table/TblName/eq/x,table/TblType/eq", FindTable("orders")) => False
Function ConditionHolds(cond, tbl)
  Dim item, parts, store, value, found
  ConditionHolds = True
  For Each item In Split(cond & "", ",")
    parts = Split(Trim(item), "/")
    If UBound(parts) = 3 Then
      Set store = Nothing
      Select Case LCase(Trim(parts(0)))
        Case "proj"
          Set store = PROJ.Properties
        Case "db"
          Set store = DB.Properties
        Case "table"
          If Not tbl Is Nothing Then Set store = tbl.Properties
      End Select
      If Not store Is Nothing Then
        found = False
        For Each value In Split(parts(3), "|")
          If SettingMatches(store, parts(1), parts(2), value) Then
            found = True
            Exit For
          End If
        Next
        If Not found Then
          ConditionHolds = False
          Exit Function
        End If
      End If
    End If
  Next
End Function

' True when the generation run writes the page of control ctrl for table
' tbl: the table is generated (TblGen) or names the control in
' TblSysGenUnits, the control's type fits the table's (table pages for
' tables, views and custom views, report pages for reports) and its
' condition holds.
Function ControlAppliesToTable(ctrl, tbl)
  Dim a, unit, kind
  a = tbl.TblGen
  If tbl.TblSysGenUnits <> "" Then
    For Each unit In Split(tbl.TblSysGenUnits, ",")
      If unit = ctrl.CtrlID Then a = True
    Next
  End If
  If a Then
    kind = tbl.TblType
    If ctrl.CtrlType = "table" And (kind = "CUSTOMVIEW" Or kind = "VIEW" Or kind = "TABLE") Then
      a = True
    Else
      a = (kind = "REPORT" And ctrl.CtrlType = "report")
    End If
  End If
  If a Then a = ConditionHolds(ctrl.CtrlCond, tbl)
  ControlAppliesToTable = a
End Function

' The file name of the page that control id writes for table tbl, or ""
' when there is no such control or it writes no page for that table.
'   TablePageFile(FindTable("orders"), "card") => orderscard.php
'   TablePageFile(FindTable("orders"), "nosuchcontrol") =>
Function TablePageFile(tbl, id)
  Dim ctrl
  TablePageFile = ""
  If tbl Is Nothing Then Exit Function
  Set ctrl = ControlByID(id)
  If ctrl Is Nothing Then Exit Function
  If ControlAppliesToTable(ctrl, tbl) Then TablePageFile = OutputFileName(tbl.TblVar, ControlStem(ctrl), ctrl.CtrlOExt)
End Function

' The file name of the project-wide page of control id ("other" and
' "simple" controls), or "" when there is no such control or its condition
' does not hold. "simple" pages keep their name as written; an output name
' "*" is the project's default page (P_DefaultPage).
Function ProjectPageFile(id)
  Dim ctrl, e, name
  ProjectPageFile = ""
  Set ctrl = ControlByID(id)
  If ctrl Is Nothing Then Exit Function
  If LCase(ctrl.CtrlType) <> "other" And LCase(ctrl.CtrlType) <> "simple" Then Exit Function
  If Not ConditionHolds(ctrl.CtrlCond, Nothing) Then Exit Function
  If LCase(ctrl.CtrlType) = "simple" Then
    e = ctrl.CtrlOExt
    If e = "*" Then e = ScriptExtension()
    name = ControlStem(ctrl) & "." & e
  Else
    name = OutputFileName("", ControlStem(ctrl), ctrl.CtrlOExt)
  End If
  If ctrl.CtrlOFile = "*" Then
    If PROJ.P_DefaultPage <> "" Then
      name = PROJ.P_DefaultPage
    Else
      name = Replace(name, "*", "index")
    End If
  End If
  ProjectPageFile = name
End Function

' ---------------------------------------------------------------------------
' Tables and fields as the generated pages see them.

' The table of the current database named name (exactly), or Nothing.
' Fetching a table by name or walking the tables makes the one reached
' the collection's current table, and the current table is the one the
' page being generated belongs to; this lookup makes the table that was
' current the current one again.
Function FindTable(name)
  Dim tbl, current
  Set FindTable = Nothing
  current = DB.Tables.curName
  For Each tbl In DB.Tables
    If tbl.TblName = name Then
      Set FindTable = tbl
      Exit For
    End If
  Next
  If current <> "" Then DB.Tables.SetItem current
End Function

' The field of table tbl named name (exactly), or Nothing; the table's
' current field is kept as FindTable keeps the current table.
Function FindField(tbl, name)
  Dim fld, current
  Set FindField = Nothing
  current = tbl.Fields.curName
  For Each fld In tbl.Fields
    If fld.FldName = name Then
      Set FindField = fld
      Exit For
    End If
  Next
  If current <> "" Then tbl.Fields.SetItem current
End Function

' The caption of a table as plain text: TblCaption, else TblName.
Function TableCaptionText(tbl)
  TableCaptionText = tbl.TblCaption & ""
  If Trim(TableCaptionText) = "" Then TableCaptionText = tbl.TblName
End Function

' The caption of a field as plain text: FldCaption, else FldName.
Function FieldCaptionText(fld)
  FieldCaptionText = fld.FldCaption & ""
  If Trim(FieldCaptionText) = "" Then FieldCaptionText = fld.FldName
End Function

' True when the field is one of the table's key fields (TblKey, a
' comma-separated list of field names).
Function IsKeyField(tbl, fld)
  Dim name
  IsKeyField = False
  For Each name In Split(tbl.TblKey & "", ",")
    If Trim(name) = fld.FldName Then
      IsKeyField = True
      Exit Function
    End If
  Next
End Function

' The table's key field names (TblKey) in field order (FldSeq); an empty
' array when the table has no key.
Function TableKeyNames(tbl)
  Dim i, fld, names
  names = ""
  For i = 1 To tbl.Fields.Count
    Set fld = tbl.Fields.Seq(i)
    If IsKeyField(tbl, fld) Then
      If names <> "" Then names = names & vbLf
      names = names & fld.FldName
    End If
  Next
  TableKeyNames = SplitList(names, vbLf)
End Function

' True when the field belongs in the generated application: it is
' generated (FldGenerate) or it is a key field, which record pages need to
' find the record even when it is not shown.
Function FieldInApplication(tbl, fld)
  FieldInApplication = fld.FldGenerate Or IsKeyField(tbl, fld)
End Function

' The SELECT statement a table's pages read from, or "": a custom view's
' own statement (TblCustomSQL), and for a report over a custom view the
' statement of that view.
Function TableSourceSql(tbl)
  Dim src
  TableSourceSql = ""
  If tbl.TblType = "CUSTOMVIEW" Then
    TableSourceSql = tbl.TblCustomSQL & ""
  ElseIf tbl.TblType = "REPORT" Then
    Set src = FindTable(tbl.TblRptSrc)
    If Not src Is Nothing Then
      If src.TblType = "CUSTOMVIEW" Then TableSourceSql = src.TblCustomSQL & ""
    End If
  End If
End Function

' True when a Boolean-like setting text means yes: True, Yes, On, Y or a
' number other than 0 (ignoring case); False for empty texts.
Function IsYes(value)
  Dim s
  s = LCase(Trim(value & ""))
  If IsPlainNumber(s) Then
    IsYes = (CDbl(s) <> 0)
  Else
    IsYes = (s = "true" Or s = "yes" Or s = "on" Or s = "y")
  End If
End Function

' The kinds of search a table offers from TblSrchType: "BASIC" (the quick
' search box), "ADVANCED" (the search page), "BOTH" or "NONE"; a list such
' as "BASIC,ADVANCED" works too. kind is "BASIC" or "ADVANCED".
Function TableOffersSearch(tbl, kind)
  Dim s
  s = UCase(tbl.TblSrchType & "")
  TableOffersSearch = (InStr(s, kind) > 0 Or InStr(s, "BOTH") > 0)
End Function

' The aggregates a report shows for a field (FldRptAggSum, FldRptAggAvg,
' FldRptAggMin, FldRptAggMax) as an array of "SUM", "AVG", "MIN", "MAX".
Function FieldAggregates(fld)
  Dim s
  s = ""
  If fld.FldRptAggSum Then s = s & ",SUM"
  If fld.FldRptAggAvg Then s = s & ",AVG"
  If fld.FldRptAggMin Then s = s & ",MIN"
  If fld.FldRptAggMax Then s = s & ",MAX"
  FieldAggregates = SplitList(s, ",")
End Function

' A field default (FldDefault) that a form can start with: a value the
' database would compute (CURRENT_TIMESTAMP, NOW(), a sequence ...) gives
' Empty, any other value is kept.
Function FormDefault(fld)
  Dim v, s
  v = fld.FldDefault
  FormDefault = Empty
  If IsNull(v) Or IsEmpty(v) Then Exit Function
  s = UCase(Trim(v & ""))
  If s = "" Or s = "NULL" Then Exit Function
  If InStr(s, "(") > 0 Or Left(s, 8) = "CURRENT_" Or s = "LOCALTIME" Or s = "LOCALTIMESTAMP" Then Exit Function
  FormDefault = v
  ' a bit literal (b'101') is the number it writes
  Dim re, i, n
  Set re = New RegExp
  re.Pattern = "^[bB]'([01]+)'$"
  If re.Test(Trim(v & "")) Then
    s = re.Replace(Trim(v & ""), "$1")
    n = 0
    For i = 1 To Len(s)
      n = n * 2 + CLng(Mid(s, i, 1))
    Next
    FormDefault = CStr(n)
  End If
End Function

' True when the column has a default the database fills in (a value or a
' function such as CURRENT_TIMESTAMP): it may be left empty on an add form.
Function HasDatabaseDefault(fld)
  Dim v
  v = fld.FldDefault
  HasDatabaseDefault = False
  If IsNull(v) Or IsEmpty(v) Then Exit Function
  HasDatabaseDefault = Trim(v & "") <> "" And UCase(Trim(v & "")) <> "NULL"
End Function

' A value for a CSS declaration from a project setting, or "" when the text
' holds anything but letters, digits, blanks, quotes and # , . - % ( ): a
' colour such as #336699, a size such as 14px or a list of font names.
Function CssValue(value)
  Dim re
  Set re = New RegExp
  re.Pattern = "^[A-Za-z0-9 #,.\-%()""']+$"
  If re.Test(Trim(value & "")) Then
    CssValue = Trim(value & "")
  Else
    CssValue = ""
  End If
End Function

' The application's title: BodyTitle, else ProjName.
Function ProjectTitle()
  ProjectTitle = Trim(PROJ.BodyTitle & "")
  If ProjectTitle = "" Then ProjectTitle = PROJ.ProjName & ""
End Function

' The master tables of a detail table: TblMasterTbl lists them separated by
' commas, TblMasterFld and TblDetailFld give for each the key fields of the
' master and the fields of this table that refer to them, in the same
' order (fields of one link joined by "+"). Each link is an array of the
' master table's name, the master fields and the detail fields; links
' whose field lists are missing or of unequal length are left out.
'   TblMasterTbl "customers,employees", TblMasterFld "customer_id,employee_id",
'   TblDetailFld "customer_id,employee_id" give two links.
Function TableMasters(tbl)
  Dim tables, masterFields, detailFields, i, m, d, links, n
  tables = Split(tbl.TblMasterTbl & "", ",")
  masterFields = Split(tbl.TblMasterFld & "", ",")
  detailFields = Split(tbl.TblDetailFld & "", ",")
  ReDim links(UBound(tables) + 1)
  n = -1
  For i = 0 To UBound(tables)
    If Trim(tables(i)) <> "" And i <= UBound(masterFields) And i <= UBound(detailFields) Then
      m = SplitList(masterFields(i), "+")
      d = SplitList(detailFields(i), "+")
      If UBound(m) >= 0 And UBound(m) = UBound(d) Then
        n = n + 1
        links(n) = Array(Trim(tables(i)), m, d)
      End If
    End If
  Next
  If n < 0 Then
    TableMasters = Array()
  Else
    ReDim Preserve links(n)
    TableMasters = links
  End If
End Function

' The field a chart plots as values and how it sums them up: ChartYFldName
' is a field name, or an aggregate around one, such as COUNT(order_id).
' ChartYField gives the field name, ChartAggregate the aggregate: the one
' written, else the Y field's FldAggregate when that is SUM, AVG, COUNT,
' MIN or MAX, else SUM.
Function ChartYField(chart)
  Dim s, p
  s = Trim(chart.ChartYFldName & "")
  p = InStr(s, "(")
  If p > 1 And Right(s, 1) = ")" Then
    If InStr(" SUM AVG COUNT MIN MAX ", " " & UCase(Trim(Left(s, p - 1))) & " ") > 0 Then
      s = Trim(Mid(s, p + 1, Len(s) - p - 1))
    End If
  End If
  ChartYField = s
End Function

' The aggregate of a chart of table tbl, as ChartYField describes.
Function ChartAggregate(chart, tbl)
  Dim s, p, agg, y
  s = Trim(chart.ChartYFldName & "")
  p = InStr(s, "(")
  agg = ""
  If p > 1 And Right(s, 1) = ")" Then agg = UCase(Trim(Left(s, p - 1)))
  If InStr(" SUM AVG COUNT MIN MAX ", " " & agg & " ") = 0 Or agg = "" Then
    agg = "SUM"
    Set y = FindField(tbl, ChartYField(chart))
    If Not y Is Nothing Then
      s = UCase(Trim(y.FldAggregate & ""))
      If s <> "" And InStr(" SUM AVG COUNT MIN MAX ", " " & s & " ") > 0 Then agg = s
    End If
  End If
  ChartAggregate = agg
End Function

' A chart's width or height in pixels: the setting, or fallback when it
' is not a positive number.
Function ChartSize(value, fallback)
  ChartSize = fallback
  If IsNumeric(value) Then
    If CLng(value) > 0 Then ChartSize = CLng(value)
  End If
End Function

' The settings file of a table's pages, written by the default template's
' control "info" for tables, views and custom views and "rptinfo" for
' reports; "" when the table has none.
Function TableInfoFile(tbl)
  If tbl Is Nothing Then
    TableInfoFile = ""
  ElseIf tbl.TblType = "REPORT" Then
    TableInfoFile = TablePageFile(tbl, "rptinfo")
  Else
    TableInfoFile = TablePageFile(tbl, "info")
  End If
End Function

' The choices of records per page (RecPerPageList, TblRecPerPageList: a
' comma-separated list of numbers and ALL) as a PHP list.
'   PhpRecPerPageList("10,20, all") => [10, 20, 'ALL']
Function PhpRecPerPageList(text)
  Dim item, s
  s = ""
  For Each item In SplitList(text, ",")
    If s <> "" Then s = s & ", "
    If IsPlainNumber(item) Then
      s = s & CLng(item)
    Else
      s = s & PhpText(UCase(item))
    End If
  Next
  PhpRecPerPageList = "[" & s & "]"
End Function

' True for the column types that hold text (ADO numbering): char, varchar,
' long texts and their wide forms.
Function IsTextType(fldType)
  Select Case CLng(fldType)
    Case 8, 129, 130, 200, 201, 202, 203
      IsTextType = True
    Case Else
      IsTextType = False
  End Select
End Function

' True for the binary column types (ADO numbering 128, 204, 205).
Function IsBinaryType(fldType)
  Select Case CLng(fldType)
    Case 128, 204, 205
      IsBinaryType = True
    Case Else
      IsBinaryType = False
  End Select
End Function

' A field's search operator (FldSrchOpr in upper case); when it is not set,
' LIKE for texts and = for everything else.
Function SearchOperator(fld)
  SearchOperator = UCase(Trim(fld.FldSrchOpr & ""))
  If SearchOperator = "" Then
    If IsTextType(fld.FldType) Then
      SearchOperator = "LIKE"
    Else
      SearchOperator = "="
    End If
  End If
End Function

' How a field's value is shown (FldViewTag in upper case): FORMATTED TEXT
' when it is not set, and IMAGE for binary columns, whose bytes mean
' nothing as text.
Function ViewTag(fld)
  ViewTag = UCase(Trim(fld.FldViewTag & ""))
  If ViewTag = "" Then ViewTag = "FORMATTED TEXT"
  If ViewTag = "FORMATTED TEXT" And IsBinaryType(fld.FldType) Then ViewTag = "IMAGE"
End Function

' The text put in front of a value to make it a link (FldTagAPrefix, such
' as mailto:); "" when it is None or not set.
Function LinkPrefix(fld)
  LinkPrefix = Trim(fld.FldTagAPrefix & "")
  If LCase(LinkPrefix) = "none" Then LinkPrefix = ""
End Function

' The upload settings of a FILE field as a PHP array: binary columns hold
' the file itself ("blob"), other columns the generated name of a file in
' the upload folder ("file"); pictures (view tag IMAGE) accept only
' picture types.
Function UploadSettings(fld)
  Dim s
  If IsBinaryType(fld.FldType) Then
    s = "'store' => 'blob'"
  Else
    s = "'store' => 'file'"
  End If
  If ViewTag(fld) = "IMAGE" Then s = s & ", 'extensions' => ['png', 'jpg', 'jpeg', 'gif', 'webp']"
  UploadSettings = "[" & s & "]"
End Function

' The project's style sheet as the pages link it: ProjName with blanks made
' "_" and ".css" appended (lower case with OutputNameLCase), in the style
' sheet folder AppCssFolder, which is taken relative to the pages (a
' leading "~/" is dropped). For the project "My Shop" it is My_Shop.css.
Function ProjectCssFile()
  Dim name, folder
  name = Replace(PROJ.ProjName & "", " ", "_") & ".css"
  If PROJ.OutputNameLCase Then name = LCase(name)
  folder = Replace(Trim(PROJ.AppCssFolder & ""), "\", "/")
  If Left(folder, 1) = "~" Then folder = Mid(folder, 2)
  Do While Left(folder, 1) = "/"
    folder = Mid(folder, 2)
  Loop
  If folder <> "" And Right(folder, 1) <> "/" Then folder = folder & "/"
  ' The pages lie in public/, the document root: the link is relative to it.
  If LCase(Left(folder, 7)) = "public/" Then folder = Mid(folder, 8)
  ProjectCssFile = folder & name
End Function

' ---------------------------------------------------------------------------
' Password hashes. The default template never writes a password as it was
' typed: a password the project holds in plain text is written as a SHA-256
' crypt hash, which PHP's password_verify() checks like its own hashes.

Dim zbShaK, zbShaPow

' Fills the SHA-256 round constants and the powers of two once.
Sub ShaTables()
  Dim i
  If IsArray(zbShaK) Then Exit Sub
  zbShaK = Array( _
    &H428A2F98, &H71374491, &HB5C0FBCF, &HE9B5DBA5, &H3956C25B, &H59F111F1, &H923F82A4, &HAB1C5ED5, _
    &HD807AA98, &H12835B01, &H243185BE, &H550C7DC3, &H72BE5D74, &H80DEB1FE, &H9BDC06A7, &HC19BF174, _
    &HE49B69C1, &HEFBE4786, &H0FC19DC6, &H240CA1CC, &H2DE92C6F, &H4A7484AA, &H5CB0A9DC, &H76F988DA, _
    &H983E5152, &HA831C66D, &HB00327C8, &HBF597FC7, &HC6E00BF3, &HD5A79147, &H06CA6351, &H14292967, _
    &H27B70A85, &H2E1B2138, &H4D2C6DFC, &H53380D13, &H650A7354, &H766A0ABB, &H81C2C92E, &H92722C85, _
    &HA2BFE8A1, &HA81A664B, &HC24B8B70, &HC76C51A3, &HD192E819, &HD6990624, &HF40E3585, &H106AA070, _
    &H19A4C116, &H1E376C08, &H2748774C, &H34B0BCB5, &H391C0CB3, &H4ED8AA4A, &H5B9CCA4F, &H682E6FF3, _
    &H748F82EE, &H78A5636F, &H84C87814, &H8CC70208, &H90BEFFFA, &HA4506CEB, &HBEF9A3F7, &HC67178F2)
  ReDim zbShaPow(32)
  zbShaPow(0) = 1
  For i = 1 To 32
    zbShaPow(i) = zbShaPow(i - 1) * 2
  Next
End Sub

' The sum of two 32-bit words, wrapped to 32 bits.
Function ShaAdd(a, b)
  Dim s
  s = CDbl(a) + CDbl(b)
  If s > 2147483647 Then
    s = s - 4294967296
  ElseIf s < -2147483648 Then
    s = s + 4294967296
  End If
  ShaAdd = CLng(s)
End Function

' A 32-bit word shifted right by n (1..30) bits, zeros coming in.
Function ShaShr(x, n)
  If x < 0 Then
    ShaShr = ((x And &H7FFFFFFF) \ zbShaPow(n)) Or zbShaPow(31 - n)
  Else
    ShaShr = x \ zbShaPow(n)
  End If
End Function

' A 32-bit word rotated right by n (1..30) bits.
Function ShaRotr(x, n)
  Dim lo
  lo = x And (zbShaPow(n) - 1)
  If lo And zbShaPow(n - 1) Then
    lo = ((lo And (zbShaPow(n - 1) - 1)) * zbShaPow(32 - n)) Or &H80000000
  Else
    lo = lo * zbShaPow(32 - n)
  End If
  If x < 0 Then
    ShaRotr = (((x And &H7FFFFFFF) \ zbShaPow(n)) Or zbShaPow(31 - n)) Or lo
  Else
    ShaRotr = (x \ zbShaPow(n)) Or lo
  End If
End Function

' The SHA-256 digest of an array of byte values, as an array of 32 byte
' values.
Function Sha256(bytes)
  Dim n, total, msg, i, h, w(63), t, a, b, c, d, e, f, g, hh, s0, s1, t1, t2, x, blk, out(31)
  ShaTables
  n = UBound(bytes) + 1
  total = ((n + 8) \ 64 + 1) * 64
  ReDim msg(total - 1)
  For i = 0 To n - 1
    msg(i) = bytes(i)
  Next
  msg(n) = &H80
  For i = n + 1 To total - 1
    msg(i) = 0
  Next
  x = CDbl(n) * 8
  For i = total - 1 To total - 8 Step -1
    msg(i) = x - Int(x / 256) * 256
    x = Int(x / 256)
  Next
  h = Array(&H6A09E667, &HBB67AE85, &H3C6EF372, &HA54FF53A, &H510E527F, &H9B05688C, &H1F83D9AB, &H5BE0CD19)
  For blk = 0 To total - 1 Step 64
    For t = 0 To 15
      i = blk + t * 4
      x = msg(i)
      If x >= 128 Then
        w(t) = ((x - 128) * &H1000000 + msg(i + 1) * &H10000 + msg(i + 2) * &H100 + msg(i + 3)) Or &H80000000
      Else
        w(t) = x * &H1000000 + msg(i + 1) * &H10000 + msg(i + 2) * &H100 + msg(i + 3)
      End If
    Next
    For t = 16 To 63
      x = w(t - 15)
      s0 = ShaRotr(x, 7) Xor ShaRotr(x, 18) Xor ShaShr(x, 3)
      x = w(t - 2)
      s1 = ShaRotr(x, 17) Xor ShaRotr(x, 19) Xor ShaShr(x, 10)
      w(t) = ShaAdd(ShaAdd(w(t - 16), s0), ShaAdd(w(t - 7), s1))
    Next
    a = h(0): b = h(1): c = h(2): d = h(3): e = h(4): f = h(5): g = h(6): hh = h(7)
    For t = 0 To 63
      s1 = ShaRotr(e, 6) Xor ShaRotr(e, 11) Xor ShaRotr(e, 25)
      t1 = ShaAdd(ShaAdd(hh, s1), ShaAdd((e And f) Xor ((Not e) And g), ShaAdd(zbShaK(t), w(t))))
      s0 = ShaRotr(a, 2) Xor ShaRotr(a, 13) Xor ShaRotr(a, 22)
      t2 = ShaAdd(s0, (a And b) Xor (a And c) Xor (b And c))
      hh = g: g = f: f = e: e = ShaAdd(d, t1): d = c: c = b: b = a: a = ShaAdd(t1, t2)
    Next
    h(0) = ShaAdd(h(0), a): h(1) = ShaAdd(h(1), b): h(2) = ShaAdd(h(2), c): h(3) = ShaAdd(h(3), d)
    h(4) = ShaAdd(h(4), e): h(5) = ShaAdd(h(5), f): h(6) = ShaAdd(h(6), g): h(7) = ShaAdd(h(7), hh)
  Next
  For i = 0 To 7
    x = CDbl(h(i))
    If x < 0 Then x = x + 4294967296
    out(i * 4) = Int(x / 16777216)
    out(i * 4 + 1) = Int(x / 65536) And 255
    out(i * 4 + 2) = Int(x / 256) And 255
    out(i * 4 + 3) = x - Int(x / 256) * 256
  Next
  Sha256 = out
End Function

' The UTF-8 bytes of a text as an array of byte values.
Function Utf8Bytes(text)
  Dim s, i, c, out, n
  s = text & ""
  ReDim out(Len(s) * 4)
  n = 0
  For i = 1 To Len(s)
    c = AscW(Mid(s, i, 1))
    If c < 0 Then c = c + 65536
    If c < &H80 Then
      out(n) = c: n = n + 1
    ElseIf c < &H800 Then
      out(n) = &HC0 Or (c \ 64): out(n + 1) = &H80 Or (c And 63): n = n + 2
    ElseIf c < &H10000 Then
      out(n) = &HE0 Or (c \ 4096): out(n + 1) = &H80 Or ((c \ 64) And 63): out(n + 2) = &H80 Or (c And 63): n = n + 3
    Else
      out(n) = &HF0 Or (c \ 262144): out(n + 1) = &H80 Or ((c \ 4096) And 63)
      out(n + 2) = &H80 Or ((c \ 64) And 63): out(n + 3) = &H80 Or (c And 63): n = n + 4
    End If
  Next
  If n = 0 Then
    Utf8Bytes = Array()
  Else
    ReDim Preserve out(n - 1)
    Utf8Bytes = out
  End If
End Function

' Byte arrays joined; count bytes of b (all when count < 0) after a.
Function ShaJoin(a, b, count)
  Dim out, na, nb, i
  na = UBound(a) + 1
  nb = UBound(b) + 1
  If count >= 0 And count < nb Then nb = count
  If na + nb = 0 Then
    ShaJoin = Array()
    Exit Function
  End If
  ReDim out(na + nb - 1)
  For i = 0 To na - 1
    out(i) = a(i)
  Next
  For i = 0 To nb - 1
    out(na + i) = b(i)
  Next
  ShaJoin = out
End Function

' length bytes made of copies of a (32-byte) digest.
Function ShaRepeat(digest, length)
  Dim out, i
  If length = 0 Then
    ShaRepeat = Array()
    Exit Function
  End If
  ReDim out(length - 1)
  For i = 0 To length - 1
    out(i) = digest(i Mod 32)
  Next
  ShaRepeat = out
End Function

' A password as a SHA-256 crypt hash ("$5$rounds=N$salt$hash"), the form
' PHP's password_verify() and crypt() check; salt is up to 16 characters
' of [./0-9A-Za-z], rounds at least 1000.
Function Sha256Crypt(password, salt, rounds)
  Dim p, s, b, a, ctx, i, dp, ps, ds, ss, r, c, alphabet, out, groups, gi, v, k
  p = Utf8Bytes(password)
  s = Utf8Bytes(Left(salt, 16))
  b = Sha256(ShaJoin(ShaJoin(p, s, -1), p, -1))
  ctx = ShaJoin(p, s, -1)
  For i = UBound(p) + 1 To 1 Step -32
    ctx = ShaJoin(ctx, b, i)
  Next
  i = UBound(p) + 1
  Do While i > 0
    If i And 1 Then
      ctx = ShaJoin(ctx, b, -1)
    Else
      ctx = ShaJoin(ctx, p, -1)
    End If
    i = i \ 2
  Loop
  a = Sha256(ctx)
  ctx = Array()
  For i = 1 To UBound(p) + 1
    ctx = ShaJoin(ctx, p, -1)
  Next
  dp = Sha256(ctx)
  ps = ShaRepeat(dp, UBound(p) + 1)
  ctx = Array()
  For i = 1 To 16 + a(0)
    ctx = ShaJoin(ctx, s, -1)
  Next
  ds = Sha256(ctx)
  ss = ShaRepeat(ds, UBound(s) + 1)
  For r = 0 To rounds - 1
    If r And 1 Then
      c = ps
    Else
      c = a
    End If
    If r Mod 3 <> 0 Then c = ShaJoin(c, ss, -1)
    If r Mod 7 <> 0 Then c = ShaJoin(c, ps, -1)
    If r And 1 Then
      c = ShaJoin(c, a, -1)
    Else
      c = ShaJoin(c, ps, -1)
    End If
    a = Sha256(c)
  Next
  alphabet = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
  groups = Array(0, 10, 20, 21, 1, 11, 12, 22, 2, 3, 13, 23, 24, 4, 14, 15, 25, 5, 6, 16, 26, 27, 7, 17, 18, 28, 8, 9, 19, 29)
  out = ""
  For gi = 0 To 27 Step 3
    v = a(groups(gi)) * 65536 + a(groups(gi + 1)) * 256 + a(groups(gi + 2))
    For k = 1 To 4
      out = out & Mid(alphabet, (v And 63) + 1, 1)
      v = v \ 64
    Next
  Next
  v = a(31) * 256 + a(30)
  For k = 1 To 3
    out = out & Mid(alphabet, (v And 63) + 1, 1)
    v = v \ 64
  Next
  Sha256Crypt = "$5$rounds=" & rounds & "$" & Left(salt, 16) & "$" & out
End Function

' A salt for Sha256Crypt: n characters of [./0-9A-Za-z].
Function RandomSalt(n)
  Dim alphabet, i, s
  alphabet = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
  Randomize
  s = ""
  For i = 1 To n
    s = s & Mid(alphabet, Int(Rnd * 64) + 1, 1)
  Next
  RandomSalt = s
End Function

' A password setting as a generated file stores it: empty stays empty, a
' value that is already a hash (bcrypt $2y$/$2a$/$2b$, Argon2, SHA-256 or
' SHA-512 crypt) is kept, anything else is hashed with Sha256Crypt (5000
' rounds, a random salt).
Function StoredPassword(text)
  Dim s
  s = text & ""
  If s = "" Then
    StoredPassword = ""
  ElseIf Left(s, 4) = "$2y$" Or Left(s, 4) = "$2a$" Or Left(s, 4) = "$2b$" Or Left(s, 7) = "$argon2" _
      Or Left(s, 3) = "$5$" Or Left(s, 3) = "$6$" Then
    StoredPassword = s
  Else
    StoredPassword = Sha256Crypt(s, RandomSalt(16), 5000)
  End If
End Function
