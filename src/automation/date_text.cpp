// Date and time text read as CDate and IsDate read it under locale 1033:
// month/day/year with "/", "-" or blanks, month names and abbreviations,
// day names skipped, two-digit years, times with AM/PM.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/date.h"
#include "automation/text.h"
#include "automation/variant.h"

namespace tw {

namespace {

struct DateToken {
  enum Kind { number, word, sep } kind;
  std::string_view text;
  int value = 0;   // number value, month number (word) or separator char
  int digits = 0;  // digit count of a number
};

constexpr const char* kMonthNames[] = {"january", "february", "march",     "april",   "may",      "june",
                                       "july",    "august",   "september", "october", "november", "december"};
constexpr const char* kDayNames[] = {"sunday",   "monday", "tuesday", "wednesday",
                                     "thursday", "friday", "saturday"};

// Month 1..12 for a full or three-letter (or longer) English month name.
int monthFromWord(std::string_view w) {
  if (w.size() < 3) return 0;
  for (int m = 0; m < 12; ++m) {
    std::string_view name = kMonthNames[m];
    if (w.size() <= name.size() && name.substr(0, w.size()) == w) return m + 1;
  }
  return 0;
}

bool isDayName(std::string_view w) {
  if (w.size() < 3) return false;
  for (const char* d : kDayNames) {
    std::string_view name = d;
    if (w.size() <= name.size() && name.substr(0, w.size()) == w) return true;
  }
  return false;
}

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

// Years below 100 ("11", "0099"): 0–29 are 2000–2029, 30–99 are 1930–1999.
int expandYear(int year) {
  if (year < 100) return year < 30 ? 2000 + year : 1900 + year;
  return year;
}

bool tokenizeDate(std::string_view s, std::vector<DateToken>& tokens, std::string& lower) {
  lower = toLower(s);
  std::string_view t = lower;
  size_t i = 0;
  while (i < t.size()) {
    char c = t[i];
    if (c >= '0' && c <= '9') {
      size_t j = i;
      int64_t v = 0;
      while (j < t.size() && t[j] >= '0' && t[j] <= '9') {
        if (v < 100000000) v = v * 10 + (t[j] - '0');
        ++j;
      }
      DateToken tok{DateToken::number, t.substr(i, j - i), static_cast<int>(v), static_cast<int>(j - i)};
      tokens.push_back(tok);
      i = j;
    } else if (c >= 'a' && c <= 'z') {
      size_t j = i;
      while (j < t.size() && t[j] >= 'a' && t[j] <= 'z') ++j;
      tokens.push_back({DateToken::word, t.substr(i, j - i), 0, 0});
      i = j;
      // A period may follow an abbreviated word ("Jan.", "a.m." is not read).
      if (i < t.size() && t[i] == '.') ++i;
    } else if (c == '/' || c == '-' || c == ':' || c == ',') {
      tokens.push_back({DateToken::sep, t.substr(i, 1), c, 0});
      ++i;
    } else if (isWhiteSpace(c)) {
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

bool parseDateText(std::string_view text, double& serial) {
  std::vector<DateToken> tokens;
  std::string lower;
  if (!tokenizeDate(text, tokens, lower) || tokens.empty()) return false;

  // Time: h:mm[:ss] or h followed by AM/PM, anywhere in the text.
  bool hasTime = false;
  int hour = 0, minute = 0, second = 0;
  int ampm = 0;  // 1 AM, 2 PM
  std::vector<DateToken> rest;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const DateToken& tok = tokens[i];
    bool colonNext =
        i + 1 < tokens.size() && tokens[i + 1].kind == DateToken::sep && tokens[i + 1].value == ':';
    bool ampmNext = i + 1 < tokens.size() && tokens[i + 1].kind == DateToken::word &&
                    (tokens[i + 1].text == "am" || tokens[i + 1].text == "pm" || tokens[i + 1].text == "a" ||
                     tokens[i + 1].text == "p");
    if (tok.kind == DateToken::number && !hasTime && (colonNext || ampmNext)) {
      hasTime = true;
      hour = tok.value;
      size_t j = i + 1;
      int part = 0;
      while (part < 2 && j + 1 < tokens.size() && tokens[j].kind == DateToken::sep &&
             tokens[j].value == ':' && tokens[j + 1].kind == DateToken::number) {
        (part == 0 ? minute : second) = tokens[j + 1].value;
        if (tokens[j + 1].digits > 2) return false;
        j += 2;
        ++part;
      }
      if (part == 0 && colonNext) return false;  // "3:" without minutes
      if (j < tokens.size() && tokens[j].kind == DateToken::word) {
        std::string_view w = tokens[j].text;
        if (w == "am" || w == "a") {
          ampm = 1;
          ++j;
        } else if (w == "pm" || w == "p") {
          ampm = 2;
          ++j;
        }
      }
      i = j - 1;
      continue;
    }
    rest.push_back(tok);
  }
  if (hasTime) {
    if (ampm != 0) {
      if (hour > 23) return false;
      if (hour <= 12) {
        if (ampm == 1 && hour == 12) hour = 0;
        if (ampm == 2 && hour < 12) hour += 12;
      }
    }
    if (hour > 23 || minute > 59 || second > 59) return false;
  }

  // Date: numbers and month names; day names and separators between them.
  int numbers[3];
  int numberDigits[3];
  int count = 0;
  int month = 0;
  for (const DateToken& tok : rest) {
    switch (tok.kind) {
      case DateToken::number:
        if (count == 3) return false;
        numbers[count] = tok.value;
        numberDigits[count] = tok.digits;
        ++count;
        break;
      case DateToken::word: {
        int m = monthFromWord(tok.text);
        if (m != 0) {
          if (month != 0) return false;
          month = m;
        } else if (!isDayName(tok.text)) {
          return false;
        }
        break;
      }
      case DateToken::sep:
        if (tok.value == ':') return false;
        break;
    }
  }

  bool hasDate = count > 0 || month != 0;
  if (!hasDate && !hasTime) return false;
  int year = 0, day = 1;
  auto isYear = [&](int k) { return numberDigits[k] >= 3 || numbers[k] > 31; };
  if (month != 0) {
    if (count == 0) return false;
    if (count == 1) {
      if (isYear(0)) {
        year = expandYear(numbers[0]);
        day = 1;
      } else {
        day = numbers[0];
        year = -1;  // the current year
      }
    } else if (count == 2) {
      // "January 2, 2011", "2 Jan 2011", "2011 January 2": the year is the
      // number that can only be a year, else the last one.
      int y = isYear(0) && !isYear(1) ? 0 : 1;
      int d = 1 - y;
      year = expandYear(numbers[y]);
      day = numbers[d];
    } else {
      return false;
    }
  } else if (count == 3) {
    int a = numbers[0], b = numbers[1], c = numbers[2];
    if (isYear(0)) {
      // year-month-day
      year = expandYear(a);
      month = b;
      day = c;
      if (month > 12 && day <= 12) std::swap(month, day);
    } else {
      // month/day/year; a day that cannot be a month swaps the two
      month = a;
      day = b;
      year = expandYear(c);
      if (month > 12 && day <= 12) std::swap(month, day);
    }
  } else if (count == 2) {
    if (isYear(1)) {
      month = numbers[0];
      year = expandYear(numbers[1]);
      day = 1;
    } else if (isYear(0)) {
      year = expandYear(numbers[0]);
      month = numbers[1];
      day = 1;
    } else {
      month = numbers[0];
      day = numbers[1];
      year = -1;
      if (month > 12 && day <= 12) std::swap(month, day);
    }
  } else if (count == 1) {
    return false;  // a lone number is not a date
  }

  double datePart = 0;
  if (hasDate) {
    if (year == -1) {
      DateParts now;
      dateToParts(nowDate(), now);
      year = now.year;
    }
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
      return false;
    DateParts p;
    p.year = year;
    p.month = month;
    p.day = day;
    if (!partsToDate(p, datePart)) return false;
  }
  double timePart = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  // Negative serials keep the time as a positive fraction.
  serial = datePart < 0 ? datePart - timePart : datePart + timePart;
  return true;
}
}  // namespace

bool parseDate(std::string_view text, double& serial) {
  double v = 0;
  if (!parseDateText(text, v)) return false;
  serial = v;
  return true;
}

}  // namespace tw
