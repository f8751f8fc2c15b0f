// Analysis: the prepared text is checked character by character, cut into the
// OperationList, and checked slot by slot. A leading "-" after "(" becomes
// the number -1 followed by "*", so it binds like a multiplication: -2^2 = -4.
//
// A calculator's state lives here: its OperationList, the plan built from
// it, and whether the last analysis succeeded; and the process-wide
// calculator of analitzar and Calcular.

#include "calc/compiledplan.h"
#include "calc/stages.h"

#include <cstring>

namespace brunzit {

namespace {

// Function names tried in this order; the slot gets the three-letter name.
struct FunctionSpelling {
  std::string_view text;
  std::string_view name;
};
constexpr FunctionSpelling FunctionSpellings[] = {
    {"SIN(", "SIN"}, {"SIG(", "SIG"}, {"ASI(", "ASI"}, {"ASG(", "ASG"}, {"COS(", "COS"}, {"COG(", "COG"},
    {"ACO(", "ACO"}, {"ACG(", "ACG"}, {"TAN(", "TAN"}, {"TAG(", "TAG"}, {"ATA(", "ATA"}, {"ATG(", "ATG"},
    {"ABS(", "ABS"}, {"LOG(", "LOG"}, {"ALO(", "ALO"}, {"ALN(", "EXP"}, {"LN(", "LNE"},
};

SlotName makeName(std::string_view text) {
  SlotName name;
  name.Length = static_cast<std::uint8_t>(text.size() < 3 ? text.size() : 3);
  std::memcpy(name.Chars, text.data(), name.Length);
  return name;
}

bool append(OperationList& list, const OperationSlot& slot) {
  if (list.Count >= SlotCapacity) return false;
  list.Slots[list.Count++] = slot;
  return true;
}

// A number before the character at `end`: fewer than 20 characters, read by decimal reading.
std::int32_t appendNumber(std::string_view digits, OperationList& list) {
  if (digits.size() >= 20) return AnalysisNumberTooLong;
  long double value = 0;
  if (!ReadDecimal(digits, value)) return AnalysisBadNumber;
  OperationSlot slot;
  slot.Value = Real6::fromLongDouble(value);
  return append(list, slot) ? AnalysisOk : AnalysisTooLong;
}

std::string_view nameAt(const OperationList& list, int slot) {
  if (slot < 1 || slot > list.Count) return {};
  return list.Slots[slot - 1].Name.view();
}

bool isOperatorName(std::string_view n) { return n.size() == 1 && isOperator(n[0]); }

}  // namespace

// Everything one analysis keeps for its evaluations.
struct Calculator::State {
  OperationList list;
  bool listReady = true;  // an empty list evaluates to 0 before any analysis
  PreparedText prepared;
  EvaluationPlan plan;
  CompiledPlan compiled;
  long plannedRuns = 0;  // since the last analysis
  // What Evaluate runs: the compiled plan once there is one.
  Calculation calculation = nullptr;

