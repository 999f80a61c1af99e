' Built-in validation code. Before generating, every function of this
' module runs in order, without arguments; each checks one thing that
' generation needs and returns True when it holds. A failing check puts the
' reason into PROJ.ProjErr and returns False, which stops generation with
' that message. Only such checks belong here: every procedure of this
' module is run as one.

' The project names a destination folder for the generated files.
Function CheckDestination()
  If Trim(PROJ.Destination) = "" Then
    PROJ.ProjErr = "Tarnwick: No destination folder set! Please choose the folder the generated files go to."
    CheckDestination = False
  Else
    CheckDestination = True
  End If
End Function

' With security on (SecType other than "None"): a static login ("Static",
' "Both") has its name and password; a login table (any other kind) exists
' in the project with its login and password fields. "Static" alone needs
' no table.
Function CheckSecurityTable()
  Dim tbl, kind
  CheckSecurityTable = True
  kind = LCase(Trim(PROJ.SecType & ""))
  If kind = "none" Or kind = "" Then Exit Function
  CheckSecurityTable = False
  If kind = "static" Or kind = "both" Then
    If Trim(PROJ.SecLoginID & "") = "" Or Trim(PROJ.SecPasswd & "") = "" Then
      PROJ.ProjErr = "Tarnwick: No static login set! Please give the administrator's login name (SecLoginID) and password (SecPasswd)."
      Exit Function
    End If
    If kind = "static" Then
      CheckSecurityTable = True
      Exit Function
    End If
  End If
  If PROJ.SecTbl = "" Or Not DB.Tables.TableExist(PROJ.SecTbl) Then
    PROJ.ProjErr = "Tarnwick: Security table """ & PROJ.SecTbl & """ not found in the project! Please choose the table that holds the user names and passwords."
    Exit Function
  End If
  Set tbl = DB.Tables(PROJ.SecTbl)
  If PROJ.SecLoginIDFld = "" Or Not tbl.Fields.FieldExist(PROJ.SecLoginIDFld) Then
    PROJ.ProjErr = "Tarnwick: Login name field """ & PROJ.SecLoginIDFld & """ not found in security table """ & PROJ.SecTbl & """!"
    Exit Function
  End If
  If PROJ.SecPasswdFld = "" Or Not tbl.Fields.FieldExist(PROJ.SecPasswdFld) Then
    PROJ.ProjErr = "Tarnwick: Password field """ & PROJ.SecPasswdFld & """ not found in security table """ & PROJ.SecTbl & """!"
    Exit Function
  End If
  CheckSecurityTable = True
End Function

' Every table that is generated (TblGen) has at least one field that is
' generated (FldGenerate).
Function CheckGeneratedFields()
  Dim tbl, fld, found
  CheckGeneratedFields = True
  For Each tbl In DB.Tables
    If tbl.TblGen Then
      found = False
      For Each fld In tbl.Fields
        If fld.FldGenerate Then
          found = True
          Exit For
        End If
      Next
      If Not found Then
        PROJ.ProjErr = "Tarnwick: Table """ & tbl.TblName & """ is generated but none of its fields is! Please select at least one field to generate."
        CheckGeneratedFields = False
        Exit Function
      End If
    End If
  Next
End Function
