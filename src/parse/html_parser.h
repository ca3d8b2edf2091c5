// A small, forgiving HTML tokenizer: turns a page of Shift-JIS text into a flat list of tag and
// text elements in document order. It builds no tree and knows no element's meaning; comments,
// scripts and declarations come out as tags like any other. Only ASCII bytes are significant,
// so double-byte characters pass through untouched.
//
//   THTMLParser parser;
//   parser.SetText(bytes);
//   parser.Execute();
//   for (const THTMLElement item : parser.Items())
//     if (item.IsTag()) ... item.AsTag().Name() ...
//
// The list is compact: the parser keeps the page once, and each element is a few bytes that
// locate its text in the page (or, for the rare element whose bytes are not contiguous there,
// in one side buffer). Elements, tags, parameters and texts are views into the parser: they
// stay valid until the parser's next SetText() or Execute(), or its end.
// Tag names, parameter names and decoded texts are made when asked for.
#ifndef TAVELIN_PARSE_HTML_PARSER_H_
#define TAVELIN_PARSE_HTML_PARSER_H_

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace tavelin {

// One parameter of a tag: `name=value`, `name="value"` or a bare `name`. A view of the
// parameter's bytes.
class THTMLParam {
 public:
  explicit THTMLParam(std::string_view raw);

  // The part before the first '=' (or all of the text), upper-cased.
  std::string Name() const;
  // True when Name() would equal `upper_name` (given in upper case), without making it.
  bool NameIs(std::string_view upper_name) const;
  // Everything after the first '=', without one pair of enclosing double quotes; empty when
  // there is no '='.
  std::string_view Value() const { return value_; }
  std::string_view Raw() const { return raw_; }

 private:
  std::string_view raw_;
  std::string_view name_;
  std::string_view value_;
};

// A tag: the text found between '<' and '>'. A view of those bytes.
class THTMLTag {
 public:
  explicit THTMLTag(std::string_view raw) : raw_(raw) {}

  // The bytes before the first space, upper-cased; an end tag keeps its slash ("/TD").
  std::string Name() const;
  // True when Name() would equal `upper_name` (given in upper case), without making it.
  bool NameIs(std::string_view upper_name) const;
  // The parameters, cut from the bytes after the first space when asked for.
  std::vector<THTMLParam> Params() const;
  std::string_view Raw() const { return raw_; }

 private:
  std::string_view raw_;
};

// A text: the bytes between two tags, with a line feed for every line end inside. A view of
// those bytes.
class THTMLText {
 public:
  explicit THTMLText(std::string_view raw) : raw_(raw) {}

  // Line feeds turned into spaces, runs of spaces folded to one, character references
  // replaced; decoded when asked for.
  std::string Text() const;
  std::string_view Raw() const { return raw_; }

 private:
  std::string_view raw_;
};

// The text decoding of THTMLText::Text(), available on its own.
std::string DecodeHtmlText(std::string_view raw);

// One element of the token list: a tag or a text.
class THTMLElement {
 public:
  THTMLElement(bool is_tag, std::string_view raw) : is_tag_(is_tag), raw_(raw) {}

  bool IsTag() const { return is_tag_; }
  bool IsText() const { return !is_tag_; }
  // The element as a tag or as a text; ask IsTag() first.
  THTMLTag AsTag() const { return THTMLTag(raw_); }
  THTMLText AsText() const { return THTMLText(raw_); }
  std::string_view Raw() const { return raw_; }

 private:
  bool is_tag_;
  std::string_view raw_;
};

class THTMLParser {
 public:
  class Iterator;
  // The elements in document order, for range-for.
  class Range {
   public:
    Iterator begin() const;
    Iterator end() const;
    std::size_t size() const;

   private:
    friend class THTMLParser;
    explicit Range(const THTMLParser* parser) : parser_(parser) {}
    const THTMLParser* parser_;
  };

  THTMLParser() = default;
  THTMLParser(const THTMLParser&) = delete;
  THTMLParser& operator=(const THTMLParser&) = delete;

  // The page, one line per entry, without line ends (made when asked for).
  std::vector<std::string> Lines() const;

  // Takes `bytes` as the page: a line ends at CR, LF or CR LF; a zero byte ends the text.
  // The elements found so far stay.
  void SetText(std::string bytes);

  // Scans the page and appends the elements found to Items(), which is not cleared first.
  // Linear in the size of the page for any input.
  void Execute();

  Range Items() const { return Range(this); }
  int Count() const { return static_cast<int>(count_); }
  // The element at `index` (0-based); throws std::out_of_range outside the list.
  THTMLElement Item(int index) const;

 private:
  // Where an element's bytes are: in the page, or in the side buffer.
  struct Cursor {
    std::size_t list_offset = 0;  // next encoded element in list_
    std::size_t page_offset = 0;  // end of the last element that lies in the page
    std::size_t side_offset = 0;  // end of the last element that lies in side_
  };
  class Pending;

  // The element at `cursor`, which then moves to the next one. Inline: a walk over the
  // list is mostly this.
  THTMLElement Decode(Cursor* cursor) const {
    const uint64_t head = GetNumber(&cursor->list_offset);
    if (head & kEmpty) return THTMLElement(head & kIsTag, std::string_view());
    const std::size_t size = GetNumber(&cursor->list_offset);
    const bool in_side = head & kInSide;
    std::size_t& previous_end = in_side ? cursor->side_offset : cursor->page_offset;
    const uint64_t distance = head >> kFlagBits;  // zigzag-coded
    const std::size_t begin =
        previous_end + static_cast<std::size_t>((distance >> 1) ^ (0 - (distance & 1)));
    previous_end = begin + size;
    const std::string& bytes = in_side ? side_ : page_;
    return THTMLElement(head & kIsTag, std::string_view(bytes.data() + begin, size));
  }
  uint64_t GetNumber(std::size_t* offset) const {
    uint64_t byte = static_cast<unsigned char>(list_[(*offset)++]);
    if (byte < 0x80) return byte;  // most numbers of the list take one byte
    uint64_t value = byte & 0x7F;
    for (int shift = 7;; shift += 7) {
      byte = static_cast<unsigned char>(list_[(*offset)++]);
      value |= (byte & 0x7F) << shift;
      if (byte < 0x80) return value;
    }
  }
  void Append(bool is_tag, Pending& pending);
  // 2 for a CR LF at `at`, 1 for any other byte, 0 at the end of the pages.
  std::size_t LineEndSize(std::size_t at) const;

  static constexpr uint64_t kIsTag = 1;
  static constexpr uint64_t kInSide = 2;
  static constexpr uint64_t kEmpty = 4;
  static constexpr int kFlagBits = 3;

  // The pages given so far, each as given up to a zero byte, one after the other (with a line
  // end between); the current one starts at page_start_.
  std::string page_;
  std::size_t page_start_ = 0;
  // Bytes of elements that are not contiguous in the page (a tag spanning lines, a text with
  // a stray '>' inside or a CR line end), one after the other.
  std::string side_;
  // The elements, each as one or two variable-length numbers: (distance from the previous
  // element's end, zigzag-coded) << 3 | empty << 2 | in side buffer << 1 | is tag, then,
  // unless it is empty, the size of its bytes. An empty tag ("<>", a stray '>') takes one
  // byte, a usual element two.
  std::string list_;
  std::size_t count_ = 0;
  // The cursor before every kCheckpointEvery-th element, for Item().
  static constexpr std::size_t kCheckpointEvery = 64;
  std::vector<Cursor> checkpoints_;
  Cursor end_;  // the cursor after the last element
};

class THTMLParser::Iterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = THTMLElement;
  using difference_type = std::ptrdiff_t;
  using pointer = void;
  using reference = THTMLElement;

  THTMLElement operator*() const { return current_; }
  Iterator& operator++() {
    Advance();
    return *this;
  }
  bool operator==(const Iterator& other) const { return index_ == other.index_; }
  bool operator!=(const Iterator& other) const { return index_ != other.index_; }

 private:
  friend class THTMLParser;
  Iterator(const THTMLParser* parser, std::size_t index, const Cursor& cursor)
      : parser_(parser), index_(index), cursor_(cursor), current_(false, {}) {
    if (index_ < parser_->count_) current_ = parser_->Decode(&cursor_);
  }
  void Advance() {
    ++index_;
    if (index_ < parser_->count_) current_ = parser_->Decode(&cursor_);
  }

  const THTMLParser* parser_;
  std::size_t index_;
  Cursor cursor_;
  THTMLElement current_;
};

}  // namespace tavelin

#endif  // TAVELIN_PARSE_HTML_PARSER_H_
