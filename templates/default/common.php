Pieces of text that the other template files include.

The opening of every generated PHP file: the PHP tag and a comment that
names what the file is, for whom, and how it came to be.
<!--##session phpopen##-->
<?php
<!--##
	If CTRL.CtrlType = "table" Or CTRL.CtrlType = "report" Then
		zzSubject = TableCaptionText(TABLE)
	Else
		zzSubject = ProjectTitle()
	End If
##-->
// <!--##=PhpComment(zzSubject)##-->: <!--##$"page_" & CTRL.CtrlID##-->.
// <!--##@generated_note##-->
<!--##/session##-->
