#include "parse/text_ops.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "platform/ascii_text.h"
#include "platform/codepage.h"

namespace tavelin {
namespace {

using std::string_view;
constexpr std::size_t npos = string_view::npos;

bool IsLead(char c) { return IsLeadByte(static_cast<unsigned char>(c)); }

// Date and time parts are 16-bit unsigned, so -1 reads as 65535 and fails every range test.
uint16_t Part(int value) { return static_cast<uint16_t>(value); }

// The number before the first '(' (the recorder writes "12/25(月)"), or of the whole text.
uint16_t NumberBeforeParen(string_view text) {
  const std::size_t paren = text.find('(');
  return Part(ReadInteger(paren == npos ? text : text.substr(0, paren)));
}

struct YearMonthDay {
  uint16_t year = 1970;
  uint16_t month = 1;
  uint16_t day = 1;
};

// Three numbers are year/month/day unless the last one cannot be a day, in which case they
// are month/day/year.
YearMonthDay FromThreeParts(uint16_t x, uint16_t y, uint16_t z) {
  if (z <= 31) return {x, y, z};
  return {z, x, y};
}

// Reads "x<sep>y<sep>z" where the text is known to hold `sep`.
YearMonthDay ReadSeparated(string_view text, char sep, TDateTime today) {
  const std::size_t first = text.find(sep);
  const uint16_t x = Part(ReadInteger(text.substr(0, first)));
  const string_view rest = text.substr(first + 1);
  const std::size_t second = rest.find(sep);
  if (second != npos) {
    return FromThreeParts(x, Part(ReadInteger(rest.substr(0, second))),
                          NumberBeforeParen(rest.substr(second + 1)));
  }
  if (sep == '/') {
    // Month and day only: the current year, never adjusted across the new year.
    return {Part(YearOf(today)), x, NumberBeforeParen(rest)};
  }
  return {x, Part(ReadInteger(rest)), 1};  // year-month: the first of the month
}

YearMonthDay ReadColonDate(string_view text) {
  const std::size_t first = text.find(':');
  const uint16_t x = Part(ReadInteger(text.substr(0, first)));
  const string_view rest = text.substr(first + 1);
  const std::size_t second = rest.find(':');
  const uint16_t y = second == npos ? 0 : Part(ReadInteger(rest.substr(0, second)));
  const uint16_t z = NumberBeforeParen(second == npos ? rest : rest.substr(second + 1));
  return FromThreeParts(x, y, z);
}

// YYMMDD or YYYYMMDD; the length is that of the trimmed text, the digits come from the text
// as it stands.
YearMonthDay ReadDigitsDate(string_view text) {
  YearMonthDay date;
  const std::size_t length = TrimControls(text).size();
  if (length == 6) {
    int year = ReadInteger(text.substr(0, 2), 70) + 1900;
    if (year < 1920) year += 100;
    date.year = Part(year);
    date.month = Part(ReadInteger(text.substr(2, 2), 1));
    date.day = Part(ReadInteger(text.substr(4, 2), 1));
  } else if (length == 8) {
    date.year = Part(ReadInteger(text.substr(0, 4), 1970));
    date.month = Part(ReadInteger(text.substr(4, 2), 1));
    date.day = Part(ReadInteger(text.substr(6, 2), 1));
  }
  return date;
}

// Single bytes that the full-width forms in the table fold to; 0 when the code stays.
char FoldFullWidth(unsigned code) {
  if (code >= 0x824F && code <= 0x8258) return static_cast<char>('0' + (code - 0x824F));
  if (code >= 0x8260 && code <= 0x8279) return static_cast<char>('A' + (code - 0x8260));
  if (code >= 0x8281 && code <= 0x829A) return static_cast<char>('a' + (code - 0x8281));
  switch (code) {
    case 0x8140:
      return ' ';
    case 0x8143:
      return ',';
    case 0x8144:
      return '.';
    case 0x8146:
      return ':';
    case 0x8147:
      return ';';
    case 0x8148:
      return '?';
    case 0x8149:
      return '!';
    case 0x814F:
      return '^';
    case 0x815E:
      return '/';
    case 0x8162:
      return '|';
    case 0x8165:
    case 0x8166:
    case 0x818C:
      return '\'';
    case 0x8167:
    case 0x8168:
    case 0x818D:
      return '"';
    case 0x8169:
      return '(';
    case 0x816A:
      return ')';
    case 0x816D:
      return '[';
    case 0x816E:
      return ']';
    case 0x816F:
      return '{';
    case 0x8170:
      return '}';
    case 0x817B:
      return '+';
    case 0x817C:
      return '-';
    case 0x8181:
    case 0x81AC:
      return '=';
    case 0x8183:
      return '<';
    case 0x8184:
      return '>';
    case 0x818F:
      return '\\';
    case 0x8190:
      return '$';
    case 0x8193:
      return '%';
    case 0x8194:
      return '#';
    case 0x8195:
      return '&';
    case 0x8196:
      return '*';
    case 0x8197:
      return '@';
    default:
      return 0;
  }
}

// Literals are Shift-JIS in every build; clangd and clang-tidy, which read the sources as they
// are, see UTF-8, and the size checks below hold for the build alone.
constexpr bool kShiftJisLiterals = sizeof("ア") == 3;

// Full-width forms of the half-width bytes 0xA1-0xDD, two bytes each.
constexpr char kFullKana[] =
    "。「」、・ヲァィゥェォャュョッー"
    "アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン";
static_assert(!kShiftJisLiterals || sizeof(kFullKana) == 61 * 2 + 1,
              "one double-byte character per byte 0xA1-0xDD");
constexpr char kVoicedKaToTo[] = "ガギグゲゴザジズゼゾダヂヅデド";  // ｶ (0xB6) to ﾄ (0xC4)
constexpr char kVoicedHa[] = "バビブベボ";                          // ﾊ (0xCA) to ﾎ (0xCE)
constexpr char kSemiVoicedHa[] = "パピプペポ";
constexpr char kVoicedU[] = "ヴ";  // ｳ (0xB3)
static_assert(!kShiftJisLiterals || (sizeof(kVoicedKaToTo) == 15 * 2 + 1 && sizeof(kVoicedU) == 3));

constexpr unsigned char kVoicedMark = 0xDE;
constexpr unsigned char kSemiVoicedMark = 0xDF;

// The full-width form of half-width byte `b` followed by `mark` (0 for none); appends it and
// tells whether the mark was taken in.
bool AppendFullKana(unsigned char b, unsigned char mark, std::string* out) {
  const char* form = kFullKana + static_cast<std::ptrdiff_t>(b - 0xA1) * 2;
  bool took_mark = false;
  if (mark == kVoicedMark) {
    took_mark = true;
    if (b == 0xB3) form = kVoicedU;
    if (b >= 0xB6 && b <= 0xC4) form = kVoicedKaToTo + static_cast<std::ptrdiff_t>(b - 0xB6) * 2;
    if (b >= 0xCA && b <= 0xCE) form = kVoicedHa + static_cast<std::ptrdiff_t>(b - 0xCA) * 2;
  } else if (mark == kSemiVoicedMark) {
    took_mark = true;
    if (b >= 0xCA && b <= 0xCE) form = kSemiVoicedHa + static_cast<std::ptrdiff_t>(b - 0xCA) * 2;
  }
  out->append(form, 2);
  return took_mark;
}

void ReplaceDoubledQuotes(std::string* text) {
  std::string out;
  out.reserve(text->size());
  for (std::size_t i = 0; i < text->size(); ++i) {
    out.push_back((*text)[i]);
    if ((*text)[i] == '"' && i + 1 < text->size() && (*text)[i + 1] == '"') ++i;
  }
  *text = std::move(out);
}

// The first place of `pattern` at or after a position that only moves forward. A place
// found stays the answer until the position passes it, and an absent pattern stays absent,
// so a whole walk over the text searches every byte about once.
class ForwardFinder {
 public:
  ForwardFinder(string_view text, string_view pattern)
      : text_(text), pattern_(pattern), found_(text.find(pattern)) {}

