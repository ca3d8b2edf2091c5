#include "parse/html_parser.h"

#include <array>
#include <stdexcept>
#include <utility>

#include "platform/ascii_text.h"
#include "platform/codepage.h"

namespace tavelin {
namespace {

struct NamedReference {
  std::string_view name;  // with its '&' and ';'
  int code;
};

// The character entity names that are decoded: the four markup characters, then the
// Latin-1 names for 160 to 255 in code order.
constexpr std::array<NamedReference, 100> kNamedReferences = {{
    {"&quot;", 34},    {"&amp;", 38},     {"&lt;", 60},      {"&gt;", 62},      {"&nbsp;", 160},
    {"&iexcl;", 161},  {"&cent;", 162},   {"&pound;", 163},  {"&curren;", 164}, {"&yen;", 165},
    {"&brvbar;", 166}, {"&sect;", 167},   {"&uml;", 168},    {"&copy;", 169},   {"&ordf;", 170},
    {"&laquo;", 171},  {"&not;", 172},    {"&shy;", 173},    {"&reg;", 174},    {"&macr;", 175},
    {"&deg;", 176},    {"&plusmn;", 177}, {"&sup2;", 178},   {"&sup3;", 179},   {"&acute;", 180},
    {"&micro;", 181},  {"&para;", 182},   {"&middot;", 183}, {"&cedil;", 184},  {"&sup1;", 185},
    {"&ordm;", 186},   {"&raquo;", 187},  {"&frac14;", 188}, {"&frac12;", 189}, {"&frac34;", 190},
    {"&iquest;", 191}, {"&Agrave;", 192}, {"&Aacute;", 193}, {"&Acirc;", 194},  {"&Atilde;", 195},
    {"&Auml;", 196},   {"&Aring;", 197},  {"&AElig;", 198},  {"&Ccedil;", 199}, {"&Egrave;", 200},
    {"&Eacute;", 201}, {"&Ecirc;", 202},  {"&Euml;", 203},   {"&Igrave;", 204}, {"&Iacute;", 205},
    {"&Icirc;", 206},  {"&Iuml;", 207},   {"&ETH;", 208},    {"&Ntilde;", 209}, {"&Ograve;", 210},
    {"&Oacute;", 211}, {"&Ocirc;", 212},  {"&Otilde;", 213}, {"&Ouml;", 214},   {"&times;", 215},
    {"&Oslash;", 216}, {"&Ugrave;", 217}, {"&Uacute;", 218}, {"&Ucirc;", 219},  {"&Uuml;", 220},
    {"&Yacute;", 221}, {"&THORN;", 222},  {"&szlig;", 223},  {"&agrave;", 224}, {"&aacute;", 225},
    {"&acirc;", 226},  {"&atilde;", 227}, {"&auml;", 228},   {"&aring;", 229},  {"&aelig;", 230},
    {"&ccedil;", 231}, {"&egrave;", 232}, {"&eacute;", 233}, {"&ecirc;", 234},  {"&euml;", 235},
    {"&igrave;", 236}, {"&iacute;", 237}, {"&icirc;", 238},  {"&iuml;", 239},   {"&eth;", 240},
    {"&ntilde;", 241}, {"&ograve;", 242}, {"&oacute;", 243}, {"&ocirc;", 244},  {"&otilde;", 245},
    {"&ouml;", 246},   {"&divide;", 247}, {"&oslash;", 248}, {"&ugrave;", 249}, {"&uacute;", 250},
    {"&ucirc;", 251},  {"&uuml;", 252},   {"&yacute;", 253}, {"&thorn;", 254},  {"&yuml;", 255},
}};

// The byte a character code stands for in the text: control codes and the no-break space
// become plain spaces.
char ByteForCode(int code) {
  if (code < 32 || code == 160) return ' ';
  return static_cast<char>(static_cast<unsigned char>(code));
}

int DigitValue(char c, int base) {
  const int value = HexDigitValue(c);
  return value < base ? value : -1;
}

// Reads `digits` (an optional sign, then digits of `base`) completely; false otherwise.
bool ReadInteger(std::string_view digits, int base, int* value) {
  bool negative = false;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) return false;
  int result = 0;
  for (char c : digits) {
    int digit = DigitValue(c, base);
    if (digit < 0) return false;
    result = result * base + digit;  // at most three digit bytes, no overflow
  }
  *value = negative ? -result : result;
  return true;
}

// The value of a numeric reference "&#...;" or "&#... " (terminator included); false when it
// is not readable or lies outside 0 to 255, in which case it stays as written.
bool NumericReferenceValue(std::string_view reference, int* value) {
  if (reference.size() <= 2 || reference[1] != '#') return false;
  std::string_view digits = reference.substr(2, reference.size() - 3);
  if (digits.empty() || digits.size() > 3) return false;
  int base = 10;
  if (digits[0] == 'x' || digits[0] == 'X') {
    base = 16;
    digits.remove_prefix(1);
  }
  return ReadInteger(digits, base, value) && *value >= 0 && *value <= 255;
}

int NamedReferenceCode(std::string_view reference) {
  for (const NamedReference& entry : kNamedReferences) {
    if (entry.name == reference) return entry.code;
  }
  return -1;
}

}  // namespace

