#include "platform/items.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavelin {
namespace {

using Items = std::vector<std::string>;

struct SplitCase {
  std::string text;
  Items items;
};

TEST(SplitItemsTest, SplitsOnBlanksAndCommas) {
  const SplitCase cases[] = {
      {"", {}},
      {" \t\r\n", {}},
      {"a,\"b c\",d", {"a", "b c", "d"}},
      {"a=1 b=2", {"a=1", "b=2"}},
      {"\t a  ,  b\r\n", {"a", "b"}},
      {"a,,b", {"a", "", "b"}},
      // A comma with nothing at all after it adds one empty item; with a blank after it,
      // none.
      {"a,", {"a", ""}},
      {"a, ", {"a"}},
      {",a", {"", "a"}},
      // Quoted items: "" inside is one quote; a missing closing quote runs to the end.
      {"\"a\"\"b\" c", {"a\"b", "c"}},
      {"\"a b", {"a b"}},
      {"\"\"", {""}},
      {"\"a\"b", {"a", "b"}},
      // Shift-JIS characters stay whole, a trailing cut lead byte included.
      {"ソ表,チャンネル 予約", {"ソ表", "チャンネル", "予約"}},
      {"a\x83", {"a\x83"}},
      // A NUL is stepped over like a blank instead of stalling the scan.
      {std::string("a\0b", 3), {"a", "b"}},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(SplitItems(c.text), c.items) << "text: " << c.text;
  }
}

TEST(SplitItemsTest, QuotedValueOfNameValueItemKeepsBlanksCommasAndQuotes) {
  const SplitCase cases[] = {
      {"Digest realm=\"RD Recorder\", nonce=\"ab,cd\", qop=\"auth\"",
       {"Digest", "realm=\"RD Recorder\"", "nonce=\"ab,cd\"", "qop=\"auth\""}},
      {"realm=\"say \"\"hi\"\", ok\",x", {"realm=\"say \"\"hi\"\", ok\"", "x"}},
      // Unbalanced: the value runs to the end of the text.
      {"realm=\"RD Recorder", {"realm=\"RD Recorder"}},
      // Only a quote right after the first '=' opens a quoted value.
      {"a=b\"c d\"", {"a=b\"c", "d\""}},
      {"name=\"チャンネル 1\",2", {"name=\"チャンネル 1\"", "2"}},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(SplitItems(c.text), c.items) << "text: " << c.text;
  }
}

TEST(ItemValueTest, LooksUpFirstItemByNameWithoutRegardToCase) {
  const Items items = SplitItems("a=1 A=2 realm=\"RD Recorder\" plain x=y=z =blank");
  EXPECT_EQ(ItemValue(items, "a"), "1");
  EXPECT_EQ(ItemValue(items, "A"), "1");
  EXPECT_EQ(ItemValue(items, "REALM"), "\"RD Recorder\"");
  EXPECT_EQ(ItemValue(items, "x"), "y=z");
  EXPECT_EQ(ItemValue(items, ""), "blank");
  // An item without '=' has no name.
  EXPECT_EQ(ItemValue(items, "plain"), "");
  EXPECT_EQ(ItemValue(items, "missing"), "");
  EXPECT_EQ(ItemValue({}, "a"), "");
}

TEST(UnquoteValueTest, RemovesOnePairOfQuotesAndUndoublesInside) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"\"RD Recorder\"", "RD Recorder"},
      {"\"a\"\"b\"", "a\"b"},
      {"\"\"", ""},
      {"\"\"\"", "\""},
      {"\"\"\"\"", "\""},
      {"plain", "plain"},
      {"", ""},
      // Unbalanced texts come back unchanged.
      {"\"", "\""},
      {"\"abc", "\"abc"},
      {"abc\"", "abc\""},
      {"a\"\"b", "a\"\"b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UnquoteValue(c.text), c.expected) << "text: " << c.text;
  }
}

}  // namespace
}  // namespace tavelin
