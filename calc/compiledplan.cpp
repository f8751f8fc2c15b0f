// The plan compiled to x86-64 code, called exactly as CalcularXYZUV is
// called. Each step is a few instructions on SSE registers: the operation,
// the rounding to 40 bits (half up, as in the plan; a result exactly on a
// midpoint goes to a stub), and a check that the result is a plain value.
// The value stays in the SSE registers from step to step; the checks read a
// copy of its bits beside it, off the path that carries the value. The rare paths
// (ties, zeros, values out of range, results near a midpoint) sit after the
// main body, so the common path runs straight through. Any value out of the
// plain range leaves at once: the arguments are put back and the code jumps
// to the evaluation without code, as if that had been called.
//
// Where values live: the previous step's result in xmm0, xmm2 or xmm3 (a
// step computes in a register other than the one holding its operand), the
// variables in xmm8-xmm12, the plan's constants in the code buffer (after
// the constants the code itself reads), and results read again later in a
// stack frame. The other SSE registers, rax, r10 and r11 are scratch (rcx
// and rdx too once the answer is written out); the argument registers stay
// as they came unless the plan makes calls, and then the frame keeps them.
//
// The entry: endbr64, then "sub rsp, frame" where the plan needs a frame.
// The frame, from rsp up (FrameSlot below): the flag the called entries
// set, a library function's argument and its radians, the six argument
// registers, the five variables, then the results read again later, 8
// bytes each. Its size keeps rsp 16-byte aligned at every call. Two bodies
// may follow the entry: one for variables inside a window of magnitudes
// (fewer range checks, planranges.h) and one checking every step.
//
// Every instruction is written by name through the emitter (x64emitter.h),
// which holds each encoding.

#include "calc/compiledplan.h"
#include "calc/planranges.h"
#include "calc/planrounding.h"
#include "calc/x64emitter.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <span>
#include <type_traits>
#include <utility>
#include <math.h>

#if defined(BRUNZIT_COMPILED_PLAN)
#include <sys/mman.h>
#endif

namespace brunzit {

#if defined(BRUNZIT_COMPILED_PLAN)

namespace {

// A plan of 200 slots in two bodies takes up to about 60 KB.
constexpr std::size_t CodeCapacity = 256 * 1024;
constexpr int NoRegister = -1;

// The constants the code reads, 16 bytes each (SSE reads 16), then the
// plan's own constants, 8 bytes each.
constexpr std::uint64_t RoundingIncrement = RoundingHalf;
constexpr std::uint64_t RoundingMask = ~DroppedBits;
constexpr std::uint64_t SignMask = ~(std::uint64_t(1) << 63);
constexpr std::uint64_t KeepSignAndFraction = ~(std::uint64_t(0x7FF) << 52);
enum ConstantSlot : std::size_t {
  IncrementAt = 0,
  MaskAt = 16,
  AbsoluteAt = 32,
  ShareAt = 48,
  OneAt = 64,
  OneEightiethAt = 80,
  ShortPiAt = 96,
  KeepSignAndFractionAt = 112,
  NegateAt = 128,
  PlanConstantsAt = 144
};

// The stack frame: the flag the entries set, a library function's argument
// and radians, the saved arguments, the variables, then stored results. A
// tie's call in a plan without a frame makes room for the same slots.
enum FrameSlot : std::int32_t { FlagAt = 0, ArgumentAt = 8, RadiansAt = 16, SavedAt = 24, VariablesAt = 72, StoredAt = 112 };
constexpr std::int32_t TieFrameSize = 120;  // 8 more than a multiple of 16: calls see an aligned stack

// The plain range's exponents (planrounding.h) as the code compares them.
constexpr std::int32_t LowestExponent = LowestPlainExponent;
constexpr std::int32_t PlainExponentSpan = HighestPlainExponent - LowestPlainExponent;
// The same range for a Real6's exponent byte (bias 129 against 1023).
constexpr std::int32_t Real6ExponentOffset = 1023 - 129;
// |b| above SafeDivisor: its bits shifted left by one.
const std::uint64_t SafeDivisorBits = std::bit_cast<std::uint64_t>(SafeDivisor) << 1;

using namespace x64;
using enum Gpr;
using enum Gpr32;
using enum Xmm;

// The arguments in calling order: X, Y, Z, U, V, the result.
constexpr Gpr ArgumentRegisters[6] = {Rdi, Rsi, Rdx, Rcx, R8, R9};
// X, Y, Z, U, V live in xmm8 to xmm12.
constexpr Xmm variableXmm(int index) { return XmmNumber(8 + static_cast<unsigned>(index)); }

// Handed to the evaluation without code for a variable the expression does
// not name.
const Real6 UnnamedVariable;

// A slot in the frame, and a constant in the buffer.
Memory frame(std::int32_t offset) { return Memory::Wide(Rsp, offset); }
Memory constant(std::size_t offset) { return Memory::InBuffer(offset); }

// Out-of-line code and where it returns to.
struct Stub {
  enum Kind : std::uint8_t { Tie, Zero, ZeroVariable, Exact } kind;
  Xmm lastXmm;           // the SSE register holding the previous result before the step
  Xmm work;              // the SSE register the step computes in
  std::int16_t last;     // that previous result's register
  std::uint32_t from;    // displacement of the jump into the stub
  std::uint32_t back;    // where the stub returns
  const PlanStep* step;  // the step's operation, operands and function
};

class PlanCompiler {
 public:
  PlanCompiler(const EvaluationPlan& plan, unsigned char* code, const void* fallBack, bool windowed)
      : plan_(plan), out_(code, CodeCapacity), fallBack_(fallBack), tryWindow_(windowed) {}

