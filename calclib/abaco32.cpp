// Abaco32: the exported C interface over the calculator engine. Every export
// converts the caller's layouts (counted strings, short strings, 6-byte reals,
// the 1200-byte value and 804-byte name arrays) to and from the engine's types
// and never trusts more of the caller's memory than the layout promises.

#define ABACO32_BUILDING
#include "calclib/abaco32.h"

#include "calc/dcalculs.h"
#include "calc/stages.h"
#include "platform/cp1252.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <atomic>

#include <sched.h>
#endif

#include <algorithm>
#include <cmath>
#include <new>
#include <cstring>
#include <string>
#include <string_view>

namespace brunzit {
namespace {

// Callers set the x87 and SSE control words as they please (32-bit Windows
// programs often run at 53-bit precision or with exceptions unmasked); the
// engine needs 64-bit precision, round to nearest and no traps, and the caller
// must get its own settings back with no exception left pending. Most callers
// already run with exactly these settings: then nothing is written, and the
// library functions run as the caller's own calls would.
//
// The x87 exception flags the engine raises stay set, masked, unless they are
// cleared; a caller that later unmasks them without clearing them first
// would trap on its next x87 instruction. Clearing costs more than a whole
// evaluation on some processors, so it is left out of evaluations that
// changed nothing: they work on SSE registers, and raise x87 flags only on
// their rare extended-precision paths. Every other export clears them.
class ExtendedPrecisionScope {
 public:
  explicit ExtendedPrecisionScope(bool alwaysClear = true) : clearX87_(alwaysClear) {
#if defined(__i386__) || defined(__x86_64__)
    __asm__ volatile("fnstcw %0" : "=m"(x87Control_));
    changeX87_ = (x87Control_ & X87Settings) != (EngineX87 & X87Settings);
    clearX87_ = clearX87_ || changeX87_;
    if (changeX87_) __asm__ volatile("fldcw %0" : : "m"(EngineX87));
#if defined(__SSE__)
    __asm__ volatile("stmxcsr %0" : "=m"(sseControl_));
    changeSse_ = (sseControl_ & ~SseFlags) != EngineSse;
    if (changeSse_) __asm__ volatile("ldmxcsr %0" : : "m"(EngineSse));
#endif
#endif
  }
  ~ExtendedPrecisionScope() {
#if defined(__i386__) || defined(__x86_64__)
    if (clearX87_) __asm__ volatile("fnclex");
    if (changeX87_) __asm__ volatile("fldcw %0" : : "m"(x87Control_));
#if defined(__SSE__)
    // The caller's own flags come back too, with nothing the engine raised.
    if (changeSse_) __asm__ volatile("ldmxcsr %0" : : "m"(sseControl_));
#endif
#endif
  }
  ExtendedPrecisionScope(const ExtendedPrecisionScope&) = delete;
  ExtendedPrecisionScope& operator=(const ExtendedPrecisionScope&) = delete;

 private:
  // All exceptions masked, 64-bit precision, to nearest; the reserved bits
  // and the obsolete infinity bit do not matter.
  static constexpr std::uint16_t X87Settings = 0x0F3F;
  static constexpr std::uint16_t EngineX87 = 0x037F;
  // All masked, to nearest, no flush to zero; the low six bits are the
  // exceptions raised so far, which the engine does not read.
  static constexpr std::uint32_t SseFlags = 0x3F;
  static constexpr std::uint32_t EngineSse = 0x1F80;

  std::uint16_t x87Control_ = 0;
  std::uint32_t sseControl_ = 0;
  bool clearX87_;
  bool changeX87_ = false;
  bool changeSse_ = false;
};

// The exports share one stored analysis per process; callers on several
// threads may overlap their calls, and each call must run whole, as if alone.
#if defined(_WIN32)
class ExportLock {
 public:
  ExportLock() { AcquireSRWLockExclusive(&lock_); }
  ~ExportLock() { ReleaseSRWLockExclusive(&lock_); }

 private:
  static SRWLOCK lock_;
};
SRWLOCK ExportLock::lock_ = SRWLOCK_INIT;
#else
// A lock word rather than a mutex: taken and released with one atomic
// operation each, a third of a mutex's cost on every call. A caller that
// finds it taken spins briefly, then gives its processor away until it is
// free: calls last microseconds.
class ExportLock {
 public:
  ExportLock() {
    for (int tries = 0; taken_.exchange(true, std::memory_order_acquire); ++tries) {
      while (taken_.load(std::memory_order_relaxed)) {
        if (tries < 64) {
          ++tries;
#if defined(__i386__) || defined(__x86_64__)
          __builtin_ia32_pause();
#endif
        } else {
          sched_yield();
        }
      }
    }
  }
  ~ExportLock() { taken_.store(false, std::memory_order_release); }

