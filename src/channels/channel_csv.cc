#include "channels/channel_csv.h"

#include "platform/codepage.h"

namespace tavelin {
namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// Reads the fields of one line: a quoted text is a value (two quotes inside stand for one,
// and the byte after the closing quote is consumed); a comma met before any quote ends a
// null field; other bytes are skipped. At most `limit` fields.
std::vector<ChannelValue> ReadLineFields(std::string_view line, std::size_t limit) {
  std::vector<ChannelValue> fields;
  std::size_t i = 0;
  while (fields.size() < limit) {
    while (i < line.size() && line[i] != '"' && line[i] != ',') ++i;
    if (i >= line.size()) break;
    if (line[i] == ',') {
      fields.emplace_back(std::nullopt);
      ++i;
      continue;
    }
    std::string value;
    ++i;
    while (i < line.size()) {
      if (line[i] == '"') {
        if (i + 1 < line.size() && line[i + 1] == '"') {
          value.push_back('"');
          i += 2;
          continue;
        }
        break;
      }
      value.push_back(line[i++]);
    }
    i += 2;  // the closing quote and the byte after it
    fields.emplace_back(std::move(value));
  }
  return fields;
}

std::vector<std::string_view> SplitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  std::size_t i = 0;
  while (i < bytes.size()) {
    while (i < bytes.size() && IsLineEnd(bytes[i])) ++i;
    std::size_t start = i;
    while (i < bytes.size() && !IsLineEnd(bytes[i])) ++i;
    if (i > start) lines.push_back(bytes.substr(start, i - start));
  }
  return lines;
}

void AppendQuoted(std::string_view value, std::string* out) {
  out->push_back('"');
  for (char c : EscapeChannelValue(value)) {
    if (c == '"') out->push_back('"');
    out->push_back(c);
  }
  out->push_back('"');
}

}  // namespace

std::string CutToSize(std::string_view value, std::size_t size) {
  return std::string(value.substr(0, size));
}

std::string EscapeChannelValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    switch (c) {
      case '\0':
        out += "%0";
        break;
      case '\n':
        out += "%n";
        break;
      case '\r':
        out += "%c";
        break;
      case '%':
        out += "%%";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::string UnescapeChannelValue(std::string_view escaped) {
  std::string out;
  out.reserve(escaped.size());
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    char c = escaped[i];
    if (c == '%' && i + 1 < escaped.size()) {
      char next = escaped[i + 1];
      char decoded = next == '0' ? '\0' : next == 'n' ? '\n' : next == 'c' ? '\r' : next;
      if (next == '0' || next == 'n' || next == 'c' || next == '%') {
        out.push_back(decoded);
        ++i;
        continue;
      }
    }
    out.push_back(c);
  }
  return out;
}

std::vector<ChannelRecord> ReadChannelCsv(std::string_view bytes,
                                          const std::vector<ChannelFieldDef>& fields) {
  std::vector<ChannelRecord> records;
  std::vector<std::string_view> lines = SplitLines(bytes);
  if (lines.empty()) return records;

  // Each header column names the field it fills, or -1 when it is ignored.
  std::vector<int> column_field;
  for (const ChannelValue& header : ReadLineFields(lines[0], std::string_view::npos)) {
    int field = -1;
    if (!header) {
      if (column_field.size() < fields.size()) field = static_cast<int>(column_field.size());
    } else {
      std::string wanted = UpperAsciiText(*header);
      for (std::size_t f = 0; f < fields.size(); ++f) {
        if (UpperAsciiText(fields[f].header) == wanted) {
          field = static_cast<int>(f);
          break;
        }
      }
    }
    column_field.push_back(field);
  }

  for (std::size_t l = 1; l < lines.size(); ++l) {
    ChannelRecord record(fields.size());
    std::vector<ChannelValue> values = ReadLineFields(lines[l], column_field.size());
    for (std::size_t column = 0; column < values.size(); ++column) {
      int field = column_field[column];
      if (field < 0 || !values[column]) continue;
      record[field] = CutToSize(UnescapeChannelValue(*values[column]), fields[field].size);
    }
    records.push_back(std::move(record));
  }
  return records;
}

std::string WriteChannelCsv(const std::vector<ChannelRecord>& records,
                            const std::vector<ChannelFieldDef>& fields) {
  std::string out;
  for (std::size_t f = 0; f < fields.size(); ++f) {
    if (f > 0) out.push_back(',');
    AppendQuoted(fields[f].header, &out);
  }
  out += ",\r\n";
  for (const ChannelRecord& record : records) {
    for (std::size_t f = 0; f < fields.size(); ++f) {
      if (f > 0) out.push_back(',');
      if (f < record.size() && record[f]) AppendQuoted(*record[f], &out);
    }
    out += ",\r\n";
  }
  return out;
}

}  // namespace tavelin
