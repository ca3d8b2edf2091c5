// The fuzzy character groups: characters a recorder and the host may write differently for
// the same station name (full- and half-width forms, kana of both scripts, voiced marks).
// A pattern character that equals a member is widened to the alternation of its group.
#ifndef TAVELIN_CHANNELS_FUZZY_GROUPS_H_
#define TAVELIN_CHANNELS_FUZZY_GROUPS_H_

#include <array>
#include <cstddef>

namespace tavelin {

inline constexpr std::size_t kFuzzyGroupCount = 145;
inline constexpr std::size_t kMaxFuzzyGroupMembers = 10;

// One group's members in order, Shift-JIS; unused slots are null. A member may be empty:
// it never matches a pattern position but still counts as an (empty) alternative.
using FuzzyGroup = std::array<const char*, kMaxFuzzyGroupMembers>;

// In the order the widening tries them; the order decides which group claims a character
// that belongs to several (a long-vowel mark is claimed by the group that makes it optional).
extern const std::array<FuzzyGroup, kFuzzyGroupCount> kFuzzyCharGroups;

}  // namespace tavelin

#endif  // TAVELIN_CHANNELS_FUZZY_GROUPS_H_