  void analyse(const std::string& text, std::int32_t& error, std::int32_t& flag);
  bool runPlan(const Real6& x, const Real6& y, const Real6& z, const Real6& u, const Real6& v, double& value);
  bool runPlan(double (&values)[5], double& value);
  void calculateWithoutCode(const Real6& x, const Real6& y, const Real6& z, const Real6& u, const Real6& v,
                            Real6& result, std::int32_t& error);
  void calculateByList(const Real6& x, const Real6& y, const Real6& z, const Real6& u, const Real6& v,
                       Real6& result, std::int32_t& error);
};

namespace {

// Compiling a plan costs from about 6 us (X^2+1) to about 100 us (200
// slots), two mprotect calls included, which take 30 us more while another
// thread of the process is busy; an evaluation without code costs from about
// 30 ns to 2 us, through the library's exports, and both grow with the plan's
// length. A plan is compiled only once it has run this many times: by then
// its evaluations have taken more than 20 times the compile, so compiling
// never makes an analysis more than 5 % slower, and from there on each
// compiled evaluation saves a third or more of its time.
constexpr long RunsBeforeCompiling = 16384;

// The state whose compiled code is running on this thread: compiled code
// hands the rare cases back, with the arguments it was called with, to a
// plain function. Initial-exec: one instruction to reach, and eight bytes
// of static TLS are always to be had.
[[gnu::tls_model("initial-exec")]] thread_local Calculator::State* running = nullptr;

void calculateRunning(const Real6& x, const Real6& y, const Real6& z, const Real6& u, const Real6& v,
                      Real6& result, std::int32_t& error) {
  running->calculateWithoutCode(x, y, z, u, v, result, error);
}

}  // namespace

bool ReadDecimal(std::string_view digits, long double& value) {
  // At most 19 digits fit in 64 bits, and 10^k for k <= 19 is exact in the
  // extended real, so one division gives the correctly rounded value.
  std::uint64_t mantissa = 0;
  int digitCount = 0, decimals = 0, points = 0;
  for (char c : digits) {
    if (c == '.') {
      if (++points > 1) return false;
    } else if (isDigit(c)) {
      if (++digitCount > 19) return false;
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
      if (points) ++decimals;
    } else {
      return false;
    }
  }
  if (digitCount == 0) return false;
  long double scale = 1.0L;
  for (int i = 0; i < decimals; ++i) scale *= 10.0L;
  value = static_cast<long double>(mantissa) / scale;
  return true;
}

std::int32_t CheckCharacters(std::string_view s) {
  int points = 0;
  for (std::size_t p = 1; p + 1 < s.size(); ++p) {
    const char a = s[p - 1], c = s[p], b = s[p + 1];
    bool bad = (isOperator(a) && (isOperator(c) || c == ')')) ||
               (a == '(' && (c == '*' || c == '/' || c == '^' || c == ')')) ||
               (isVariable(a) && (isVariable(c) || isDigit(c) || c == '.')) ||
               ((isDigit(a) || a == '.' || isVariable(a)) && (isVariable(c) || c == '(' || isFunctionInitial(c))) ||
               (a == ')' && (isDigit(c) || c == '.' || isFunctionInitial(c) || isVariable(c)));
    if (!isDigit(c) && c != '.') points = 0;
    if (c == '.') {
      ++points;
      if (points >= 2 || (!isDigit(a) && !isDigit(b))) bad = true;
    }
    if (bad) return AnalysisBadNeighbours;
  }
  return AnalysisOk;
}

std::int32_t Tokenise(std::string_view s, OperationList& list) {
  list.Count = 0;
  int depth = 0;
  std::size_t start = 0;  // the remaining text starts here
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (isDigit(c) || c == '.') {
      ++i;
      continue;
    }
    if (!isAllowed(c)) return AnalysisBadCharacter;
    std::int32_t code = AnalysisOk;
    if (c == '(' || c == ')' || isOperator(c)) {
      if (c == '(') ++depth;
      if (c == ')') {
        --depth;
        if (depth < 0 || (depth == 0 && s.size() - i - 1 >= 2)) return AnalysisTooManyClosing;
      }
      if (i > start && (code = appendNumber(s.substr(start, i - start), list)) != AnalysisOk) return code;
      OperationSlot slot;
      slot.Name = makeName(s.substr(i, 1));
      if (!append(list, slot)) return AnalysisTooLong;
      start = i = i + 1;
    } else if (isFunctionInitial(c)) {
      const FunctionSpelling* found = nullptr;
      for (const FunctionSpelling& spelling : FunctionSpellings) {
        if (spelling.text.front() != c) continue;  // most spellings differ at once
        if (s.substr(i, spelling.text.size()) == spelling.text) {
          found = &spelling;
          break;
        }
      }
      if (!found) return AnalysisUnknownName;
      if (i > start && (code = appendNumber(s.substr(start, i - start), list)) != AnalysisOk) return code;
      OperationSlot slot;
      slot.Name = makeName(found->name);
      if (!append(list, slot)) return AnalysisTooLong;
      start = i = i + found->text.size() - 1;  // at the function's own "("
    } else {  // a variable letter
      if (i > start && (code = appendNumber(s.substr(start, i - start), list)) != AnalysisOk) return code;
      OperationSlot slot;
      slot.Name = makeName(s.substr(i, 1));
      if (!append(list, slot)) return AnalysisTooLong;
      start = i = i + 1;
    }
  }
  return depth != 0 ? AnalysisUnclosedBracket : AnalysisOk;
}