  // Returns the entry's offset, or 0 when the code did not fit.
  std::size_t compile() {
    survey();
    emitConstants();
    const std::size_t entry = out_.size();
    out_.endbr64();
    if (frameSize_ > 0) out_.sub(Rsp, Imm32(frameSize_));
    if (calls_) saveArguments();
    if (tryWindow_) chooseWindow();
    if (window_ > 0) body(true);
    const std::size_t checkedBody = out_.size();
    for (int i = 0; i < outsideWindowCount_; ++i) out_.patch(outsideWindow_[i], checkedBody);
    body(false);
    oddExit_ = out_.size();
    leave();
    for (int i = 0; i < stubCount_; ++i) emitStub(stubs_[i]);
    for (int i = 0; i < oddJumpCount_; ++i) out_.patch(oddJumps_[i], oddExit_);
    return out_.full() ? 0 : entry;
  }

 private:
  // At most three per step and one per variable, in each of two bodies.
  static constexpr int MaxStubs = 2 * (3 * SlotCapacity + 5);

  // The variables read, then the steps and the answer. The windowed body
  // runs when every variable is 0 or within [2^-window, 2^window): it leaves
  // out the checks the ranges below prove needless, and sends any other
  // variable to the checked body, which checks every step.
  void body(bool windowed) {
    windowed_ = windowed;
    last_ = NoRegister;
    lastXmm_ = Xmm3;
    answerInR10_ = false;
    answerChecked_ = false;
    for (int i = 0; i < 5; ++i) {
      if (usesVariable(i)) readVariable(i);
    }
    if (calls_) storeVariables();
    for (int i = 0; i < plan_.StepCount; ++i) step(plan_.Steps[i]);
    writeResult();
  }

  // The widest window of the variables' magnitudes that leaves out the most
  // checks (planranges.h), if any.
  void chooseWindow() {
    PlanWindow chosen;
    ChoosePlanWindow(plan_, chosen);
    window_ = chosen.Window;
    if (window_ == 0) return;
    std::memcpy(skipRange_, chosen.SkipRange, sizeof skipRange_);
    std::memcpy(skipDivisor_, chosen.SkipDivisor, sizeof skipDivisor_);
  }

  bool skips(const PlanStep& s, const bool* flags) const { return windowed_ && flags[&s - plan_.Steps]; }

  bool usesVariable(int i) const { return (plan_.UsedVariables & (1u << i)) != 0; }
  bool isConstant(int reg) const { return reg >= 5 && !isTarget_[reg]; }

  // Which registers are constants, which results are read again after the
  // next step (they get a slot in the frame), and whether the plan calls.
  void survey() {
    std::memset(isTarget_, 0, sizeof isTarget_);
    std::memset(storedAt_, 0, sizeof storedAt_);
    for (const PlanStep& s : std::span(plan_.Steps, plan_.StepCount)) {
      isTarget_[s.Target] = true;
      calls_ = calls_ || s.Op == PlanOp::Power || s.Op == PlanOp::PowerWhole ||
               (s.Op == PlanOp::Function && s.Function != FunctionId::ABS);
    }
    std::int32_t nextSlot = StoredAt;
    auto store = [&](int reg) {
      if (reg >= 5 && isTarget_[reg] && storedAt_[reg] == 0) {
        storedAt_[reg] = nextSlot;
        nextSlot += 8;
      }
    };
    for (int i = 0; i < plan_.StepCount; ++i) {
      const PlanStep& s = plan_.Steps[i];
      const int previous = i > 0 ? plan_.Steps[i - 1].Target : NoRegister;
      if (s.Left != previous) store(s.Left);
      if (s.Op != PlanOp::Function && s.Right != previous) store(s.Right);
    }
    if (plan_.StepCount > 0 && plan_.Steps[plan_.StepCount - 1].Target != plan_.ResultRegister) {
      store(plan_.ResultRegister);
    }
    if (calls_ || nextSlot > StoredAt) frameSize_ = nextSlot % 16 == 8 ? nextSlot : nextSlot + 8;
    unsigned later = plan_.ResultRegister < 5 ? 1u << plan_.ResultRegister : 0;
    for (int i = plan_.StepCount - 1; i >= 0; --i) {
      readLater_[i] = later;
      const PlanStep& s = plan_.Steps[i];
      if (s.Left < 5) later |= 1u << s.Left;
      if (s.Op != PlanOp::Function && s.Right < 5) later |= 1u << s.Right;
    }
  }