 private:
  static std::atomic<bool> taken_;
};
std::atomic<bool> ExportLock::taken_{false};
#endif

// Runs one export's body: engine floating-point settings inside, and nothing
// thrown (an allocation failure) may unwind into a C caller.
template <typename Body>
void RunExport(Body&& body, bool evaluation = false) {
  ExportLock whole;
  ExtendedPrecisionScope precision(!evaluation);
  try {
    body();
  } catch (...) {
  }
}

// The engine keeps a half-built list after a failed analysis; callers must see
// an empty one instead.
bool storedListReadable = true;

constexpr std::size_t ValueBytes = 6;
constexpr std::size_t NameEntryBytes = 4;
constexpr int MaxNameLength = 3;

// The caller's counted string: the length lies in the 4 bytes before the
// characters. The reference count before it is never touched: the block is
// the caller's.
std::string ReadCountedString(const char* characters) {
  if (characters == nullptr) return {};
  std::int32_t length = 0;
  std::memcpy(&length, characters - 4, sizeof length);
  if (length <= 0) return {};
  return std::string(characters, static_cast<std::size_t>(length));
}

Real6 ReadReal6(const Abaco32Real6* value) {
  Real6 out;
  if (value != nullptr) std::memcpy(out.Bytes, value->Bytes, ValueBytes);
  return out;
}

// The caller's value copied with one 8-byte store (see PaddedReal6).
PaddedReal6 ReadPaddedReal6(const Abaco32Real6* value) {
  PaddedReal6 out;
  if (value != nullptr) {
    std::uint32_t low = 0;
    std::uint16_t high = 0;
    std::memcpy(&low, value->Bytes, 4);
    std::memcpy(&high, value->Bytes + 4, 2);
    const std::uint64_t bits = low | (std::uint64_t(high) << 32);
    std::memcpy(static_cast<void*>(&out), &bits, sizeof bits);
  }
  return out;
}

void WriteReal6(const Real6& value, Abaco32Real6* out) {
  if (out != nullptr) std::memcpy(out->Bytes, value.Bytes, ValueBytes);
}

void WriteInt(std::int32_t value, std::int32_t* out) {
  if (out != nullptr) *out = value;
}

// Evaluates the stored list. The caller's result keeps its bytes unless the
// engine produces a new value (it does not on an evaluation error).
void Evaluate(const PaddedReal6 (&variables)[5], Abaco32Real6* result, std::int32_t* error) {
  Real6 value = ReadReal6(result);
  std::int32_t code = EvaluationOk;
  CalcularXYZUV(variables[0].value, variables[1].value, variables[2].value, variables[3].value, variables[4].value,
                value, code);
  WriteReal6(value, result);
  WriteInt(code, error);
}

// One slot as the caller's arrays hold it.
struct CallerSlot {
  Real6 Value;
  std::string Name;
};

// The caller's two arrays as slots 1..200. Entry 0 of the names is never
// written, nor anything past slot 200.
struct CallerSlots {
  CallerSlot Slots[SlotCapacity + 1];  // [0] unused, to keep slot numbers

  CallerSlot& operator[](int k) { return Slots[k]; }
  std::string_view name(int k) const {
    if (k < 1 || k > SlotCapacity) return {};
    return Slots[k].Name;
  }

  // Writes slots 1..last; the caller's bytes beyond them stay as they were.
  void write(unsigned char* values, unsigned char* names, int last) const {
    for (int k = 1; k <= last; ++k) {
      if (values != nullptr) std::memcpy(values + ValueBytes * (k - 1), Slots[k].Value.Bytes, ValueBytes);
      if (names != nullptr) {
        unsigned char* entry = names + NameEntryBytes * k;
        std::memset(entry, 0, NameEntryBytes);
        entry[0] = static_cast<unsigned char>(Slots[k].Name.size());
        std::memcpy(entry + 1, Slots[k].Name.data(), Slots[k].Name.size());
      }
    }
  }

  // Copies the stored list into slots 1..Count; numbers are named "N".
  int copyStoredList() {
    const OperationList& list = CurrentOperationList();
    const int count = storedListReadable ? std::clamp(list.Count, 0, SlotCapacity) : 0;
    for (int k = 1; k <= count; ++k) {
      const OperationSlot& slot = list.Slots[k - 1];
      Slots[k].Value = slot.Value;
      Slots[k].Name = slot.Name.empty() ? std::string("N") : std::string(slot.Name.view());
    }
    highest = count;
    return count;
  }

  // Opens two slots after slot `at`: slots at+1..count move up two places.
  void openTwoAfter(int at, int& count) {
    count += 2;
    highest = std::max(highest, count);
    for (int k = count - 2; k > at; --k) Slots[k + 2] = Slots[k];
  }

