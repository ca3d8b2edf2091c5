#include "sjis_literals.h"

#include <iconv.h>

#include <algorithm>
#include <cstdio>

namespace tavelin {
namespace {

bool IsIdentifierStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsIdentifierChar(char c) { return IsIdentifierStart(c) || IsDigit(c); }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Byte count of the UTF-8 sequence that `lead` starts; 0 when it starts none.
std::size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

class Rewriter {
 public:
  Rewriter(std::string_view source, std::string* out) : in_(source), out_(*out) {
    converter_ = iconv_open("CP932", "UTF-8");
  }
  ~Rewriter() {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv_open's failure value is (iconv_t)-1
    if (converter_ != reinterpret_cast<iconv_t>(-1)) iconv_close(converter_);
  }

  bool Run(std::string* error) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv_open's failure value is (iconv_t)-1
    if (converter_ == reinterpret_cast<iconv_t>(-1))
      return Fail("no UTF-8 to CP932 converter", error);
    while (at_ < in_.size()) {
      char c = in_[at_];
      if (c == '/' && Next(1) == '/') {
        CopyUntil("\n", false);
      } else if (c == '/' && Next(1) == '*') {
        at_ += 2;
        out_ += "/*";
        CopyUntil("*/", true);
      } else if (IsIdentifierStart(c)) {
        if (!Identifier(error)) return false;
      } else if (IsDigit(c) || (c == '.' && IsDigit(Next(1)))) {
        Number();
      } else if (c == '"' || c == '\'') {
        if (!Literal(true, error)) return false;
      } else {
        out_ += c;
        ++at_;
      }
    }
    return true;
  }

 private:
  char Next(std::size_t ahead) const { return at_ + ahead < in_.size() ? in_[at_ + ahead] : '\0'; }

  bool Fail(const std::string& what, std::string* error) const {
    std::size_t line = 1 + std::count(in_.begin(), in_.begin() + std::min(at_, in_.size()), '\n');
    if (error) *error = "line " + std::to_string(line) + ": " + what;
    return false;
  }

  // Copies through the first `end` (included), or to the end of the text.
  void CopyUntil(std::string_view end, bool include_end) {
    std::size_t found = in_.find(end, at_);
    std::size_t stop =
        found == std::string_view::npos ? in_.size() : found + (include_end ? end.size() : 0);
    out_.append(in_.substr(at_, stop - at_));
    at_ = stop;
  }

  // An identifier, or the encoding prefix of the literal right after it.
  bool Identifier(std::string* error) {
    std::size_t begin = at_;
    while (at_ < in_.size() && IsIdentifierChar(in_[at_])) ++at_;
    std::string_view word = in_.substr(begin, at_ - begin);
    out_.append(word);
    char c = Next(0);
    if (c != '"' && c != '\'') return true;
    bool raw = !word.empty() && word.back() == 'R' && c == '"';
    std::string_view prefix = raw ? word.substr(0, word.size() - 1) : word;
    bool encoding =
        prefix.empty() || prefix == "L" || prefix == "u" || prefix == "U" || prefix == "u8";
    if (!encoding) return true;  // not a prefix: the literal is read on the next turn
    if (raw) return RawLiteral(prefix.empty(), error);
    return Literal(false, error);
  }

  // A preprocessing number, digit separators included, so that a separator is never taken
  // for the start of a character literal.
  void Number() {
    while (at_ < in_.size()) {
      char c = in_[at_];
      char prev = at_ > 0 ? in_[at_ - 1] : '\0';
      bool sign =
          (c == '+' || c == '-') && (prev == 'e' || prev == 'E' || prev == 'p' || prev == 'P');
      bool separator = c == '\'' && IsIdentifierChar(Next(1));
      if (!IsIdentifierChar(c) && c != '.' && !sign && !separator) break;
      out_ += c;
      ++at_;
    }
  }

  // A quoted literal starting at at_. Only narrow ones are rewritten.
  bool Literal(bool narrow, std::string* error) {
    char quote = in_[at_];
    out_ += quote;
    ++at_;
    while (at_ < in_.size()) {
      char c = in_[at_];
      if (c == quote || c == '\n') {  // a line end leaves an unterminated quote as it is
        out_ += c;
        ++at_;
        return true;
      }
      if (c == '\\') {
        out_.append(in_.substr(at_, 2));
        at_ += 2;
        continue;
      }
      if (!narrow || static_cast<unsigned char>(c) < 0x80) {
        out_ += c;
        ++at_;
        continue;
      }
      if (!EscapeCharacter(error)) return false;
      if (IsHexDigit(Next(0))) {
        // "\x95\x5c" followed by "a" would read as one escape \x5ca: end the piece here.
        if (quote == '\'') return Fail("a hex digit follows a non-ASCII character", error);
        out_ += "\"\"";
      }
    }
    return true;
  }

  // One UTF-8 character at at_, written as escapes of its Shift-JIS bytes.
  bool EscapeCharacter(std::string* error) {
    std::size_t length = Utf8Length(static_cast<unsigned char>(in_[at_]));
    if (length == 0 || at_ + length > in_.size()) return Fail("invalid UTF-8", error);
    std::string utf8(in_.substr(at_, length));
    char sjis[8];
    char* from = utf8.data();
    std::size_t from_left = utf8.size();
    char* to = sjis;
    std::size_t to_left = sizeof sjis;
    iconv(converter_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter_, &from, &from_left, &to, &to_left) == static_cast<std::size_t>(-1) ||
        from_left != 0) {
      return Fail("\"" + utf8 + "\" has no Shift-JIS form", error);
    }
    for (const char* byte = sjis; byte < to; ++byte) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(*byte));
      out_ += escape;
    }
    at_ += length;
    return true;
  }

  // R"delimiter( ... )delimiter", copied as it is.
  bool RawLiteral(bool narrow, std::string* error) {
    std::size_t open = in_.find('(', at_);
    if (open == std::string_view::npos) return Fail("unterminated raw literal", error);
    std::string close = ")" + std::string(in_.substr(at_ + 1, open - at_ - 1)) + "\"";
    std::size_t end = in_.find(close, open);
    if (end == std::string_view::npos) return Fail("unterminated raw literal", error);
    end += close.size();
    std::string_view literal = in_.substr(at_, end - at_);
    if (narrow && std::any_of(literal.begin(), literal.end(),
                              [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
      return Fail("non-ASCII text in a raw literal cannot be escaped", error);
    }
    out_.append(literal);
    at_ = end;
    return true;
  }

  std::string_view in_;
  std::string& out_;
  std::size_t at_ = 0;
  iconv_t converter_;
};

}  // namespace

bool EscapeShiftJisLiterals(std::string_view source, std::string* rewritten, std::string* error) {
  rewritten->clear();
  rewritten->reserve(source.size() + source.size() / 8);
  return Rewriter(source, rewritten).Run(error);
}

}  // namespace tavelin