THTMLParam::THTMLParam(std::string_view raw) : raw_(raw) {
  std::string_view name = raw;
  std::size_t equals = raw.find('=');
  if (equals != std::string_view::npos) {
    name = raw.substr(0, equals);
    std::string_view value = raw.substr(equals + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    value_ = value;
  }
  name_ = UpperAsciiText(name);
}

THTMLTag::THTMLTag(std::string_view raw) : raw_(raw) {
  std::size_t space = raw.find(' ');
  name_ = UpperAsciiText(raw.substr(0, space));
  if (space == std::string_view::npos) return;
  // Parameters are separated by spaces outside double quotes; runs of spaces give nothing.
  std::size_t start = space + 1;
  bool in_quotes = false;
  for (std::size_t i = start; i <= raw.size(); ++i) {
    if (i == raw.size() || (raw[i] == ' ' && !in_quotes)) {
      if (i > start) params_.emplace_back(raw.substr(start, i - start));
      start = i + 1;
    } else if (raw[i] == '"') {
      in_quotes = !in_quotes;
    }
  }
}

std::string DecodeHtmlText(std::string_view raw) {
  // Line feeds become spaces and runs of spaces fold to one, before any reference is
  // decoded, so spaces that references produce are kept.
  std::string folded;
  folded.reserve(raw.size());
  for (char c : raw) {
    if (c == '\n') c = ' ';
    if (c == ' ' && !folded.empty() && folded.back() == ' ') continue;
    folded.push_back(c);
  }

  // One forward scan. A reference runs from '&' to the first ';' or space; a later '&'
  // abandons it. Decoded bytes are never scanned again.
  std::string out;
  out.reserve(folded.size());
  std::size_t i = 0;
  const std::size_t n = folded.size();
  while (i < n) {
    if (folded[i] != '&') {
      out.push_back(folded[i++]);
      continue;
    }
    std::size_t end = i + 1;
    while (end < n && folded[end] != ';' && folded[end] != ' ' && folded[end] != '&') ++end;
    if (end == n || folded[end] == '&') {
      out.append(folded, i, end - i);
      i = end;
      continue;
    }
    std::string_view reference(folded.data() + i, end + 1 - i);
    int code = -1;
    if (reference.size() > 2 && reference[1] == '#') {
      if (!NumericReferenceValue(reference, &code)) code = -1;
    } else {
      // A named reference stands for its numeric form, which always decodes.
      code = NamedReferenceCode(reference);
    }
    if (code >= 0) {
      out.push_back(ByteForCode(code));
    } else {
      out.append(reference);
    }
    i = end + 1;
  }
  return out;
}

THTMLText::THTMLText(std::string raw) : raw_(std::move(raw)), text_(DecodeHtmlText(raw_)) {}

THTMLParser::~THTMLParser() {
  // Elements go from the last to the first.
  while (!items_.empty()) items_.pop_back();
}

void THTMLParser::SetText(std::string_view bytes) {
  std::size_t zero = bytes.find('\0');
  if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
  lines_.clear();
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < bytes.size()) {
    char c = bytes[i];
    if (c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    lines_.emplace_back(bytes.substr(start, i - start));
    ++i;
    if (c == '\r' && i < bytes.size() && bytes[i] == '\n') ++i;
    start = i;
  }
  if (start < bytes.size()) lines_.emplace_back(bytes.substr(start));
}

void THTMLParser::LoadFromFile(Env& env, const std::string& path) {
  std::string bytes;
  if (!env.ReadFile(path, &bytes)) {
    throw std::runtime_error("ファイル " + path + " は開けません");
  }
  SetText(bytes);
}

void THTMLParser::Execute() {
  pending_text_.clear();
  pending_tag_.clear();
  in_tag_ = false;
  for (const std::string& line : lines_) {
    for (char c : line) {
      if (c == '<') {
        EmitText();
        in_tag_ = true;
      } else if (c == '>') {
        EmitTag();
      } else if (in_tag_) {
        pending_tag_.push_back(c);
      } else {
        pending_text_.push_back(c);
      }
    }
    // A tag spanning lines is joined without a separator; text gets a line feed.
    if (!in_tag_ && !pending_text_.empty()) pending_text_.push_back('\n');
  }
  if (in_tag_ && !pending_tag_.empty()) EmitTag();
  EmitText();
}

void THTMLParser::EmitText() {
  if (in_tag_ || pending_text_.empty()) return;
  items_.push_back(std::make_unique<THTMLText>(std::move(pending_text_)));
  pending_text_.clear();
}

void THTMLParser::EmitTag() {
  in_tag_ = false;
  items_.push_back(std::make_unique<THTMLTag>(pending_tag_));
  pending_tag_.clear();
}

}  // namespace tavelin
