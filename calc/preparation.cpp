// Preparation: the typed text becomes one canonical form — upper case, one
// outer pair of brackets, one name per function, pi and e as six-decimal
// numbers, "." as the only decimal sign, no spaces, every implied "*" written.
//
// Working buffers are fixed arrays on the stack; nothing is allocated.

#include "calc/stages.h"

#include <array>
#include <cstring>

namespace brunzit {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// A small writer that never passes the end of its buffer.
struct Writer {
  char* chars;
  int capacity;
  int length = 0;
  bool overflow = false;
  void put(char c) {
    if (length < capacity) chars[length++] = c; else overflow = true;
  }
  void put(std::string_view text) {
    for (char c : text) put(c);
  }
};

bool startsWith(const char* text, int length, int at, std::string_view prefix) {
  return length - at >= static_cast<int>(prefix.size()) && text[at] == prefix.front() &&
         std::memcmp(text + at, prefix.data(), prefix.size()) == 0;
}

// Substitutions in the order they are tried at each position. The
// replacement texts hold no character that starts a rule, so the scan can go
// on after them without looking at them again.
struct Substitution {
  std::string_view from;
  std::string_view to;
};
constexpr Substitution Substitutions[] = {
    {"EXP(", "ALN("}, {"PI", "3.141593"}, {"P", "3.141593"}, {"NE", "2.718282"}, {" ", ""},
    {"SEN(", "SIN("}, {"ASE(", "ASI("}, {"SEG(", "SIG("}, {",", "."}, {"'", "."},
};

// Most characters start no rule; they are copied without trying any.
constexpr std::array<bool, 256> RuleStarts = [] {
  std::array<bool, 256> starts{};
  for (const Substitution& rule : Substitutions) starts[static_cast<unsigned char>(rule.from.front())] = true;
  return starts;
}();

bool startsARule(char c) { return RuleStarts[static_cast<unsigned char>(c)]; }

}  // namespace

bool PrepareExpression(std::string_view text, std::int32_t& error, std::int32_t& flag, PreparedText& prepared) {
  flag = 1;
  prepared.Length = 0;
  const bool variablesAllowed = error == VariablesAllowed;

  // Y, Z, U and V are refused on the upper-cased text before any length check.
  if (!variablesAllowed) {
    for (char c : text) {
      const char u = upper(c);
      if (u == 'Y' || u == 'Z' || u == 'U' || u == 'V') {
        error = AnalysisUnknownName;
        return false;
      }
    }
  }
  error = AnalysisOk;
  if (text.size() + 2 > 202) {
    error = AnalysisTooLong;
    return false;
  }

  // Working buffers on the stack: calculators on other threads prepare too.
  char scratchA[PreparedCapacity];
  char scratchB[PreparedCapacity];

  // Upper case and brackets.
  Writer bracketed{scratchA, PreparedCapacity};
  bracketed.put('(');
  for (char c : text) bracketed.put(upper(c));
  bracketed.put(')');

  // A digit right before "P" or "N" gets a "*" («2PI», «3NE»).
  Writer constants{scratchB, PreparedCapacity};
  for (int i = 0; i < bracketed.length; ++i) {
    const char c = scratchA[i];
    constants.put(c);
    if (isDigit(c) && i + 1 < bracketed.length && (scratchA[i + 1] == 'P' || scratchA[i + 1] == 'N')) constants.put('*');
  }

  // Substitutions: the first matching rule at each position.
  Writer substituted{scratchA, PreparedCapacity};
  for (int i = 0; i < constants.length;) {
    if (!startsARule(scratchB[i])) {
      substituted.put(scratchB[i++]);
      continue;
    }
    bool matched = false;
    for (const Substitution& rule : Substitutions) {
      if (startsWith(scratchB, constants.length, i, rule.from)) {
        substituted.put(rule.to);
        i += static_cast<int>(rule.from.size());
        matched = true;
        break;
      }
    }
    if (!matched) substituted.put(scratchB[i++]);
  }

  // Implied multiplication before a bracket, a variable or a function.
  Writer implied{prepared.Chars, PreparedCapacity};
  for (int i = 0; i < substituted.length; ++i) {
    const char c = scratchA[i];
    implied.put(c);
    if (i + 1 >= substituted.length) break;
    const char d = scratchA[i + 1];
    const bool afterDigit = isDigit(c) && (d == '(' || isVariable(d) || isFunctionInitial(d));
    const bool afterVariable = isVariable(c) && (d == '(' || isFunctionInitial(d));
    if (afterDigit || afterVariable) implied.put('*');
  }
  prepared.Length = implied.length;

  if (bracketed.overflow || constants.overflow || substituted.overflow || implied.overflow) {
    // Cannot happen within 202 characters; refuse rather than cut.
    error = AnalysisTooLong;
    return false;
  }
  if (prepared.view() == "()") {
    error = AnalysisEmpty;
    return false;
  }
  if (prepared.Length == 255) {
    error = AnalysisTooLong;
    return false;
  }
  return true;
}

}  // namespace brunzit
