#include "channels/channel_pattern.h"

#define PCRE2_CODE_UNIT_WIDTH 32
#include <pcre2.h>
#include <vector>

#include "channels/fuzzy_groups.h"
#include "channels/sjis_decoder.h"

namespace tavelin {
namespace {

constexpr std::u32string_view kSpecials = U"^$.[]()|*+?";
constexpr std::u32string_view kQuantifiers = U"*+?";
// Characters the engine reads as syntax outside a bracket expression.
constexpr std::u32string_view kEngineSyntax = U"^$\\.*+?()[]{}|";
// Characters the engine reads as syntax inside a bracket expression.
constexpr std::u32string_view kEngineClassSyntax = U"\\[]^-";

bool IsOneOf(char32_t c, std::u32string_view set) {
  return set.find(c) != std::u32string_view::npos;
}

// One unit of a pattern: a character that stands for itself (written plainly or after a
// backslash), a special character, or a whole bracket expression already in engine syntax.
struct Token {
  enum Kind { kLiteral, kSpecial, kBracket } kind;
  char32_t ch = 0;
  std::u32string bracket;
};

[[noreturn]] void Fail(std::string_view pattern, const char* reason) {
  throw PatternError("パターン \"" + std::string(pattern) + "\" は不正です (" + reason + ")");
}

void AppendLiteral(char32_t c, std::u32string* out) {
  if (IsOneOf(c, kEngineSyntax)) out->push_back(U'\\');
  out->push_back(c);
}

void AppendClassMember(char32_t c, std::u32string* out) {
  if (IsOneOf(c, kEngineClassSyntax)) out->push_back(U'\\');
  out->push_back(c);
}

// Reads the bracket expression that opens at p[*i] == '[' and leaves *i after its ']'.
std::u32string ReadBracket(const std::u32string& p, std::size_t* i, std::string_view original) {
  std::u32string out = U"[";
  std::size_t k = *i + 1;
  if (k < p.size() && p[k] == U'^') {
    out.push_back(U'^');
    ++k;
  }
  // One member at p[k]: a character, or the character after a backslash.
  auto read_member = [&](char32_t* c) {
    if (p[k] == U'\\') {
      if (k + 1 >= p.size()) Fail(original, "bracket expression not closed");
      ++k;
    }
    *c = p[k++];
  };
  bool empty = true;
  while (true) {
    if (k >= p.size()) Fail(original, "bracket expression not closed");
    if (p[k] == U']') break;
    char32_t low = 0;
    read_member(&low);
    AppendClassMember(low, &out);
    if (k + 1 < p.size() && p[k] == U'-' && p[k + 1] != U']') {
      ++k;
      char32_t high = 0;
      read_member(&high);
      if (high < low) Fail(original, "range out of order");
      out.push_back(U'-');
      AppendClassMember(high, &out);
    }
    empty = false;
  }
  if (empty) Fail(original, "empty bracket expression");
  out.push_back(U']');
  *i = k + 1;
  return out;
}

std::vector<Token> Tokenize(const std::u32string& p, std::string_view original) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < p.size()) {
    const char32_t c = p[i];
    if (c == U'\\') {
      if (i + 1 >= p.size()) Fail(original, "backslash at the end");
      tokens.push_back({Token::kLiteral, p[i + 1], {}});
      i += 2;
    } else if (c == U'[') {
      tokens.push_back({Token::kBracket, 0, ReadBracket(p, &i, original)});
    } else {
      tokens.push_back({IsOneOf(c, kSpecials) ? Token::kSpecial : Token::kLiteral, c, {}});
      ++i;
    }
  }
  return tokens;
}

using DecodedGroups = std::vector<std::vector<std::u32string>>;

const DecodedGroups& FuzzyGroupsAsCodePoints() {
  static const DecodedGroups* const groups = [] {
    ShiftJisDecoder decoder;
    auto* decoded = new DecodedGroups;
    for (const FuzzyGroup& group : kFuzzyCharGroups) {
      std::vector<std::u32string>& members = decoded->emplace_back();
      for (const char* member : group) {
        if (member != nullptr) members.push_back(decoder.Decode(member));
      }
    }
    return decoded;
  }();
  return *groups;
}

// The fuzzy group alternation for the literal tokens starting at `at`, or empty when no
// member of any group fits there. *used is the number of tokens the member covered.
std::u32string WidenAt(const std::vector<Token>& tokens, std::size_t at, std::size_t* used) {
  for (const std::vector<std::u32string>& members : FuzzyGroupsAsCodePoints()) {
    for (const std::u32string& member : members) {
      if (member.empty() || at + member.size() > tokens.size()) continue;
      bool fits = true;
      for (std::size_t k = 0; k < member.size() && fits; ++k) {
        const Token& token = tokens[at + k];
        fits = token.kind == Token::kLiteral && token.ch == member[k];
      }
      if (!fits) continue;
      std::u32string alternation = U"(?:";
      for (std::size_t m = 0; m < members.size(); ++m) {
        if (m > 0) alternation.push_back(U'|');
        for (char32_t c : members[m]) AppendLiteral(c, &alternation);
      }
      alternation.push_back(U')');
      *used = member.size();
      return alternation;
    }
  }
  return {};
}

