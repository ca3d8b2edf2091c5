#include "platform/posix/profile_ini.h"

#include <vector>

#include "platform/codepage.h"

namespace tavelin::posix {
namespace {

struct Line {
  std::size_t begin = 0;
  std::size_t content_end = 0;  // before the CR LF or LF
  std::size_t end = 0;          // after the line end
};

enum class Kind { kBlank, kSection, kKey, kOther };

struct ParsedLine {
  Kind kind = Kind::kOther;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed, not yet unquoted
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    Line line;
    line.begin = begin;
    const std::size_t lf = text.find('\n', begin);
    line.end = lf == std::string_view::npos ? text.size() : lf + 1;
    line.content_end = lf == std::string_view::npos ? text.size() : lf;
    if (line.content_end > begin && text[line.content_end - 1] == '\r') --line.content_end;
    lines.push_back(line);
    begin = line.end;
  }
  return lines;
}

// Position of the first single-byte `c` in `s`, skipping double-byte characters.
std::size_t FindChar(std::string_view s, char c) {
  std::size_t i = 0;
  while (i < s.size()) {
    if (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) {
      i += 2;
      continue;
    }
    if (s[i] == c) return i;
    ++i;
  }
  return std::string_view::npos;
}

ParsedLine Parse(std::string_view content) {
  ParsedLine parsed;
  const std::string_view trimmed = Trim(content);
  if (trimmed.empty()) {
    parsed.kind = Kind::kBlank;
  } else if (trimmed.front() == '[') {
    const std::string_view inner = trimmed.substr(1);
    parsed.kind = Kind::kSection;
    parsed.name = Trim(inner.substr(0, FindChar(inner, ']')));
  } else if (trimmed.front() != ';') {
    const std::size_t eq = FindChar(trimmed, '=');
    if (eq != std::string_view::npos) {
      parsed.kind = Kind::kKey;
      parsed.name = Trim(trimmed.substr(0, eq));
      parsed.value = Trim(trimmed.substr(eq + 1));
    }
  }
  return parsed;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// Where a section's lines lie: [header, end) in line indexes; header is npos when missing.
struct SectionSpan {
  std::size_t header = std::string_view::npos;
  std::size_t end = 0;
};

SectionSpan FindSection(std::string_view text, const std::vector<Line>& lines,
                        std::string_view section) {
  SectionSpan span;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ParsedLine parsed =
        Parse(text.substr(lines[i].begin, lines[i].content_end - lines[i].begin));
    if (parsed.kind != Kind::kSection) continue;
    if (span.header != std::string_view::npos) {
      span.end = i;
      return span;
    }
    if (SameTextIgnoringAsciiCase(parsed.name, section)) span.header = i;
  }
  span.end = lines.size();
  return span;
}

// Index of the key's line within the section, or npos.
std::size_t FindKey(std::string_view text, const std::vector<Line>& lines, const SectionSpan& span,
                    std::string_view key, ParsedLine* found) {
  for (std::size_t i = span.header + 1; i < span.end; ++i) {
    const ParsedLine parsed =
        Parse(text.substr(lines[i].begin, lines[i].content_end - lines[i].begin));
    if (parsed.kind == Kind::kKey && SameTextIgnoringAsciiCase(parsed.name, key)) {
      if (found != nullptr) *found = parsed;
      return i;
    }
  }
  return std::string_view::npos;
}

// True when the last byte is a lead byte without its trail: written before '=' or ']' it
// would swallow that byte into a character.
bool EndsWithLoneLeadByte(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    if (IsLeadByte(static_cast<unsigned char>(s[i]))) {
      if (i + 1 == s.size()) return true;
      i += 2;
    } else {
      ++i;
    }
  }
  return false;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// Names that read back as themselves once written into a line.
bool IsWritableSection(std::string_view section) {
  return !section.empty() && !HasLineBreak(section) &&
         FindChar(section, ']') == std::string_view::npos && !EndsWithLoneLeadByte(section);
}

bool IsWritableKey(std::string_view key) {
  return !key.empty() && !HasLineBreak(key) && key.front() != ';' && key.front() != '[' &&
         FindChar(key, '=') == std::string_view::npos && !EndsWithLoneLeadByte(key);
}

}  // namespace

bool FindProfileValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string* value) {
  const std::vector<Line> lines = SplitLines(text);
  const SectionSpan span = FindSection(text, lines, Trim(section));
  if (span.header == std::string_view::npos) return false;
  ParsedLine parsed;
  if (FindKey(text, lines, span, Trim(key), &parsed) == std::string_view::npos) return false;
  *value = std::string(Unquote(parsed.value));
  return true;
}

bool SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                     std::string_view value, std::string* updated) {
  section = Trim(section);
  key = Trim(key);
  if (!IsWritableSection(section) || !IsWritableKey(key)) return false;
  std::string clean_value;
  for (char c : value) {
    if (c != '\r' && c != '\n') clean_value.push_back(c);
  }

  const std::vector<Line> lines = SplitLines(text);
  const SectionSpan span = FindSection(text, lines, section);
  std::string result;
  if (span.header == std::string_view::npos) {
    result.assign(text);
    if (!result.empty() && result.back() != '\n') result += "\r\n";
    result += "[" + std::string(section) + "]\r\n";
    result += std::string(key) + "=" + clean_value + "\r\n";
    *updated = std::move(result);
    return true;
  }

  ParsedLine parsed;
  const std::size_t key_line = FindKey(text, lines, span, key, &parsed);
  if (key_line != std::string_view::npos) {
    // The name keeps the spelling it already has in the file.
    const Line& line = lines[key_line];
    result.assign(text.substr(0, line.begin));
    result += std::string(parsed.name) + "=" + clean_value;
    result.append(text.substr(line.content_end));
  } else {
    std::size_t last = span.header;
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
      if (text.find_first_not_of(" \t", lines[i].begin) < lines[i].content_end) last = i;
    }
    const Line& after = lines[last];
    result.assign(text.substr(0, after.end));
    if (text[after.end - 1] != '\n') result += "\r\n";  // the last line had no line end
    result += std::string(key) + "=" + clean_value + "\r\n";
    result.append(text.substr(after.end));
  }
  *updated = std::move(result);
  return true;
}

}  // namespace tavelin::posix
