// Rewrites C++ source text so that its narrow string and character literals no longer depend
// on the compiler's execution character set: every non-ASCII character inside such a literal
// becomes "\x.." escapes of its Shift-JIS (code page 932) bytes. Everything else (comments,
// code, prefixed literals, line breaks) stays byte for byte, so line numbers are kept.
//
// This lets compilers without a Shift-JIS execution character set (clang) build the program
// with the same literal bytes that g++ gives with -fexec-charset=CP932.
#ifndef TAVELIN_TOOLS_SJIS_LITERALS_SJIS_LITERALS_H_
#define TAVELIN_TOOLS_SJIS_LITERALS_SJIS_LITERALS_H_

#include <string>
#include <string_view>

namespace tavelin {

// The rewritten text of UTF-8 `source`. False, with a message naming the line in `error`,
// when a literal holds a character that Shift-JIS cannot hold, invalid UTF-8, or non-ASCII
// text in a raw literal (which cannot carry escapes).
bool EscapeShiftJisLiterals(std::string_view source, std::string* rewritten, std::string* error);

}  // namespace tavelin

#endif  // TAVELIN_TOOLS_SJIS_LITERALS_SJIS_LITERALS_H_