// Writes the pattern in the engine's syntax. Checks the structure itself, so that what the
// engine would read as an extension ("(?", "*+") is reported or kept to plain meaning.
std::u32string Translate(const std::vector<Token>& tokens, bool widen, std::string_view original) {
  constexpr std::size_t kNone = std::u32string::npos;
  std::u32string out;
  std::vector<std::size_t> open_groups;
  std::size_t last_atom = kNone;  // where the item a quantifier would repeat starts
  bool after_quantifier = false;
  std::size_t i = 0;
  while (i < tokens.size()) {
    const Token& token = tokens[i];
    if (token.kind == Token::kSpecial && IsOneOf(token.ch, kQuantifiers)) {
      if (last_atom == kNone) Fail(original, "nothing to repeat");
      // A quantifier on a quantified item repeats that whole item.
      if (after_quantifier) {
        out.insert(last_atom, U"(?:");
        out.push_back(U')');
      }
      out.push_back(token.ch);
      after_quantifier = true;
      ++i;
      continue;
    }
    after_quantifier = false;
    if (token.kind == Token::kBracket) {
      last_atom = out.size();
      out += token.bracket;
      ++i;
    } else if (token.kind == Token::kLiteral) {
      last_atom = out.size();
      std::size_t used = 0;
      std::u32string widened = widen ? WidenAt(tokens, i, &used) : std::u32string();
      if (widened.empty()) {
        AppendLiteral(token.ch, &out);
        ++i;
      } else {
        out += widened;
        i += used;
      }
    } else {
      switch (token.ch) {
        case U'(':
          open_groups.push_back(out.size());
          out += U"(?:";
          last_atom = kNone;
          break;
        case U')':
          if (open_groups.empty()) Fail(original, "unmatched )");
          last_atom = open_groups.back();
          open_groups.pop_back();
          out.push_back(U')');
          break;
        case U'|':
        case U'^':
        case U'$':
          out.push_back(token.ch);
          last_atom = kNone;
          break;
        case U'.':
          last_atom = out.size();
          out.push_back(U'.');
          break;
        default:  // a ']' with no bracket expression open stands for itself
          last_atom = out.size();
          AppendLiteral(token.ch, &out);
          break;
      }
      ++i;
    }
  }
  if (!open_groups.empty()) Fail(original, "unmatched (");
  return out;
}

}  // namespace

// The code and its match data; matching writes into the match data, so a pattern is used
// from one thread at a time (the program has one).
struct ChannelPattern::Compiled {
  ~Compiled() {
    pcre2_match_data_free(match_data);
    pcre2_code_free(code);
  }
  pcre2_code* code = nullptr;
  pcre2_match_data* match_data = nullptr;
  std::shared_ptr<ShiftJisDecoder> decoder;
};

bool ChannelPattern::FoundIn(std::string_view text) const {
  if (compiled_ == nullptr) return false;
  const std::u32string decoded = compiled_->decoder->Decode(text);
  return pcre2_match(compiled_->code, reinterpret_cast<PCRE2_SPTR>(decoded.data()), decoded.size(),
                     0, 0, compiled_->match_data, nullptr) >= 0;
}

PatternMatcher::PatternMatcher() : decoder_(std::make_shared<ShiftJisDecoder>()) {}

PatternMatcher::~PatternMatcher() = default;

ChannelPattern PatternMatcher::Compile(std::string_view pattern) const {
  const std::vector<Token> tokens = Tokenize(decoder_->Decode(pattern), pattern);
  const std::u32string translated = Translate(tokens, use_fuzzy_groups_, pattern);
  auto compiled = std::make_shared<ChannelPattern::Compiled>();
  int error = 0;
  PCRE2_SIZE offset = 0;
  compiled->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated.data()), translated.size(),
                                 PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY, &error, &offset, nullptr);
  if (compiled->code == nullptr) {
    PCRE2_UCHAR message[256];
    pcre2_get_error_message(error, message, 256);
    std::string reason;
    for (PCRE2_UCHAR* c = message; *c != 0; ++c) reason.push_back(static_cast<char>(*c));
    Fail(pattern, reason.c_str());
  }
  // Where JIT is not available, matching falls back to the interpreter.
  pcre2_jit_compile(compiled->code, PCRE2_JIT_COMPLETE);
  compiled->match_data = pcre2_match_data_create_from_pattern(compiled->code, nullptr);
  compiled->decoder = decoder_;
  ChannelPattern result;
  result.compiled_ = std::move(compiled);
  return result;
}

}  // namespace tavelin
