#include "platform/profile_ini.h"

#include <vector>

#include "platform/ascii_text.h"
#include "platform/codepage.h"
#include "platform/env.h"
#include "platform/text_lines.h"

namespace tavelin {
namespace {

enum class Kind { kBlank, kSection, kKey, kOther };

struct ParsedLine {
  Kind kind = Kind::kOther;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed, not yet unquoted
};

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
  const std::string_view trimmed = TrimSpacesAndTabs(content);
  if (trimmed.empty()) {
    parsed.kind = Kind::kBlank;
  } else if (trimmed.front() == '[') {
    const std::string_view inner = trimmed.substr(1);
    parsed.kind = Kind::kSection;
    parsed.name = TrimSpacesAndTabs(inner.substr(0, FindChar(inner, ']')));
  } else if (trimmed.front() != ';') {
    const std::size_t eq = FindChar(trimmed, '=');
    if (eq != std::string_view::npos) {
      parsed.kind = Kind::kKey;
      parsed.name = TrimSpacesAndTabs(trimmed.substr(0, eq));
      parsed.value = TrimSpacesAndTabs(trimmed.substr(eq + 1));
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

SectionSpan FindSection(std::string_view text, const std::vector<TextLine>& lines,
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
std::size_t FindKey(std::string_view text, const std::vector<TextLine>& lines,
                    const SectionSpan& span, std::string_view key, ParsedLine* found) {
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

// Ends the text's last line when it has no line end. A text ending in a lone CR gets only the
// LF: a second CR would stay glued to the last value when read back.
void CompleteLastLine(std::string* text) {
  if (text->empty() || text->back() == '\n') return;
  *text += text->back() == '\r' ? "\n" : "\r\n";
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
  const std::vector<TextLine> lines = SplitTextLines(text);
  const SectionSpan span = FindSection(text, lines, TrimSpacesAndTabs(section));
  if (span.header == std::string_view::npos) return false;
  ParsedLine parsed;
  if (FindKey(text, lines, span, TrimSpacesAndTabs(key), &parsed) == std::string_view::npos)
    return false;
  *value = std::string(Unquote(parsed.value));
  return true;
}

bool SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                     std::string_view value, std::string* updated) {
  section = TrimSpacesAndTabs(section);
  key = TrimSpacesAndTabs(key);
  if (!IsWritableSection(section) || !IsWritableKey(key)) return false;
  std::string clean_value;
  for (char c : value) {
    if (c != '\r' && c != '\n') clean_value.push_back(c);
  }

  const std::vector<TextLine> lines = SplitTextLines(text);
  const SectionSpan span = FindSection(text, lines, section);
  std::string result;
  if (span.header == std::string_view::npos) {
    result.assign(text);
    CompleteLastLine(&result);
    result += "[" + std::string(section) + "]\r\n";
    result += std::string(key) + "=" + clean_value + "\r\n";
    *updated = std::move(result);
    return true;
  }

  ParsedLine parsed;
  const std::size_t key_line = FindKey(text, lines, span, key, &parsed);
  if (key_line != std::string_view::npos) {
    // The name keeps the spelling it already has in the file.
    const TextLine& line = lines[key_line];
    result.assign(text.substr(0, line.begin));
    result += std::string(parsed.name) + "=" + clean_value;
    result.append(text.substr(line.content_end));
  } else {
    std::size_t last = span.header;
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
      if (text.find_first_not_of(" \t", lines[i].begin) < lines[i].content_end) last = i;
    }
    const TextLine& after = lines[last];
    result.assign(text.substr(0, after.end));
    CompleteLastLine(&result);
    result += std::string(key) + "=" + clean_value + "\r\n";
    result.append(text.substr(after.end));
  }
  *updated = std::move(result);
  return true;
}

std::string ReadProfileString(Env& env, const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback) {
  std::string text, value;
  if (env.ReadSharedFile(file, &text).ok() && FindProfileValue(text, section, key, &value)) {
    return value;
  }
  return fallback;
}

Status WriteProfileString(Env& env, const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) {
  std::string text, updated;
  if (Status read = env.ReadSharedFile(file, &text);
      !read.ok() && (env.FileExists(file) || env.FolderExists(file))) {
    return read;
  }
  if (!SetProfileValue(text, section, key, value, &updated)) {
    return Status(Status::Kind::kInvalidArgument, "a name that would not read back");
  }
  return env.ReplaceFile(file, updated);
}

}  // namespace tavelin
