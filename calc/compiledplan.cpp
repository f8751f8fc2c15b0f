// The plan compiled to x86-64 code, called exactly as CalcularXYZUV is
// called. Each step is a few instructions on SSE registers: the operation,
// the rounding to 40 bits (half up, as in the plan, with exact midpoints
// sent to PlanTie), and a check that the result is a plain value. The value
// stays in the SSE registers from step to step; the checks read a copy of
// its bits beside it, off the path that carries the value. The previous
// step's result stays in xmm3; a result is stored only where a later step
// reads it again. The rare paths (ties, zeros, values out of range) sit
// after the main body, so the common path runs straight through. Any value
// out of the plain range leaves at once: the arguments are put back and the
// code jumps to the evaluation without code, as if that had been called.
//
// Registers: r11 holds the plan's register file (set again after calls);
// xmm0-xmm2, rax, rcx, rdx and r10 are scratch. The code buffer starts with
// the 16-byte constants the SSE instructions read; the arguments are kept
// in the CompiledPlan for the way out.

#include "calc/stages.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__linux__)
#include <sys/mman.h>
#define BRUNZIT_COMPILED_PLAN 1
#endif

namespace brunzit {

#if defined(BRUNZIT_COMPILED_PLAN)

namespace {

// The whole 200-step plan takes about 25 KB.
constexpr std::size_t CodeCapacity = 64 * 1024;
constexpr int NoRegister = -1;

// The constants at the start of the buffer, 16 bytes each.
constexpr std::uint64_t RoundingIncrement = 0x1000;
constexpr std::uint64_t RoundingMask = ~std::uint64_t(0x1FFF);
constexpr std::uint64_t SignMask = ~(std::uint64_t(1) << 63);
enum ConstantSlot : std::size_t { IncrementAt = 0, MaskAt = 16, AbsoluteAt = 32, CodeStart = 48 };

// Plain values: 0, or exponent in [1023 - 126, 1023 + 62] (see plan.cpp).
constexpr std::int32_t LowestPlainExponent = 1023 - 126;
constexpr std::int32_t PlainExponentSpan = 62 + 126;
// The same range for a Real6's exponent byte (bias 129 against 1023).
constexpr std::int32_t Real6ExponentOffset = 1023 - 129;
constexpr std::int32_t LowestPlainByte = LowestPlainExponent - Real6ExponentOffset;
// |b| above this as a divisor: bits of 1.000001e-19 shifted left by one.
const std::uint64_t SafeDivisorBits = std::bit_cast<std::uint64_t>(1.000001e-19) << 1;

enum Gpr : unsigned { Rax = 0, Rcx = 1, Rdx = 2, Rsp = 4, Rsi = 6, Rdi = 7, R8 = 8, R9 = 9, R10 = 10, R11 = 11 };
enum Xmm : unsigned { Xmm0 = 0, Xmm1 = 1, Xmm2 = 2, Previous = 3 };
// The arguments in calling order: X, Y, Z, U, V, the result.
constexpr Gpr ArgumentRegisters[6] = {Rdi, Rsi, Rdx, Rcx, R8, R9};
constexpr Gpr Base = R11;

struct Memory {
  unsigned base;
  std::int32_t displacement;
};
Memory registerFile(int index) { return Memory{Base, 8 * index}; }

class Emitter {
 public:
  Emitter(unsigned char* code, std::size_t capacity) : code_(code), capacity_(capacity) {}

  bool full() const { return full_; }
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
  void op(unsigned prefix, std::initializer_list<unsigned> opcode, unsigned reg, std::size_t constant) {
    start(prefix, false, reg, 0, opcode);
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
  enum Kind { Tie, Zero, ZeroVariable } kind;
  std::size_t from;      // displacement of the jump into the stub
  std::size_t back;      // where the stub returns
  const PlanStep* step;  // for a tie: the step's operation and operands
  int last;              // the register xmm3 held before the step; a variable's register
};

class PlanCompiler {
 public:
  PlanCompiler(const EvaluationPlan& plan, unsigned char* code, std::uint64_t* saved, const void* fallBack)
      : plan_(plan), out_(code, CodeCapacity), saved_(saved), fallBack_(fallBack) {}

