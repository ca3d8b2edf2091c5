#include "platform/text_lines.h"

namespace tavelin {

std::vector<TextLine> SplitTextLines(std::string_view text) {
  std::vector<TextLine> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    TextLine line;
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

}  // namespace tavelin