  void emitConstants() {
    for (std::uint64_t value :
         {RoundingIncrement, RoundingMask, SignMask, std::bit_cast<std::uint64_t>(DoubleRadiansShare),
          std::bit_cast<std::uint64_t>(1.0), std::bit_cast<std::uint64_t>(DoubleOneEightieth),
          std::bit_cast<std::uint64_t>(DoubleShortPi), KeepSignAndFraction, ~SignMask}) {
      out_.u64(value);
      out_.u64(value);
    }
    auto place = [&](int reg) {
      if (isConstant(reg) && constantAt_[reg] == 0) {
        constantAt_[reg] = out_.size();
        out_.u64(std::bit_cast<std::uint64_t>(plan_.Registers[reg]));
      }
    };
    std::memset(constantAt_, 0, sizeof constantAt_);
    std::memset(reciprocalAt_, 0, sizeof reciprocalAt_);
    for (const PlanStep& s : std::span(plan_.Steps, plan_.StepCount)) {
      place(s.Left);
      if (s.Op != PlanOp::Function) place(s.Right);
      if (s.Op == PlanOp::Divide && powerOfTwo(s.Right) && reciprocalAt_[s.Right] == 0) {
        reciprocalAt_[s.Right] = out_.size();
        out_.u64(std::bit_cast<std::uint64_t>(1 / plan_.Registers[s.Right]));
      }
    }
    place(plan_.ResultRegister);
    out_.align(16);
  }

  // The arguments the plan reads, and the result's address. A variable the
  // expression does not name changes nothing, so the way out hands the
  // evaluation without code a zero in its place.
  bool keepsArgument(int i) const { return i == 5 || usesVariable(i); }
  void saveArguments() {
    for (int i = 0; i < 6; ++i) {
      if (keepsArgument(i)) out_.mov(frame(SavedAt + 8 * i), ArgumentRegisters[i]);
    }
  }
  void restoreArguments() {
    for (int i = 0; i < 6; ++i) {
      if (keepsArgument(i)) {
        out_.mov(ArgumentRegisters[i], frame(SavedAt + 8 * i));
      } else {
        out_.movabs(ArgumentRegisters[i], reinterpret_cast<std::uintptr_t>(&UnnamedVariable));
      }
    }
  }
  void storeVariables() {
    for (int i = 0; i < 5; ++i) {
      if (usesVariable(i)) out_.movsd(frame(VariablesAt + 8 * i), variableXmm(i));
    }
  }
  // After a call the variables' registers are lost: those that steps after
  // `step` read are read again.
  void restoreVariables(const PlanStep& step) {
    const unsigned later = readLater_[&step - plan_.Steps];
    for (int i = 0; i < 5; ++i) {
      if (later & (1u << i)) out_.movsd(variableXmm(i), frame(VariablesAt + 8 * i));
    }
  }
  // A variable's value after a call, before its register is read again.
  void loadAfterCall(Xmm xmm, int reg) {
    if (reg < 5 && reg != last_) {
      out_.movsd(xmm, frame(VariablesAt + 8 * reg));
    } else {
      load(xmm, reg);
    }
  }

  // The arguments back as they came, and on to the evaluation without code.
  void leave() {
    if (calls_) restoreArguments();
    if (frameSize_ > 0) out_.add(Rsp, Imm32(frameSize_));
    out_.movabs(Rax, reinterpret_cast<std::uintptr_t>(fallBack_));
    out_.jmp(Rax);
  }

  // A Real6 argument into its SSE register as a double, or out to the
  // reference unless it is plain or zero. Uses rax, r10 and r11 only. The
  // sign and the fraction (bytes 1-5, the upper four sign-extended) and the
  // exponent (byte 0) take two short paths joined in the SSE register: the
  // shortest way from the argument to the first operation.
  void readVariable(int index) {
    const Gpr from = ArgumentRegisters[index];
    const Xmm xmm = variableXmm(index);
    out_.movsxd(Rax, Memory::Wide(from, 2));
    out_.movzxByte(R11d, Memory::Wide(from, 1));
    out_.movzxByte(R10d, Memory::Wide(from, 0));  // the exponent
    out_.shl(Rax, 21);                            // fraction bits 8-38 to 21-51
    out_.shl(R11, 13);                            // fraction bits 0-7 to 13-20
    out_.or_(Rax, R11);
    out_.movq(xmm, Rax);
    out_.pand(xmm, constant(KeepSignAndFractionAt));  // clear the exponent field
    out_.add(R10d, Imm32(Real6ExponentOffset));        // the double's exponent
    out_.cmp(R10d, Imm32(LowestExponent));
    const std::size_t low = out_.jcc(Condition::Below);  // zero or too small
    out_.cmp(R10d, Imm32(LowestExponent + PlainExponentSpan));
    oddJump(out_.jcc(Condition::Above));
    if (windowed_) {
      // Outside the window: the checked body. (A zero comes back from its
      // stub after this: the windowed body allows 0.)
      out_.lea(Eax, Memory::Wide(R10, -(1023 - window_)));
      out_.cmp(Eax, Imm32(2 * window_ - 1));
      outsideWindow_[outsideWindowCount_++] = out_.jcc(Condition::Above);
    }
    out_.shl(R10, 52);
    out_.movq(Xmm0, R10);
    out_.por(xmm, Xmm0);
    stubs_[stubCount_++] = Stub{Stub::ZeroVariable, Xmm0, Xmm0, static_cast<std::int16_t>(index),
                                static_cast<std::uint32_t>(low), static_cast<std::uint32_t>(out_.size()), nullptr};
  }