  // Returns the entry's offset, or 0 when the code did not fit.
  std::size_t compile() {
    for (std::uint64_t constant : {RoundingIncrement, RoundingMask, SignMask}) {
      out_.u64(constant);
      out_.u64(constant);
    }
    markStores();
    // Keep the arguments for the way out, then read the variables.
    out_.movImmediate(Rax, reinterpret_cast<std::uintptr_t>(saved_));
    for (int i = 0; i < 6; ++i) out_.op(0, true, {0x89}, ArgumentRegisters[i], Memory{Rax, 8 * i});  // mov [rax+8i], arg
    setBase();
    for (int i = 0; i < 5; ++i) {
      if (plan_.UsedVariables & (1u << i)) readVariable(i);
    }
    for (int i = 0; i < plan_.StepCount; ++i) step(plan_.Steps[i]);
    writeResult();
    oddExit_ = out_.size();
    leave();
    for (int i = 0; i < stubCount_; ++i) emitStub(stubs_[i]);
    for (int i = 0; i < oddJumpCount_; ++i) out_.patch(oddJumps_[i], oddExit_);
    return out_.full() ? 0 : std::size_t{CodeStart};
  }

 private:
  // At most two per step and one per variable.
  static constexpr int MaxStubs = 2 * SlotCapacity + 5;

  // A step's result is stored when a step after the next one reads it.
  void markStores() {
    std::memset(store_, 0, sizeof store_);
    for (int i = 0; i < plan_.StepCount; ++i) {
      const PlanStep& s = plan_.Steps[i];
      const int previous = i > 0 ? plan_.Steps[i - 1].Target : NoRegister;
      const int right = s.Op != PlanOp::Function ? s.Right : NoRegister;
      for (const int reg : {static_cast<int>(s.Left), right}) {
        if (reg != NoRegister && reg != previous) store_[reg] = true;
      }
    }
    if (plan_.StepCount == 0 || plan_.Steps[plan_.StepCount - 1].Target != plan_.ResultRegister) {
      store_[plan_.ResultRegister] = true;
    }
  }

  void setBase() { out_.movImmediate(Base, reinterpret_cast<std::uintptr_t>(plan_.Registers)); }

  // The arguments back as they came, and on to the evaluation without code.
  void leave() {
    out_.movImmediate(Rax, reinterpret_cast<std::uintptr_t>(saved_));
    for (int i = 0; i < 6; ++i) out_.op(0, true, {0x8B}, ArgumentRegisters[i], Memory{Rax, 8 * i});
    out_.movImmediate(Rax, reinterpret_cast<std::uintptr_t>(fallBack_));
    out_.bytes({0xFF, 0xE0});  // jmp rax
  }

  // A Real6 argument into the register file as a double, or out to the
  // reference unless it is plain or zero.
  void readVariable(int index) {
    const Gpr from = ArgumentRegisters[index];
    out_.op(0, false, {0x8B}, Rax, Memory{from, 0});        // mov eax, [from]: exponent and low fraction
    out_.op(0, false, {0x0F, 0xB7}, R10, Memory{from, 4});  // movzx r10d, word [from + 4]
    out_.op(0, true, {0xC1}, 4, R10);                        // shl r10, 32
    out_.bytes({32});
    out_.op(0, true, {0x09}, R10, Rax);          // or rax, r10: the 48 bits
    out_.op(0, false, {0x0F, 0xB6}, R10, Rax);   // movzx r10d, al: the exponent byte
    out_.op(0, false, {0x81}, 5, R10);           // sub r10d, lowest
    out_.u32(LowestPlainByte);
    out_.op(0, false, {0x81}, 7, R10);  // cmp r10d, span
    out_.u32(PlainExponentSpan);
    const std::size_t stub = out_.jump({0x0F, 0x87});  // ja
    out_.op(0, false, {0x81}, 0, R10);  // add r10d: back to the double's exponent
    out_.u32(LowestPlainExponent);
    out_.op(0, true, {0xC1}, 4, R10);  // shl r10, 52
    out_.bytes({52});
    out_.op(0, true, {0x89}, Rax, from);  // mov from, rax: the sign
    out_.op(0, true, {0xC1}, 5, from);    // shr from, 47
    out_.bytes({47});
    out_.op(0, true, {0xC1}, 4, from);  // shl from, 63
    out_.bytes({63});
    out_.op(0, true, {0x09}, from, R10);  // or r10, from
    for (const auto& [direction, count] : {std::pair{5u, 8u}, {4u, 25u}, {5u, 12u}}) {
      out_.op(0, true, {0xC1}, direction, Rax);  // the 39 fraction bits to bits 13-51
      out_.bytes({count});
    }
    out_.op(0, true, {0x09}, R10, Rax);                 // or rax, r10
    out_.op(0, true, {0x89}, Rax, registerFile(index));  // mov [base + 8i], rax
    stubs_[stubCount_++] = Stub{Stub::ZeroVariable, stub, out_.size(), nullptr, index};
  }

