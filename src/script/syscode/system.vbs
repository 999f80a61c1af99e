' Built-in system code. It is added to the System module after the common
' code (which declares TABLE, FIELD, CTRL and LoadCurrent), so every page
' script and every user function can call these helpers. Keep it small: a
' helper belongs here when templates would otherwise repeat it.
'
' Objects at hand: PROJ (the project), DB (its database), Controls, LANG,
' SCRPT and FILTERS.

' The indentation of the line a <!--##~ ... ##--> block stands on. The page
' script sets it right before the block's expression runs; IndentText and
' indented system-code templates continue their lines with it.
Dim zbIndentWrk
zbIndentWrk = ""

' A text as a PHP single-quoted string literal: backslashes and single
' quotes are escaped, so the literal reads back as the text.
'   PhpString("it's C:\") = 'it\'s C:\\'
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
'   SqlName("order") = `order` on MySQL
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
