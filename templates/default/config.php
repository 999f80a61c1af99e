The application's settings (see README.md, "Project settings"): the
connection, the login settings, the list defaults, the menu and the texts
of the language file.
<!--##session config##-->
<!--##include common.php/phpopen##-->
// No secret is written here: the database password and any other setting
// of an installation come from config.local.php beside this file (same
// array form, merged over it) or from the environment: TARNWICK_DB_HOST,
// TARNWICK_DB_PORT, TARNWICK_DB_NAME, TARNWICK_DB_USER, TARNWICK_DB_PASSWORD,
// TARNWICK_DB_PATH (SQLite), which win over both files.
<!--##
	zzDriver = LCase(Trim(DB.DBType & ""))
	If zzDriver = "postgresql" Then
		zzDriver = "pgsql"
	ElseIf zzDriver <> "sqlite" Then
		zzDriver = "mysql"
	End If
	zzSecType = LCase(Trim(PROJ.SecType & ""))
	If zzSecType <> "static" And zzSecType <> "table" And zzSecType <> "both" Then zzSecType = "none"
	zzUpload = Trim(PROJ.UploadPath & "")
	If Left(zzUpload, 1) = "~" Then zzUpload = Mid(zzUpload, 2)
	zzUpload = Replace(zzUpload, "\", "/")
	Do While Left(zzUpload, 1) = "/"
		zzUpload = Mid(zzUpload, 2)
	Loop
	If zzUpload = "" Then zzUpload = "uploads"
	zzCharset = Trim(PROJ.CharSet & "")
	If zzCharset = "" Then zzCharset = "utf-8"
	zzDateFormat = CLng("0" & PROJ.defaultDateFormat)
	If zzDateFormat < 5 Or zzDateFormat > 7 Then zzDateFormat = 5
	zzSeparator = PROJ.DateSeparator & ""
	If zzSeparator = "" Then zzSeparator = "/"
##-->
$config = [
    'app' => [
        'title' => <!--##=PhpText(ProjectTitle())##-->,
        'charset' => <!--##=PhpText(zzCharset)##-->,
        'default_page' => <!--##=PhpText(ProjectPageFile("index"))##-->,
        'date_format' => <!--##=zzDateFormat##-->,
        'date_separator' => <!--##=PhpText(zzSeparator)##-->,
        'upload_path' => <!--##=PhpText(zzUpload)##-->,
<!--##
	If CLng("0" & DB.MaxUploadSize) > 0 Then
##-->
        'max_upload_size' => <!--##=CLng(DB.MaxUploadSize)##-->,
<!--##
	End If
##-->
        'css' => [<!--##=PhpText(ProjectCssFile())##-->],
    ],
    'db' => [
        'driver' => '<!--##=zzDriver##-->',
<!--##
	If zzDriver = "sqlite" Then
##-->
        'path' => <!--##=PhpText(PathFromDestination(DB.DBName))##-->,
<!--##
	Else
		zzPort = Trim(DB.DBPort & "")
		If Not IsPlainNumber(zzPort) Then
			If zzDriver = "pgsql" Then zzPort = "5432" Else zzPort = "3306"
		End If
		' A PostgreSQL project names its schema in its URL (schema=NAME).
		zzSchema = ""
		zzUrl = DB.DBURL & ""
		zzAt = InStr(1, zzUrl, "schema=", 1)
		If zzAt > 0 Then
			zzSchema = Mid(zzUrl, zzAt + 7)
			If InStr(zzSchema, "&") > 0 Then zzSchema = Left(zzSchema, InStr(zzSchema, "&") - 1)
			' (%-escapes stand for what a URL cannot hold: "%", "&", blanks...)
			zzSchema = Unescape(zzSchema)
		End If
##-->
        'host' => <!--##=PhpText(DB.DBHost)##-->,
        'port' => <!--##=CLng(zzPort)##-->,
        'name' => <!--##=PhpText(DB.DBName)##-->,
        'user' => <!--##=PhpText(DB.DBUID)##-->,
<!--##
		If zzDriver = "pgsql" Then
##-->
        'schema' => <!--##=PhpText(zzSchema)##-->,
<!--##
		Else
##-->
        'charset' => 'utf8mb4',
<!--##
		End If
	End If
##-->
    ],
    'security' => [
        'type' => '<!--##=zzSecType##-->',
<!--##
	If zzSecType = "static" Or zzSecType = "both" Then
##-->
        'static_login' => <!--##=PhpText(PROJ.SecLoginID)##-->,
        'static_password' => <!--##=PhpText(StoredPassword(PROJ.SecPasswd))##-->,
<!--##
	End If
	Set zzSecTable = FindTable(PROJ.SecTbl)
	If (zzSecType = "table" Or zzSecType = "both") And Not zzSecTable Is Nothing Then
		zzKeys = TableKeyNames(zzSecTable)
		zzKey = PROJ.SecLoginIDFld
		If UBound(zzKeys) >= 0 Then zzKey = zzKeys(0)
##-->
        'table' => <!--##=PhpText(PROJ.SecTbl)##-->,
        'key' => <!--##=PhpText(zzKey)##-->,
        'login_field' => <!--##=PhpText(PROJ.SecLoginIDFld)##-->,
        'password_field' => <!--##=PhpText(PROJ.SecPasswdFld)##-->,
        'email_field' => <!--##=PhpText(PROJ.SecEmailFld)##-->,
<!--##
	End If
##-->
        'register' => <!--##=PhpBool(ProjectPageFile("register") <> "")##-->,
        'change_password' => <!--##=PhpBool(ProjectPageFile("changepwd") <> "")##-->,
<!--##
	If ProjectPageFile("login") <> "" Then
##-->
        'login_page' => <!--##=PhpText(ProjectPageFile("login"))##-->,
<!--##
	End If
##-->
    ],
<!--##
	zzExport = ""
	If PROJ.ExportCsv Then zzExport = zzExport & ", 'csv'"
	If PROJ.ExportHtml Then zzExport = zzExport & ", 'html'"
	If PROJ.ExportExcel Then zzExport = zzExport & ", 'excel'"
	If PROJ.ExportXml Then zzExport = zzExport & ", 'xml'"
	If PROJ.ExportWord Then zzExport = zzExport & ", 'word'"
	If zzExport <> "" Then zzExport = Mid(zzExport, 3)
##-->
    'list' => [
        'rec_per_page' => <!--##=CLng("0" & PROJ.RecPerPage)##-->,
        'rec_per_page_list' => <!--##=PhpRecPerPageList(PROJ.RecPerPageList)##-->,
        'pager_style' => <!--##=CLng("0" & PROJ.PagerStyle)##-->,
        'sort_type' => <!--##=CLng("0" & PROJ.SortType)##-->,
        'multi_delete' => <!--##=PhpBool(PROJ.MultiDelete)##-->,
        'export' => [<!--##=zzExport##-->],
        'link_on_left' => <!--##=PhpBool(PROJ.LinkOnLeft)##-->,
    ],
    'menu' => [
<!--##
	' Every table, view and report with a page to start from, in the
	' project's order; the menu shows tables, views and reports apart.
	For zzI = 1 To DB.Tables.Count
		Set zzTbl = DB.Tables.Seq(zzI)
		If zzTbl.TblType = "REPORT" Then
			zzPage = TablePageFile(zzTbl, "report")
			zzGroup = "reports"
		Else
			zzPage = TablePageFile(zzTbl, "list")
			zzGroup = "tables"
			If zzTbl.TblType = "VIEW" Or zzTbl.TblType = "CUSTOMVIEW" Then zzGroup = "views"
		End If
		If zzPage <> "" Then
##-->
        ['caption' => <!--##=PhpText(TableCaptionText(zzTbl))##-->, 'page' => <!--##=PhpText(zzPage)##-->, 'group' => '<!--##=zzGroup##-->'],
<!--##
		End If
	Next
##-->
    ],
    'phrases' => [
<!--##
	' The runtime's texts, from the language file.
	For Each zzId In SplitList(LANG.Phrase("runtime_phrases"), ",")
		zzText = LANG.Phrase("app." & zzId)
		If zzText <> "" Then
##-->
        <!--##=PhpText(zzId)##--> => <!--##=PhpText(zzText)##-->,
<!--##
		End If
	Next
##-->
    ],
];
if (is_file(__DIR__ . '/config.local.php')) {
    $config = array_replace_recursive($config, require __DIR__ . '/config.local.php');
}
foreach (['TARNWICK_DB_HOST' => 'host', 'TARNWICK_DB_PORT' => 'port', 'TARNWICK_DB_NAME' => 'name',
          'TARNWICK_DB_USER' => 'user', 'TARNWICK_DB_PASSWORD' => 'password', 'TARNWICK_DB_PATH' => 'path'] as $envVar => $envKey) {
    $envValue = getenv($envVar);
    if ($envValue !== false && $envValue !== '') {
        $config['db'][$envKey] = $envKey === 'port' ? (int)$envValue : $envValue;
    }
}
return $config;
<!--##/session##-->

The settings of one installation: written when the file does not exist yet
(the control does not overwrite), then the deployer's. It holds the database
password, which config.php never does.
<!--##session localconfig##-->
<!--##include common.php/phpopen##-->
// Merged over config.php (array_replace_recursive); the TARNWICK_DB_*
// environment variables win over it. Keep this file out of the web server's
// reach and out of version control (see DEPLOY.md).
return [
    'db' => [
<!--##
	If LCase(Trim(DB.DBType & "")) <> "sqlite" Then
##-->
        'password' => <!--##=PhpText(DB.DBPwd)##-->,
<!--##
	End If
##-->
    ],
];
<!--##/session##-->