  // The register that holds reg's value, if one does.
  bool inXmm(int reg, Xmm& xmm) const {
    if (reg == last_) {
      xmm = lastXmm_;
      return true;
    }
    if (reg < 5) {
      xmm = variableXmm(reg);
      return true;
    }
    return false;
  }

  // emit(operand) with reg's value as the source operand: a register, a
  // constant in the buffer or a slot in the frame.
  template <typename Emit>
  void withOperand(int reg, Emit emit) {
    Xmm xmm = Xmm0;
    if (inXmm(reg, xmm)) {
      emit(xmm);
    } else if (isConstant(reg)) {
      emit(constant(constantAt_[reg]));
    } else {
      emit(frame(storedAt_[reg]));
    }
  }
  // xmm <- reg's value: movapd from a register, movsd from memory.
  void load(Xmm xmm, int reg) {
    Xmm from = Xmm0;
    if (inXmm(reg, from) && from == xmm) return;
    withOperand(reg, [&](auto operand) {
      if constexpr (std::is_same_v<decltype(operand), Xmm>) {
        out_.movapd(xmm, operand);
      } else {
        out_.movsd(xmm, operand);
      }
    });
  }
  // xmm0 <- left and xmm1 <- right, in the order that keeps a previous
  // result in xmm0 until it is read.
  void loadPair(int left, int right) {
    Xmm from = Xmm0;
    const bool rightInXmm0 = inXmm(right, from) && from == Xmm0;
    if (rightInXmm0) load(Xmm1, right);
    load(Xmm0, left);
    if (!rightInXmm0) load(Xmm1, right);
  }
  // gpr <- the bits of reg's value.
  void loadBits(Gpr gpr, int reg) {
    withOperand(reg, [&](auto operand) {
      if constexpr (std::is_same_v<decltype(operand), Xmm>) {
        out_.movq(gpr, operand);
      } else {
        out_.mov(gpr, operand);
      }
    });
  }
  // to = to op from, for the four arithmetic steps.
  template <typename Operand>
  void operate(PlanOp op, Xmm to, Operand from) {
    switch (op) {
      case PlanOp::Add: out_.addsd(to, from); break;
      case PlanOp::Subtract: out_.subsd(to, from); break;
      case PlanOp::Multiply: out_.mulsd(to, from); break;
      default: out_.divsd(to, from); break;
    }
  }

  void oddJump(std::size_t from) { oddJumps_[oddJumpCount_++] = from; }

  void addStub(Stub::Kind kind, std::size_t from, std::size_t back, const PlanStep* s) {
    stubs_[stubCount_++] = Stub{kind,
                                lastXmm_,
                                work_,
                                static_cast<std::int16_t>(last_),
                                static_cast<std::uint32_t>(from),
                                static_cast<std::uint32_t>(back),
                                s};
  }

  // rax <- r10 + r10: the bits of a value plus 0x1000, shifted out of the
  // sign, are 0x2000 for either zero.
  void doubleR10IntoRax() { out_.lea(Rax, Memory::At(R10, R10)); }

  // With the value's bits plus 0x1000 in r10 (the rounding's carry gives
  // the rounded exponent): out to the reference unless the value is plain.
  // The stub lets 0 through.
  void checkRange(const PlanStep* s = nullptr) {
    doubleR10IntoRax();
    out_.shr(Rax, 53);
    out_.sub(Eax, Imm32(LowestExponent));
    out_.cmp(Eax, Imm32(PlainExponentSpan));
    const std::size_t from = out_.jcc(Condition::Above);
    addStub(Stub::Zero, from, out_.size(), s);
  }

  void addIncrementToR10() { out_.add(R10, Imm32(RoundingHalf)); }
  // r10 <- rax + 0x1000: the bits the range check reads.
  void incrementIntoR10() { out_.lea(R10, Memory::At(Rax, RoundingHalf)); }

  // The result in xmm becomes the previous result, stored if read later.
  void finish(const PlanStep& s, Xmm xmm) {
    if (storedAt_[s.Target] != 0) out_.movsd(frame(storedAt_[s.Target]), xmm);
    last_ = s.Target;
    lastXmm_ = xmm;
  }

  // A step computes in xmm2 or xmm3, whichever does not hold the previous
  // result: the operands stay as they were, for a tie's second look.
  Xmm chooseWork() { return work_ = lastXmm_ == Xmm2 ? Xmm3 : Xmm2; }

  void checkDivisor(int reg) {
    // A constant divisor is known now.
    if (isConstant(reg) && std::fabs(plan_.Registers[reg]) > SafeDivisor) return;
    loadBits(R10, reg);
    out_.add(R10, R10);  // |b| shifted
    out_.movabs(Rax, SafeDivisorBits);
    out_.cmp(R10, Rax);
    oddJump(out_.jcc(Condition::BelowOrEqual));  // a divisor near 0
  }

  bool powerOfTwo(int reg) const {
    int exponent = 0;
    return isConstant(reg) && std::frexp(std::fabs(plan_.Registers[reg]), &exponent) == 0.5;
  }

