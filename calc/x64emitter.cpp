// Each instruction form's encoding, once. Built where plans are compiled
// (BRUNZIT_COMPILED_PLAN); other builds carry none of it.

#include "calc/x64emitter.h"

#if defined(BRUNZIT_COMPILED_PLAN)

#include <cstring>

namespace brunzit::x64 {

namespace {

constexpr unsigned number(Gpr r) { return static_cast<unsigned>(r); }
constexpr unsigned number(Gpr32 r) { return static_cast<unsigned>(r); }
constexpr unsigned number(Gpr16 r) { return static_cast<unsigned>(r); }
constexpr unsigned number(Gpr8 r) { return static_cast<unsigned>(r); }
constexpr unsigned number(Xmm r) { return static_cast<unsigned>(r); }

constexpr std::uint8_t OperandSize = 0x66;
constexpr std::uint8_t ScalarDouble = 0xF2;
constexpr unsigned RspOrR12 = 4;  // r/m 100: a SIB byte follows
constexpr unsigned RbpOrR13 = 5;  // r/m 101 with mod 00: rip-relative, so these bases need a displacement

bool fitsIn8(std::int32_t v) { return v >= -128 && v <= 127; }

}  // namespace

void Emitter::u64(std::uint64_t value) {
  Instruction data = start();
  data.u64(value);
  put(data);
}

void Emitter::align(std::size_t to) {
  while (size_ % to != 0 && !full_) {
    Instruction padding = start();
    padding.byte(0xCC);
    put(padding);
  }
}

Emitter::Instruction Emitter::encode(std::uint8_t prefix, bool wide, std::uint16_t op, unsigned reg,
                                     unsigned rm) const {
  Instruction out = start();
  out.prefixes(prefix, wide, reg, 0, rm);
  out.opcode(op);
  out.byte(0xC0 | ((reg & 7) << 3) | (rm & 7));
  return out;
}

Emitter::Instruction Emitter::encode(std::uint8_t prefix, bool wide, std::uint16_t op, unsigned reg, const Memory& m,
                                     unsigned immediateBytes) const {
  Instruction out = start();
  const bool indexed = m.index != Memory::NoIndex;
  out.prefixes(prefix, wide, reg, indexed ? m.index : 0, m.ripRelative ? 0 : m.base);
  out.opcode(op);
  if (m.ripRelative) {
    out.byte(((reg & 7) << 3) | RbpOrR13);
    const std::size_t end = size_ + out.length + 4 + immediateBytes;
    out.u32(static_cast<std::uint32_t>(m.displacement - static_cast<std::int32_t>(end)));
    return out;
  }
  const unsigned base = m.base & 7;
  const unsigned mod = m.wide || !fitsIn8(m.displacement)          ? 2
                       : m.displacement != 0 || base == RbpOrR13 ? 1
                                                                 : 0;
  if (indexed || base == RspOrR12) {
    out.byte((mod << 6) | ((reg & 7) << 3) | RspOrR12);
    out.byte(((indexed ? m.index & 7 : RspOrR12) << 3) | base);
  } else {
    out.byte((mod << 6) | ((reg & 7) << 3) | base);
  }
  if (mod == 1) out.byte(static_cast<std::uint8_t>(m.displacement));
  if (mod == 2) out.u32(static_cast<std::uint32_t>(m.displacement));
  return out;
}

Emitter::Instruction Emitter::group1(bool wide, unsigned digit, unsigned reg, Imm32 value) const {
  Instruction out = start();
  if (reg == 0) {
    out.prefixes(0, wide, 0, 0, 0);
    out.byte((digit << 3) | 5);
  } else {
    out = encode(0, wide, 0x81, digit, reg);
  }
  out.u32(static_cast<std::uint32_t>(value.value));
  return out;
}

Emitter::Instruction Emitter::group1(bool wide, unsigned digit, unsigned reg, Imm8 value) const {
  Instruction out = encode(0, wide, 0x83, digit, reg);
  out.byte(static_cast<std::uint8_t>(value.value));
  return out;
}

Emitter::Instruction Emitter::shift(bool wide, unsigned digit, unsigned reg, std::uint8_t count) const {
  Instruction out = encode(0, wide, 0xC1, digit, reg);
  out.byte(count);
  return out;
}

// Jumps, all with 32-bit displacements: their targets are mostly patched in
// later, and a fixed length keeps every offset known when it is written.

std::size_t Emitter::jcc(Condition condition) {
  Instruction out = start();
  out.opcode(0x0F80 | static_cast<unsigned>(condition));
  out.u32(0);
  put(out);
  return size_ - 4;
}

std::size_t Emitter::jmp() {
  Instruction out = start();
  out.byte(0xE9);
  out.u32(0);
  put(out);
  return size_ - 4;
}

void Emitter::jcc(Condition condition, std::size_t target) { patch(jcc(condition), target); }
void Emitter::jmp(std::size_t target) { patch(jmp(), target); }

void Emitter::patch(std::size_t displacementAt, std::size_t target) {
  if (full_) return;
  const std::int32_t displacement =
      static_cast<std::int32_t>(target) - static_cast<std::int32_t>(displacementAt + 4);
  std::memcpy(code_ + displacementAt, &displacement, 4);
}

void Emitter::jmp(Gpr target) { put(encode(0, false, 0xFF, 4, number(target))); }
void Emitter::call(Gpr target) { put(encode(0, false, 0xFF, 2, number(target))); }
void Emitter::ret() {
  Instruction out = start();
  out.byte(0xC3);
  put(out);
}

void Emitter::endbr64() {
  Instruction out = start();
  out.byte(0xF3);
  out.opcode(0x0F1E);
  out.byte(0xFA);
  put(out);
}

void Emitter::mov(Gpr to, Gpr from) { put(encode(0, true, 0x89, number(from), number(to))); }
void Emitter::mov(Gpr8 to, Gpr8 from) { put(encode(0, false, 0x88, number(from), number(to))); }
void Emitter::mov(Gpr to, Memory from) { put(encode(0, true, 0x8B, number(to), from)); }
void Emitter::mov(Memory to, Gpr from) { put(encode(0, true, 0x89, number(from), to)); }
void Emitter::mov(Memory to, Gpr32 from) { put(encode(0, false, 0x89, number(from), to)); }
void Emitter::mov(Memory to, Gpr16 from) { put(encode(OperandSize, false, 0x89, number(from), to)); }

void Emitter::mov(Gpr32 to, Imm32 value) {
  Instruction out = start();
  out.prefixes(0, false, 0, 0, number(to));
  out.byte(0xB8 | (number(to) & 7));
  out.u32(static_cast<std::uint32_t>(value.value));
  put(out);
}

void Emitter::movabs(Gpr to, std::uint64_t value) {
  Instruction out = start();
  out.prefixes(0, true, 0, 0, number(to));
  out.byte(0xB8 | (number(to) & 7));
  out.u64(value);
  put(out);
}

void Emitter::movQword(Memory to, Imm32 value) {
  Instruction out = encode(0, true, 0xC7, 0, to, 4);
  out.u32(static_cast<std::uint32_t>(value.value));
  put(out);
}

void Emitter::movDword(Memory to, Imm32 value) {
  Instruction out = encode(0, false, 0xC7, 0, to, 4);
  out.u32(static_cast<std::uint32_t>(value.value));
  put(out);
}

void Emitter::movWord(Memory to, Imm16 value) {
  Instruction out = encode(OperandSize, false, 0xC7, 0, to, 2);
  out.u16(static_cast<std::uint16_t>(value.value));
  put(out);
}

void Emitter::movsxd(Gpr to, Memory from) { put(encode(0, true, 0x63, number(to), from)); }
void Emitter::movzxByte(Gpr32 to, Memory from) { put(encode(0, false, 0x0FB6, number(to), from)); }
void Emitter::lea(Gpr to, Memory address) { put(encode(0, true, 0x8D, number(to), address)); }
void Emitter::lea(Gpr32 to, Memory address) { put(encode(0, false, 0x8D, number(to), address)); }

void Emitter::add(Gpr to, Gpr from) { put(encode(0, true, 0x01, number(from), number(to))); }
void Emitter::add(Gpr32 to, Gpr32 from) { put(encode(0, false, 0x01, number(from), number(to))); }
void Emitter::add(Gpr to, Imm32 value) { put(group1(true, 0, number(to), value)); }
void Emitter::add(Gpr32 to, Imm32 value) { put(group1(false, 0, number(to), value)); }
void Emitter::add(Gpr to, Imm8 value) { put(group1(true, 0, number(to), value)); }
void Emitter::sub(Gpr to, Imm32 value) { put(group1(true, 5, number(to), value)); }
void Emitter::sub(Gpr32 to, Imm32 value) { put(group1(false, 5, number(to), value)); }
void Emitter::sub(Gpr to, Imm8 value) { put(group1(true, 5, number(to), value)); }
void Emitter::and_(Gpr to, Imm32 value) { put(group1(true, 4, number(to), value)); }
void Emitter::and_(Gpr32 to, Imm32 value) { put(group1(false, 4, number(to), value)); }
void Emitter::or_(Gpr to, Gpr from) { put(encode(0, true, 0x09, number(from), number(to))); }
void Emitter::or_(Gpr32 to, Gpr32 from) { put(encode(0, false, 0x09, number(from), number(to))); }
void Emitter::cmp(Gpr left, Gpr right) { put(encode(0, true, 0x39, number(right), number(left))); }
void Emitter::cmp(Gpr left, Imm32 value) { put(group1(true, 7, number(left), value)); }
void Emitter::cmp(Gpr32 left, Imm32 value) { put(group1(false, 7, number(left), value)); }
void Emitter::cmp(Gpr32 left, Imm8 value) { put(group1(false, 7, number(left), value)); }
void Emitter::test(Gpr left, Gpr right) { put(encode(0, true, 0x85, number(right), number(left))); }

void Emitter::test(Gpr32 left, Imm32 value) {
  Instruction out = start();
  if (left == Gpr32::Eax) {
    out.byte(0xA9);
  } else {
    out = encode(0, false, 0xF7, 0, number(left));
  }
  out.u32(static_cast<std::uint32_t>(value.value));
  put(out);
}

void Emitter::shl(Gpr to, std::uint8_t count) { put(shift(true, 4, number(to), count)); }
void Emitter::shl(Gpr32 to, std::uint8_t count) { put(shift(false, 4, number(to), count)); }
void Emitter::shr(Gpr to, std::uint8_t count) { put(shift(true, 5, number(to), count)); }

void Emitter::bts(Gpr to, std::uint8_t bit) {
  Instruction out = encode(0, true, 0x0FBA, 5, number(to));
  out.byte(bit);
  put(out);
}

void Emitter::bsf(Gpr to, Gpr from) { put(encode(0, true, 0x0FBC, number(to), number(from))); }

void Emitter::movsd(Xmm to, Memory from) { put(encode(ScalarDouble, false, 0x0F10, number(to), from)); }
void Emitter::movsd(Memory to, Xmm from) { put(encode(ScalarDouble, false, 0x0F11, number(from), to)); }
void Emitter::movapd(Xmm to, Xmm from) { put(encode(OperandSize, false, 0x0F28, number(to), number(from))); }
void Emitter::movq(Gpr to, Xmm from) { put(encode(OperandSize, true, 0x0F7E, number(from), number(to))); }
void Emitter::movq(Xmm to, Gpr from) { put(encode(OperandSize, true, 0x0F6E, number(to), number(from))); }
void Emitter::addsd(Xmm to, Xmm from) { put(encode(ScalarDouble, false, 0x0F58, number(to), number(from))); }
void Emitter::addsd(Xmm to, Memory from) { put(encode(ScalarDouble, false, 0x0F58, number(to), from)); }
void Emitter::subsd(Xmm to, Xmm from) { put(encode(ScalarDouble, false, 0x0F5C, number(to), number(from))); }
void Emitter::subsd(Xmm to, Memory from) { put(encode(ScalarDouble, false, 0x0F5C, number(to), from)); }
void Emitter::mulsd(Xmm to, Xmm from) { put(encode(ScalarDouble, false, 0x0F59, number(to), number(from))); }
void Emitter::mulsd(Xmm to, Memory from) { put(encode(ScalarDouble, false, 0x0F59, number(to), from)); }
void Emitter::divsd(Xmm to, Xmm from) { put(encode(ScalarDouble, false, 0x0F5E, number(to), number(from))); }
void Emitter::divsd(Xmm to, Memory from) { put(encode(ScalarDouble, false, 0x0F5E, number(to), from)); }
void Emitter::ucomisd(Xmm left, Xmm right) { put(encode(OperandSize, false, 0x0F2E, number(left), number(right))); }
void Emitter::andpd(Xmm to, Memory from) { put(encode(OperandSize, false, 0x0F54, number(to), from)); }
void Emitter::xorpd(Xmm to, Xmm from) { put(encode(OperandSize, false, 0x0F57, number(to), number(from))); }
void Emitter::xorpd(Xmm to, Memory from) { put(encode(OperandSize, false, 0x0F57, number(to), from)); }
void Emitter::por(Xmm to, Xmm from) { put(encode(OperandSize, false, 0x0FEB, number(to), number(from))); }
void Emitter::pand(Xmm to, Memory from) { put(encode(OperandSize, false, 0x0FDB, number(to), from)); }
void Emitter::paddq(Xmm to, Memory from) { put(encode(OperandSize, false, 0x0FD4, number(to), from)); }

}  // namespace brunzit::x64

#endif
