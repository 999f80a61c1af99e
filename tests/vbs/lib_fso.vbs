' Scripting.FileSystemObject from script code, in a folder made for the test
' under /tmp and removed at the end.

Dim fso, root, ts, f, folder, s, item
Set fso = CreateObject("Scripting.FileSystemObject")
AssertEq TypeName(fso), "FileSystemObject", "TypeName"
root = fso.BuildPath("/tmp", fso.GetBaseName(fso.GetTempName))
fso.CreateFolder root
AssertTrue fso.FolderExists(root), "CreateFolder"

' Write, append and read back; lines end in CR LF as on Windows.
Set ts = fso.CreateTextFile(fso.BuildPath(root, "page.txt"), True)
ts.WriteLine "first"
ts.Write "second"
ts.Close
Set ts = fso.OpenTextFile(root & "/page.txt", 8)
ts.WriteLine
ts.WriteLine "third " & ChrW(8364)
ts.Close
Set ts = fso.OpenTextFile(root & "\PAGE.TXT", 1)
AssertEq ts.ReadLine, "first", "ReadLine"
AssertEq ts.Line, CLng(2), "Line"
AssertEq ts.Read(3), "sec", "Read"
AssertEq ts.ReadLine, "ond", "ReadLine after Read"
AssertEq ts.ReadAll, "third " & ChrW(8364) & vbCrLf, "ReadAll"
AssertTrue ts.AtEndOfStream, "AtEndOfStream"
ts.Close

' Files, folders and their properties.
Set f = fso.GetFile(root & "\page.txt")
AssertEq f.Name, "page.txt", "File.Name"
AssertEq f.Size, CLng(Len("first" & vbCrLf & "second" & vbCrLf & "third " & vbCrLf) + 3), "File.Size in bytes"
AssertEq VarType(f.DateLastModified), vbDate, "File.DateLastModified"
AssertTrue Abs(DateDiff("n", f.DateLastModified, Now)) < 5, "modified just now"
AssertEq fso.GetParentFolderName(f.Path), root, "File.Path"
fso.CreateFolder root & "\sub"
fso.CopyFile root & "\page.txt", root & "\sub\"
AssertTrue fso.FileExists(root & "/sub/page.txt"), "CopyFile into a folder"
fso.MoveFile root & "\sub\page.txt", root & "\sub\moved.txt"
AssertTrue fso.FileExists(root & "/sub/moved.txt") And Not fso.FileExists(root & "/sub/page.txt"), "MoveFile"
Set folder = fso.GetFolder(root)
AssertEq folder.Files.Count, CLng(1), "Folder.Files.Count"
AssertEq folder.SubFolders.Count, CLng(1), "Folder.SubFolders.Count"
s = ""
For Each item In folder.SubFolders
  s = s & item.Name
Next
AssertEq s, "sub", "For Each over SubFolders"
For Each item In folder.Files
  AssertEq item.Name, "page.txt", "For Each over Files"
Next

AssertEq fso.GetFileName("C:\web\index.php"), "index.php", "GetFileName"
AssertEq fso.GetBaseName("C:\web\index.php"), "index", "GetBaseName"
AssertEq fso.GetExtensionName("C:\web\index.php"), "php", "GetExtensionName"
AssertEq fso.GetParentFolderName("C:\web\index.php"), "C:\web", "GetParentFolderName"
AssertEq fso.BuildPath("out\pages", "a.php"), "out\pages\a.php", "BuildPath"

On Error Resume Next
Set f = fso.GetFile(root & "\none.txt")
AssertErr 53, "GetFile of a missing file"
Set folder = fso.GetFolder(root & "\none")
AssertErr 76, "GetFolder of a missing folder"
Set ts = fso.OpenTextFile(root & "\none.txt")
AssertErr 53, "OpenTextFile of a missing file"
Set ts = fso.CreateTextFile(root & "\page.txt", False)
AssertErr 58, "CreateTextFile over an existing file"
fso.CreateFolder root & "\sub"
AssertErr 58, "CreateFolder of an existing folder"
Set ts = fso.OpenTextFile(root & "\page.txt")
ts.ReadAll
ts.ReadLine
AssertErr 62, "reading past the end"
ts.Close
On Error GoTo 0

fso.DeleteFile root & "\page.txt"
AssertTrue Not fso.FileExists(root & "\page.txt"), "DeleteFile"
fso.DeleteFolder root
AssertTrue Not fso.FolderExists(root), "DeleteFolder"

Done
