#pragma once
// The x86-64 instructions the plan compiler writes, one named member per
// instruction form, each encoding written once (calc/x64emitter.cpp). The
// operands are typed: the register's width is in its type, an immediate's
// width is the caller's choice (as an explicit width in an assembler), and
// a memory operand says whether its displacement takes the shortest form or
// always 32 bits.

#include <cstddef>
#include <cstdint>

namespace brunzit::x64 {

enum class Gpr : std::uint8_t { Rax, Rcx, Rdx, Rbx, Rsp, Rbp, Rsi, Rdi, R8, R9, R10, R11, R12, R13, R14, R15 };
enum class Gpr32 : std::uint8_t { Eax, Ecx, Edx, Ebx, Esp, Ebp, Esi, Edi, R8d, R9d, R10d, R11d, R12d, R13d, R14d, R15d };
enum class Gpr16 : std::uint8_t { Ax, Cx, Dx, Bx, Sp, Bp, Si, Di, R8w, R9w, R10w, R11w, R12w, R13w, R14w, R15w };
// The low bytes that need no REX prefix.
enum class Gpr8 : std::uint8_t { Al, Cl, Dl, Bl };
enum class Xmm : std::uint8_t {
  Xmm0, Xmm1, Xmm2, Xmm3, Xmm4, Xmm5, Xmm6, Xmm7, Xmm8, Xmm9, Xmm10, Xmm11, Xmm12, Xmm13, Xmm14, Xmm15
};

constexpr Gpr32 Dword(Gpr r) { return static_cast<Gpr32>(r); }
constexpr Xmm XmmNumber(unsigned n) { return static_cast<Xmm>(n); }

// The condition codes of jcc, by their number in the encoding.
enum class Condition : std::uint8_t {
  Overflow, NoOverflow, Below, AboveOrEqual, Equal, NotEqual, BelowOrEqual, Above,
  Sign, NoSign, Parity, NoParity, Less, GreaterOrEqual, LessOrEqual, Greater
};

struct Imm8 {
  constexpr explicit Imm8(std::int64_t v) : value(static_cast<std::int8_t>(v)) {}
  std::int8_t value;
};
struct Imm16 {
  constexpr explicit Imm16(std::int64_t v) : value(static_cast<std::int16_t>(v)) {}
  std::int16_t value;
};
struct Imm32 {
  constexpr explicit Imm32(std::int64_t v) : value(static_cast<std::int32_t>(v)) {}
  std::int32_t value;
};

// [base + index + displacement], or a place in the code buffer addressed
// relative to the instruction (rip-relative).
struct Memory {
  // The shortest displacement: none, 8 bits or 32, as an assembler writes it.
  static constexpr Memory At(Gpr base, std::int32_t displacement = 0) {
    return Memory{static_cast<std::uint8_t>(base), NoIndex, displacement, false, false};
  }
  static constexpr Memory At(Gpr base, Gpr index, std::int32_t displacement = 0) {
    return Memory{static_cast<std::uint8_t>(base), static_cast<std::uint8_t>(index), displacement, false, false};
  }
  // Always a 32-bit displacement, whatever its value.
  static constexpr Memory Wide(Gpr base, std::int32_t displacement) {
    return Memory{static_cast<std::uint8_t>(base), NoIndex, displacement, true, false};
  }
  // The byte at `offset` from the start of the code buffer.
  static constexpr Memory InBuffer(std::size_t offset) {
    return Memory{0, NoIndex, static_cast<std::int32_t>(offset), true, true};
  }

  static constexpr std::uint8_t NoIndex = 0xFF;
  std::uint8_t base;
  std::uint8_t index;         // NoIndex, or a register scaled by 1 (never rsp)
  std::int32_t displacement;  // for InBuffer, the offset in the buffer
  bool wide;
  bool ripRelative;
};

// Writes into a fixed buffer. An instruction that starts within MaxLength
// bytes of its end is not written: from then on nothing is, and full()
// says so. Offsets are from the start of the buffer.
class Emitter {
 public:
  Emitter(unsigned char* code, std::size_t capacity) : code_(code), capacity_(capacity) {}

  bool full() const { return full_; }
  std::size_t size() const { return size_; }
  // Pads with int3 to a multiple of `to`.
  void align(std::size_t to);
  // Eight bytes of data, little-endian.
  void u64(std::uint64_t value);

  // Jumps and calls. A jump whose target is not known yet returns where its
  // 32-bit displacement goes; patch() points it at the target later.
  std::size_t jcc(Condition condition);
  std::size_t jmp();
  void jcc(Condition condition, std::size_t target);
  void jmp(std::size_t target);
  void patch(std::size_t displacementAt, std::size_t target);
  void jmp(Gpr target);
  void call(Gpr target);
  void ret();
  void endbr64();

  // Moves.
  void mov(Gpr to, Gpr from);
  void mov(Gpr8 to, Gpr8 from);
  void mov(Gpr to, Memory from);
  void mov(Memory to, Gpr from);
  void mov(Memory to, Gpr32 from);
  void mov(Memory to, Gpr16 from);
  void mov(Gpr32 to, Imm32 value);
  void movabs(Gpr to, std::uint64_t value);
  void movQword(Memory to, Imm32 value);  // sign-extended to 64 bits
  void movDword(Memory to, Imm32 value);
  void movWord(Memory to, Imm16 value);
  void movsxd(Gpr to, Memory from);      // a dword, sign-extended
  void movzxByte(Gpr32 to, Memory from);
  void lea(Gpr to, Memory address);
  void lea(Gpr32 to, Memory address);