  // A product with a power of two, or a quotient by one (as a product by its
  // reciprocal), keeps the other value's significant bits: nothing to round,
  // no tie, only the range to check.
  bool scaling(const PlanStep& s) const {
    return (s.Op == PlanOp::Multiply && (powerOfTwo(s.Left) || powerOfTwo(s.Right))) ||
           (s.Op == PlanOp::Divide && powerOfTwo(s.Right));
  }

  void scale(const PlanStep& s) {
    const Xmm work = chooseWork();
    load(work, s.Left);
    if (s.Op == PlanOp::Divide) {
      out_.mulsd(work, constant(reciprocalAt_[s.Right]));
    } else {
      withOperand(s.Right, [&](auto operand) { out_.mulsd(work, operand); });
    }
    if (!skips(s, skipRange_)) {
      out_.movq(Rax, work);
      incrementIntoR10();
      checkRange();
    }
    finish(s, work);
  }

  void arithmetic(const PlanStep& s) {
    if (scaling(s)) return scale(s);
    if (s.Op == PlanOp::Divide && !skips(s, skipDivisor_)) checkDivisor(s.Right);
    const Xmm work = chooseWork();
    load(work, s.Left);
    withOperand(s.Right, [&](auto operand) { operate(s.Op, work, operand); });
    out_.movq(Rax, work);
    // The answer is rounded where it is written out, from r10.
    answerInR10_ = &s == &plan_.Steps[plan_.StepCount - 1] && s.Target == plan_.ResultRegister;
    if (!answerInR10_) {
      out_.paddq(work, constant(IncrementAt));
      out_.pand(work, constant(MaskAt));
    }
    incrementIntoR10();
    out_.test(R10d, Imm32(DroppedBits));  // the low bits were exactly 0x1000
    const std::size_t tie = out_.jcc(Condition::Equal);
    addStub(Stub::Tie, tie, out_.size(), &s);  // the tie's value joins at the range check
    if (!skips(s, skipRange_)) {
      if (answerInR10_) {
        finalStep_ = &s;
        answerChecked_ = true;
      }
      checkRange(&s);
    }
    finish(s, work);
  }

  // Calls an entry whose last argument is the flag's address (after the
  // function's number for the general entry), and reads the flag into rax.
  void clearFlag() { out_.movQword(Memory::At(Rsp), Imm32(0)); }
  void callEntry(const void* entry, FunctionId general = FunctionId::None) {
    if (general != FunctionId::None) {
      out_.mov(Edi, Imm32(static_cast<int>(general)));
      out_.lea(Rsi, Memory::At(Rsp));
    } else {
      out_.lea(Rdi, Memory::At(Rsp));
    }
    out_.movabs(Rax, reinterpret_cast<std::uintptr_t>(entry));
    out_.call(Rax);
    out_.mov(Rax, Memory::At(Rsp));
  }
  // ... and out to the reference where the entry set the flag.
  void callWithFlag(const PlanStep& s, const void* entry, FunctionId general = FunctionId::None) {
    clearFlag();
    callEntry(entry, general);
    restoreVariables(s);
    out_.test(Rax, Rax);
    oddJump(out_.jcc(Condition::NotEqual));
  }

  void function(const PlanStep& s) {
    if (s.Function == FunctionId::ABS) {
      const Xmm work = chooseWork();
      load(work, s.Left);
      out_.andpd(work, constant(AbsoluteAt));
      finish(s, work);
      return;
    }
#if defined(__GLIBC__)
    // glibc's double functions, as the plan's own evaluation uses them.
    switch (s.Function) {
      case FunctionId::SIN: return libraryFunction(s, &::sin);
      case FunctionId::COS: return libraryFunction(s, &::cos);
      case FunctionId::TAN: return libraryFunction(s, &::tan);
      case FunctionId::ATA: return libraryFunction(s, &::atan);
      case FunctionId::SIG: return libraryFunction(s, &::sin, true);
      case FunctionId::COG: return libraryFunction(s, &::cos, true);
      case FunctionId::TAG: return libraryFunction(s, &::tan, true);
      default: break;
    }
#endif
    load(Xmm0, s.Left);
    if (const PlanFunctionPointer entry = PlanFunctionEntry(s.Function)) {
      callWithFlag(s, reinterpret_cast<const void*>(entry));
    } else {
      callWithFlag(s, reinterpret_cast<const void*>(&PlanFunctionGeneral), s.Function);
    }
    finish(s, Xmm0);
  }

