#include "platform/posix/registry_text.h"

#include <cstdio>
#include <vector>

#include "platform/ascii_text.h"
#include "platform/text_lines.h"

namespace tavelin::posix {
namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

std::string_view NormalizeKey(std::string_view key) {
  while (!key.empty() && key.front() == '\\') key.remove_prefix(1);
  while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
  return key;
}

// The key path of a section line below HKEY_CURRENT_USER ("" for the root itself); false
// for other lines and other roots.
bool ParseSection(std::string_view content, std::string_view* key) {
  const std::string_view line = TrimSpacesAndTabs(content);
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
  const std::string_view inner = line.substr(1, line.size() - 2);
  if (!SameBytesIgnoringAsciiCase(inner.substr(0, kRoot.size()), kRoot)) return false;
  const std::string_view rest = inner.substr(kRoot.size());
  if (!rest.empty() && rest.front() != '\\') return false;
  *key = NormalizeKey(rest);
  return true;
}

bool IsSectionLine(std::string_view content) {
  const std::string_view line = TrimSpacesAndTabs(content);
  return !line.empty() && line.front() == '[';
}

// Reads a quoted text starting at s[*pos] == '"', undoing \\ and \" escapes; leaves *pos
// after the closing quote. False when the quote is never closed.
bool ReadQuoted(std::string_view s, std::size_t* pos, std::string* out) {
  if (*pos >= s.size() || s[*pos] != '"') return false;
  out->clear();
  for (std::size_t i = *pos + 1; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
      out->push_back(s[++i]);
    } else if (s[i] == '"') {
      *pos = i + 1;
      return true;
    } else {
      out->push_back(s[i]);
    }
  }
  return false;
}

struct ValueLine {
  std::string name;
  std::string_view data;  // what follows the '=', trimmed
};

bool ParseValue(std::string_view content, ValueLine* value) {
  const std::string_view line = TrimSpacesAndTabs(content);
  std::size_t pos = 0;
  if (!line.empty() && line.front() == '@') {
    value->name.clear();
    pos = 1;
  } else if (!ReadQuoted(line, &pos, &value->name)) {
    return false;
  }
  const std::string_view rest = TrimSpacesAndTabs(line.substr(pos));
  if (rest.empty() || rest.front() != '=') return false;
  value->data = TrimSpacesAndTabs(rest.substr(1));
  return true;
}

bool ParseStringData(std::string_view data, std::string* out) {
  std::size_t pos = 0;
  return ReadQuoted(data, &pos, out) && pos == data.size();
}

bool ParseDwordData(std::string_view data, uint32_t* out) {
  constexpr std::string_view kPrefix = "dword:";
  if (!SameBytesIgnoringAsciiCase(data.substr(0, kPrefix.size()), kPrefix)) return false;
  const std::string_view digits = data.substr(kPrefix.size());
  if (digits.empty() || digits.size() > 8) return false;
  uint32_t result = 0;
  for (char c : digits) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return false;
    result = (result << 4) | static_cast<uint32_t>(digit);
  }
  *out = result;
  return true;
}

// An expandable string as an export writes it: hex(2): and the text's bytes (UTF-8 in this
// file) as comma-separated hexadecimal pairs, ending in a zero byte. The text is taken as it
// stands; nothing is expanded.
bool ParseExpandData(std::string_view data, std::string* out) {
  constexpr std::string_view kPrefix = "hex(2):";
  if (!SameBytesIgnoringAsciiCase(data.substr(0, kPrefix.size()), kPrefix)) return false;
  std::string bytes;
  std::string_view rest = data.substr(kPrefix.size());
  while (!(rest = TrimSpacesAndTabs(rest)).empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view pair = TrimSpacesAndTabs(rest.substr(0, comma));
    if (pair.size() != 2 || HexDigitValue(pair[0]) < 0 || HexDigitValue(pair[1]) < 0) {
      return false;
    }
    bytes.push_back(static_cast<char>(HexDigitValue(pair[0]) * 16 + HexDigitValue(pair[1])));
    if (comma == std::string_view::npos) break;
    rest = rest.substr(comma + 1);
  }
  *out = bytes.substr(0, bytes.find('\0'));
  return true;
}

std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string NameToken(std::string_view name) { return name.empty() ? "@" : Quote(name); }

