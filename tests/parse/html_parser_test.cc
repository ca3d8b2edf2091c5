#include "parse/html_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_env.h"

namespace tavelin {
namespace {

// The items of a page, one per entry: "<NAME>" for a tag, the decoded text otherwise.
std::vector<std::string> Tokens(const std::string& page) {
  THTMLParser parser;
  parser.SetText(page);
  parser.Execute();
  std::vector<std::string> out;
  for (const THTMLElement item : parser.Items()) {
    if (item.IsTag()) {
      out.push_back("<" + item.AsTag().Name() + ">");
    } else {
      out.push_back(item.AsText().Text());
    }
  }
  return out;
}

using Strings = std::vector<std::string>;

TEST(HtmlLinesTest, SplitsAtEveryKindOfLineEndAndStopsAtZeroByte) {
  THTMLParser parser;
  const char page[] = "a\r\nb\rc\nd\n\ne\0f\ng";
  parser.SetText(std::string(page, sizeof(page) - 1));
  EXPECT_EQ(parser.Lines(), (Strings{"a", "b", "c", "d", "", "e"}));
  parser.SetText("one\r\n");
  EXPECT_EQ(parser.Lines(), (Strings{"one"}));
  parser.SetText("");
  EXPECT_TRUE(parser.Lines().empty());
}

TEST(HtmlScanTest, ElementOrderAndLineBreaks) {
  struct Case {
    const char* page;
    Strings tokens;
  } cases[] = {
      // A line break between tags gives no text; inside text it becomes a space.
      {"<tr>\n<td>", {"<TR>", "<TD>"}},
      {"<td>one\ntwo</td>", {"<TD>", "one two", "</TD>"}},
      // Text at the end of a line keeps the line feed as a trailing space.
      {"<b>x\n<i>", {"<B>", "x ", "<I>"}},
      // A tag spanning lines is joined without a separator.
      {"<td\nnowrap>", {"<TDNOWRAP>"}},
      // '<' inside a tag is dropped and the tag goes on.
      {"<a<b>", {"<AB>"}},
      // '>' outside a tag: an empty tag, and the text around it stays one element after it.
      {"x>y<p>", {"<>", "xy", "<P>"}},
      // A comment ends at its first '>'; the rest is text, its '>' an empty tag.
      {"<!-- a > b -->c", {"<!-->", "<>", " b --c "}},
      // Unterminated tag at the end is still emitted; a lone '<' at the end emits nothing.
      {"t<td", {"t", "<TD>"}},
      {"t<", {"t"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Tokens(c.page), c.tokens) << c.page;
  }
}

TEST(HtmlScanTest, ExecuteAppendsToExistingItems) {
  THTMLParser parser;
  parser.SetText("<p>a");
  parser.Execute();
  parser.Execute();
  ASSERT_EQ(parser.Count(), 4);
  EXPECT_TRUE(parser.Item(2).IsTag());
  EXPECT_TRUE(parser.Item(3).IsText());
}

TEST(HtmlScanTest, TextKeepsRawWithInsertedLineFeeds) {
  THTMLParser parser;
  parser.SetText("a  &amp;\nb<p>");
  parser.Execute();
  ASSERT_TRUE(parser.Item(0).IsText());
  const THTMLText text = parser.Item(0).AsText();
  EXPECT_EQ(text.Raw(), "a  &amp;\nb");
  EXPECT_EQ(text.Text(), "a & b");
}

TEST(HtmlTagTest, NameAndParameters) {
  THTMLTag td("td nowrap");
  EXPECT_EQ(td.Name(), "TD");
  ASSERT_EQ(td.Params().size(), 1u);
  EXPECT_EQ(td.Params()[0].Name(), "NOWRAP");
  EXPECT_EQ(td.Params()[0].Value(), "");
  EXPECT_EQ(THTMLTag("/td").Name(), "/TD");
  EXPECT_EQ(THTMLTag("td nowrap").Raw(), "td nowrap");

  // Double quotes keep a space inside one parameter; single quotes do not.
  THTMLTag quoted(R"(a href="b c.htm"  title='x y' id=7)");
  ASSERT_EQ(quoted.Params().size(), 4u);
  EXPECT_EQ(quoted.Params()[0].Name(), "HREF");
  EXPECT_EQ(quoted.Params()[0].Value(), "b c.htm");
  EXPECT_EQ(quoted.Params()[0].Raw(), R"(href="b c.htm")");
  EXPECT_EQ(quoted.Params()[1].Value(), "'x");
  EXPECT_EQ(quoted.Params()[2].Name(), "Y'");
  EXPECT_EQ(quoted.Params()[3].Value(), "7");

  // Only a space separates; the value runs from the first '='.
  THTMLTag tabbed("td\tclass=a=b");
  EXPECT_EQ(tabbed.Name(), "TD\tCLASS=A=B");
  EXPECT_TRUE(tabbed.Params().empty());
  THTMLTag eq("img src=a=b");
  EXPECT_EQ(eq.Params()[0].Value(), "a=b");
}

TEST(HtmlTagTest, QuoteRemovalNeedsBothEnds) {
  struct Case {
    const char* raw;
    const char* value;
  } cases[] = {{R"(x="")", ""}, {R"(x=")", "\""}, {R"(x="a)", "\"a"}, {R"(x=a")", "a\""}};
  for (const Case& c : cases) EXPECT_EQ(THTMLParam(c.raw).Value(), c.value) << c.raw;
}

TEST(HtmlTagTest, UpperCasingLeavesDoubleByteCharactersAlone) {
  // 0x83 0x61 is a katakana whose second byte is the letter 'a'.
  THTMLTag tag("x\x83\x61y");
  EXPECT_EQ(tag.Name(), "X\x83\x61Y");
}

