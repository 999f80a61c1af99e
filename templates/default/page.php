The pages of the application: each one loads the runtime and hands it its
kind (the control's parm) and, for the pages of a table, the table's
settings file. The pages lie in public/, the folder the web server serves;
the runtime and the settings lie beside it.
<!--##session page##-->
<!--##include common.php/phpopen##-->
require dirname(__DIR__) . '/lib/tarnwick.php';
<!--##
	zzInfo = ""
	If CTRL.CtrlType = "table" Or CTRL.CtrlType = "report" Then
		zzInfo = TableInfoFile(TABLE)
	ElseIf CTRL.CtrlParm = "register" Then
		zzInfo = TableInfoFile(FindTable(PROJ.SecTbl))
	End If
	If zzInfo <> "" Then
##-->
Tarnwick\run(dirname(__DIR__), <!--##=PhpText(CTRL.CtrlParm)##-->, require dirname(__DIR__) . <!--##=PhpText("/info/" & zzInfo)##-->);
<!--##
	Else
##-->
Tarnwick\run(dirname(__DIR__), <!--##=PhpText(CTRL.CtrlParm)##-->);
<!--##
	End If
##-->
<!--##/session##-->