  // Integer arithmetic. With an Imm32 on rax or eax the accumulator's
  // shorter form is used, as an assembler does.
  void add(Gpr to, Gpr from);
  void add(Gpr32 to, Gpr32 from);
  void add(Gpr to, Imm32 value);
  void add(Gpr32 to, Imm32 value);
  void add(Gpr to, Imm8 value);
  void sub(Gpr to, Imm32 value);
  void sub(Gpr32 to, Imm32 value);
  void sub(Gpr to, Imm8 value);
  void and_(Gpr to, Imm32 value);
  void and_(Gpr32 to, Imm32 value);
  void or_(Gpr to, Gpr from);
  void or_(Gpr32 to, Gpr32 from);
  void cmp(Gpr left, Gpr right);
  void cmp(Gpr left, Imm32 value);
  void cmp(Gpr32 left, Imm32 value);
  void cmp(Gpr32 left, Imm8 value);
  void test(Gpr left, Gpr right);
  void test(Gpr32 left, Imm32 value);
  void shl(Gpr to, std::uint8_t count);
  void shl(Gpr32 to, std::uint8_t count);
  void shr(Gpr to, std::uint8_t count);
  void bts(Gpr to, std::uint8_t bit);
  void bsf(Gpr to, Gpr from);

  // SSE2 on doubles and on their bits.
  void movsd(Xmm to, Memory from);
  void movsd(Memory to, Xmm from);
  void movapd(Xmm to, Xmm from);
  void movq(Gpr to, Xmm from);
  void movq(Xmm to, Gpr from);
  void addsd(Xmm to, Xmm from);
  void addsd(Xmm to, Memory from);
  void subsd(Xmm to, Xmm from);
  void subsd(Xmm to, Memory from);
  void mulsd(Xmm to, Xmm from);
  void mulsd(Xmm to, Memory from);
  void divsd(Xmm to, Xmm from);
  void divsd(Xmm to, Memory from);
  void ucomisd(Xmm left, Xmm right);
  void andpd(Xmm to, Memory from);
  void xorpd(Xmm to, Xmm from);
  void xorpd(Xmm to, Memory from);
  void por(Xmm to, Xmm from);
  void pand(Xmm to, Memory from);
  void paddq(Xmm to, Memory from);

 private:
  // An instruction is written straight into the buffer, or into spare
  // bytes once fewer than MaxLength (more than the longest instruction)
  // remain; put() then takes it or marks the buffer full. One check of the
  // room left per instruction, not one per byte: generating is most of the
  // cost of compiling.
  static constexpr unsigned MaxLength = 16;
  struct Instruction {
    unsigned char* bytes;
    unsigned length = 0;
    void byte(unsigned value) { bytes[length++] = static_cast<unsigned char>(value); }
    void u16(std::uint16_t value) {
      byte(value & 0xFF);
      byte(value >> 8);
    }
    void u32(std::uint32_t value) {
      for (int i = 0; i < 4; ++i) byte((value >> (8 * i)) & 0xFF);
    }
    void u64(std::uint64_t value) {
      for (int i = 0; i < 8; ++i) byte(static_cast<unsigned>((value >> (8 * i)) & 0xFF));
    }
    void prefixes(std::uint8_t prefix, bool wide, unsigned reg, unsigned index, unsigned base) {
      if (prefix != 0) byte(prefix);
      const unsigned rex = 0x40 | (wide ? 8 : 0) | ((reg >> 3) << 2) | ((index >> 3) << 1) | (base >> 3);
      if (rex != 0x40) byte(rex);
    }
    void opcode(std::uint16_t value) {
      if (value > 0xFF) byte(value >> 8);
      byte(value & 0xFF);
    }
  };
  Instruction start() const { return Instruction{capacity_ - size_ >= MaxLength ? code_ + size_ : spare_}; }
  void put(const Instruction& instruction) {
    if (instruction.bytes == spare_) {
      full_ = true;
    } else {
      size_ += instruction.length;
    }
  }

  // A legacy prefix (0 for none), REX.W where `wide`, the opcode (two bytes
  // where above 0xFF), and a ModRM byte whose reg field is `reg` and whose
  // r/m operand is a register or memory. `immediateBytes` follow (the
  // caller adds them), which a rip-relative displacement must reach past.
  Instruction encode(std::uint8_t prefix, bool wide, std::uint16_t opcode, unsigned reg, unsigned rm) const;
  Instruction encode(std::uint8_t prefix, bool wide, std::uint16_t opcode, unsigned reg, const Memory& m,
                     unsigned immediateBytes = 0) const;
  // The accumulator's own form (op eax, imm32) or group 1's (81 /digit).
  Instruction group1(bool wide, unsigned digit, unsigned reg, Imm32 value) const;
  Instruction group1(bool wide, unsigned digit, unsigned reg, Imm8 value) const;
  Instruction shift(bool wide, unsigned digit, unsigned reg, std::uint8_t count) const;
  unsigned char* code_;
  std::size_t capacity_;
  std::size_t size_ = 0;
  bool full_ = false;
  mutable unsigned char spare_[MaxLength];
};

}  // namespace brunzit::x64