bool Storable(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace

struct RegistryText::Found {
  std::size_t line_begin = 0;  // the value's line, when found
  std::size_t line_content_end = 0;
  std::string name;  // as spelt in the file
  std::string_view data;
  bool have_section = false;
  std::size_t insert_at = 0;  // after the last non-blank line of the last matching section
};

RegistryText::RegistryText(std::string text) : text_(std::move(text)) {}

// Scans every section of `key`; the last occurrence of `name` wins, as it would when the
// file is imported.
bool RegistryText::Find(std::string_view key, std::string_view name, Found* found) const {
  key = NormalizeKey(key);
  const std::vector<TextLine> lines = SplitTextLines(text_);
  bool in_key = false;
  bool have_value = false;
  for (const TextLine& line : lines) {
    const std::string_view content(text_.data() + line.begin, line.content_end - line.begin);
    if (IsSectionLine(content)) {
      std::string_view section;
      in_key = ParseSection(content, &section) && SameBytesIgnoringAsciiCase(section, key);
      if (in_key) {
        found->have_section = true;
        found->insert_at = line.end;
      }
      continue;
    }
    if (!in_key) continue;
    if (!TrimSpacesAndTabs(content).empty()) found->insert_at = line.end;
    ValueLine value;
    if (ParseValue(content, &value) && SameBytesIgnoringAsciiCase(value.name, name)) {
      have_value = true;
      found->line_begin = line.begin;
      found->line_content_end = line.content_end;
      found->name = value.name;
      found->data = value.data;
    }
  }
  return have_value;
}

bool RegistryText::KeyExists(std::string_view key) const {
  key = NormalizeKey(key);
  for (const TextLine& line : SplitTextLines(text_)) {
    std::string_view section;
    const std::string_view content(text_.data() + line.begin, line.content_end - line.begin);
    if (!ParseSection(content, &section)) continue;
    if (key.empty() || SameBytesIgnoringAsciiCase(section, key) ||
        (section.size() > key.size() && section[key.size()] == '\\' &&
         SameBytesIgnoringAsciiCase(section.substr(0, key.size()), key))) {
      return true;
    }
  }
  return false;
}

bool RegistryText::ReadString(std::string_view key, std::string_view name,
                              std::string* value) const {
  Found found;
  if (!Find(key, name, &found)) return false;
  if (ParseStringData(found.data, value)) return true;
  // Long hexadecimal data goes on over lines that end in a backslash.
  std::string data(found.data);
  std::size_t next = text_.find('\n', found.line_content_end);
  while (!data.empty() && data.back() == '\\' && next != std::string::npos) {
    data.pop_back();
    const std::size_t end = text_.find('\n', next + 1);
    std::string_view line = std::string_view(text_).substr(next + 1, end - next - 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    data.append(TrimSpacesAndTabs(line));
    next = end;
  }
  return ParseExpandData(data, value);
}

bool RegistryText::ReadDword(std::string_view key, std::string_view name, uint32_t* value) const {
  Found found;
  return Find(key, name, &found) && ParseDwordData(found.data, value);
}

bool RegistryText::WriteString(std::string_view key, std::string_view name,
                               std::string_view value) {
  if (!Storable(value)) return false;
  return WriteData(key, name, Quote(value));
}

bool RegistryText::WriteDword(std::string_view key, std::string_view name, uint32_t value) {
  char data[16];
  std::snprintf(data, sizeof data, "dword:%08x", static_cast<unsigned>(value));
  return WriteData(key, name, data);
}

bool RegistryText::WriteData(std::string_view key, std::string_view name, const std::string& data) {
  key = NormalizeKey(key);
  if (key.empty() || !Storable(key) || !Storable(name) || key.find(']') != std::string::npos) {
    return false;
  }
  const std::string newline = text_.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  Found found;
  if (Find(key, name, &found)) {
    const std::string line = NameToken(found.name) + "=" + data;
    text_.replace(found.line_begin, found.line_content_end - found.line_begin, line);
    return true;
  }
  const std::string line = NameToken(name) + "=" + data + newline;
  // A line cut short by a lone CR is completed with LF only: another CR would stay on it and
  // a section line ending in it would no longer read as one.
  auto line_end_after = [&](std::size_t at) -> std::string {
    if (at > 0 && text_[at - 1] == '\n') return "";
    return at > 0 && text_[at - 1] == '\r' ? "\n" : newline;
  };
  if (found.have_section) {
    text_.insert(found.insert_at, line_end_after(found.insert_at) + line);
    return true;
  }
  if (text_.empty()) text_ = "REGEDIT4" + newline;
  text_ += line_end_after(text_.size());
  if (text_.size() < 2 * newline.size() ||
      text_.compare(text_.size() - 2 * newline.size(), 2 * newline.size(), newline + newline) !=
          0) {
    text_ += newline;  // a blank line between sections, as regedit writes them
  }
  text_ += "[" + std::string(kRoot) + "\\" + std::string(key) + "]" + newline + line;
  return true;
}

}  // namespace tavelin::posix