  // xmm <- register file entry, or xmm3 when it is the previous result.
  void load(unsigned xmm, int reg) {
    if (reg == last_) {
      out_.op(0x66, false, {0x0F, 0x28}, xmm, Previous);  // movapd xmm, xmm3
    } else {
      out_.op(0xF2, false, {0x0F, 0x10}, xmm, registerFile(reg));  // movsd xmm, [base + 8 * reg]
    }
  }
  // gpr <- the bits of a register file entry or of the previous result.
  void loadBits(unsigned gpr, int reg) {
    if (reg == last_) {
      out_.op(0x66, true, {0x0F, 0x7E}, Previous, gpr);  // movq gpr, xmm3
    } else {
      out_.op(0, true, {0x8B}, gpr, registerFile(reg));  // mov gpr, [base + 8 * reg]
    }
  }

  void addStub(Stub::Kind kind, std::size_t from, std::size_t back, const PlanStep* s) {
    stubs_[stubCount_++] = Stub{kind, from, back, s, last_};
  }

  // With the value's bits plus 0x1000 in rcx (the rounding's carry gives
  // the rounded exponent): out to the reference unless the value is plain.
  // The stub lets 0 through.
  void checkRange() {
    out_.bytes({0x48, 0x8D, 0x04, 0x09});  // lea rax, [rcx + rcx]
    out_.bytes({0x48, 0xC1, 0xE8, 53});    // shr rax, 53
    out_.bytes({0x2D});                    // sub eax, lowest
    out_.u32(LowestPlainExponent);
    out_.bytes({0x3D});  // cmp eax, span
    out_.u32(PlainExponentSpan);
    const std::size_t from = out_.jump({0x0F, 0x87});  // ja
    addStub(Stub::Zero, from, out_.size(), nullptr);
  }

  void addIncrementToRcx() {
    out_.bytes({0x48, 0x81, 0xC1});  // add rcx, 0x1000
    out_.u32(0x1000);
  }

  // The result in xmm becomes the previous result, stored if read later.
  void finish(const PlanStep& s, unsigned xmm) {
    out_.op(0x66, false, {0x0F, 0x28}, Previous, xmm);  // movapd xmm3, xmm
    if (store_[s.Target]) out_.op(0xF2, false, {0x0F, 0x11}, Previous, registerFile(s.Target));
    last_ = s.Target;
  }

  void arithmetic(const PlanStep& s) {
    static constexpr unsigned Opcodes[] = {0x58, 0x5C, 0x59, 0x5E};  // addsd subsd mulsd divsd
    if (s.Op == PlanOp::Divide) {
      loadBits(Rcx, s.Right);
      out_.bytes({0x48, 0x01, 0xC9});  // add rcx, rcx: |b| shifted
      out_.movImmediate(Rdx, SafeDivisorBits);
      out_.bytes({0x48, 0x39, 0xD1});                        // cmp rcx, rdx
      oddJumps_[oddJumpCount_++] = out_.jump({0x0F, 0x86});  // jbe: a divisor near 0
    }
    load(Xmm2, s.Left);
    const unsigned opcode = Opcodes[static_cast<int>(s.Op)];
    if (s.Right == last_) {
      out_.op(0xF2, false, {0x0F, opcode}, Xmm2, Previous);
    } else {
      out_.op(0xF2, false, {0x0F, opcode}, Xmm2, registerFile(s.Right));
    }
    out_.bytes({0x66, 0x48, 0x0F, 0x7E, 0xD0});     // movq rax, xmm2
    out_.op(0x66, {0x0F, 0xD4}, Xmm2, IncrementAt);  // paddq xmm2, increment
    out_.op(0x66, {0x0F, 0xDB}, Xmm2, MaskAt);       // pand xmm2, mask
    out_.bytes({0x48, 0x8D, 0x88});                  // lea rcx, [rax + 0x1000]
    out_.u32(0x1000);
    out_.bytes({0xF7, 0xC1});  // test ecx, 0x1FFF: the low bits were exactly 0x1000
    out_.u32(0x1FFF);
    const std::size_t tie = out_.jump({0x0F, 0x84});  // je
    addStub(Stub::Tie, tie, out_.size(), &s);         // the tie's value joins at the range check
    checkRange();
    finish(s, Xmm2);
  }

