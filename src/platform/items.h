// Splitting a header or script line into items, looking a value up by name, and unquoting.
#ifndef TAVELIN_PLATFORM_ITEMS_H_
#define TAVELIN_PLATFORM_ITEMS_H_

#include <string>
#include <string_view>
#include <vector>

namespace tavelin {

// Splits `text` into items separated by blanks (codes 1-32) or commas. A quoted item loses
// its quotes ("" inside stands for one quote); an item name=value whose value opens a
// double quote runs to the matching closing quote and keeps its quotes, so blanks and
// commas inside stay in the item. A comma with nothing at all after it adds one empty item.
std::vector<std::string> SplitItems(std::string_view text);

// The value of the first item whose name (the part before its first '=') equals `name`
// without regard to ASCII case: everything after that '='. Empty when none matches.
std::string ItemValue(const std::vector<std::string>& items, std::string_view name);

// Removes one pair of enclosing double quotes and turns each doubled quote inside into
// one. A text that does not both start and end with a quote comes back unchanged.
std::string UnquoteValue(std::string_view text);

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_ITEMS_H_