  // f(a) by the library; a previous result as the argument is kept in the
  // frame for the plan's own function. Degree functions turn degrees into
  // radians on doubles, keep them in the frame, and check that the result
  // is not too sensitive to the radians' rounding.
  void libraryFunction(const PlanStep& s, double (*library)(double), bool degrees = false) {
    load(Xmm0, s.Left);
    if (s.Left == last_) out_.movsd(frame(ArgumentAt), Xmm0);
    if (degrees) {
      out_.mulsd(Xmm0, constant(OneEightiethAt));
      out_.mulsd(Xmm0, constant(ShortPiAt));
      out_.movsd(frame(RadiansAt), Xmm0);
    }
    out_.movabs(Rax, reinterpret_cast<std::uintptr_t>(library));
    out_.call(Rax);
    out_.movq(Rax, Xmm0);
    const int sensitive = degrees ? checkSensitivity(s) : -1;
    // Near a midpoint between two Real6 values the plan's own function
    // decides: the low bits, moved by the margin, within twice the margin.
    const std::int32_t margin = static_cast<std::int32_t>(PlanFunctionMarginFor(s.Function));
    out_.lea(R10d, Memory::At(Rax, margin - static_cast<std::int32_t>(RoundingHalf)));
    out_.and_(R10d, Imm32(DroppedBits));
    out_.cmp(R10d, Imm8(2 * margin));
    addStub(Stub::Exact, out_.jcc(Condition::BelowOrEqual), 0, &s);
    const int exact = stubCount_ - 1;
    out_.paddq(Xmm0, constant(IncrementAt));
    out_.pand(Xmm0, constant(MaskAt));
    // The sine, cosine and arctangent of a plain value are plain: at most
    // pi/2, and at least the value itself near 0 or about 2^-60 near
    // multiples of pi. Tangents and degree functions are checked.
    const bool plainResult = s.Function == FunctionId::SIN || s.Function == FunctionId::COS ||
                             s.Function == FunctionId::ATA;
    if (!plainResult) incrementIntoR10();
    stubs_[exact].back = static_cast<std::uint32_t>(out_.size());
    if (sensitive >= 0) stubs_[sensitive].back = static_cast<std::uint32_t>(out_.size());
    restoreVariables(s);
    if (!plainResult) checkRange();
    finish(s, Xmm0);
  }

  // With the result v in xmm0 and r in the frame: on to the plan's own
  // function unless |r| <= 2 |v| (sine), r^2 <= 2 |v| (cosine) or
  // |r| (1 + v^2) <= 2 |v| (tangent).
  int checkSensitivity(const PlanStep& s) {
    out_.movsd(Xmm2, frame(RadiansAt));
    switch (s.Function) {
      case FunctionId::COG:
        out_.mulsd(Xmm2, Xmm2);
        break;
      case FunctionId::TAG:
        out_.andpd(Xmm2, constant(AbsoluteAt));
        out_.movapd(Xmm1, Xmm0);
        out_.mulsd(Xmm1, Xmm0);
        out_.addsd(Xmm1, constant(OneAt));
        out_.mulsd(Xmm2, Xmm1);
        break;
      default:
        out_.andpd(Xmm2, constant(AbsoluteAt));
        break;
    }
    out_.movapd(Xmm1, Xmm0);
    out_.andpd(Xmm1, constant(AbsoluteAt));
    out_.mulsd(Xmm1, constant(ShareAt));  // 2 |v|
    out_.ucomisd(Xmm2, Xmm1);
    addStub(Stub::Exact, out_.jcc(Condition::Above), 0, &s);
    return stubCount_ - 1;
  }

  void power(const PlanStep& s) {
    loadPair(s.Left, s.Right);
    callWithFlag(s, reinterpret_cast<const void*>(s.Op == PlanOp::PowerWhole ? &PlanPowerWhole : &PlanPower));
    finish(s, Xmm0);
  }

  void step(const PlanStep& s) {
    switch (s.Op) {
      case PlanOp::Add:
      case PlanOp::Subtract:
      case PlanOp::Multiply:
      case PlanOp::Divide: arithmetic(s); break;
      case PlanOp::Power:
      case PlanOp::PowerWhole: power(s); break;
      default: function(s); break;
    }
  }

  // The answer, a plain value, into the caller's Real6, and error 0. An
  // answer checked by the last step's range check that turned out 0 comes
  // to the zero answer from there.
  void writeResult() {
    // The answer checked by the last step is read from r10, its bits plus
    // 0x1000: the shifts below drop the low bits the rounding clears, and
    // keep its carry.
    const Gpr answer = answerInR10_ ? R10 : Rax;
    if (!answerInR10_) loadBits(Rax, plan_.ResultRegister);
    if (calls_) loadResultAddress();
    std::size_t zero = 0;
    if (!answerInR10_) {
      out_.lea(Rcx, Memory::At(Rax, Rax));
      out_.test(Rcx, Rcx);
      zero = out_.jcc(Condition::Equal);
    } else if (!answerChecked_) {
      out_.lea(Rcx, Memory::At(R10, R10));
      out_.cmp(Rcx, Imm32(2 * RoundingHalf));  // the answer is 0
      zero = out_.jcc(Condition::Equal);
    }
    // Bytes 0-3: the exponent byte, then fraction bits 0-23 (the low 13 bits
    // of a Real6 value are 0, so rax >> 5 has 0 in its low byte).
    out_.mov(Rcx, answer);
    out_.shr(Rcx, 5);
    out_.mov(Rdx, answer);
    out_.shr(Rdx, 52);                          // sign and exponent
    out_.sub(Edx, Imm32(Real6ExponentOffset));  // its low byte is the exponent byte
    out_.mov(Gpr8::Cl, Gpr8::Dl);
    out_.mov(Memory::Wide(R9, 0), Ecx);
    // Bytes 4-5: fraction bits 24-38 and the sign.
    out_.shr(Rcx, 32);
    out_.and_(Ecx, Imm32(0x7FFF));
    out_.shr(answer, 63);
    out_.shl(Dword(answer), 15);
    out_.or_(Ecx, Dword(answer));
    out_.mov(Memory::Wide(R9, 4), Gpr16::Cx);
    const std::size_t done = out_.size();
    out_.mov(Rax, frame(frameSize_ + 8));  // the error's address
    out_.movDword(Memory::At(Rax), Imm32(0));
    if (frameSize_ > 0) out_.add(Rsp, Imm32(frameSize_));
    out_.ret();
    zeroAnswer_ = out_.size();
    if (zero != 0) out_.patch(zero, zeroAnswer_);
    if (calls_) loadResultAddress();
    out_.movDword(Memory::At(R9), Imm32(0));
    out_.movWord(Memory::At(R9, 4), Imm16(0));
    out_.jmp(done);
  }

