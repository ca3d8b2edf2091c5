#include "parse/html_parser.h"

#include <algorithm>
#include <array>
#include <cstdint>
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

void PutNumber(std::string* out, uint64_t value) {
  while (value >= 0x80) {
    out->push_back(static_cast<char>(value | 0x80));
    value >>= 7;
  }
  out->push_back(static_cast<char>(value));
}

// Signed distances as small unsigned numbers: 0, -1, 1, -2, ... become 0, 1, 2, 3, ...
uint64_t ZigZag(int64_t value) {
  return (static_cast<uint64_t>(value) << 1) ^ static_cast<uint64_t>(value >> 63);
}

// The bytes the scan stops at: everything else joins the pending tag or text as a run.
constexpr std::array<bool, 256> kScanStops = [] {
  std::array<bool, 256> stops{};
  stops['<'] = stops['>'] = stops['\n'] = stops['\r'] = true;
  return stops;
}();

// Tag and parameter names are nearly always ASCII and are folded here directly; a name with
// a double-byte character goes through the Shift-JIS aware folding.
std::string UpperName(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) >= 0x80) return UpperAsciiText(name);
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// True when decoding would change nothing: no line feed, no run of spaces, no reference.
bool DecodesToItself(std::string_view raw) {
  char previous = 0;
  for (char c : raw) {
    if (c == '\n' || c == '&' || (c == ' ' && previous == ' ')) return false;
    previous = c;
  }
  return true;
}

}  // namespace

THTMLParam::THTMLParam(std::string_view raw) : raw_(raw), name_(raw) {
  std::size_t equals = raw.find('=');
  if (equals == std::string_view::npos) return;
  name_ = raw.substr(0, equals);
  value_ = raw.substr(equals + 1);
  if (value_.size() >= 2 && value_.front() == '"' && value_.back() == '"') {
    value_ = value_.substr(1, value_.size() - 2);
  }
}

std::string THTMLParam::Name() const { return UpperName(name_); }

bool THTMLParam::NameIs(std::string_view upper_name) const {
  return SameTextIgnoringAsciiCase(name_, upper_name);
}

std::string THTMLTag::Name() const { return UpperName(raw_.substr(0, raw_.find(' '))); }

bool THTMLTag::NameIs(std::string_view upper_name) const {
  return SameTextIgnoringAsciiCase(raw_.substr(0, raw_.find(' ')), upper_name);
}

std::vector<THTMLParam> THTMLTag::Params() const {
  std::vector<THTMLParam> params;
  const std::size_t space = raw_.find(' ');
  if (space == std::string_view::npos) return params;
  // Parameters are separated by spaces outside double quotes; runs of spaces give nothing.
  std::size_t start = space + 1;
  bool in_quotes = false;
  for (std::size_t i = start; i <= raw_.size(); ++i) {
    if (i == raw_.size() || (raw_[i] == ' ' && !in_quotes)) {
      if (i > start) params.emplace_back(raw_.substr(start, i - start));
      start = i + 1;
    } else if (raw_[i] == '"') {
      in_quotes = !in_quotes;
    }
  }
  return params;
}

std::string DecodeHtmlText(std::string_view raw) {
  // Line feeds become spaces and runs of spaces fold to one, before any reference is
  // decoded, so spaces that references produce are kept.
  if (DecodesToItself(raw)) return std::string(raw);
  std::string out;
  if (raw.find('\n') == std::string_view::npos && raw.find("  ") == std::string_view::npos) {
    out.assign(raw);
  } else {
    out.reserve(raw.size());
    for (char c : raw) {
      if (c == '\n') c = ' ';
      if (c == ' ' && !out.empty() && out.back() == ' ') continue;
      out.push_back(c);
    }
  }
  if (out.find('&') == std::string::npos) return out;

  // One forward scan, in place: a reference never grows, so what is written stays behind
  // what is read. A reference runs from '&' to the first ';' or space; a later '&' abandons
  // it. Decoded bytes are never scanned again.
  std::size_t written = 0;
  auto keep = [&out, &written](std::size_t from, std::size_t to) {
    while (from < to) out[written++] = out[from++];
  };
  std::size_t i = 0;
  const std::size_t n = out.size();
  while (i < n) {
    if (out[i] != '&') {
      out[written++] = out[i++];
      continue;
    }
    std::size_t end = i + 1;
    while (end < n && out[end] != ';' && out[end] != ' ' && out[end] != '&') ++end;
    if (end == n || out[end] == '&') {
      keep(i, end);
      i = end;
      continue;
    }
    const std::string_view reference(out.data() + i, end + 1 - i);
    int code = -1;
    if (reference.size() > 2 && reference[1] == '#') {
      if (!NumericReferenceValue(reference, &code)) code = -1;
    } else {
      // A named reference stands for its numeric form, which always decodes.
      code = NamedReferenceCode(reference);
    }
    if (code >= 0) {
      out[written++] = ByteForCode(code);
    } else {
      keep(i, end + 1);
    }
    i = end + 1;
  }
  out.resize(written);
  return out;
}

std::string THTMLText::Text() const { return DecodeHtmlText(raw_); }

// The bytes of the tag or text being collected. They stay a range of the page while they are
// contiguous there; the first gap (a dropped '<', a line end inside a tag, a stray '>') moves
// them to the end of the side buffer, where they then grow. Only one of the two pending
// elements ever holds bytes at a time, so the side buffer's end is always this one's.
class THTMLParser::Pending {
 public:
  bool empty() const { return size_ == 0; }

  // Adds the page's bytes [from, to).
  void Add(THTMLParser& parser, std::size_t from, std::size_t to) {
    if (from == to) return;
    if (size_ == 0) {
      in_side_ = false;
      begin_ = from;
    } else if (in_side_ || begin_ + size_ != from) {
      MoveToSide(parser);
      parser.side_.append(parser.page_, from, to - from);
    }
    size_ += to - from;
  }