std::int32_t CheckSlots(OperationList& list) {
  for (int i = 1; i <= list.Count;) {
    const std::string_view n = nameAt(list, i);
    const std::string_view next = nameAt(list, i + 1);
    if (isOperatorName(n) && (next == ")" || next == "+" || next == "-" || next == "*" || next == "/")) {
      return AnalysisBadNeighbours;
    }
    if (n == "(") {
      if (next == "*" || next == "/" || next == ")" || nameAt(list, i - 1) == ")") return AnalysisBadNeighbours;
      if (next == "+") {
        std::memmove(&list.Slots[i], &list.Slots[i + 1], sizeof(OperationSlot) * (list.Count - i - 1));
        --list.Count;
        list.Slots[list.Count] = OperationSlot{};
        continue;
      }
      if (next == "-") {
        if (list.Count >= SlotCapacity) return AnalysisTooLong;
        std::memmove(&list.Slots[i + 1], &list.Slots[i], sizeof(OperationSlot) * (list.Count - i));
        ++list.Count;
        list.Slots[i] = OperationSlot{};
        list.Slots[i].Value = Real6::fromLongDouble(-1.0L);
        list.Slots[i + 1].Name = makeName("*");
      }
    }
    ++i;
  }
  return AnalysisOk;
}

void Calculator::State::analyse(const std::string& text, std::int32_t& error, std::int32_t& flag) {
  // Slots beyond the last list's count are still clear.
  for (int i = 0; i < list.Count; ++i) list.Slots[i] = OperationSlot{};
  list.Count = 0;
  listReady = false;
  plan.Ready = false;
  compiled.Clear();
  calculation = nullptr;
  plannedRuns = 0;
  flag = 1;
  if (!PrepareExpression(text, error, flag, prepared)) return;
  const std::string_view cleaned = prepared.view();
  if ((error = CheckCharacters(cleaned)) != AnalysisOk) return;
  if ((error = Tokenise(cleaned, list)) != AnalysisOk) return;
  if ((error = CheckSlots(list)) != AnalysisOk) return;
  listReady = true;
  BuildPlan(list, plan);
}

bool Calculator::State::runPlan(const Real6& x, const Real6& y, const Real6& z, const Real6& u, const Real6& v,
                                double& value) {
  const unsigned used = plan.UsedVariables;
  double values[5];
  if (used & 1) values[0] = Real6ToDouble(x);
  if (used & 2) values[1] = Real6ToDouble(y);
  if (used & 4) values[2] = Real6ToDouble(z);
  if (used & 8) values[3] = Real6ToDouble(u);
  if (used & 16) values[4] = Real6ToDouble(v);
  return runPlan(values, value);
}

bool Calculator::State::runPlan(double (&values)[5], double& value) {
  // Compiling is tried once per analysis, once the plan has run often enough
  // to repay it: a plan that cannot be compiled runs as it is from then on.
  if (plannedRuns <= RunsBeforeCompiling && ++plannedRuns > RunsBeforeCompiling &&
      compiled.Compile(plan, &calculateRunning)) {
    calculation = compiled.Entry();
  }
  return RunPlan(plan, values, value);
}