  // Calls an entry whose last argument is the odd flag's address (after the
  // function's number for the general entry), with the stack aligned.
  void callWithFlag(const void* entry, FunctionId general = FunctionId::None) {
    out_.bytes({0x48, 0x83, 0xEC, 0x18});              // sub rsp, 24
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
    out_.bytes({0x48, 0x83, 0xC4, 0x18});  // add rsp, 24
    setBase();
    out_.bytes({0x48, 0x85, 0xC0});                        // test rax, rax
    oddJumps_[oddJumpCount_++] = out_.jump({0x0F, 0x85});  // jne
  }

  void function(const PlanStep& s) {
    if (s.Function == FunctionId::ABS) {
      load(Xmm2, s.Left);
      out_.op(0x66, {0x0F, 0x54}, Xmm2, AbsoluteAt);  // andpd xmm2, sign mask
      finish(s, Xmm2);
      return;
    }
    load(Xmm0, s.Left);
    if (const PlanFunctionPointer entry = PlanFunctionEntry(s.Function)) {
      callWithFlag(reinterpret_cast<const void*>(entry));
    } else {
      callWithFlag(reinterpret_cast<const void*>(&PlanFunctionGeneral), s.Function);
    }
    finish(s, Xmm0);
  }

  void power(const PlanStep& s) {
    load(Xmm0, s.Left);
    load(Xmm1, s.Right);
    callWithFlag(reinterpret_cast<const void*>(s.Op == PlanOp::PowerWhole ? &PlanPowerWhole : &PlanPower));
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

  // The answer, a plain value, into the caller's Real6, and error 0.
  void writeResult() {
    const int result = plan_.ResultRegister;
    loadBits(Rax, result);
    out_.movImmediate(Rdx, reinterpret_cast<std::uintptr_t>(saved_));
    out_.op(0, true, {0x8B}, R9, Memory{Rdx, 8 * 5});  // mov r9, the result's address
    out_.bytes({0x48, 0x8D, 0x0C, 0x00});             // lea rcx, [rax + rax]
    out_.bytes({0x48, 0x85, 0xC9});                   // test rcx, rcx
    const std::size_t zero = out_.jump({0x0F, 0x84});  // je: all six bytes 0
    // The 39 fraction bits to bits 8-46; the low 13 bits of a Real6 value are 0.
    out_.bytes({0x48, 0x89, 0xC1});        // mov rcx, rax
    out_.bytes({0x48, 0xC1, 0xE1, 12});    // shl rcx, 12
    out_.bytes({0x48, 0xC1, 0xE9, 17});    // shr rcx, 17
    out_.bytes({0x48, 0x89, 0xC2});        // mov rdx, rax
    out_.bytes({0x48, 0xC1, 0xEA, 63});    // shr rdx, 63
    out_.bytes({0x48, 0xC1, 0xE2, 47});    // shl rdx, 47
    out_.bytes({0x48, 0x09, 0xD1});        // or rcx, rdx
    out_.bytes({0x48, 0xC1, 0xE8, 52});    // shr rax, 52
    out_.bytes({0x25, 0xFF, 0x07, 0, 0});  // and eax, 0x7FF
    out_.bytes({0x2D});                    // sub eax, offset
    out_.u32(Real6ExponentOffset);
    out_.bytes({0x48, 0x09, 0xC1});  // or rcx, rax
    const std::size_t store = out_.size();
    out_.op(0, false, {0x89}, Rcx, Memory{R9, 0});  // mov [r9], ecx
    out_.bytes({0x48, 0xC1, 0xE9, 32});             // shr rcx, 32
    out_.op(0x66, false, {0x89}, Rcx, Memory{R9, 4});  // mov [r9 + 4], cx
    out_.bytes({0x48, 0x8B, 0x44, 0x24, 0x08});        // mov rax, [rsp + 8]: the error's address
    out_.bytes({0xC7, 0x00, 0, 0, 0, 0});              // mov dword [rax], 0
    out_.bytes({0xC3});                                // ret
    out_.patch(zero, out_.size());
    out_.bytes({0x31, 0xC9});  // xor ecx, ecx
    out_.jumpTo({0xE9}, store);
  }

  void emitStub(const Stub& stub) {
    out_.patch(stub.from, out_.size());
    switch (stub.kind) {
      case Stub::Tie:
        // PlanTie(op, a, b) with the operands as the step read them.
        last_ = stub.last;
        load(Xmm0, stub.step->Left);
        load(Xmm1, stub.step->Right);
        out_.bytes({0x48, 0x83, 0xEC, 0x08});  // sub rsp, 8
        out_.bytes({0xBF});                    // mov edi, op
        out_.u32(static_cast<std::uint32_t>(stub.step->Op));
        out_.movImmediate(Rax, reinterpret_cast<std::uintptr_t>(&PlanTie));
        out_.bytes({0xFF, 0xD0});              // call rax
        out_.bytes({0x48, 0x83, 0xC4, 0x08});  // add rsp, 8
        setBase();
        out_.op(0x66, false, {0x0F, 0x28}, Xmm2, Xmm0);  // movapd xmm2, xmm0
        out_.bytes({0x66, 0x48, 0x0F, 0x7E, 0xC1});     // movq rcx, xmm0
        addIncrementToRcx();
        out_.jumpTo({0xE9}, stub.back);  // on to the range check
        return;
      case Stub::Zero:
        // Out of the plain range, unless it is zero: then rcx is 0x1000 or
        // 0x8000000000001000.
        out_.bytes({0x48, 0x8D, 0x04, 0x09});  // lea rax, [rcx + rcx]
        out_.bytes({0x48, 0x3D});              // cmp rax, 0x2000
        out_.u32(0x2000);
        out_.jumpTo({0x0F, 0x85}, oddExit_);  // jne
        out_.jumpTo({0xE9}, stub.back);
        return;
      case Stub::ZeroVariable:
        // An exponent byte of 0 is the value 0, whatever the other bytes.
        out_.op(0, false, {0x81}, 7, R10);  // cmp r10d, -lowest
        out_.u32(static_cast<std::uint32_t>(-LowestPlainByte));
        out_.jumpTo({0x0F, 0x85}, oddExit_);                       // jne
        out_.op(0, true, {0xC7}, 0, registerFile(stub.last));      // mov qword [base + 8i], 0
        out_.u32(0);
        out_.jumpTo({0xE9}, stub.back);
        return;
    }
  }

  const EvaluationPlan& plan_;
  Emitter out_;
  std::uint64_t* saved_;
  const void* fallBack_;
  int last_ = NoRegister;
  bool store_[PlanRegisterCapacity];
  Stub stubs_[MaxStubs];
  int stubCount_ = 0;
  std::size_t oddJumps_[2 * SlotCapacity];
  int oddJumpCount_ = 0;
  std::size_t oddExit_ = 0;
};

}  // namespace

CompiledPlan::~CompiledPlan() {
  if (code_ != nullptr) munmap(code_, CodeCapacity);
}

bool CompiledPlan::Compile(const EvaluationPlan& plan, Calculation fallBack) {
  entry_ = nullptr;
  if (!plan.Ready) return false;
  if (code_ == nullptr) {
    void* memory = mmap(nullptr, CodeCapacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return false;
    code_ = static_cast<unsigned char*>(memory);
  } else if (mprotect(code_, CodeCapacity, PROT_READ | PROT_WRITE) != 0) {
    return false;
  }
  // Never writable and executable at once.
  PlanCompiler compiler(plan, code_, saved_, reinterpret_cast<const void*>(fallBack));
  const std::size_t entry = compiler.compile();
  if (mprotect(code_, CodeCapacity, PROT_READ | PROT_EXEC) != 0 || entry == 0) return false;
  entry_ = reinterpret_cast<Calculation>(code_ + entry);
  return true;
}

#else

CompiledPlan::~CompiledPlan() = default;

bool CompiledPlan::Compile(const EvaluationPlan&, Calculation) {
  return false;
}

#endif

}  // namespace brunzit
