// The pattern matcher of the channel list retrieval: a channel name is read as a regular
// expression, optionally widened by the fuzzy character groups, and searched for anywhere in
// a station name. Matching works on code points, never on Shift-JIS bytes, so the trail
// byte of a double-byte character is never taken for a backslash or a bracket.
//
// Syntax: ^ $ . [ ] ( ) | * + ? are special; a backslash makes the next character literal;
// braces are ordinary characters. A bracket expression lists characters and ranges ("a-z"),
// negated by a leading ^.
#ifndef TAVELIN_CHANNELS_CHANNEL_PATTERN_H_
#define TAVELIN_CHANNELS_CHANNEL_PATTERN_H_

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tavelin {

// A name that does not compile as a pattern. what() is Shift-JIS text naming the pattern.
class PatternError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ShiftJisDecoder;

// A compiled pattern. Cheap to copy; stays valid after its matcher is gone.
class ChannelPattern {
 public:
  // True when the pattern matches anywhere within `text` (Shift-JIS).
  bool FoundIn(std::string_view text) const;

 private:
  friend class PatternMatcher;
  struct Compiled;
  std::shared_ptr<const Compiled> compiled_;
};

class PatternMatcher {
 public:
  PatternMatcher();
  ~PatternMatcher();

  // Off for a new matcher. When on, Compile widens the pattern by the fuzzy groups.
  bool use_fuzzy_groups() const { return use_fuzzy_groups_; }
  void set_use_fuzzy_groups(bool on) { use_fuzzy_groups_ = on; }

  // Compiles a Shift-JIS pattern. Throws PatternError when it is not a valid pattern.
  ChannelPattern Compile(std::string_view pattern) const;

 private:
  bool use_fuzzy_groups_ = false;
  std::shared_ptr<ShiftJisDecoder> decoder_;
};

}  // namespace tavelin

#endif  // TAVELIN_CHANNELS_CHANNEL_PATTERN_H_