  std::size_t From(std::size_t position) {
    if (found_ != npos && found_ < position) found_ = text_.find(pattern_, position);
    return found_;
  }

 private:
  string_view text_;
  string_view pattern_;
  std::size_t found_;
};

// Collects a field that opened with a quote (at text[*at - 1]; *at is just after it),
// following the recorder's comma quoting: '",' ends the field, '"",' is a quote and a comma
// inside it, '""",' is a quote that ends it. Moves *at past what the field took.
std::string ReadQuotedField(string_view text, std::size_t* at, ForwardFinder& q1_finder,
                            ForwardFinder& q2_finder, ForwardFinder& q3_finder) {
  std::string field;
  std::size_t i = *at;
  bool finished = false;
  while (i < text.size() && !finished) {
    const std::size_t q1 = q1_finder.From(i);
    const std::size_t q2 = q2_finder.From(i);
    if (q1 != npos && (q2 == npos || q2 > q1)) {
      field.append(text.substr(i, q1 - i));
      i = q1 + 2;
      finished = true;
    } else if (q1 == npos) {
      field.append(text.substr(i));
      i = text.size();
    } else if (const std::size_t q3 = q3_finder.From(i); q3 != npos) {
      field.append(text.substr(i, q3 + 2 - i));
      i = q3 + 4;
      finished = true;
    } else {
      field.append(text.substr(i, q2 + 3 - i));
      i = q2 + 3;
    }
  }
  *at = std::min(i, text.size());
  ReplaceDoubledQuotes(&field);
  return field;
}

}  // namespace

int ReadInteger(string_view text, int fallback) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return fallback;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return fallback;
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{1} << 31) return fallback;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return fallback;
  return static_cast<int>(value);
}