TEST(HtmlDecodeTest, References) {
  struct Case {
    const char* raw;
    const char* text;
  } cases[] = {
      {"&amp;", "&"},
      {"&lt;b&gt;", "<b>"},
      {"&amp;lt;", "&lt;"},  // the decoded '&' does not start a new reference
      {"&quot;x&quot;", "\"x\""},
      {"&#65;", "A"},
      {"&#x41;", "A"},
      {"&#X41;", "A"},
      {"&#65 B", "AB"},        // a space ends the reference and is consumed
      {"&#0065;", "&#0065;"},  // four digit bytes
      {"&#x041;", "&#x041;"},  // the x counts as a digit byte
      {"&#+65;", "A"},
      {"&#10;", " "},
      {"&#0;", " "},
      {"&#160;", " "},
      {"&#177;", "\xB1"},
      {"&#xFF;", "\xFF"},
      {"&#;", "&#;"},
      {"&#x;", "&#x;"},
      {"&#6a;", "&#6a;"},
      {"&#999;", "&#999;"},  // outside the byte range: unchanged
      {"&#-1;", "&#-1;"},
      {"&AMP;", "&AMP;"},    // names are case-sensitive
      {"&amp x", "&amp x"},  // a name needs its ';'
      {"&amp", "&amp"},
      {"&foo;", "&foo;"},
      {"&a&amp;", "&a&"},  // a second '&' abandons the first reference
      {"&copy;&plusmn;&yuml;", "\xA9\xB1\xFF"},
      {"&iexcl;&Agrave;&THORN;&szlig;", "\xA1\xC0\xDE\xDF"},
      {"&nbsp;&nbsp;", "  "},  // folding happens before decoding
      {"a  \n  b", "a b"},
      {"a\t\tb", "a\t\tb"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeHtmlText(c.raw), c.text) << c.raw;
}

TEST(HtmlDecodeTest, DoubleByteTextPassesThrough) {
  EXPECT_EQ(DecodeHtmlText("予約&amp;録画"), "予約&録画");
}

TEST(HtmlListTest, RawBytesOfJoinedElementsAndIndexedAccess) {
  struct Case {
    const char* page;
    std::vector<std::string> raws;  // "<raw>" for a tag
  } cases[] = {
      // Tags spanning lines, a '<' dropped inside a tag, a stray '>' inside text, and a last
      // line without its line end: each element's bytes are joined as the scan saw them.
      {"<td\nno\r\nwrap>x", {"<tdnowrap>", "x\n"}},
      {"<a<b c>", {"<ab c>"}},
      {"x>y>z<p>", {"<>", "<>", "xyz", "<p>"}},
      {"<b>one\r\ntwo", {"<b>", "one\ntwo\n"}},
  };
  for (const Case& c : cases) {
    THTMLParser parser;
    parser.SetText(c.page);
    parser.Execute();
    std::vector<std::string> raws;
    for (const THTMLElement item : parser.Items()) {
      const std::string raw(item.Raw());
      raws.push_back(item.IsTag() ? "<" + raw + ">" : raw);
    }
    EXPECT_EQ(raws, c.raws) << c.page;
  }

  // Item() agrees with the walk far from the start, and refuses indexes outside the list.
  std::string page;
  for (int i = 0; i < 300; ++i) page += "<td\nx" + std::to_string(i) + ">t" + std::to_string(i);
  THTMLParser parser;
  parser.SetText(page);
  parser.Execute();
  ASSERT_EQ(parser.Count(), 600);
  int index = 0;
  for (const THTMLElement item : parser.Items()) {
    EXPECT_EQ(parser.Item(index).Raw(), item.Raw()) << index;
    EXPECT_EQ(parser.Item(index).IsTag(), index % 2 == 0);
    ++index;
  }
  EXPECT_EQ(parser.Item(599).AsText().Text(), "t299 ");
  EXPECT_THROW(parser.Item(600), std::out_of_range);
  EXPECT_THROW(parser.Item(-1), std::out_of_range);
}

TEST(HtmlListTest, ANewPageKeepsTheElementsFoundBefore) {
  THTMLParser parser;
  parser.SetText("<td nowrap>first");
  parser.Execute();
  parser.SetText("<img src=\"a b\">second\r\n");
  EXPECT_EQ(parser.Lines(), (Strings{"<img src=\"a b\">second"}));
  parser.Execute();
  EXPECT_EQ(Strings({parser.Item(0).AsTag().Name(), parser.Item(1).AsText().Text(),
                     parser.Item(2).AsTag().Name(), parser.Item(3).AsText().Text()}),
            (Strings{"TD", "first ", "IMG", "second "}));
  EXPECT_EQ(parser.Item(2).AsTag().Params().at(0).Value(), "a b");
}

// Hostile pages of a megabyte: nothing may crash, and a scan that rescanned or erased from
// the middle of the text would not finish within the suite's time limit.
TEST(HtmlScanTest, HugeUnterminatedConstructs) {
  const std::size_t size = 1 << 20;
  EXPECT_EQ(Tokens("<" + std::string(size, 'a')).size(), 1u);
  std::string refs = "x";
  while (refs.size() < size) refs += "&amp;&#65;&#";
  std::vector<std::string> tokens = Tokens(refs);
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0].substr(0, 7), "x&A&#&A");
  EXPECT_EQ(Tokens(std::string(size, '&')).at(0), std::string(size, '&') + ' ');
  EXPECT_EQ(Tokens(std::string(size, '>')).size(), size);
  EXPECT_EQ(Tokens("<a " + std::string(size, '"') + ">").size(), 1u);
}

}  // namespace
}  // namespace tavelin
