The settings file of a table, view, custom view or report: the PHP array
that the runtime reads (see README.md, "Table settings"). Three sessions:
the table's own settings, its fields, and the end of the array; an
extension can add settings by adding a session before "end".
<!--##session table##-->
<!--##include common.php/phpopen##-->
return [
    'name' => <!--##=PhpText(TABLE.TblName)##-->,
    'var' => <!--##=PhpText(TABLE.TblVar)##-->,
    'caption' => <!--##=PhpText(TableCaptionText(TABLE))##-->,
    'type' => <!--##=PhpText(UCase(TABLE.TblType))##-->,
<!--##
	zzSql = TableSourceSql(TABLE)
	If zzSql <> "" Then
##-->
    'sql' => <!--##=PhpText(zzSql)##-->,
<!--##
	End If
##-->
    'key' => <!--##=PhpList(TableKeyNames(TABLE))##-->,
    'security' => <!--##=PhpBool(IsYes(TABLE.TblSecurity) Or Trim(TABLE.TblSecurity & "") = "")##-->,
    'pages' => [<!--##
	zzFirst = True
	For Each zzKind In Array("list", "view", "add", "edit", "delete", "search", "report")
		zzPage = TablePageFile(TABLE, zzKind)
		If zzPage <> "" Then
			If Not zzFirst Then
##-->, <!--##
			End If
			zzFirst = False
##--><!--##=PhpText(zzKind)##--> => <!--##=PhpText(zzPage)##--><!--##
		End If
	Next
##-->],
    'copy' => <!--##=PhpBool(TABLE.TblCopy And TablePageFile(TABLE, "add") <> "")##-->,
<!--##
	If Trim(TABLE.TblFilter & "") <> "" Then
##-->
    'filter' => <!--##=PhpText(TABLE.TblFilter)##-->,
<!--##
	End If
##-->
    'search' => ['basic' => <!--##=PhpBool(TableOffersSearch(TABLE, "BASIC"))##-->, 'advanced' => <!--##=PhpBool(TableOffersSearch(TABLE, "ADVANCED"))##-->],
<!--##
	' The fields the list is sorted by when the user chose nothing:
	' FldOrderBy gives their order (1, 2, ...), FldOrder the direction.
	zzOrder = ""
	zzRanked = ""
	For zzI = 1 To TABLE.Fields.Count
		If TABLE.Fields.Seq(zzI).FldOrderBy > 0 Then zzRanked = zzRanked & "," & zzI
	Next
	zzRanked = SplitList(zzRanked, ",")
	For zzRank = 1 To TABLE.Fields.Count
		If UBound(zzRanked) < 0 Then Exit For
		For Each zzI In zzRanked
			Set zzFld = TABLE.Fields.Seq(CLng(zzI))
			If zzFld.FldOrderBy = zzRank And FieldInApplication(TABLE, zzFld) Then
				If zzOrder <> "" Then zzOrder = zzOrder & ", "
				zzDir = "ASC"
				If UCase(Trim(zzFld.FldOrder & "")) = "DESC" Then zzDir = "DESC"
				zzOrder = zzOrder & "[" & PhpText(zzFld.FldName) & ", '" & zzDir & "']"
			End If
		Next
	Next
	If zzOrder <> "" Then
##-->
    'default_order' => [<!--##=zzOrder##-->],
<!--##
	End If
	If Not TABLE.TblUseGlobal Then
		zzExport = ""
		If TABLE.TblExportCsv Then zzExport = zzExport & ", 'csv'"
		If TABLE.TblExportHtml Then zzExport = zzExport & ", 'html'"
		If TABLE.TblExportExcel Then zzExport = zzExport & ", 'excel'"
		If TABLE.TblExportXml Then zzExport = zzExport & ", 'xml'"
		If TABLE.TblExportWord Then zzExport = zzExport & ", 'word'"
		If zzExport <> "" Then zzExport = Mid(zzExport, 3)
##-->
    'list' => [
        'rec_per_page' => <!--##=CLng(TABLE.TblRecPerPage)##-->,
        'rec_per_page_list' => <!--##=PhpRecPerPageList(TABLE.TblRecPerPageList)##-->,
        'pager_style' => <!--##=CLng(TABLE.TblPagerStyle)##-->,
        'sort_type' => <!--##=CLng(TABLE.TblSortType)##-->,
        'multi_delete' => <!--##=PhpBool(TABLE.TblMultiDelete)##-->,
        'export' => [<!--##=zzExport##-->],
        'link_on_left' => <!--##=PhpBool(TABLE.TblLinkOnLeft)##-->,
    ],
<!--##
	End If

	' This table as the detail of others: masters with a settings file and
	' a list page to go back to.
	zzMasters = ""
	For Each zzLink In TableMasters(TABLE)
		Set zzMaster = FindTable(zzLink(0))
		If Not zzMaster Is Nothing Then
			zzMasterInfo = TableInfoFile(zzMaster)
			zzMasterList = TablePageFile(zzMaster, "list")
			If zzMasterInfo <> "" And zzMasterList <> "" Then
				zzMasters = zzMasters & "        ['table' => " & PhpText(zzMaster.TblName) & ", 'info' => " & PhpText(zzMasterInfo) & ", 'list_page' => " & PhpText(zzMasterList) & "," & vbCrLf _
					& "            'master_fields' => " & PhpList(zzLink(1)) & ", 'detail_fields' => " & PhpList(zzLink(2)) & "]," & vbCrLf
			End If
		End If
	Next
	If zzMasters <> "" Then
##-->
    'masters' => [
<!--##=zzMasters##-->    ],
<!--##
	End If

	' Other tables that name this one as their master.
	zzDetails = ""
	For zzI = 1 To DB.Tables.Count
		Set zzDetail = DB.Tables.Seq(zzI)
		If zzDetail.TblMasterTbl <> "" Then
			zzDetailPage = TablePageFile(zzDetail, "list")
			For Each zzLink In TableMasters(zzDetail)
				If zzLink(0) = TABLE.TblName And zzDetailPage <> "" Then
					zzDetails = zzDetails & "        ['table' => " & PhpText(zzDetail.TblName) & ", 'caption' => " & PhpText(TableCaptionText(zzDetail)) & ", 'page' => " & PhpText(zzDetailPage) & "," & vbCrLf & "            'master_fields' => " & PhpList(zzLink(1)) & ", 'detail_fields' => " & PhpList(zzLink(2)) & "]," & vbCrLf
				End If
			Next
		End If
	Next
	If zzDetails <> "" Then
##-->
    'details' => [
<!--##=zzDetails##-->    ],
<!--##
	End If

	If TABLE.TblType = "REPORT" Then
##-->
    'report' => ['source' => <!--##=PhpText(TABLE.TblRptSrc)##-->, 'show_details' => <!--##=PhpBool(TABLE.TblRptShowDetails)##-->, 'grand_total' => <!--##=PhpBool(TABLE.TblRptShowGrandTotal)##-->],
<!--##
	End If

	' Charts, drawn above or below the list or report.
	zzCharts = ""
	For zzI = 1 To TABLE.Charts.Count
		Set zzChart = TABLE.Charts.Seq(zzI)
		If zzChart.ShowChart Then
			zzName = Trim(zzChart.ChartVar & "")
			If zzName = "" Then zzName = zzChart.ChartName
			zzCharts = zzCharts & "        ['name' => " & PhpText(zzName) & ", 'caption' => " & PhpText(zzChart.ChartCaption) & ", 'type' => " & CLng(zzChart.ChartType) _
				& ", 'x' => " & PhpText(zzChart.ChartXFldName) & ", 'y' => " & PhpText(ChartYField(zzChart)) & ", 'agg' => " & PhpText(ChartAggregate(zzChart, TABLE)) & "," & vbCrLf _
				& "            'width' => " & ChartSize(zzChart.ChartWidth, 600) & ", 'height' => " & ChartSize(zzChart.ChartHeight, 320) & ", 'sort' => " & CLng(zzChart.ChartSortType) _
				& ", 'show_values' => " & PhpBool(zzChart.ChartShowValues) & ", 'show_names' => " & PhpBool(zzChart.ChartShowNames) & ", 'grid_lines' => " & CLng(zzChart.ChartNumGridLines) & "," & vbCrLf _
				& "            'x_axis_name' => " & PhpText(zzChart.ChartXAxisName) & ", 'y_axis_name' => " & PhpText(zzChart.ChartYAxisName) _
				& ", 'palette' => " & PhpList(SplitList(Replace(zzChart.ChartColorPalette & "", "|", ","), ",")) & ", 'bg_color' => " & PhpText(CssValue(zzChart.ChartBgColor)) & "," & vbCrLf _
				& "            'position' => " & CLng(zzChart.ChartPosition) & ", 'max_char' => " & CLng(zzChart.ChartXAxisValueMaxChar) & "]," & vbCrLf
		End If
	Next
	If zzCharts <> "" Then
##-->
    'charts' => [
<!--##=zzCharts##-->    ],
<!--##
	End If
##-->
<!--##/session##-->

<!--##session fields##-->
    'fields' => [
<!--##
	For zzI = 1 To TABLE.Fields.Count
		Set zzFld = TABLE.Fields.Seq(zzI)
		If FieldInApplication(TABLE, zzFld) Then
			zzShown = zzFld.FldGenerate
			zzControl = UCase(Trim(zzFld.FldHtmlTag & ""))
			If zzControl = "" Then zzControl = "TEXT"
##-->
        <!--##=PhpText(zzFld.FldName)##--> => [
            'var' => <!--##=PhpText(zzFld.FldVar)##-->, 'caption' => <!--##=PhpText(FieldCaptionText(zzFld))##-->, 'type' => <!--##=CLng(zzFld.FldType)##-->, 'size' => <!--##=CLng(zzFld.FldSize)##-->,
            'auto_increment' => <!--##=PhpBool(zzFld.FldAutoIncrement)##-->, 'required' => <!--##=PhpBool(zzFld.FldRequired)##-->, 'nullable' => <!--##=PhpBool(Not zzFld.FldReq)##-->,
            'list' => <!--##=PhpBool(zzShown And zzFld.FldList)##-->, 'view' => <!--##=PhpBool(zzShown And zzFld.FldView)##-->, 'add' => <!--##=PhpBool(zzShown And zzFld.FldAdd)##-->, 'edit' => <!--##=PhpBool(zzShown And zzFld.FldEdit)##-->, 'register' => <!--##=PhpBool(zzShown And zzFld.FldRegister)##-->,
            'search' => <!--##=PhpBool(zzShown And zzFld.FldSearch)##-->, 'basic_search' => <!--##=PhpBool(zzShown And zzFld.FldBasicSearch)##-->, 'search_op' => <!--##=PhpText(SearchOperator(zzFld))##-->,
<!--##
			' Sizes of the edit control; those not set keep the runtime's.
			zzTags = ""
			If CLng(zzFld.FldTagSize) > 0 Then zzTags = zzTags & ", 'tag_size' => " & CLng(zzFld.FldTagSize)
			If CLng(zzFld.FldTagMaxLength) > 0 Then zzTags = zzTags & ", 'tag_maxlength' => " & CLng(zzFld.FldTagMaxLength)
			If CLng(zzFld.FldTagCols) > 0 Then zzTags = zzTags & ", 'tag_cols' => " & CLng(zzFld.FldTagCols)
			If CLng(zzFld.FldTagRows) > 0 Then zzTags = zzTags & ", 'tag_rows' => " & CLng(zzFld.FldTagRows)
##-->
            'control' => <!--##=PhpText(zzControl)##-->, 'readonly' => <!--##=PhpBool(zzFld.FldHtmlTagReadOnly)##-->, 'calendar' => <!--##=PhpBool(zzFld.FldPopCalendar)##--><!--##=zzTags##-->,
<!--##
			If Trim(zzFld.FldTagValues & "") <> "" Then
##-->
            'values' => <!--##=PhpValueList(zzFld.FldTagValues)##-->, 'multiple' => <!--##=PhpBool(zzFld.FldSelectMultiple)##-->,
<!--##
			End If
			If Trim(zzFld.FldTagLnkTbl & "") <> "" And Trim(zzFld.FldTagLnkFld & "") <> "" Then
				zzDir = "ASC"
				If UCase(Trim(zzFld.FldTagLnkOrderType & "")) = "DESC" Then zzDir = "DESC"
				zzDisplay = Trim(zzFld.FldTagLnkDisplay & "")
				If zzDisplay = "" Then zzDisplay = zzFld.FldTagLnkFld
##-->
            'lookup' => ['table' => <!--##=PhpText(zzFld.FldTagLnkTbl)##-->, 'value' => <!--##=PhpText(zzFld.FldTagLnkFld)##-->, 'display' => <!--##=PhpText(zzDisplay)##-->, 'display2' => <!--##=PhpText(zzFld.FldTagLnkDisp2)##-->,
                'order' => <!--##=PhpText(zzFld.FldTagLnkOrderBy)##-->, 'order_dir' => '<!--##=zzDir##-->', 'distinct' => <!--##=PhpBool(zzFld.FldTagLnkDistinct)##--><!--##
				If Trim(zzFld.FldSelectFilter & "") <> "" Then
##-->, 'filter' => <!--##=PhpText(zzFld.FldSelectFilter)##--><!--##
				End If
##-->],
<!--##
			End If
##-->
            'validate' => <!--##=PhpText(UCase(Trim(zzFld.FldValidate & "")))##-->,<!--##
			If Trim(zzFld.FldMin & "") <> "" Then
##--> 'min' => <!--##=PhpNumberOrText(zzFld.FldMin)##-->,<!--##
			End If
			If Trim(zzFld.FldMax & "") <> "" Then
##--> 'max' => <!--##=PhpNumberOrText(zzFld.FldMax)##-->,<!--##
			End If
			If Trim(zzFld.FldErrMsg & "") <> "" Then
##--> 'error' => <!--##=PhpText(zzFld.FldErrMsg)##-->,<!--##
			End If
			zzDefault = FormDefault(zzFld)
			If Not IsEmpty(zzDefault) And Not zzFld.FldAutoIncrement Then
##--> 'default' => <!--##=PhpText(zzDefault & "")##-->,<!--##
			End If
			If HasDatabaseDefault(zzFld) Then
##--> 'db_default' => true,<!--##
			End If
			If CLng(zzFld.NativeDataType) = 248 Then
##--> 'set' => true,<!--##
			ElseIf CLng(zzFld.NativeDataType) = 247 Then
##--> 'enum' => true,<!--##
			End If
##-->
            'format' => <!--##=PhpText(zzFld.FldFmtType)##-->, 'date_format' => <!--##=CLng(zzFld.FldDtFormat)##-->, 'digits' => <!--##=CLng(zzFld.FldNumDigits)##-->, 'lead_digit' => <!--##=CLng(zzFld.FldIncLeadDigit)##-->, 'paren' => <!--##=CLng(zzFld.FldUseParen)##-->, 'group_digits' => <!--##=CLng(zzFld.FldGpDigits)##-->,
            'view_tag' => <!--##=PhpText(ViewTag(zzFld))##-->, 'bold' => <!--##=PhpBool(zzFld.FldBold)##-->, 'italic' => <!--##=PhpBool(zzFld.FldItalic)##-->, 'align' => <!--##=PhpText(LCase(Trim(zzFld.FldAlign & "")))##-->, 'memo_max' => <!--##=CLng(zzFld.FldMemoMaxLength)##-->,
<!--##
			If LinkPrefix(zzFld) <> "" Or Trim(zzFld.FldTagASuffix & "") <> "" Then
##-->
            'link_prefix' => <!--##=PhpText(LinkPrefix(zzFld))##-->, 'link_suffix' => <!--##=PhpText(zzFld.FldTagASuffix)##-->, 'link_target' => <!--##=PhpText(zzFld.FldTagATarget)##-->,
<!--##
			End If
			If CLng(zzFld.FldTagImgWidth) > 0 Or CLng(zzFld.FldTagImgHeight) > 0 Then
##-->
            'img_width' => <!--##=CLng(zzFld.FldTagImgWidth)##-->, 'img_height' => <!--##=CLng(zzFld.FldTagImgHeight)##-->,
<!--##
			End If
			If zzControl = "FILE" Then
##-->
            'upload' => <!--##=UploadSettings(zzFld)##-->,
<!--##
			End If
			If CLng(zzFld.FldGroupBy) > 0 Or UBound(FieldAggregates(zzFld)) >= 0 Then
##-->
            'group_by' => <!--##=CLng(zzFld.FldGroupBy)##-->, 'agg' => <!--##=PhpList(FieldAggregates(zzFld))##-->,
<!--##
			End If
			If zzControl = "PASSWORD" Then
##-->
            'password' => true,
<!--##
			End If
##-->
        ],
<!--##
		End If
	Next
##-->
    ],
<!--##/session##-->

<!--##session end##-->
];
<!--##/session##-->
