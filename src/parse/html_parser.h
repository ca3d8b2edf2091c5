// A small, forgiving HTML tokenizer: turns a page of Shift-JIS text into a flat list of tag and
// text elements in document order. It builds no tree and knows no element's meaning; comments,
// scripts and declarations come out as tags like any other. Only ASCII bytes are significant,
// so double-byte characters pass through untouched.
//
//   THTMLParser parser;
//   parser.LoadFromFile(env, path);   // or parser.SetText(bytes)
//   parser.Execute();
//   for (const auto& item : parser.Items())
//     if (const THTMLTag* tag = item->AsTag()) ...
#ifndef TAVELIN_PARSE_HTML_PARSER_H_
#define TAVELIN_PARSE_HTML_PARSER_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"

namespace tavelin {

class THTMLTag;
class THTMLText;

// One element of the token list: either a tag or a text.
class THTMLElement {
 public:
  virtual ~THTMLElement() = default;
  // The element as a tag or a text; null when it is the other kind.
  virtual const THTMLTag* AsTag() const { return nullptr; }
  virtual const THTMLText* AsText() const { return nullptr; }
  bool IsTag() const { return AsTag() != nullptr; }
  bool IsText() const { return AsText() != nullptr; }
};

// One parameter of a tag: `name=value`, `name="value"` or a bare `name`.
class THTMLParam {
 public:
  // Parses the parameter text as found in the tag.
  explicit THTMLParam(std::string_view raw);

  // The part before the first '=' (or all of the text), upper-cased.
  const std::string& Name() const { return name_; }
  // Everything after the first '=', without one pair of enclosing double quotes; empty when
  // there is no '='.
  const std::string& Value() const { return value_; }
  const std::string& Raw() const { return raw_; }

 private:
  std::string raw_;
  std::string name_;
  std::string value_;
};

class THTMLTag : public THTMLElement {
 public:
  // Parses the text found between '<' and '>'.
  explicit THTMLTag(std::string_view raw);

  const THTMLTag* AsTag() const override { return this; }

  // The bytes before the first space, upper-cased; an end tag keeps its slash ("/TD").
  const std::string& Name() const { return name_; }
  const std::vector<THTMLParam>& Params() const { return params_; }
  const std::string& Raw() const { return raw_; }

 private:
  std::string raw_;
  std::string name_;
  std::vector<THTMLParam> params_;
};

class THTMLText : public THTMLElement {
 public:
  // Decodes the text found between tags (line feeds included).
  explicit THTMLText(std::string raw);

  const THTMLText* AsText() const override { return this; }

  // Line feeds turned into spaces, runs of spaces folded to one, character references
  // replaced.
  const std::string& Text() const { return text_; }
  const std::string& Raw() const { return raw_; }

 private:
  std::string raw_;
  std::string text_;
};

// The text decoding of THTMLText::Text(), available on its own.
std::string DecodeHtmlText(std::string_view raw);

class THTMLParser {
 public:
  THTMLParser() = default;
  ~THTMLParser();
  THTMLParser(const THTMLParser&) = delete;
  THTMLParser& operator=(const THTMLParser&) = delete;

  // The page, one line per entry, without line ends.
  std::vector<std::string>& Lines() { return lines_; }
  const std::vector<std::string>& Lines() const { return lines_; }

  // Replaces Lines() with the lines of `bytes`: a line ends at CR, LF or CR LF; a zero byte
  // ends the text.
  void SetText(std::string_view bytes);
  // SetText() with the bytes of a file. Throws std::runtime_error ("ファイル <path> は開けません")
  // when the file cannot be read; Lines() is then unchanged.
  void LoadFromFile(Env& env, const std::string& path);

  // Scans Lines() and appends the elements found to Items(), which is not cleared first.
  // Linear in the size of the page for any input.
  void Execute();

  const std::vector<std::unique_ptr<THTMLElement>>& Items() const { return items_; }
  int Count() const { return static_cast<int>(items_.size()); }
  const THTMLElement& Item(int index) const { return *items_.at(index); }

 private:
  void EmitText();
  void EmitTag();

  std::vector<std::string> lines_;
  std::vector<std::unique_ptr<THTMLElement>> items_;
  // Scanning state of Execute().
  std::string pending_text_;
  std::string pending_tag_;
  bool in_tag_ = false;
};

}  // namespace tavelin

#endif  // TAVELIN_PARSE_HTML_PARSER_H_