// Also where compiled code goes when a value leaves the plain range: it then
// runs the plan once more (cheap beside the reference) before the reference.
void Calculator::State::calculateWithoutCode(const Real6& x, const Real6& y, const Real6& z, const Real6& u,
                                             const Real6& v, Real6& result, std::int32_t& error) {
  // A ready plan comes from a successful analysis of a list that is not empty.
  double value = 0;
  if (plan.Ready && runPlan(x, y, z, u, v, value)) {
    error = EvaluationOk;
    result = DoubleToReal6(value);
    return;
  }
  calculateByList(x, y, z, u, v, result, error);
}

void Calculator::State::calculateByList(const Real6& x, const Real6& y, const Real6& z, const Real6& u,
                                        const Real6& v, Real6& result, std::int32_t& error) {
  if (!listReady) {
    error = EvaluationListNotReady;
    return;
  }
  error = EvaluationOk;
  if (list.Count == 0) {
    result = Real6();
    return;
  }
  const VariableValues values{{x, y, z, u, v}};
  EvaluateList(list, values, result, error);
}

Calculator::Calculator() : state_(new State) {}
Calculator::~Calculator() = default;

void Calculator::Analyse(const std::string& text, std::int32_t& error, std::int32_t& flag) {
  state_->analyse(text, error, flag);
}

void Calculator::Evaluate(const Real6& x, const Real6& y, const Real6& z, const Real6& u, const Real6& v,
                          Real6& result, std::int32_t& error) {
  State& state = *state_;
  if (state.calculation == nullptr) {
    state.calculateWithoutCode(x, y, z, u, v, result, error);
    return;
  }
  Calculator::State* const outer = running;
  running = &state;
  state.calculation(x, y, z, u, v, result, error);
  running = outer;
}

double Calculator::Evaluate(const double (&variables)[5], std::int32_t& error) {
  State& state = *state_;
  const unsigned used = state.plan.Ready ? state.plan.UsedVariables : 0x1Fu;
  double rounded[5] = {};
  bool plain = true;
  for (unsigned left = used; left != 0; left &= left - 1) {
    const int i = std::countr_zero(left);
    // A zero of either sign is Real6's one zero, +0.
    plain = plain && (variables[i] == 0 || RoundToNearestReal6Fast(variables[i], rounded[i]));
  }
  double value = 0;
  if (plain && state.calculation == nullptr && state.plan.Ready && state.runPlan(rounded, value)) {
    error = EvaluationOk;
    return value;
  }
  // Compiled code, the list, and zeros and values at the edges of the range
  // take six-byte values.
  PaddedReal6 in[5];
  for (unsigned left = used; left != 0; left &= left - 1) {
    const int i = std::countr_zero(left);
    if (plain) {
      StoreReal6(rounded[i], in[i]);
    } else {
      in[i].value = DoubleToNearestReal6(variables[i]);
    }
  }
  Real6 result;
  if (state.calculation != nullptr || !plain || !state.plan.Ready) {
    Evaluate(in[0].value, in[1].value, in[2].value, in[3].value, in[4].value, result, error);
  } else {  // the plan ran, and handed the evaluation on
    state.calculateByList(in[0].value, in[1].value, in[2].value, in[3].value, in[4].value, result, error);
  }
  return error == EvaluationOk ? Real6ToDouble(result) : 0;
}

const OperationList& Calculator::List() const { return state_->list; }

namespace {

// The one calculator of analitzar, Calcular and the rest.
Calculator processWide;
Calculator& processCalculator() { return processWide; }

}  // namespace

const OperationList& CurrentOperationList() { return processCalculator().List(); }

void analitzar(const std::string& text, std::int32_t& error, std::int32_t& flag) {
  processCalculator().Analyse(text, error, flag);
}

void CalcularXYZUV(const Real6& x, const Real6& y, const Real6& z, const Real6& u, const Real6& v, Real6& result,
                   std::int32_t& error) {
  processCalculator().Evaluate(x, y, z, u, v, result, error);
}

void Calcular(const Real6& x, Real6& result, std::int32_t& error) {
  const Real6 zero;
  CalcularXYZUV(x, zero, zero, zero, zero, result, error);
}

}  // namespace brunzit
