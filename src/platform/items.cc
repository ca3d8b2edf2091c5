#include "platform/items.h"

#include <cstddef>

#include "platform/ascii_text.h"
#include "platform/codepage.h"

namespace tavelin {
namespace {

// Blanks between items: control bytes and the space. NUL counts too, so that a stray NUL in
// a header line is stepped over instead of stopping the scan where it stands.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

void SkipBlanks(std::string_view text, std::size_t* pos) {
  while (*pos < text.size() && IsBlank(text[*pos])) ++(*pos);
}

// Reads a quoted text starting at the opening quote at `*pos`; leaves `*pos` after the
// closing quote (or at the end when it is missing). `raw` receives the bytes as they stand,
// quotes included; `unquoted` the content with each doubled quote taken as one.
void ReadQuoted(std::string_view text, std::size_t* pos, std::string* raw, std::string* unquoted) {
  std::size_t i = *pos + 1;
  raw->push_back('"');
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"') {
      if (i + 1 < text.size() && text[i + 1] == '"') {
        raw->append("\"\"");
        unquoted->push_back('"');
        i += 2;
        continue;
      }
      raw->push_back('"');
      ++i;
      break;
    }
    raw->push_back(c);
    unquoted->push_back(c);
    ++i;
  }
  *pos = i;
}

// Reads an unquoted item up to a blank or a comma, keeping double-byte characters whole.
// When the first '=' of the item is directly followed by a quote, the quoted value is read
// whole, quotes kept, so that blanks and commas inside it stay in the item.
std::string ReadPlainItem(std::string_view text, std::size_t* pos) {
  std::string item;
  bool seen_equals = false;
  std::size_t i = *pos;
  while (i < text.size() && !IsBlank(text[i]) && text[i] != ',') {
    const char c = text[i];
    if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < text.size()) {
      item.append(text.substr(i, 2));
      i += 2;
      continue;
    }
    item.push_back(c);
    ++i;
    if (c == '=' && !seen_equals) {
      seen_equals = true;
      if (i < text.size() && text[i] == '"') {
        std::string ignored;
        ReadQuoted(text, &i, &item, &ignored);
      }
    }
  }
  *pos = i;
  return item;
}

}  // namespace

std::vector<std::string> SplitItems(std::string_view text) {
  std::vector<std::string> items;
  std::size_t pos = 0;
  SkipBlanks(text, &pos);
  while (pos < text.size()) {
    if (text[pos] == '"') {
      std::string raw;
      std::string unquoted;
      ReadQuoted(text, &pos, &raw, &unquoted);
      items.push_back(unquoted);
    } else {
      items.push_back(ReadPlainItem(text, &pos));
    }
    SkipBlanks(text, &pos);
    if (pos < text.size() && text[pos] == ',') {
      ++pos;
      if (pos == text.size()) items.emplace_back();
      SkipBlanks(text, &pos);
    }
  }
  return items;
}

std::string ItemValue(const std::vector<std::string>& items, std::string_view name) {
  for (const std::string& item : items) {
    const std::size_t equals = item.find('=');
    if (equals == std::string::npos) continue;
    if (SameBytesIgnoringAsciiCase(std::string_view(item).substr(0, equals), name)) {
      return item.substr(equals + 1);
    }
  }
  return std::string();
}

std::string UnquoteValue(std::string_view text) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return std::string(text);
  const std::string_view inner = text.substr(1, text.size() - 2);
  std::string result;
  result.reserve(inner.size());
  for (std::size_t i = 0; i < inner.size(); ++i) {
    result.push_back(inner[i]);
    if (inner[i] == '"' && i + 1 < inner.size() && inner[i + 1] == '"') ++i;
  }
  return result;
}

}  // namespace tavelin
