// Splitting a text file held in memory into lines ending in LF or CR LF.
#ifndef TAVELIN_PLATFORM_TEXT_LINES_H_
#define TAVELIN_PLATFORM_TEXT_LINES_H_

#include <cstddef>
#include <string_view>
#include <vector>

namespace tavelin {

// Byte offsets of one line in the text it was split from.
struct TextLine {
  std::size_t begin = 0;
  std::size_t content_end = 0;  // before the CR LF or LF
  std::size_t end = 0;          // after the line end
};

// The lines of `text`; the last one may lack a line end. An empty text has no lines.
std::vector<TextLine> SplitTextLines(std::string_view text);

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_TEXT_LINES_H_
