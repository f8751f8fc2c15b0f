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
// stack frame. The other SSE registers, rax, r10 and r11 are scratch; the
// argument registers stay as they came unless the plan makes calls, and
// then the frame keeps them.
//
// The entry: endbr64, then "sub rsp, frame" where the plan needs a frame.
// The frame, from rsp up (FrameSlot below): the flag the called entries
// set, a library function's argument and its radians, the six argument
// registers, the five variables, then the results read again later, 8
// bytes each. Its size keeps rsp 16-byte aligned at every call. Two bodies
// may follow the entry: one for variables inside a window of magnitudes
// (fewer range checks, planranges.h) and one checking every step.

#include "calc/compiledplan.h"
#include "calc/planranges.h"
#include "calc/planrounding.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <span>
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

enum Gpr : unsigned { Rax = 0, Rcx = 1, Rdx = 2, Rsp = 4, Rsi = 6, Rdi = 7, R8 = 8, R9 = 9, R10 = 10, R11 = 11 };
enum Xmm : unsigned { Xmm0 = 0, Xmm1 = 1, Xmm2 = 2, Xmm3 = 3 };
// The arguments in calling order: X, Y, Z, U, V, the result.
constexpr Gpr ArgumentRegisters[6] = {Rdi, Rsi, Rdx, Rcx, R8, R9};
// X, Y, Z, U, V live in xmm8 to xmm12.
constexpr unsigned VariableXmm = 8;

// Handed to the evaluation without code for a variable the expression does
// not name.
const Real6 UnnamedVariable;

struct Memory {
  unsigned base;
  std::int32_t displacement;
};
Memory frame(std::int32_t offset) { return Memory{Rsp, offset}; }

class Emitter {
 public:
  Emitter(unsigned char* code, std::size_t capacity) : code_(code), capacity_(capacity) {}

  bool full() const { return full_; }
  void align(std::size_t to) {
    while (size_ % to != 0) byte(0xCC);
  }
  std::size_t size() const { return size_; }

  void bytes(std::initializer_list<unsigned> list) {
    for (unsigned b : list) byte(b);
  }
  void u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) byte((v >> (8 * i)) & 0xFF);
  }
  void u64(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) byte(static_cast<unsigned>((v >> (8 * i)) & 0xFF));
  }

  // prefix (0 for none), REX, opcode and a register operand.
  void op(unsigned prefix, bool wide, std::initializer_list<unsigned> opcode, unsigned reg, unsigned rm) {
    start(prefix, wide, reg, rm, opcode);
    byte(0xC0 | ((reg & 7) << 3) | (rm & 7));
  }
  // ... and a memory operand [base + disp32].
  void op(unsigned prefix, bool wide, std::initializer_list<unsigned> opcode, unsigned reg, Memory m) {
    start(prefix, wide, reg, m.base, opcode);
    byte(0x80 | ((reg & 7) << 3) | (m.base & 7));
    if ((m.base & 7) == Rsp) byte(0x24);
    u32(static_cast<std::uint32_t>(m.displacement));
  }
  // ... and a constant at the start of the buffer, relative to the end of
  // the instruction (nothing may follow the displacement).
  void op(unsigned prefix, std::initializer_list<unsigned> opcode, unsigned reg, std::size_t constant,
          bool wide = false) {
    start(prefix, wide, reg, 0, opcode);
    byte(((reg & 7) << 3) | 5);
    patch(jump({}), constant);
  }
  void movImmediate(unsigned reg, std::uint64_t value) {
    byte(0x48 | (reg >> 3));
    byte(0xB8 | (reg & 7));
    u64(value);
  }

  // A 32-bit jump: returns where its displacement goes, for patch().
  std::size_t jump(std::initializer_list<unsigned> opcode) {
    bytes(opcode);
    const std::size_t at = size_;
    u32(0);
    return at;
  }
  void patch(std::size_t at, std::size_t target) {
    if (full_) return;
    const std::int32_t displacement = static_cast<std::int32_t>(target) - static_cast<std::int32_t>(at + 4);
    std::memcpy(code_ + at, &displacement, 4);
  }
  void jumpTo(std::initializer_list<unsigned> opcode, std::size_t target) { patch(jump(opcode), target); }

 private:
  void start(unsigned prefix, bool wide, unsigned reg, unsigned rm, std::initializer_list<unsigned> opcode) {
    if (prefix != 0) byte(prefix);
    const unsigned rex = 0x40 | (wide ? 8 : 0) | ((reg >> 3) << 2) | (rm >> 3);
    if (rex != 0x40) byte(rex);
    bytes(opcode);
  }
  void byte(unsigned b) {
    if (size_ >= capacity_) {
      full_ = true;
      return;
    }
    code_[size_++] = static_cast<unsigned char>(b);
  }

  unsigned char* code_;
  std::size_t capacity_;
  std::size_t size_ = 0;
  bool full_ = false;
};

