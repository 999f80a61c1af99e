' Date and time functions with date literals, as templates use them.

AssertEq DateAdd("m", 1, #1/31/2011#), #2/28/2011#, "DateAdd a month from the 31st"
AssertEq DateAdd("yyyy", 1, #2/29/2012#), #2/28/2013#, "DateAdd a year from 29 February"
AssertEq DateAdd("d", -1, #1/1/2000#), #12/31/1999#, "DateAdd a day back"
AssertEq DateAdd("ww", 1, #1/1/2000#), #1/8/2000#, "DateAdd a week"
AssertEq DateAdd("h", 1, #1/1/2000 11:30:00 PM#), #1/2/2000 12:30:00 AM#, "DateAdd an hour over midnight"
AssertEq DateAdd("n", 90, #1/1/2000#), #1/1/2000 1:30:00 AM#, "DateAdd minutes"
AssertTrue IsNull(DateAdd("d", 1, Null)), "DateAdd to Null"

AssertEq DateDiff("d", #1/1/2011#, #3/1/2011#), CLng(59), "DateDiff days"
AssertEq DateDiff("m", #1/31/2011#, #3/1/2011#), CLng(2), "DateDiff months"
AssertEq DateDiff("yyyy", #12/31/2010#, #1/1/2011#), CLng(1), "DateDiff years"
AssertEq DateDiff("h", #10:59:00 AM#, #11:00:00 AM#), CLng(1), "DateDiff hours counts boundaries"
AssertEq DateDiff("ww", #1/1/2011#, #1/2/2011#), CLng(1), "DateDiff weeks counts Sundays"
AssertEq DateDiff("d", #3/1/2011#, #1/1/2011#), CLng(-59), "DateDiff backwards"

AssertEq Weekday(#1/2/2011#), 1, "Weekday of a Sunday"
AssertEq Weekday(#1/2/2011#, vbMonday), 7, "Weekday from Monday"
AssertEq Year(#10/19/1962#), 1962, "Year"
AssertEq Month(#10/19/1962#), 10, "Month"
AssertEq Day("October 19, 1962"), 19, "Day of a date text"
AssertEq Hour(#3:04:05 PM#), 15, "Hour"
AssertEq Minute(#3:04:05 PM#), 4, "Minute"
AssertEq Second(#3:04:05 PM#), 5, "Second"
AssertTrue IsNull(Month(Null)), "Month(Null)"

AssertEq DatePart("q", #10/19/1962#), 4, "DatePart quarter"
AssertEq DatePart("y", #3/1/2011#), 60, "DatePart day of year"
AssertEq DatePart("ww", #1/2/2011#), 2, "DatePart week"
AssertEq DatePart("ww", #1/1/2011#, vbMonday, vbFirstFourDays), 52, "DatePart week by four days"

AssertEq DateSerial(1990 - 10, 8 - 2, 1 - 1), #5/31/1980#, "DateSerial with day 0"
AssertEq DateSerial(2000, 14, 2), #2/2/2001#, "DateSerial month 14"
AssertEq DateSerial(99, 1, 1), #1/1/1999#, "DateSerial two-digit year"
AssertEq TimeSerial(12 - 6, -15, 0), #5:45:00 AM#, "TimeSerial"
AssertEq DateValue("1/2/2011 3:04 PM"), #1/2/2011#, "DateValue"
AssertEq TimeValue("1/2/2011 3:04 PM"), #3:04:00 PM#, "TimeValue"

AssertEq MonthName(10), "October", "MonthName"
AssertEq MonthName(12, True), "Dec", "MonthName abbreviated"
AssertEq WeekdayName(1), "Sunday", "WeekdayName"
AssertEq WeekdayName(1, True, vbMonday), "Mon", "WeekdayName from Monday"

Dim d
d = #1/2/2011 3:04:05 PM#
AssertEq FormatDateTime(d), "1/2/2011 3:04:05 PM", "FormatDateTime general"
AssertEq FormatDateTime(d, vbLongDate), "Sunday, January 2, 2011", "FormatDateTime long date"
AssertEq FormatDateTime(d, vbShortDate), "1/2/2011", "FormatDateTime short date"
AssertEq FormatDateTime(d, vbLongTime), "3:04:05 PM", "FormatDateTime long time"
AssertEq FormatDateTime(d, vbShortTime), "15:04", "FormatDateTime short time"

AssertEq VarType(Now), vbDate, "Now is a Date"
AssertEq Date, Int(Date), "Date has no time"
AssertTrue Time < 1, "Time has no date"
AssertEq VarType(Timer), vbSingle, "Timer is a Single"

On Error Resume Next
d = DateAdd("x", 1, Now)
AssertErr 5, "DateAdd with an unknown interval"
d = DateSerial(10000, 1, 1)
AssertErr 5, "DateSerial past 9999"
d = MonthName(13)
AssertErr 5, "MonthName(13)"
d = Weekday(Now, 8)
AssertErr 5, "Weekday from day 8"
d = FormatDateTime(Null)
AssertErr 13, "FormatDateTime(Null)"
d = DateValue("no date")
AssertErr 13, "DateValue of a word"
On Error GoTo 0

Done
