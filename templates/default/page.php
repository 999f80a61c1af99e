The pages of the application: each one loads the runtime and hands it its
kind (the control's parm) and, for the pages of a table, the table's
settings file.
<!--##session page##-->
<!--##include common.php/phpopen##-->
require __DIR__ . '/lib/tarnwick.php';
<!--##
	zzInfo = ""
	If CTRL.CtrlType = "table" Or CTRL.CtrlType = "report" Then
		zzInfo = TableInfoFile(TABLE)
	ElseIf CTRL.CtrlParm = "register" Then
		zzInfo = TableInfoFile(FindTable(PROJ.SecTbl))
	End If
	If zzInfo <> "" Then
##-->
Tarnwick\run(__DIR__, <!--##=PhpText(CTRL.CtrlParm)##-->, require __DIR__ . <!--##=PhpText("/" & zzInfo)##-->);
<!--##
	Else
##-->
Tarnwick\run(__DIR__, <!--##=PhpText(CTRL.CtrlParm)##-->);
<!--##
	End If
##-->
<!--##/session##-->