  int highest = 0;  // every slot up to here holds a copied or moved slot
};

bool IsVariableName(std::string_view name) {
  return name == "X" || name == "Y" || name == "Z" || name == "U" || name == "V";
}

Real6 Negated(const Real6& value) { return Real6::fromLongDouble(-value.toLongDouble()); }

// Rewrites the analysed form so that every term is added and every variable
// carries a number before it. A number that is the base of "^" keeps its sign
// apart, as "-1 *": folding the sign into the base would turn 3-2^2 into
// 3+(-2)^2.
int RewriteAsAddedTerms(CallerSlots& s, int count) {
  // A leading product of two numbers, as a leading minus leaves it.
  if (count >= 4 && s.name(1) == "(" && s.name(2) == "N" && s.name(3) == "*" && s.name(4) == "N" &&
      s.name(5) != "^") {
    s[2].Value = Real6::fromLongDouble(s[2].Value.toLongDouble() * s[4].Value.toLongDouble());
    for (int k = 5; k <= count; ++k) s[k - 2] = s[k];
    count -= 2;
  }
  if (s.name(1) == "(" && IsVariableName(s.name(2)) && count + 2 < SlotCapacity) {
    s.openTwoAfter(1, count);
    s[2] = {Real6::fromLongDouble(1.0L), "N"};
    s[3] = {Real6(), "*"};
  }
  for (int i = 1; i < count; ++i) {
    const bool powerBase = s.name(i + 1) == "N" && s.name(i + 2) == "^";
    if (s.name(i) == "-" && s.name(i + 1) == "N" && !powerBase) {
      s[i + 1].Value = Negated(s[i + 1].Value);
      s[i].Name = "+";
    }
    const bool sign = s.name(i) == "-" || s.name(i) == "+";
    const bool needsFactor = IsVariableName(s.name(i + 1)) || (s.name(i) == "-" && powerBase);
    if (sign && needsFactor && count + 2 < SlotCapacity) {
      const long double factor = s.name(i) == "-" ? -1.0L : 1.0L;
      s.openTwoAfter(i, count);
      s[i].Name = "+";
      s[i + 1] = {Real6::fromLongDouble(factor), "N"};
      s[i + 2] = {Real6(), "*"};
    }
  }
  return count;
}

// "expression = " + the result text or one of the error texts, cut to 255.
template <typename FormatValue>
std::string Answer(const std::string& expression, FormatValue&& formatValue) {
  const ExpressionOutcome outcome = CalculateExpression(expression);
  storedListReadable = outcome.AnalysisError == AnalysisOk;
  std::string answer = expression + " = ";
  if (outcome.AnalysisError != AnalysisOk) {
    answer.append(AnalysisErrorText);
  } else if (outcome.EvaluationError != EvaluationOk) {
    answer.append(CalculationErrorText);
  } else {
    answer.append(formatValue(outcome.Result));
  }
  if (answer.size() > AnswerLimit) answer.resize(AnswerLimit);
  return answer;
}

void WriteShortString(const std::string& text, std::size_t maxCharacters, unsigned char* out) {
  const std::size_t length = std::min(text.size(), maxCharacters);
  out[0] = static_cast<unsigned char>(length);
  std::memcpy(out + 1, text.data(), length);
}

}  // namespace

}  // namespace brunzit

using namespace brunzit;