  // Adds a line feed that the page does not hold (for a CR, or the end of an unterminated
  // last line).
  void AddLineFeed(THTMLParser& parser) {
    MoveToSide(parser);
    parser.side_.push_back('\n');
    ++size_;
  }

  void Clear() {
    size_ = 0;
    in_side_ = false;
  }

  std::size_t begin() const { return begin_; }
  std::size_t size() const { return size_; }
  bool in_side() const { return in_side_; }

 private:
  void MoveToSide(THTMLParser& parser) {
    if (in_side_) return;
    const std::size_t at = parser.side_.size();
    parser.side_.append(parser.page_, begin_, size_);
    begin_ = at;
    in_side_ = true;
  }

  std::size_t begin_ = 0;
  std::size_t size_ = 0;
  bool in_side_ = false;
};

std::vector<std::string> THTMLParser::Lines() const {
  std::vector<std::string> lines;
  std::size_t start = page_start_;
  while (start < page_.size()) {
    std::size_t end = page_.find_first_of("\r\n", start);
    if (end == std::string::npos) end = page_.size();
    lines.emplace_back(page_, start, end - start);
    start = end + LineEndSize(end);
  }
  return lines;
}

void THTMLParser::SetText(std::string bytes) {
  // Kept as given up to a zero byte; the scan and Lines() read the line ends.
  bytes.resize(std::min(bytes.size(), bytes.find('\0')));
  if (count_ == 0) {
    page_ = std::move(bytes);
    page_start_ = 0;
    side_.clear();
    return;
  }
  // Elements refer to the earlier pages: keep them, before the new one.
  if (!page_.empty() && page_.back() != '\n' && page_.back() != '\r') page_.push_back('\n');
  page_start_ = page_.size();
  page_ += bytes;
}

std::size_t THTMLParser::LineEndSize(std::size_t at) const {
  if (at >= page_.size()) return 0;
  return page_[at] == '\r' && at + 1 < page_.size() && page_[at + 1] == '\n' ? 2 : 1;
}

void THTMLParser::Execute() {
  const std::size_t n = page_.size();
  // Most elements take two bytes of the list, and a page has about one element for every
  // ten bytes; a page of nothing but marks gets there by a doubling or two. Room that stays
  // unused is never touched, so it takes no memory.
  const std::size_t bytes = n - page_start_;
  list_.reserve(list_.size() + bytes / 2 + 16);
  checkpoints_.reserve(checkpoints_.size() + bytes / 8 / kCheckpointEvery + 2);

  Pending text;
  Pending tag;
  bool in_tag = false;
  std::size_t i = page_start_;
  while (i < n) {
    std::size_t stop = i;
    while (stop < n && !kScanStops[static_cast<unsigned char>(page_[stop])]) ++stop;
    (in_tag ? tag : text).Add(*this, i, stop);
    if (stop == n) break;
    switch (page_[stop]) {
      case '<':  // ends the text; a '<' inside a tag is dropped
        if (!in_tag && !text.empty()) Append(false, text);
        in_tag = true;
        break;
      case '>':  // ends the tag; outside one it makes an empty tag and the text goes on
        in_tag = false;
        Append(true, tag);
        break;
      default:  // a line end (CR, LF or CR LF): a line feed in text, nothing in a tag
        if (!in_tag && !text.empty()) {
          if (page_[stop] == '\n') {
            text.Add(*this, stop, stop + 1);
          } else {
            text.AddLineFeed(*this);
          }
        }
        i = stop + LineEndSize(stop);
        continue;
    }
    i = stop + 1;
  }
  // The end of the page ends its last line.
  if (n > page_start_ && page_[n - 1] != '\n' && page_[n - 1] != '\r' && !in_tag && !text.empty()) {
    text.AddLineFeed(*this);
  }
  if (in_tag && !tag.empty()) {
    in_tag = false;
    Append(true, tag);
  }
  if (!in_tag && !text.empty()) Append(false, text);
}

void THTMLParser::Append(bool is_tag, Pending& pending) {
  if (count_ % kCheckpointEvery == 0) checkpoints_.push_back(end_);
  ++count_;
  const uint64_t kind = is_tag ? kIsTag : 0;
  if (pending.empty()) {
    list_.push_back(static_cast<char>(kind | kEmpty));
  } else {
    const bool in_side = pending.in_side();
    std::size_t& previous_end = in_side ? end_.side_offset : end_.page_offset;
    const int64_t distance =
        static_cast<int64_t>(pending.begin()) - static_cast<int64_t>(previous_end);
    PutNumber(&list_, ZigZag(distance) << kFlagBits | (in_side ? kInSide : 0) | kind);
    PutNumber(&list_, pending.size());
    previous_end = pending.begin() + pending.size();
  }
  end_.list_offset = list_.size();
  pending.Clear();
}

THTMLElement THTMLParser::Item(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= count_) {
    throw std::out_of_range("THTMLParser::Item");
  }
  const std::size_t at = static_cast<std::size_t>(index);
  Cursor cursor = checkpoints_[at / kCheckpointEvery];
  for (std::size_t skip = at % kCheckpointEvery; skip > 0; --skip) Decode(&cursor);
  return Decode(&cursor);
}

THTMLParser::Iterator THTMLParser::Range::begin() const { return Iterator(parser_, 0, Cursor{}); }

THTMLParser::Iterator THTMLParser::Range::end() const {
  return Iterator(parser_, parser_->count_, parser_->end_);
}

std::size_t THTMLParser::Range::size() const { return parser_->count_; }

}  // namespace tavelin
