' A generated page: 200 literal parts and 200 expressions, run 2,000 times.
Class FieldInfo
  Public Name, Caption, Size, Visible
  Public Function Quoted()
    Quoted = """" & Name & """"
  End Function
End Class
Dim Fld, Tbl, RowIndex
Set Fld = New FieldInfo
Fld.Name = "customer_name" : Fld.Caption = "Customer name" : Fld.Size = 40 : Fld.Visible = True
Set Tbl = CreateObject("Scripting.Dictionary")
Tbl("name") = "customers" : Tbl("count") = 12
Function FieldLabel(f)
  If f.Visible Then FieldLabel = UCase(Left(f.Caption, 1)) & Mid(f.Caption, 2) Else FieldLabel = ""
End Function
Function IIfText(b)
  If b Then IIfText = "yes" Else IIfText = "no"
End Function
Function zbScriptEngine()
'On Error Resume Next
Dim zbAr(200)
Dim zbOut
zbAr(1) = "<input type=""text"" name=""x_"
zbAr(2) = "</td>" & vbCrLf & ""
zbAr(3) = """ size="""
zbAr(4) = "; ?>" & vbCrLf & ""
zbAr(5) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(6) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(7) = "<span class=""fieldValue"">"
zbAr(8) = "<?php echo $"
zbAr(9) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(10) = "<input type=""text"" name=""x_"
zbAr(11) = "<?php echo $"
zbAr(12) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(13) = "<?php echo $"
zbAr(14) = "</td>" & vbCrLf & ""
zbAr(15) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(16) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(17) = """ size="""
zbAr(18) = """ size="""
zbAr(19) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(20) = "</td>" & vbCrLf & ""
zbAr(21) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(22) = "<?php echo $"
zbAr(23) = """ size="""
zbAr(24) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(25) = "<span class=""fieldValue"">"
zbAr(26) = "<?php echo $"
zbAr(27) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(28) = "</td>" & vbCrLf & ""
zbAr(29) = "; ?>" & vbCrLf & ""
zbAr(30) = "; ?>" & vbCrLf & ""
zbAr(31) = "<?php echo $"
zbAr(32) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(33) = "<?php echo $"
zbAr(34) = "<?php echo $"
zbAr(35) = """ size="""
zbAr(36) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(37) = "</td>" & vbCrLf & ""
zbAr(38) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(39) = "<?php echo $"
zbAr(40) = "<span class=""fieldValue"">"
zbAr(41) = "</td>" & vbCrLf & ""
zbAr(42) = "<input type=""text"" name=""x_"
zbAr(43) = """ size="""
zbAr(44) = "</td>" & vbCrLf & ""
zbAr(45) = "<?php echo $"
zbAr(46) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(47) = "<?php echo $"
zbAr(48) = "<input type=""text"" name=""x_"
zbAr(49) = "<?php echo $"
zbAr(50) = "<span class=""fieldValue"">"
zbAr(51) = "; ?>" & vbCrLf & ""
zbAr(52) = "</td>" & vbCrLf & ""
zbAr(53) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(54) = "<?php echo $"
zbAr(55) = "<?php echo $"
zbAr(56) = "; ?>" & vbCrLf & ""
zbAr(57) = "</td>" & vbCrLf & ""
zbAr(58) = "<input type=""text"" name=""x_"
zbAr(59) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(60) = "<?php echo $"
zbAr(61) = "; ?>" & vbCrLf & ""
zbAr(62) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(63) = "<?php echo $"
zbAr(64) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(65) = "<?php echo $"
zbAr(66) = "</td>" & vbCrLf & ""
zbAr(67) = """ size="""
zbAr(68) = "; ?>" & vbCrLf & ""
zbAr(69) = "<?php echo $"
zbAr(70) = """ size="""
zbAr(71) = "<span class=""fieldValue"">"
zbAr(72) = "<input type=""text"" name=""x_"
zbAr(73) = """ size="""
zbAr(74) = "<?php echo $"
zbAr(75) = """ size="""
zbAr(76) = "<input type=""text"" name=""x_"
zbAr(77) = "<input type=""text"" name=""x_"
zbAr(78) = "</td>" & vbCrLf & ""
zbAr(79) = "<span class=""fieldValue"">"
zbAr(80) = "</td>" & vbCrLf & ""
zbAr(81) = "; ?>" & vbCrLf & ""
zbAr(82) = "<span class=""fieldValue"">"
zbAr(83) = "</td>" & vbCrLf & ""
zbAr(84) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(85) = "<?php echo $"
zbAr(86) = "<input type=""text"" name=""x_"
zbAr(87) = "<?php echo $"
zbAr(88) = """ size="""
zbAr(89) = "<input type=""text"" name=""x_"
zbAr(90) = "; ?>" & vbCrLf & ""
zbAr(91) = """ size="""
zbAr(92) = "<input type=""text"" name=""x_"
zbAr(93) = "<?php echo $"
zbAr(94) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(95) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(96) = "<?php echo $"
zbAr(97) = """ size="""
zbAr(98) = "</td>" & vbCrLf & ""
zbAr(99) = "<span class=""fieldValue"">"
zbAr(100) = "<input type=""text"" name=""x_"
zbAr(101) = "</td>" & vbCrLf & ""
zbAr(102) = """ size="""
zbAr(103) = """ size="""
zbAr(104) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(105) = "; ?>" & vbCrLf & ""
zbAr(106) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(107) = "<span class=""fieldValue"">"
zbAr(108) = "<?php echo $"
zbAr(109) = "<?php echo $"
zbAr(110) = "<span class=""fieldValue"">"
zbAr(111) = "<span class=""fieldValue"">"
zbAr(112) = "<input type=""text"" name=""x_"
zbAr(113) = "<input type=""text"" name=""x_"
zbAr(114) = "; ?>" & vbCrLf & ""
zbAr(115) = "<input type=""text"" name=""x_"
zbAr(116) = "<?php echo $"
zbAr(117) = """ size="""
zbAr(118) = "<?php echo $"
zbAr(119) = "<span class=""fieldValue"">"
zbAr(120) = """ size="""
zbAr(121) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(122) = "<span class=""fieldValue"">"
zbAr(123) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(124) = "<input type=""text"" name=""x_"
zbAr(125) = """ size="""
zbAr(126) = "; ?>" & vbCrLf & ""
zbAr(127) = "; ?>" & vbCrLf & ""
zbAr(128) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(129) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(130) = "; ?>" & vbCrLf & ""
zbAr(131) = "; ?>" & vbCrLf & ""
zbAr(132) = "<input type=""text"" name=""x_"
zbAr(133) = "; ?>" & vbCrLf & ""
zbAr(134) = "<?php echo $"
zbAr(135) = "; ?>" & vbCrLf & ""
zbAr(136) = "<span class=""fieldValue"">"
zbAr(137) = """ size="""
zbAr(138) = "<input type=""text"" name=""x_"
zbAr(139) = "; ?>" & vbCrLf & ""
zbAr(140) = """ size="""
zbAr(141) = "; ?>" & vbCrLf & ""
zbAr(142) = "<input type=""text"" name=""x_"
zbAr(143) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(144) = """ size="""
zbAr(145) = "<input type=""text"" name=""x_"
zbAr(146) = "</td>" & vbCrLf & ""
zbAr(147) = "<?php echo $"
zbAr(148) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(149) = """ size="""
zbAr(150) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(151) = "</td>" & vbCrLf & ""
zbAr(152) = "<span class=""fieldValue"">"
zbAr(153) = "<input type=""text"" name=""x_"
zbAr(154) = "</td>" & vbCrLf & ""
zbAr(155) = "; ?>" & vbCrLf & ""
zbAr(156) = "</td>" & vbCrLf & ""
zbAr(157) = """ size="""
zbAr(158) = """ size="""
zbAr(159) = "<span class=""fieldValue"">"
zbAr(160) = """ size="""
zbAr(161) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(162) = "</td>" & vbCrLf & ""
zbAr(163) = """ size="""
zbAr(164) = """ size="""
zbAr(165) = "<?php echo $"
zbAr(166) = "<input type=""text"" name=""x_"
zbAr(167) = "</td>" & vbCrLf & ""
zbAr(168) = "<span class=""fieldValue"">"
zbAr(169) = """ size="""
zbAr(170) = "<span class=""fieldValue"">"
zbAr(171) = "<?php echo $"
zbAr(172) = "<input type=""text"" name=""x_"
zbAr(173) = "; ?>" & vbCrLf & ""
zbAr(174) = """ size="""
zbAr(175) = "<input type=""text"" name=""x_"
zbAr(176) = "; ?>" & vbCrLf & ""
zbAr(177) = """ size="""
zbAr(178) = "</td>" & vbCrLf & ""
zbAr(179) = "</td>" & vbCrLf & ""
zbAr(180) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(181) = "</td>" & vbCrLf & ""
zbAr(182) = "</td>" & vbCrLf & ""
zbAr(183) = "</td>" & vbCrLf & ""
zbAr(184) = "; ?>" & vbCrLf & ""
zbAr(185) = "</td>" & vbCrLf & ""
zbAr(186) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(187) = """ size="""
zbAr(188) = "<span class=""fieldValue"">"
zbAr(189) = "<?php echo $"
zbAr(190) = "</td>" & vbCrLf & ""
zbAr(191) = "<input type=""text"" name=""x_"
zbAr(192) = "<input type=""text"" name=""x_"
zbAr(193) = "<tr>" & vbCrLf & "  <td class=""tableHeader"">"
zbAr(194) = "</td>" & vbCrLf & ""
zbAr(195) = """ size="""
zbAr(196) = "<?php echo $"
zbAr(197) = "<input type=""text"" name=""x_"
zbAr(198) = "<?php echo $"
zbAr(199) = "<?php echo $"
zbAr(200) = "<input type=""text"" name=""x_"
zbOut = zbOut & zbAr(1) & Fld.Size * 2 & zbAr(2) & IIfText(Fld.Visible)
zbOut = zbOut & zbAr(3) & Replace(Fld.Name, "_", " ") & zbAr(4) & RowIndex Mod 7
zbOut = zbOut & zbAr(5) & Len(Fld.Caption) & zbAr(6) & Len(Fld.Caption)
zbOut = zbOut & zbAr(7) & IIfText(Fld.Visible) & zbAr(8) & Fld.Name
zbOut = zbOut & zbAr(9) & LCase(Fld.Name) & zbAr(10) & Len(Fld.Caption)
zbOut = zbOut & zbAr(11) & Replace(Fld.Name, "_", " ") & zbAr(12) & Fld.Quoted()
zbOut = zbOut & zbAr(13) & Fld.Quoted() & zbAr(14) & Fld.Quoted()
zbOut = zbOut & zbAr(15) & Fld.Quoted() & zbAr(16) & Fld.Caption
zbOut = zbOut & zbAr(17) & LCase(Fld.Name) & zbAr(18) & Len(Fld.Caption)
zbOut = zbOut & zbAr(19) & Fld.Quoted() & zbAr(20) & Fld.Name
zbOut = zbOut & zbAr(21) & Tbl("name") & zbAr(22) & Fld.Caption
zbOut = zbOut & zbAr(23) & Tbl("name") & zbAr(24) & LCase(Fld.Name)
zbOut = zbOut & zbAr(25) & Fld.Size * 2 & zbAr(26) & Fld.Caption
zbOut = zbOut & zbAr(27) & FieldLabel(Fld) & zbAr(28) & RowIndex Mod 7
zbOut = zbOut & zbAr(29) & Fld.Name & zbAr(30) & Fld.Caption
zbOut = zbOut & zbAr(31) & Fld.Name & zbAr(32) & RowIndex Mod 7
zbOut = zbOut & zbAr(33) & Fld.Size * 2 & zbAr(34) & Replace(Fld.Name, "_", " ")
zbOut = zbOut & zbAr(35) & Fld.Caption & zbAr(36) & FieldLabel(Fld)
zbOut = zbOut & zbAr(37) & RowIndex Mod 7 & zbAr(38) & Fld.Name
zbOut = zbOut & zbAr(39) & Fld.Caption & zbAr(40) & Tbl("name")
zbOut = zbOut & zbAr(41) & RowIndex Mod 7 & zbAr(42) & Fld.Quoted()
zbOut = zbOut & zbAr(43) & Fld.Size * 2 & zbAr(44) & Len(Fld.Caption)
zbOut = zbOut & zbAr(45) & Tbl("count") + RowIndex & zbAr(46) & FieldLabel(Fld)
zbOut = zbOut & zbAr(47) & RowIndex Mod 7 & zbAr(48) & FieldLabel(Fld)
zbOut = zbOut & zbAr(49) & LCase(Fld.Name) & zbAr(50) & Fld.Caption
zbOut = zbOut & zbAr(51) & Fld.Caption & zbAr(52) & LCase(Fld.Name)
zbOut = zbOut & zbAr(53) & LCase(Fld.Name) & zbAr(54) & LCase(Fld.Name)
zbOut = zbOut & zbAr(55) & LCase(Fld.Name) & zbAr(56) & Tbl("count") + RowIndex
zbOut = zbOut & zbAr(57) & Fld.Caption & zbAr(58) & Fld.Size * 2
zbOut = zbOut & zbAr(59) & Fld.Caption & zbAr(60) & IIfText(Fld.Visible)
zbOut = zbOut & zbAr(61) & FieldLabel(Fld) & zbAr(62) & IIfText(Fld.Visible)
zbOut = zbOut & zbAr(63) & Tbl("count") + RowIndex & zbAr(64) & LCase(Fld.Name)
zbOut = zbOut & zbAr(65) & IIfText(Fld.Visible) & zbAr(66) & Fld.Size * 2
zbOut = zbOut & zbAr(67) & Replace(Fld.Name, "_", " ") & zbAr(68) & Fld.Name
zbOut = zbOut & zbAr(69) & Tbl("name") & zbAr(70) & Replace(Fld.Name, "_", " ")
zbOut = zbOut & zbAr(71) & FieldLabel(Fld) & zbAr(72) & Fld.Size * 2
zbOut = zbOut & zbAr(73) & IIfText(Fld.Visible) & zbAr(74) & Replace(Fld.Name, "_", " ")
zbOut = zbOut & zbAr(75) & Fld.Name & zbAr(76) & Replace(Fld.Name, "_", " ")
zbOut = zbOut & zbAr(77) & Tbl("count") + RowIndex & zbAr(78) & Len(Fld.Caption)
zbOut = zbOut & zbAr(79) & Fld.Caption & zbAr(80) & IIfText(Fld.Visible)
zbOut = zbOut & zbAr(81) & Tbl("count") + RowIndex & zbAr(82) & Replace(Fld.Name, "_", " ")
zbOut = zbOut & zbAr(83) & FieldLabel(Fld) & zbAr(84) & Fld.Size * 2
zbOut = zbOut & zbAr(85) & FieldLabel(Fld) & zbAr(86) & Tbl("name")
zbOut = zbOut & zbAr(87) & Replace(Fld.Name, "_", " ") & zbAr(88) & Replace(Fld.Name, "_", " ")
zbOut = zbOut & zbAr(89) & Replace(Fld.Name, "_", " ") & zbAr(90) & FieldLabel(Fld)
zbOut = zbOut & zbAr(91) & Len(Fld.Caption) & zbAr(92) & Tbl("name")
zbOut = zbOut & zbAr(93) & RowIndex Mod 7 & zbAr(94) & Tbl("name")
zbOut = zbOut & zbAr(95) & Tbl("name") & zbAr(96) & Fld.Quoted()
zbOut = zbOut & zbAr(97) & IIfText(Fld.Visible) & zbAr(98) & Tbl("name")
zbOut = zbOut & zbAr(99) & Tbl("name") & zbAr(100) & Replace(Fld.Name, "_", " ")
zbOut = zbOut & zbAr(101) & LCase(Fld.Name) & zbAr(102) & FieldLabel(Fld)
zbOut = zbOut & zbAr(103) & IIfText(Fld.Visible) & zbAr(104) & Fld.Name
zbOut = zbOut & zbAr(105) & Fld.Name & zbAr(106) & Tbl("count") + RowIndex
zbOut = zbOut & zbAr(107) & LCase(Fld.Name) & zbAr(108) & Tbl("count") + RowIndex
zbOut = zbOut & zbAr(109) & Tbl("name") & zbAr(110) & IIfText(Fld.Visible)
zbOut = zbOut & zbAr(111) & RowIndex Mod 7 & zbAr(112) & FieldLabel(Fld)
zbOut = zbOut & zbAr(113) & LCase(Fld.Name) & zbAr(114) & IIfText(Fld.Visible)
zbOut = zbOut & zbAr(115) & FieldLabel(Fld) & zbAr(116) & FieldLabel(Fld)
zbOut = zbOut & zbAr(117) & Fld.Caption & zbAr(118) & Tbl("name")
zbOut = zbOut & zbAr(119) & Fld.Caption & zbAr(120) & Tbl("name")
zbOut = zbOut & zbAr(121) & LCase(Fld.Name) & zbAr(122) & Tbl("name")
zbOut = zbOut & zbAr(123) & FieldLabel(Fld) & zbAr(124) & Tbl("name")
zbOut = zbOut & zbAr(125) & LCase(Fld.Name) & zbAr(126) & RowIndex Mod 7
zbOut = zbOut & zbAr(127) & RowIndex Mod 7 & zbAr(128) & Fld.Name
zbOut = zbOut & zbAr(129) & LCase(Fld.Name) & zbAr(130) & Len(Fld.Caption)
zbOut = zbOut & zbAr(131) & FieldLabel(Fld) & zbAr(132) & Len(Fld.Caption)
zbOut = zbOut & zbAr(133) & Fld.Caption & zbAr(134) & Len(Fld.Caption)
zbOut = zbOut & zbAr(135) & Fld.Caption & zbAr(136) & Fld.Quoted()
zbOut = zbOut & zbAr(137) & IIfText(Fld.Visible) & zbAr(138) & Tbl("name")
zbOut = zbOut & zbAr(139) & LCase(Fld.Name) & zbAr(140) & Fld.Size * 2
zbOut = zbOut & zbAr(141) & Fld.Quoted() & zbAr(142) & Len(Fld.Caption)
zbOut = zbOut & zbAr(143) & FieldLabel(Fld) & zbAr(144) & Fld.Caption
zbOut = zbOut & zbAr(145) & IIfText(Fld.Visible) & zbAr(146) & Fld.Quoted()
zbOut = zbOut & zbAr(147) & LCase(Fld.Name) & zbAr(148) & Fld.Quoted()
zbOut = zbOut & zbAr(149) & IIfText(Fld.Visible) & zbAr(150) & Fld.Caption
zbOut = zbOut & zbAr(151) & IIfText(Fld.Visible) & zbAr(152) & Fld.Size * 2
zbOut = zbOut & zbAr(153) & Fld.Size * 2 & zbAr(154) & Fld.Size * 2
zbOut = zbOut & zbAr(155) & Fld.Name & zbAr(156) & Fld.Size * 2
zbOut = zbOut & zbAr(157) & RowIndex Mod 7 & zbAr(158) & LCase(Fld.Name)
zbOut = zbOut & zbAr(159) & Len(Fld.Caption) & zbAr(160) & Fld.Size * 2
zbOut = zbOut & zbAr(161) & RowIndex Mod 7 & zbAr(162) & RowIndex Mod 7
zbOut = zbOut & zbAr(163) & LCase(Fld.Name) & zbAr(164) & Len(Fld.Caption)
zbOut = zbOut & zbAr(165) & FieldLabel(Fld) & zbAr(166) & Fld.Size * 2
zbOut = zbOut & zbAr(167) & Replace(Fld.Name, "_", " ") & zbAr(168) & Replace(Fld.Name, "_", " ")
zbOut = zbOut & zbAr(169) & Fld.Size * 2 & zbAr(170) & Fld.Name
zbOut = zbOut & zbAr(171) & Fld.Name & zbAr(172) & IIfText(Fld.Visible)
zbOut = zbOut & zbAr(173) & Len(Fld.Caption) & zbAr(174) & Fld.Caption
zbOut = zbOut & zbAr(175) & Replace(Fld.Name, "_", " ") & zbAr(176) & IIfText(Fld.Visible)
zbOut = zbOut & zbAr(177) & Fld.Size * 2 & zbAr(178) & Fld.Quoted()
zbOut = zbOut & zbAr(179) & Tbl("name") & zbAr(180) & Tbl("name")
zbOut = zbOut & zbAr(181) & Fld.Name & zbAr(182) & Tbl("count") + RowIndex
zbOut = zbOut & zbAr(183) & Tbl("name") & zbAr(184) & Tbl("count") + RowIndex
zbOut = zbOut & zbAr(185) & Replace(Fld.Name, "_", " ") & zbAr(186) & Tbl("name")
zbOut = zbOut & zbAr(187) & RowIndex Mod 7 & zbAr(188) & FieldLabel(Fld)
zbOut = zbOut & zbAr(189) & Tbl("count") + RowIndex & zbAr(190) & Replace(Fld.Name, "_", " ")
zbOut = zbOut & zbAr(191) & Fld.Quoted() & zbAr(192) & Fld.Size * 2
zbOut = zbOut & zbAr(193) & Fld.Name & zbAr(194) & IIfText(Fld.Visible)
zbOut = zbOut & zbAr(195) & FieldLabel(Fld) & zbAr(196) & LCase(Fld.Name)
zbOut = zbOut & zbAr(197) & Len(Fld.Caption) & zbAr(198) & RowIndex Mod 7
zbOut = zbOut & zbAr(199) & Replace(Fld.Name, "_", " ") & zbAr(200) & Fld.Quoted()
zbScriptEngine = zbOut
End Function
Dim total
total = 0
For RowIndex = 1 To 2000
  total = total + Len(zbScriptEngine())
Next
WScript.Echo total