extern "C" {

ABACO32_API void ABACO32_CALL analitzar(const char* expression, std::int32_t* error, std::int32_t* flag) {
  RunExport([&] {
    std::int32_t code = error != nullptr ? *error : 0;
    std::int32_t analysisFlag = 1;
    brunzit::analitzar(ReadCountedString(expression), code, analysisFlag);
    storedListReadable = code == AnalysisOk;
    WriteInt(code, error);
    WriteInt(analysisFlag, flag);
  });
}

ABACO32_API void ABACO32_CALL Calcular(const Abaco32Real6* x, Abaco32Real6* result, std::int32_t* error) {
  RunExport([&] {
    const PaddedReal6 variables[5] = {ReadPaddedReal6(x), {}, {}, {}, {}};
    Evaluate(variables, result, error);
  }, true);
}

ABACO32_API void ABACO32_CALL CalcularXYZUV(Abaco32Real6 x, Abaco32Real6 y, Abaco32Real6 z, Abaco32Real6 u,
                                            Abaco32Real6 v, Abaco32Real6* result, std::int32_t* error) {
  RunExport([&] {
    const PaddedReal6 variables[5] = {ReadPaddedReal6(&x), ReadPaddedReal6(&y), ReadPaddedReal6(&z), ReadPaddedReal6(&u),
                                      ReadPaddedReal6(&v)};
    Evaluate(variables, result, error);
  }, true);
}

ABACO32_API void ABACO32_CALL DonarOperacions(unsigned char* values, unsigned char* names, std::int32_t* count) {
  RunExport([&] {
    CallerSlots slots;  // starts as 200 zero values and empty names
    const int n = slots.copyStoredList();
    slots.write(values, names, SlotCapacity);
    WriteInt(n, count);
  });
}

ABACO32_API void ABACO32_CALL DonarDades(unsigned char* values, unsigned char* names, std::int32_t* count) {
  RunExport([&] {
    CallerSlots slots;
    int n = slots.copyStoredList();
    n = RewriteAsAddedTerms(slots, n);
    slots.write(values, names, slots.highest);  // the arrays are not cleared first
    WriteInt(n, count);
  });
}

ABACO32_API void ABACO32_CALL CalcularExpressio(unsigned char* answer, const char* expression) {
  RunExport([&] {
    const std::string text = Answer(ReadCountedString(expression),
                                    [](const Real6& value) { return FormatResult(value, DecimalSign::Point); });
    if (answer != nullptr) WriteShortString(text, AnswerLimit, answer);
  });
}

ABACO32_API void ABACO32_CALL ProcCalcularExpressio(char* buffer, std::int32_t maxLength) {
  RunExport([&] {
    if (buffer == nullptr) return;
    const std::string text = Answer(std::string(buffer), ScientificNotation);
    WriteShortString(text, static_cast<std::size_t>(maxLength & 0xFF), reinterpret_cast<unsigned char*>(buffer));
  });
}

ABACO32_API float ABACO32_CALL CalcularCurrency(const char* expression, std::int32_t* status) {
  float value = 0;
  RunExport([&] {
    const ExpressionOutcome outcome = CalculateExpression(ReadCountedString(expression));
    storedListReadable = outcome.AnalysisError == AnalysisOk;
    std::int32_t code = 0;
    if (outcome.AnalysisError != AnalysisOk) {
      code = 2;
    } else if (outcome.EvaluationError != EvaluationOk) {
      code = 1;
    } else {
      value = static_cast<float>(outcome.Result.toLongDouble());
    }
    WriteInt(code, status);
  });
  return value;
}

#if !defined(_WIN32)

// A calculator of the caller's: no lock, the caller keeps each one to a thread.
struct Abaco32Calculator {
  Calculator engine;
};

ABACO32_API Abaco32Calculator* Abaco32New(void) { return new (std::nothrow) Abaco32Calculator; }

ABACO32_API void Abaco32Free(Abaco32Calculator* calculator) { delete calculator; }

ABACO32_API std::int32_t Abaco32Analyse(Abaco32Calculator* calculator, const char* expressionUtf8,
                                        std::int32_t allowVariables) {
  if (calculator == nullptr) return -1;
  std::int32_t code = allowVariables != 0 ? VariablesAllowed : 0;
  ExtendedPrecisionScope precision;
  try {
    std::int32_t flag = 1;
    calculator->engine.Analyse(utf8ToCp1252(expressionUtf8 != nullptr ? expressionUtf8 : ""), code, flag);
  } catch (...) {
    code = AnalysisTooLong;  // no memory for the text: too long for this process
  }
  return code;
}

ABACO32_API double Abaco32Evaluate(Abaco32Calculator* calculator, double x, double y, double z, double u, double v,
                                   std::int32_t* error) {
  std::int32_t code = EvaluationListNotReady;
  double value = 0;
  if (calculator != nullptr) {
    ExtendedPrecisionScope precision(false);
    value = calculator->engine.Evaluate({x, y, z, u, v}, code);
  }
  WriteInt(code, error);
  return value;
}

ABACO32_API std::size_t Abaco32Answer(const char* lineUtf8, char* out, std::size_t outSize) {
  std::string answer;
  {
    ExtendedPrecisionScope precision;
    try {
      Calculator calculator;  // the stored analyses stay as they are
      const std::string line = utf8ToCp1252(lineUtf8 != nullptr ? lineUtf8 : "");
      answer = cp1252ToUtf8(AnswerLine(line, CalculateExpression(line, calculator), DecimalSign::Comma));
    } catch (...) {
      answer.clear();
    }
  }
  if (out != nullptr && outSize > 0) {
    std::size_t length = std::min(answer.size(), outSize - 1);
    // Never half a character: back over UTF-8 continuation bytes.
    if (length < answer.size()) {
      while (length > 0 && (static_cast<unsigned char>(answer[length]) & 0xC0) == 0x80) --length;
    }
    std::memcpy(out, answer.data(), length);
    out[length] = '\0';
  }
  return answer.size();
}

#endif

}  // extern "C"