  void loadResultAddress() { out_.mov(R9, frame(SavedAt + 8 * 5)); }

  // Out of the plain range unless it is zero (r10 0x1000 or
  // 0x8000000000001000): then back to `zero`.
  void leaveUnlessZero(std::size_t zero) {
    doubleR10IntoRax();
    out_.cmp(Rax, Imm32(2 * RoundingHalf));
    out_.jcc(Condition::NotEqual, oddExit_);
    out_.jmp(zero);
  }

  void emitStub(const Stub& stub) {
    out_.patch(stub.from, out_.size());
    switch (stub.kind) {
      case Stub::Tie: return emitTie(stub);
      case Stub::Zero:
        // The answer's own check sends 0 to the zero answer.
        leaveUnlessZero(finalStep_ != nullptr && stub.step == finalStep_ ? zeroAnswer_ : stub.back);
        return;
      case Stub::Exact:
        // The plan's own function, on extended reals where it must.
        last_ = stub.last;
        clearFlag();
        if (stub.step->Left == stub.last) {
          out_.movsd(Xmm0, frame(ArgumentAt));
        } else {
          loadAfterCall(Xmm0, stub.step->Left);
        }
        callEntry(reinterpret_cast<const void*>(&PlanFunctionGeneral), stub.step->Function);
        out_.test(Rax, Rax);
        out_.jcc(Condition::NotEqual, oddExit_);
        out_.movq(R10, Xmm0);
        addIncrementToR10();
        out_.jmp(stub.back);
        return;
      case Stub::ZeroVariable:
        // An exponent byte of 0 is the value 0, whatever the other bytes.
        out_.cmp(R10d, Imm32(Real6ExponentOffset));  // the offset alone
        out_.jcc(Condition::NotEqual, oddExit_);
        out_.xorpd(variableXmm(stub.last), variableXmm(stub.last));
        out_.jmp(stub.back);
        return;
    }
  }

  // PlanTie(op, a, b) with the operands as the step read them. A plan that
  // makes no calls keeps its arguments and variables in registers: they are
  // kept in the frame (or in room made for them) around this call.
  void emitTie(const Stub& stub) {
    last_ = stub.last;
    lastXmm_ = stub.lastXmm;
    loadPair(stub.step->Left, stub.step->Right);
    std::size_t inexact[2] = {0, 0};
    if (settleExactTie(stub.step->Op, stub.work, inexact)) {
      out_.jmp(stub.back);
      const std::size_t call = out_.size();
      for (const std::size_t from : inexact) {
        if (from != 0) out_.patch(from, call);
      }
    }
    if (frameSize_ == 0) out_.sub(Rsp, Imm8(TieFrameSize));
    if (!calls_) {
      saveArguments();
      storeVariables();
    }
    out_.mov(Edi, Imm32(static_cast<int>(stub.step->Op)));
    out_.movabs(Rax, reinterpret_cast<std::uintptr_t>(&PlanTie));
    out_.call(Rax);
    if (!calls_) restoreArguments();
    restoreVariables(*stub.step);
    if (frameSize_ == 0) out_.add(Rsp, Imm8(TieFrameSize));
    out_.movapd(stub.work, Xmm0);
    out_.movq(R10, Xmm0);
    addIncrementToR10();
    out_.jmp(stub.back);  // on to the range check
  }