// Out-of-line code and where it returns to.
struct Stub {
  enum Kind : std::uint8_t { Tie, Zero, ZeroVariable, Exact } kind;
  std::uint8_t lastXmm;  // the SSE register holding the previous result before the step
  std::uint8_t work;     // the SSE register the step computes in
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
    for (unsigned char b : EntryMarker) out_.bytes({b});
    if (frameSize_ > 0) {
      out_.bytes({0x48, 0x81, 0xEC});  // sub rsp, frame
      out_.u32(static_cast<std::uint32_t>(frameSize_));
    }
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
    for (std::uint64_t constant :
         {RoundingIncrement, RoundingMask, SignMask, std::bit_cast<std::uint64_t>(DoubleRadiansShare),
          std::bit_cast<std::uint64_t>(1.0), std::bit_cast<std::uint64_t>(DoubleOneEightieth),
          std::bit_cast<std::uint64_t>(DoubleShortPi), KeepSignAndFraction, ~SignMask}) {
      out_.u64(constant);
      out_.u64(constant);
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
      if (keepsArgument(i)) out_.op(0, true, {0x89}, ArgumentRegisters[i], frame(SavedAt + 8 * i));
    }
  }
  void restoreArguments() {
    for (int i = 0; i < 6; ++i) {
      if (keepsArgument(i)) {
        out_.op(0, true, {0x8B}, ArgumentRegisters[i], frame(SavedAt + 8 * i));
      } else {
        out_.movImmediate(ArgumentRegisters[i], reinterpret_cast<std::uintptr_t>(&UnnamedVariable));
      }
    }
  }
  void storeVariables() {
    for (int i = 0; i < 5; ++i) {
      if (usesVariable(i)) out_.op(0xF2, false, {0x0F, 0x11}, VariableXmm + i, frame(VariablesAt + 8 * i));
    }
  }
  // After a call the variables' registers are lost: those that steps after
  // `step` read are read again.
  void restoreVariables(const PlanStep& step) {
    const unsigned later = readLater_[&step - plan_.Steps];
    for (int i = 0; i < 5; ++i) {
      if (later & (1u << i)) out_.op(0xF2, false, {0x0F, 0x10}, VariableXmm + i, frame(VariablesAt + 8 * i));
    }
  }
  // A variable's value after a call, before its register is read again.
  void loadAfterCall(unsigned xmm, int reg) {
    if (reg < 5 && reg != last_) {
      out_.op(0xF2, false, {0x0F, 0x10}, xmm, frame(VariablesAt + 8 * reg));
    } else {
      load(xmm, reg);
    }
  }

  // The arguments back as they came, and on to the evaluation without code.
  void leave() {
    if (calls_) restoreArguments();
    if (frameSize_ > 0) {
      out_.bytes({0x48, 0x81, 0xC4});  // add rsp, frame
      out_.u32(static_cast<std::uint32_t>(frameSize_));
    }
    out_.movImmediate(Rax, reinterpret_cast<std::uintptr_t>(fallBack_));
    out_.bytes({0xFF, 0xE0});  // jmp rax
  }

  // A Real6 argument into its SSE register as a double, or out to the
  // reference unless it is plain or zero. Uses rax, r10 and r11 only. The
  // sign and the fraction (bytes 1-5, the upper four sign-extended) and the
  // exponent (byte 0) take two short paths joined in the SSE register: the
  // shortest way from the argument to the first operation.
  void readVariable(int index) {
    const Gpr from = ArgumentRegisters[index];
    const unsigned xmm = VariableXmm + index;
    out_.op(0, true, {0x63}, Rax, Memory{from, 2});          // movsxd rax, dword [from + 2]
    out_.op(0, false, {0x0F, 0xB6}, R11, Memory{from, 1});  // movzx r11d, byte [from + 1]
    out_.op(0, false, {0x0F, 0xB6}, R10, Memory{from, 0});  // movzx r10d, byte [from]: the exponent
    out_.op(0, true, {0xC1}, 4, Rax);                        // shl rax, 21: fraction bits 8-38 to 21-51
    out_.bytes({21});
    out_.op(0, true, {0xC1}, 4, R11);  // shl r11, 13: fraction bits 0-7 to 13-20
    out_.bytes({13});
    out_.op(0, true, {0x09}, R11, Rax);                       // or rax, r11
    out_.op(0x66, true, {0x0F, 0x6E}, xmm, Rax);             // movq xmm, rax
    out_.op(0x66, {0x0F, 0xDB}, xmm, KeepSignAndFractionAt);  // pand xmm: clear the exponent field
    out_.op(0, false, {0x81}, 0, R10);                        // add r10d: the double's exponent
    out_.u32(Real6ExponentOffset);
    out_.op(0, false, {0x81}, 7, R10);  // cmp r10d, lowest
    out_.u32(LowestExponent);
    const std::size_t low = out_.jump({0x0F, 0x82});  // jb: zero or too small
    out_.op(0, false, {0x81}, 7, R10);               // cmp r10d, highest
    out_.u32(LowestExponent + PlainExponentSpan);
    oddJump(out_.jump({0x0F, 0x87}));  // ja
    if (windowed_) {
      // Outside the window: the checked body. (A zero comes back from its
      // stub after this: the windowed body allows 0.)
      out_.op(0, false, {0x8D}, Rax, Memory{R10, -(1023 - window_)});  // lea eax, [r10 - (1023 - window)]
      out_.bytes({0x3D});                                              // cmp eax, 2 * window - 1
      out_.u32(static_cast<std::uint32_t>(2 * window_ - 1));
      outsideWindow_[outsideWindowCount_++] = out_.jump({0x0F, 0x87});  // ja
    }
    out_.op(0, true, {0xC1}, 4, R10);  // shl r10, 52
    out_.bytes({52});
    out_.op(0x66, true, {0x0F, 0x6E}, Xmm0, R10);   // movq xmm0, r10
    out_.op(0x66, false, {0x0F, 0xEB}, xmm, Xmm0);  // por xmm, xmm0
    stubs_[stubCount_++] = Stub{Stub::ZeroVariable, 0, 0, static_cast<std::int16_t>(index),
                                static_cast<std::uint32_t>(low), static_cast<std::uint32_t>(out_.size()), nullptr};
  }

  // The register that holds reg's value, if one does.
  bool inXmm(int reg, unsigned& xmm) const {
    if (reg == last_) {
      xmm = lastXmm_;
      return true;
    }
    if (reg < 5) {
      xmm = VariableXmm + reg;
      return true;
    }
    return false;
  }

  // An instruction with reg's value as its source operand: a register, a
  // constant in the buffer or a slot in the frame.
  struct Form {
    unsigned prefix;
    std::initializer_list<unsigned> opcode;
  };
  void withOperand(bool wide, Form registerForm, Form memoryForm, unsigned target, int reg) {
    unsigned xmm = 0;
    if (inXmm(reg, xmm)) {
      out_.op(registerForm.prefix, wide, registerForm.opcode, target, xmm);
    } else if (isConstant(reg)) {
      out_.op(memoryForm.prefix, memoryForm.opcode, target, constantAt_[reg], wide);
    } else {
      out_.op(memoryForm.prefix, wide, memoryForm.opcode, target, frame(storedAt_[reg]));
    }
  }
  // xmm <- reg's value: movapd from a register, movsd from memory.
  void load(unsigned xmm, int reg) {
    unsigned from = 0;
    if (inXmm(reg, from) && from == xmm) return;
    withOperand(false, {0x66, {0x0F, 0x28}}, {0xF2, {0x0F, 0x10}}, xmm, reg);
  }
  // xmm0 <- left and xmm1 <- right, in the order that keeps a previous
  // result in xmm0 until it is read.
  void loadPair(int left, int right) {
    unsigned from = 0;
    const bool rightInXmm0 = inXmm(right, from) && from == Xmm0;
    if (rightInXmm0) load(Xmm1, right);
    load(Xmm0, left);
    if (!rightInXmm0) load(Xmm1, right);
  }
  // gpr <- the bits of reg's value.
  void loadBits(unsigned gpr, int reg) {
    unsigned xmm = 0;
    if (inXmm(reg, xmm)) {
      out_.op(0x66, true, {0x0F, 0x7E}, xmm, gpr);  // movq gpr, xmm
    } else {
      withOperand(true, {0, {}}, {0, {0x8B}}, gpr, reg);  // mov gpr, [memory]
    }
  }

  void oddJump(std::size_t from) { oddJumps_[oddJumpCount_++] = from; }

  void addStub(Stub::Kind kind, std::size_t from, std::size_t back, const PlanStep* s) {
    stubs_[stubCount_++] = Stub{kind,
                                static_cast<std::uint8_t>(lastXmm_),
                                static_cast<std::uint8_t>(work_),
                                static_cast<std::int16_t>(last_),
                                static_cast<std::uint32_t>(from),
                                static_cast<std::uint32_t>(back),
                                s};
  }

  // With the value's bits plus 0x1000 in r10 (the rounding's carry gives
  // the rounded exponent): out to the reference unless the value is plain.
  // The stub lets 0 through.
  void checkRange(const PlanStep* s = nullptr) {
    out_.bytes({0x4B, 0x8D, 0x04, 0x12});  // lea rax, [r10 + r10]
    out_.bytes({0x48, 0xC1, 0xE8, 53});    // shr rax, 53
    out_.bytes({0x2D});                    // sub eax, lowest
    out_.u32(LowestExponent);
    out_.bytes({0x3D});  // cmp eax, span
    out_.u32(PlainExponentSpan);
    const std::size_t from = out_.jump({0x0F, 0x87});  // ja
    addStub(Stub::Zero, from, out_.size(), s);
  }

  void addIncrementToR10() {
    out_.bytes({0x49, 0x81, 0xC2});  // add r10, 0x1000
    out_.u32(RoundingHalf);
  }

  // The result in xmm becomes the previous result, stored if read later.
  void finish(const PlanStep& s, unsigned xmm) {
    if (storedAt_[s.Target] != 0) out_.op(0xF2, false, {0x0F, 0x11}, xmm, frame(storedAt_[s.Target]));
    last_ = s.Target;
    lastXmm_ = xmm;
  }

  // A step computes in xmm2 or xmm3, whichever does not hold the previous
  // result: the operands stay as they were, for a tie's second look.
  unsigned chooseWork() { return work_ = lastXmm_ == Xmm2 ? Xmm3 : Xmm2; }

  void checkDivisor(int reg) {
    // A constant divisor is known now.
    if (isConstant(reg) && std::fabs(plan_.Registers[reg]) > SafeDivisor) return;
    loadBits(R10, reg);
    out_.bytes({0x4D, 0x01, 0xD2});  // add r10, r10: |b| shifted
    out_.movImmediate(Rax, SafeDivisorBits);
    out_.bytes({0x49, 0x39, 0xC2});                        // cmp r10, rax
    oddJump(out_.jump({0x0F, 0x86}));  // jbe: a divisor near 0
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
    const unsigned work = chooseWork();
    load(work, s.Left);
    if (s.Op == PlanOp::Divide) {
      out_.op(0xF2, {0x0F, 0x59}, work, reciprocalAt_[s.Right]);  // mulsd work, 1 / divisor
    } else {
      withOperand(false, {0xF2, {0x0F, 0x59}}, {0xF2, {0x0F, 0x59}}, work, s.Right);
    }
    if (!skips(s, skipRange_)) {
      out_.op(0x66, true, {0x0F, 0x7E}, work, Rax);  // movq rax, work
      out_.bytes({0x4C, 0x8D, 0x90});               // lea r10, [rax + 0x1000]
      out_.u32(RoundingHalf);
      checkRange();
    }
    finish(s, work);
  }

  void arithmetic(const PlanStep& s) {
    static constexpr unsigned Opcodes[] = {0x58, 0x5C, 0x59, 0x5E};  // addsd subsd mulsd divsd
    if (scaling(s)) return scale(s);
    if (s.Op == PlanOp::Divide && !skips(s, skipDivisor_)) checkDivisor(s.Right);
    const unsigned work = chooseWork();
    load(work, s.Left);
    const unsigned opcode = Opcodes[static_cast<int>(s.Op)];
    withOperand(false, {0xF2, {0x0F, opcode}}, {0xF2, {0x0F, opcode}}, work, s.Right);
    out_.op(0x66, true, {0x0F, 0x7E}, work, Rax);  // movq rax, work
    // The answer is rounded where it is written out, from r10.
    answerInR10_ = &s == &plan_.Steps[plan_.StepCount - 1] && s.Target == plan_.ResultRegister;
    if (!answerInR10_) {
      out_.op(0x66, {0x0F, 0xD4}, work, IncrementAt);  // paddq work, increment
      out_.op(0x66, {0x0F, 0xDB}, work, MaskAt);       // pand work, mask
    }
    out_.bytes({0x4C, 0x8D, 0x90});  // lea r10, [rax + 0x1000]
    out_.u32(RoundingHalf);
    out_.bytes({0x41, 0xF7, 0xC2});  // test r10d, 0x1FFF: the low bits were exactly 0x1000
    out_.u32(DroppedBits);
    const std::size_t tie = out_.jump({0x0F, 0x84});  // je
    addStub(Stub::Tie, tie, out_.size(), &s);         // the tie's value joins at the range check
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
  // function's number for the general entry).
  void callWithFlag(const PlanStep& s, const void* entry, FunctionId general = FunctionId::None) {
    out_.bytes({0x48, 0xC7, 0x04, 0x24, 0, 0, 0, 0});  // mov qword [rsp], 0
    if (general != FunctionId::None) {
      out_.bytes({0xBF});  // mov edi, function
      out_.u32(static_cast<std::uint32_t>(general));
      out_.bytes({0x48, 0x8D, 0x34, 0x24});  // lea rsi, [rsp]
    } else {
      out_.bytes({0x48, 0x8D, 0x3C, 0x24});  // lea rdi, [rsp]
    }
    out_.movImmediate(Rax, reinterpret_cast<std::uintptr_t>(entry));
    out_.bytes({0xFF, 0xD0});              // call rax
    out_.bytes({0x48, 0x8B, 0x04, 0x24});  // mov rax, [rsp]
    restoreVariables(s);
    out_.bytes({0x48, 0x85, 0xC0});                        // test rax, rax
    oddJump(out_.jump({0x0F, 0x85}));  // jne
  }

  void function(const PlanStep& s) {
    if (s.Function == FunctionId::ABS) {
      const unsigned work = chooseWork();
      load(work, s.Left);
      out_.op(0x66, {0x0F, 0x54}, work, AbsoluteAt);  // andpd work, sign mask
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
    if (s.Left == last_) out_.op(0xF2, false, {0x0F, 0x11}, Xmm0, frame(ArgumentAt));  // movsd [argument], xmm0
    if (degrees) {
      out_.op(0xF2, {0x0F, 0x59}, Xmm0, OneEightiethAt);            // mulsd xmm0, 1/180
      out_.op(0xF2, {0x0F, 0x59}, Xmm0, ShortPiAt);                 // mulsd xmm0, pi
      out_.op(0xF2, false, {0x0F, 0x11}, Xmm0, frame(RadiansAt));  // movsd [radians], xmm0
    }
    out_.movImmediate(Rax, reinterpret_cast<std::uintptr_t>(library));
    out_.bytes({0xFF, 0xD0});                     // call rax
    out_.bytes({0x66, 0x48, 0x0F, 0x7E, 0xC0});  // movq rax, xmm0
    const int sensitive = degrees ? checkSensitivity(s) : -1;
    // Near a midpoint between two Real6 values the plan's own function decides.
    out_.bytes({0x44, 0x8D, 0x90});  // lea r10d, [rax - (0x1000 - margin)]
    const unsigned margin = PlanFunctionMarginFor(s.Function);
    out_.u32(static_cast<std::uint32_t>(-(static_cast<std::int32_t>(RoundingHalf) - static_cast<std::int32_t>(margin))));
    out_.bytes({0x41, 0x81, 0xE2});  // and r10d, 0x1FFF
    out_.u32(DroppedBits);
    out_.bytes({0x41, 0x83, 0xFA, 2 * margin});  // cmp r10d, 2 * margin
    addStub(Stub::Exact, out_.jump({0x0F, 0x86}), 0, &s);   // jbe
    const int exact = stubCount_ - 1;
    out_.op(0x66, {0x0F, 0xD4}, Xmm0, IncrementAt);  // paddq xmm0, increment
    out_.op(0x66, {0x0F, 0xDB}, Xmm0, MaskAt);       // pand xmm0, mask
    // The sine, cosine and arctangent of a plain value are plain: at most
    // pi/2, and at least the value itself near 0 or about 2^-60 near
    // multiples of pi. Tangents and degree functions are checked.
    const bool plainResult = s.Function == FunctionId::SIN || s.Function == FunctionId::COS ||
                             s.Function == FunctionId::ATA;
    if (!plainResult) {
      out_.bytes({0x4C, 0x8D, 0x90});  // lea r10, [rax + 0x1000]
      out_.u32(RoundingHalf);
    }
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
    out_.op(0xF2, false, {0x0F, 0x10}, Xmm2, frame(RadiansAt));  // movsd xmm2, [radians]
    switch (s.Function) {
      case FunctionId::COG:
        out_.op(0xF2, false, {0x0F, 0x59}, Xmm2, Xmm2);  // mulsd xmm2, xmm2
        break;
      case FunctionId::TAG:
        out_.op(0x66, {0x0F, 0x54}, Xmm2, AbsoluteAt);   // andpd xmm2, sign mask
        out_.op(0x66, false, {0x0F, 0x28}, Xmm1, Xmm0);  // movapd xmm1, xmm0
        out_.op(0xF2, false, {0x0F, 0x59}, Xmm1, Xmm0);  // mulsd xmm1, xmm0
        out_.op(0xF2, {0x0F, 0x58}, Xmm1, OneAt);        // addsd xmm1, 1
        out_.op(0xF2, false, {0x0F, 0x59}, Xmm2, Xmm1);  // mulsd xmm2, xmm1
        break;
      default:
        out_.op(0x66, {0x0F, 0x54}, Xmm2, AbsoluteAt);  // andpd xmm2, sign mask
        break;
    }
    out_.op(0x66, false, {0x0F, 0x28}, Xmm1, Xmm0);  // movapd xmm1, xmm0
    out_.op(0x66, {0x0F, 0x54}, Xmm1, AbsoluteAt);   // andpd xmm1, sign mask
    out_.op(0xF2, {0x0F, 0x59}, Xmm1, ShareAt);      // mulsd xmm1, 2
    out_.op(0x66, false, {0x0F, 0x2E}, Xmm2, Xmm1);  // ucomisd xmm2, xmm1
    addStub(Stub::Exact, out_.jump({0x0F, 0x87}), 0, &s);  // ja
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
      out_.bytes({0x48, 0x8D, 0x0C, 0x00});  // lea rcx, [rax + rax]
      out_.bytes({0x48, 0x85, 0xC9});        // test rcx, rcx
      zero = out_.jump({0x0F, 0x84});        // je
    } else if (!answerChecked_) {
      out_.bytes({0x4B, 0x8D, 0x0C, 0x12});  // lea rcx, [r10 + r10]
      out_.bytes({0x48, 0x81, 0xF9});        // cmp rcx, 0x2000: the answer is 0
      out_.u32(0x2000);
      zero = out_.jump({0x0F, 0x84});  // je
    }
    // Bytes 0-3: the exponent byte, then fraction bits 0-23 (the low 13 bits
    // of a Real6 value are 0, so rax >> 5 has 0 in its low byte).
    out_.op(0, true, {0x89}, answer, Rcx);  // mov rcx, answer
    out_.bytes({0x48, 0xC1, 0xE9, 5});     // shr rcx, 5
    out_.op(0, true, {0x89}, answer, Rdx);  // mov rdx, answer
    out_.bytes({0x48, 0xC1, 0xEA, 52});    // shr rdx, 52: sign and exponent
    out_.bytes({0x81, 0xEA});              // sub edx, offset: its low byte is the exponent byte
    out_.u32(Real6ExponentOffset);
    out_.bytes({0x88, 0xD1});                       // mov cl, dl
    out_.op(0, false, {0x89}, Rcx, Memory{R9, 0});  // mov [r9], ecx
    // Bytes 4-5: fraction bits 24-38 and the sign.
    out_.bytes({0x48, 0xC1, 0xE9, 32});           // shr rcx, 32
    out_.bytes({0x81, 0xE1, 0xFF, 0x7F, 0, 0});  // and ecx, 0x7FFF
    out_.op(0, true, {0xC1}, 5, answer);          // shr answer, 63
    out_.bytes({63});
    out_.op(0, false, {0xC1}, 4, answer);  // shl answer, 15
    out_.bytes({15});
    out_.op(0, false, {0x09}, answer, Rcx);  // or ecx, answer
    out_.op(0x66, false, {0x89}, Rcx, Memory{R9, 4});  // mov [r9 + 4], cx
    const std::size_t done = out_.size();
    out_.op(0, true, {0x8B}, Rax, frame(frameSize_ + 8));  // mov rax, the error's address
    out_.bytes({0xC7, 0x00, 0, 0, 0, 0});                   // mov dword [rax], 0
    if (frameSize_ > 0) {
      out_.bytes({0x48, 0x81, 0xC4});  // add rsp, frame
      out_.u32(static_cast<std::uint32_t>(frameSize_));
    }
    out_.bytes({0xC3});  // ret
    zeroAnswer_ = out_.size();
    if (zero != 0) out_.patch(zero, zeroAnswer_);
    if (calls_) loadResultAddress();
    out_.bytes({0x41, 0xC7, 0x01, 0, 0, 0, 0});        // mov dword [r9], 0
    out_.bytes({0x66, 0x41, 0xC7, 0x41, 0x04, 0, 0});  // mov word [r9 + 4], 0
    out_.jumpTo({0xE9}, done);
  }

  void loadResultAddress() { out_.op(0, true, {0x8B}, R9, frame(SavedAt + 8 * 5)); }  // mov r9, [saved]

  void emitStub(const Stub& stub) {
    out_.patch(stub.from, out_.size());
    // The answer's own check sends 0 to the zero answer.
    if (stub.kind == Stub::Zero && finalStep_ != nullptr && stub.step == finalStep_) {
      out_.bytes({0x4B, 0x8D, 0x04, 0x12});  // lea rax, [r10 + r10]
      out_.bytes({0x48, 0x3D});              // cmp rax, 0x2000
      out_.u32(0x2000);
      out_.jumpTo({0x0F, 0x85}, oddExit_);  // jne
      out_.jumpTo({0xE9}, zeroAnswer_);
      return;
    }
    switch (stub.kind) {
      case Stub::Tie: return emitTie(stub);
      case Stub::Zero:
        // Out of the plain range, unless it is zero: then r10 is 0x1000 or
        // 0x8000000000001000.
        out_.bytes({0x4B, 0x8D, 0x04, 0x12});  // lea rax, [r10 + r10]
        out_.bytes({0x48, 0x3D});              // cmp rax, 0x2000
        out_.u32(0x2000);
        out_.jumpTo({0x0F, 0x85}, oddExit_);  // jne
        out_.jumpTo({0xE9}, stub.back);
        return;
      case Stub::Exact:
        // The plan's own function, on extended reals where it must.
        out_.bytes({0x48, 0xC7, 0x04, 0x24, 0, 0, 0, 0});  // mov qword [rsp], 0
        last_ = stub.last;
        if (stub.step->Left == stub.last) {
          out_.op(0xF2, false, {0x0F, 0x10}, Xmm0, frame(ArgumentAt));  // movsd xmm0, [argument]
        } else {
          loadAfterCall(Xmm0, stub.step->Left);
        }
        out_.bytes({0xBF});                                           // mov edi, function
        out_.u32(static_cast<std::uint32_t>(stub.step->Function));
        out_.bytes({0x48, 0x8D, 0x34, 0x24});  // lea rsi, [rsp]
        out_.movImmediate(Rax, reinterpret_cast<std::uintptr_t>(&PlanFunctionGeneral));
        out_.bytes({0xFF, 0xD0});                     // call rax
        out_.bytes({0x48, 0x8B, 0x04, 0x24});         // mov rax, [rsp]
        out_.bytes({0x48, 0x85, 0xC0});               // test rax, rax
        out_.jumpTo({0x0F, 0x85}, oddExit_);          // jne
        out_.bytes({0x66, 0x49, 0x0F, 0x7E, 0xC2});  // movq r10, xmm0
        addIncrementToR10();
        out_.jumpTo({0xE9}, stub.back);
        return;
      case Stub::ZeroVariable:
        // An exponent byte of 0 is the value 0, whatever the other bytes.
        out_.op(0, false, {0x81}, 7, R10);  // cmp r10d, the offset alone
        out_.u32(Real6ExponentOffset);
        out_.jumpTo({0x0F, 0x85}, oddExit_);  // jne
        out_.op(0x66, false, {0x0F, 0x57}, VariableXmm + stub.last, VariableXmm + stub.last);  // xorpd xmm, xmm
        out_.jumpTo({0xE9}, stub.back);
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
      out_.jumpTo({0xE9}, stub.back);
      const std::size_t call = out_.size();
      for (const std::size_t from : inexact) {
        if (from != 0) out_.patch(from, call);
      }
    }
    if (frameSize_ == 0) {
      out_.bytes({0x48, 0x83, 0xEC, TieFrameSize});  // sub rsp, room
    }
    if (!calls_) {
      saveArguments();
      storeVariables();
    }
    out_.bytes({0xBF});  // mov edi, op
    out_.u32(static_cast<std::uint32_t>(stub.step->Op));
    out_.movImmediate(Rax, reinterpret_cast<std::uintptr_t>(&PlanTie));
    out_.bytes({0xFF, 0xD0});  // call rax
    if (!calls_) restoreArguments();
    restoreVariables(*stub.step);
    if (frameSize_ == 0) {
      out_.bytes({0x48, 0x83, 0xC4, TieFrameSize});  // add rsp, room
    }
    out_.op(0x66, false, {0x0F, 0x28}, stub.work, Xmm0);  // movapd work, xmm0
    out_.bytes({0x66, 0x49, 0x0F, 0x7E, 0xC2});          // movq r10, xmm0
    addIncrementToR10();
    out_.jumpTo({0xE9}, stub.back);  // on to the range check
  }

  // A sum that lost nothing, or a product of factors whose significant bits
  // fit in a double together, is a true tie: rounded half to even here,
  // without a call (the plan's ties are mostly of this kind). Reads a and b
  // in xmm0 and xmm1 and leaves them there. Leaves the value in the step's register and r10 as the range check wants them; jumps to the
  // displacements in `inexact` otherwise.
  bool settleExactTie(PlanOp op, unsigned work, std::size_t (&inexact)[2]) {
    const unsigned opcode = op == PlanOp::Add ? 0x58 : op == PlanOp::Subtract ? 0x5C : 0x59;
    if (op == PlanOp::Add || op == PlanOp::Subtract) {
      // TwoSum, leaving a in xmm0 and b in xmm1 for the call below.
      out_.op(0x66, false, {0x0F, 0x28}, 4, Xmm0);    // movapd xmm4, xmm0
      out_.op(0xF2, false, {0x0F, opcode}, 4, Xmm1);  // s = a op b
      out_.op(0x66, false, {0x0F, 0x28}, 7, Xmm1);    // movapd xmm7, xmm1
      if (op == PlanOp::Subtract) out_.op(0x66, {0x0F, 0x57}, 7, NegateAt);  // xorpd xmm7: -b
      out_.op(0x66, false, {0x0F, 0x28}, 5, 4);     // movapd xmm5, xmm4
      out_.op(0xF2, false, {0x0F, 0x5C}, 5, Xmm0);  // xmm5 = s - a
      out_.op(0x66, false, {0x0F, 0x28}, 6, 4);     // movapd xmm6, xmm4
      out_.op(0xF2, false, {0x0F, 0x5C}, 6, 5);     // xmm6 = s - (s - a)
      out_.op(0xF2, false, {0x0F, 0x5C}, 7, 5);     // xmm7 = b - (s - a)
      out_.op(0x66, false, {0x0F, 0x28}, 5, Xmm0);  // movapd xmm5, xmm0
      out_.op(0xF2, false, {0x0F, 0x5C}, 5, 6);     // xmm5 = a - xmm6
      out_.op(0xF2, false, {0x0F, 0x58}, 7, 5);     // xmm7: what the sum lost
      out_.op(0x66, false, {0x0F, 0x57}, 5, 5);     // xorpd xmm5, xmm5
      out_.op(0x66, false, {0x0F, 0x2E}, 7, 5);     // ucomisd xmm7, xmm5
      inexact[0] = out_.jump({0x0F, 0x85});            // jne
      inexact[1] = out_.jump({0x0F, 0x8A});            // jp
    } else if (op == PlanOp::Multiply) {
      out_.op(0x66, false, {0x0F, 0x28}, 4, Xmm0);  // movapd xmm4, xmm0
      out_.op(0xF2, false, {0x0F, 0x59}, 4, Xmm1);  // s = a * b
      // Trailing zeros of both significands (implicit bit set) at least 53.
      for (const auto& [xmm, gpr] : {std::pair{Xmm0, Rax}, std::pair{Xmm1, R10}}) {
        out_.op(0x66, true, {0x0F, 0x7E}, xmm, gpr);  // movq gpr, xmm
        out_.op(0, true, {0x0F, 0xBA}, 5, gpr);       // bts gpr, 52
        out_.bytes({52});
        out_.op(0, true, {0x0F, 0xBC}, gpr, gpr);  // bsf gpr, gpr
      }
      out_.op(0, false, {0x01}, R10, Rax);  // add eax, r10d
      out_.bytes({0x83, 0xF8, 53});         // cmp eax, 53
      inexact[0] = out_.jump({0x0F, 0x82});  // jb
    } else {
      return false;
    }
    out_.op(0x66, true, {0x0F, 0x7E}, 4, Rax);  // movq rax, xmm4
    out_.op(0, true, {0x89}, Rax, R10);        // mov r10, rax
    out_.op(0, true, {0xC1}, 5, R10);          // shr r10, 1: bit 13 to bit 12
    out_.bytes({1});
    out_.op(0, false, {0x81}, 4, R10);  // and r10d, 0x1000
    out_.u32(RoundingHalf);
    out_.op(0, true, {0x01}, R10, Rax);  // add rax, r10: up when odd
    out_.bytes({0x48, 0x25});           // and rax, -0x2000
    out_.u32(0xFFFFE000);
    out_.op(0x66, true, {0x0F, 0x6E}, work, Rax);  // movq work, rax
    out_.bytes({0x4C, 0x8D, 0x90});                // lea r10, [rax + 0x1000]
    out_.u32(RoundingHalf);
    return true;
  }

  const EvaluationPlan& plan_;
  Emitter out_;
  const void* fallBack_;
  bool tryWindow_;
  bool calls_ = false;
  std::int32_t frameSize_ = 0;
  int last_ = NoRegister;
  bool answerInR10_ = false;  // the last step's result, plus 0x1000, is in r10
  bool answerChecked_ = false;  // by its own range check
  bool windowed_ = false;       // emitting the windowed body
  int window_ = 0;              // its variables' window, 0 for none
  bool skipRange_[SlotCapacity];
  bool skipDivisor_[SlotCapacity];
  std::size_t outsideWindow_[5];
  int outsideWindowCount_ = 0;
  const PlanStep* finalStep_ = nullptr;  // that step
  std::size_t zeroAnswer_ = 0;
  unsigned lastXmm_ = Xmm3;
  unsigned work_ = Xmm2;
  bool isTarget_[PlanRegisterCapacity];
  std::int32_t storedAt_[PlanRegisterCapacity];   // 0: not stored
  std::size_t constantAt_[PlanRegisterCapacity];  // 0: not a constant
  std::size_t reciprocalAt_[PlanRegisterCapacity];  // of a power of two that divides
  unsigned readLater_[SlotCapacity];  // variables read by the steps after each step
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
