// sjis-literals INPUT OUTPUT [ORIGINAL]: writes INPUT with every narrow literal's non-ASCII
// characters as Shift-JIS escapes. A "#line" directive naming ORIGINAL (default: INPUT)
// heads the copy, so diagnostics, debug information and sanitizer reports point at the
// source that people edit. The output is replaced only when its bytes change, so an
// unchanged copy does not rebuild what includes it.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "sjis_literals.h"

namespace {

bool ReadAll(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  *bytes = all.str();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::cerr << "usage: sjis-literals INPUT OUTPUT [ORIGINAL]\n";
    return 2;
  }
  std::string input = argv[1];
  std::string output = argv[2];
  std::string original = argc == 4 ? argv[3] : input;
  std::string source;
  if (!ReadAll(input, &source)) {
    std::cerr << input << ": cannot be read\n";
    return 1;
  }
  std::string rewritten;
  std::string error;
  if (!tavelin::EscapeShiftJisLiterals(source, &rewritten, &error)) {
    std::cerr << original << ": " << error << "\n";
    return 1;
  }
  std::string text = "#line 1 \"" + original + "\"\n" + rewritten;
  std::string existing;
  if (ReadAll(output, &existing) && existing == text) return 0;
  std::string temporary = output + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) {
      std::cerr << temporary << ": cannot be written\n";
      return 1;
    }
  }
  if (std::rename(temporary.c_str(), output.c_str()) != 0) {
    std::cerr << output << ": cannot be replaced\n";
    return 1;
  }
  return 0;
}