std::string TrimBlanks(string_view text) {
  if (text.empty()) return std::string();
  std::string s(TrimControls(text));
  std::size_t start = 0;
  while (start < s.size()) {
    if (s[start] == ' ') {
      start += 1;
    } else if (start + 1 < s.size() && s[start] == '\x81' && s[start + 1] == '\x40') {
      start += 2;
    } else {
      break;
    }
  }
  s.erase(0, start);
  while (!s.empty()) {
    const int last = static_cast<int>(s.size());
    if (IsTrailByte(s, last)) {
      if (s[last - 2] != '\x81' || s[last - 1] != '\x40') break;
      s.resize(last - 2);
    } else {
      if (s.back() != ' ') break;
      s.pop_back();
    }
  }
  return std::string(TrimControls(s));
}

bool IsTrailByte(string_view text, int position) {
  if (position < 1 || static_cast<std::size_t>(position) > text.size()) {
    throw std::out_of_range("Illegal Index");
  }
  int leads = 0;
  for (int i = position - 1; i >= 1 && IsLead(text[i - 1]); --i) ++leads;
  return leads % 2 == 1;
}

TDateTime ReadDate(string_view text, TDateTime today) {
  YearMonthDay date;
  if (text.find('/') != npos) {
    date = ReadSeparated(text, '/', today);
  } else if (text.find('-') != npos) {
    date = ReadSeparated(text, '-', today);
  } else if (text.find(':') != npos) {
    date = ReadColonDate(text);
  } else {
    date = ReadDigitsDate(text);
  }
  if (date.month == 0 || date.day == 0) date.month = date.day = 1;
  int year = date.year, month = date.month, day = date.day;
  if (date.day > 31 && date.year < 13) {
    year = date.day;
    month = date.year;
    day = date.month;
  }
  TDateTime result = kNoDate;
  return TryEncodeDate(year, month, day, &result) ? result : kNoDate;
}

TDateTime ReadTime(string_view text) {
  uint16_t hour = 0, minute = 0, second = 0;
  const std::size_t colon = text.find(':');
  if (colon != npos) {
    hour = Part(ReadInteger(text.substr(0, colon)));
    const string_view rest = text.substr(colon + 1);
    const std::size_t next = rest.find(':');
    minute = Part(ReadInteger(rest.substr(0, next)));
    if (next != npos) second = Part(ReadInteger(rest.substr(next + 1)));
  } else {
    const std::size_t length = TrimControls(text).size();
    if (length == 4 || length == 6) {
      hour = Part(ReadInteger(text.substr(0, 2)));
      minute = Part(ReadInteger(text.substr(2, 2)));
      if (length == 6) second = Part(ReadInteger(text.substr(4, 2)));
    }
  }
  TDateTime next_day = 0;
  if (hour >= 24 && hour <= 28) {
    hour -= 24;
    next_day = 1.0;
  }
  TDateTime time = 0;
  if (!TryEncodeTime(hour, minute, second, 0, &time)) return 0;
  return next_day + time;
}

int YearOf(TDateTime date) { return DecodeDate(date).year; }

void SplitFields(string_view text, char separator, std::vector<std::string>* fields) {
  fields->clear();
  // The rest of the text still to split is text[at...].
  ForwardFinder separators(text, string_view(&separator, 1));
  ForwardFinder q1(text, "\","), q2(text, "\"\","), q3(text, "\"\"\",");
  std::size_t at = 0;
  while (separators.From(at) != npos) {
    if (text[at] == '"') {
      ++at;
      fields->emplace_back(TrimControls(ReadQuotedField(text, &at, q1, q2, q3)));
    } else {
      const std::size_t end = separators.From(at);
      fields->emplace_back(TrimControls(text.substr(at, end - at)));
      at = end + 1;
    }
  }
  string_view last = text.substr(at);
  if (!last.empty() && last.front() == '"') last.remove_prefix(1);
  if (!last.empty() && last.back() == '"') last.remove_suffix(1);
  fields->emplace_back(TrimControls(last));
}

std::string FoldWidth(string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(b)) {
      if (i + 1 == text.size()) {  // a cut character: the lone lead byte is kept
        out.push_back(text[i]);
        break;
      }
      const unsigned code = b << 8 | static_cast<unsigned char>(text[i + 1]);
      if (const char folded = FoldFullWidth(code)) {
        out.push_back(folded);
      } else {
        out.append(text.substr(i, 2));
      }
      ++i;
    } else if (b >= 0xA1 && b <= 0xDD) {
      const unsigned char mark = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
      if (AppendFullKana(b, mark, &out)) ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace tavelin