  // A sum that lost nothing, or a product of factors whose significant bits
  // fit in a double together, is a true tie: rounded half to even here,
  // without a call (the plan's ties are mostly of this kind). Reads a and b
  // in xmm0 and xmm1 and leaves them there. Leaves the value in the step's
  // register and r10 as the range check wants them; jumps to the
  // displacements in `inexact` otherwise.
  bool settleExactTie(PlanOp op, Xmm work, std::size_t (&inexact)[2]) {
    if (op == PlanOp::Add || op == PlanOp::Subtract) {
      // TwoSum, leaving a in xmm0 and b in xmm1 for the call below.
      out_.movapd(Xmm4, Xmm0);
      operate(op, Xmm4, Xmm1);  // s = a op b
      out_.movapd(Xmm7, Xmm1);
      if (op == PlanOp::Subtract) out_.xorpd(Xmm7, constant(NegateAt));  // -b
      out_.movapd(Xmm5, Xmm4);
      out_.subsd(Xmm5, Xmm0);  // s - a
      out_.movapd(Xmm6, Xmm4);
      out_.subsd(Xmm6, Xmm5);  // s - (s - a)
      out_.subsd(Xmm7, Xmm5);  // b - (s - a)
      out_.movapd(Xmm5, Xmm0);
      out_.subsd(Xmm5, Xmm6);  // a - (s - (s - a))
      out_.addsd(Xmm7, Xmm5);  // what the sum lost
      out_.xorpd(Xmm5, Xmm5);
      out_.ucomisd(Xmm7, Xmm5);
      inexact[0] = out_.jcc(Condition::NotEqual);
      inexact[1] = out_.jcc(Condition::Parity);
    } else if (op == PlanOp::Multiply) {
      out_.movapd(Xmm4, Xmm0);
      out_.mulsd(Xmm4, Xmm1);  // s = a * b
      // Trailing zeros of both significands (implicit bit set) at least 53.
      for (const auto& [xmm, gpr] : {std::pair{Xmm0, Rax}, std::pair{Xmm1, R10}}) {
        out_.movq(gpr, xmm);
        out_.bts(gpr, 52);
        out_.bsf(gpr, gpr);
      }
      out_.add(Eax, R10d);
      out_.cmp(Eax, Imm8(53));
      inexact[0] = out_.jcc(Condition::Below);
    } else {
      return false;
    }
    out_.movq(Rax, Xmm4);
    out_.mov(R10, Rax);
    out_.shr(R10, 1);  // bit 13 to bit 12
    out_.and_(R10d, Imm32(RoundingHalf));
    out_.add(Rax, R10);  // up when odd
    out_.and_(Rax, Imm32(-static_cast<std::int64_t>(LowestKeptBit)));
    out_.movq(work, Rax);
    incrementIntoR10();
    return true;
  }

  const EvaluationPlan& plan_;
  Emitter out_;
  const void* fallBack_;
  bool tryWindow_;
  bool calls_ = false;
  std::int32_t frameSize_ = 0;
  int last_ = NoRegister;
  bool answerInR10_ = false;    // the last step's result, plus 0x1000, is in r10
  bool answerChecked_ = false;  // by its own range check
  bool windowed_ = false;       // emitting the windowed body
  int window_ = 0;              // its variables' window, 0 for none
  bool skipRange_[SlotCapacity];
  bool skipDivisor_[SlotCapacity];
  std::size_t outsideWindow_[5];
  int outsideWindowCount_ = 0;
  const PlanStep* finalStep_ = nullptr;  // that step
  std::size_t zeroAnswer_ = 0;
  Xmm lastXmm_ = Xmm3;
  Xmm work_ = Xmm2;
  bool isTarget_[PlanRegisterCapacity];
  std::int32_t storedAt_[PlanRegisterCapacity];     // 0: not stored
  std::size_t constantAt_[PlanRegisterCapacity];    // 0: not a constant
  std::size_t reciprocalAt_[PlanRegisterCapacity];  // of a power of two that divides
  unsigned readLater_[SlotCapacity];                // variables read by the steps after each step
  Stub stubs_[MaxStubs];
  int stubCount_ = 0;
  std::size_t oddJumps_[2 * (SlotCapacity + 5)];  // a divisor or a call per step, one per variable, two bodies
  int oddJumpCount_ = 0;
  std::size_t oddExit_ = 0;
};

}  // namespace

// Once the system has refused executable memory it is asked no more, and no
// code is generated: the plans run as they are for the rest of the process.
std::atomic<bool> executableMemoryRefused{false};

CompiledPlan::~CompiledPlan() {
  if (code_ != nullptr) munmap(code_, CodeCapacity);
}

bool CompiledPlan::Refused() { return executableMemoryRefused.load(std::memory_order_relaxed); }

bool CompiledPlan::Compile(const EvaluationPlan& plan, Calculation fallBack) {
  entry_ = nullptr;
  if (!plan.Ready || Refused()) return false;
  // Never writable and executable at once. A new buffer is made executable
  // before any code is generated: a refusal then costs no generating.
  if (code_ == nullptr) {
    void* memory = mmap(nullptr, CodeCapacity, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
      if (errno == EACCES || errno == EPERM) executableMemoryRefused.store(true, std::memory_order_relaxed);
      return false;
    }
    code_ = static_cast<unsigned char*>(memory);
  }
  if (mprotect(code_, CodeCapacity, PROT_READ | PROT_WRITE) != 0) return false;
  // Two bodies first; one where two do not fit.
  std::size_t entry = 0;
  for (const bool windowed : {true, false}) {
    PlanCompiler compiler(plan, code_, reinterpret_cast<const void*>(fallBack), windowed);
    entry = compiler.compile();
    if (entry != 0) break;
  }
  if (mprotect(code_, CodeCapacity, PROT_READ | PROT_EXEC) != 0) {
    executableMemoryRefused.store(true, std::memory_order_relaxed);
    return false;
  }
  if (entry == 0) return false;
  entry_ = reinterpret_cast<Calculation>(code_ + entry);
  return true;
}

#else

CompiledPlan::~CompiledPlan() = default;

bool CompiledPlan::Refused() { return false; }

bool CompiledPlan::Compile(const EvaluationPlan&, Calculation) { return false; }

#endif

}  // namespace brunzit
