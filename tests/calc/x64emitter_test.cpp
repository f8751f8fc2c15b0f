// The code generator's instructions against the bytes GNU as (binutils
// 2.40) gives for the same instruction: every instruction form with low and
// high registers, the memory operands whose encodings differ (rsp and r12
// need a SIB byte, rbp and r13 a displacement even when it is 0,
// displacements at the edges of 8 bits, forced 32-bit ones, rip-relative
// with and without an immediate after the displacement) and jumps
// forwards, backwards and patched later. The text is the assembler's input
// ("{disp32}" forces a 32-bit displacement), the bytes its objdump output;
// each instruction is written at offset At of the buffer, and ".+n" is
// relative to the instruction's first byte.

#include "calc/x64emitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

namespace brunzit::x64 {
namespace {

using enum Gpr;
using enum Gpr32;
using enum Xmm;

constexpr std::size_t At = 0x100;

struct Row {
  const char* assembly;
  const char* bytes;
  void (*emit)(Emitter&);
};

std::string hex(const unsigned char* bytes, std::size_t count) {
  std::string text;
  char part[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(part, sizeof part, i == 0 ? "%02x" : " %02x", bytes[i]);
    text += part;
  }
  return text;
}

TEST(X64Emitter, EncodesEachInstructionAsTheAssemblerDoes) {
  static const Row rows[] = {
      {"endbr64", "f3 0f 1e fa", [](Emitter& e) { e.endbr64(); }},
      {"ret", "c3", [](Emitter& e) { e.ret(); }},
      {"call *%rax", "ff d0", [](Emitter& e) { e.call(Rax); }},
      {"call *%r11", "41 ff d3", [](Emitter& e) { e.call(R11); }},
      {"jmp *%rax", "ff e0", [](Emitter& e) { e.jmp(Rax); }},
      {"jmp *%r10", "41 ff e2", [](Emitter& e) { e.jmp(R10); }},
      {"{disp32} ja .+0x1000", "0f 87 fa 0f 00 00", [](Emitter& e) { e.jcc(Condition::Above, At + 0x1000); }},
      {"{disp32} jb .-0x80", "0f 82 7a ff ff ff", [](Emitter& e) { e.jcc(Condition::Below, At - 0x80); }},
      {"{disp32} jne .+6", "0f 85 00 00 00 00", [](Emitter& e) { e.jcc(Condition::NotEqual, At + 6); }},
      {"{disp32} jbe .+0x10", "0f 86 0a 00 00 00", [](Emitter& e) { e.jcc(Condition::BelowOrEqual, At + 0x10); }},
      {"{disp32} jg .", "0f 8f fa ff ff ff", [](Emitter& e) { e.jcc(Condition::Greater, At); }},
      {"{disp32} jp .+0x20000", "0f 8a fa ff 01 00", [](Emitter& e) { e.patch(e.jcc(Condition::Parity), At + 0x20000); }},
      {"{disp32} je .-0x100", "0f 84 fa fe ff ff", [](Emitter& e) { e.patch(e.jcc(Condition::Equal), 0); }},
      {"{disp32} jmp .+0x7f", "e9 7a 00 00 00", [](Emitter& e) { e.jmp(At + 0x7F); }},
      {"{disp32} jmp .-0x100", "e9 fb fe ff ff", [](Emitter& e) { e.jmp(At - 0x100); }},
      {"{disp32} jmp .+0x400", "e9 fb 03 00 00", [](Emitter& e) { e.patch(e.jmp(), At + 0x400); }},
      {"mov %rax,%rcx", "48 89 c1", [](Emitter& e) { e.mov(Rcx, Rax); }},
      {"mov %rax,%r10", "49 89 c2", [](Emitter& e) { e.mov(R10, Rax); }},
      {"mov %r10,%rdx", "4c 89 d2", [](Emitter& e) { e.mov(Rdx, R10); }},
      {"mov %dl,%cl", "88 d1", [](Emitter& e) { e.mov(Gpr8::Cl, Gpr8::Dl); }},
      {"mov $17,%edi", "bf 11 00 00 00", [](Emitter& e) { e.mov(Edi, Imm32(17)); }},
      {"mov $-1,%r9d", "41 b9 ff ff ff ff", [](Emitter& e) { e.mov(R9d, Imm32(-1)); }},
      {"movabs $0x123456789abcdef0,%rax", "48 b8 f0 de bc 9a 78 56 34 12", [](Emitter& e) { e.movabs(Rax, 0x123456789ABCDEF0); }},
      {"movabs $5,%r9", "49 b9 05 00 00 00 00 00 00 00", [](Emitter& e) { e.movabs(R9, 5); }},
      {"mov (%rsp),%rax", "48 8b 04 24", [](Emitter& e) { e.mov(Rax, Memory::At(Rsp)); }},
      {"mov 127(%r12),%rax", "49 8b 44 24 7f", [](Emitter& e) { e.mov(Rax, Memory::At(R12, 127)); }},
      {"mov 128(%rsp),%rax", "48 8b 84 24 80 00 00 00", [](Emitter& e) { e.mov(Rax, Memory::At(Rsp, 128)); }},
      {"mov 0(%rbp),%rdx", "48 8b 55 00", [](Emitter& e) { e.mov(Rdx, Memory::At(Rbp)); }},
      {"mov 0(%r13),%r8", "4d 8b 45 00", [](Emitter& e) { e.mov(R8, Memory::At(R13)); }},
      {"mov -128(%rbx),%rax", "48 8b 43 80", [](Emitter& e) { e.mov(Rax, Memory::At(Rbx, -128)); }},
      {"mov -129(%rbx),%r15", "4c 8b bb 7f ff ff ff", [](Emitter& e) { e.mov(R15, Memory::At(Rbx, -129)); }},
      {"{disp32} mov 64(%rsp),%r9", "4c 8b 8c 24 40 00 00 00", [](Emitter& e) { e.mov(R9, Memory::Wide(Rsp, 64)); }},
      {"{disp32} mov 0(%r13),%rsi", "49 8b b5 00 00 00 00", [](Emitter& e) { e.mov(Rsi, Memory::Wide(R13, 0)); }},
      {"mov .+0x40(%rip),%rax", "48 8b 05 39 00 00 00", [](Emitter& e) { e.mov(Rax, Memory::InBuffer(At + 0x40)); }},
      {"mov .-0x100(%rip),%r10", "4c 8b 15 f9 fe ff ff", [](Emitter& e) { e.mov(R10, Memory::InBuffer(0)); }},
      {"{disp32} mov %rdi,24(%rsp)", "48 89 bc 24 18 00 00 00", [](Emitter& e) { e.mov(Memory::Wide(Rsp, 24), Rdi); }},
      {"mov %r9,8(%r13)", "4d 89 4d 08", [](Emitter& e) { e.mov(Memory::At(R13, 8), R9); }},
      {"{disp32} mov %ecx,0(%r9)", "41 89 89 00 00 00 00", [](Emitter& e) { e.mov(Memory::Wide(R9, 0), Ecx); }},
      {"mov %r10d,(%rax)", "44 89 10", [](Emitter& e) { e.mov(Memory::At(Rax), R10d); }},
      {"{disp32} mov %cx,4(%r9)", "66 41 89 89 04 00 00 00", [](Emitter& e) { e.mov(Memory::Wide(R9, 4), Gpr16::Cx); }},
      {"mov %r8w,(%r12)", "66 45 89 04 24", [](Emitter& e) { e.mov(Memory::At(R12), Gpr16::R8w); }},
      {"movq $0,(%rsp)", "48 c7 04 24 00 00 00 00", [](Emitter& e) { e.movQword(Memory::At(Rsp), Imm32(0)); }},
      {"movq $-2,.+0x40(%rip)", "48 c7 05 35 00 00 00 fe ff ff ff", [](Emitter& e) { e.movQword(Memory::InBuffer(At + 0x40), Imm32(-2)); }},
      {"movl $0,(%r9)", "41 c7 01 00 00 00 00", [](Emitter& e) { e.movDword(Memory::At(R9), Imm32(0)); }},
      {"movl $0x12345678,(%rax)", "c7 00 78 56 34 12", [](Emitter& e) { e.movDword(Memory::At(Rax), Imm32(0x12345678)); }},
      {"movw $0,4(%r9)", "66 41 c7 41 04 00 00", [](Emitter& e) { e.movWord(Memory::At(R9, 4), Imm16(0)); }},
      {"movw $0x1234,.+0x20(%rip)", "66 c7 05 17 00 00 00 34 12", [](Emitter& e) { e.movWord(Memory::InBuffer(At + 0x20), Imm16(0x1234)); }},
      {"{disp32} movslq 2(%rdi),%rax", "48 63 87 02 00 00 00", [](Emitter& e) { e.movsxd(Rax, Memory::Wide(Rdi, 2)); }},
      {"movslq 2(%r8),%r11", "4d 63 58 02", [](Emitter& e) { e.movsxd(R11, Memory::At(R8, 2)); }},
      {"{disp32} movzbl 1(%rsi),%r11d", "44 0f b6 9e 01 00 00 00", [](Emitter& e) { e.movzxByte(R11d, Memory::Wide(Rsi, 1)); }},
      {"movzbl (%r9),%eax", "41 0f b6 01", [](Emitter& e) { e.movzxByte(Eax, Memory::At(R9)); }},
      {"lea (%r10,%r10),%rax", "4b 8d 04 12", [](Emitter& e) { e.lea(Rax, Memory::At(R10, R10)); }},
      {"lea (%rax,%rax),%rcx", "48 8d 0c 00", [](Emitter& e) { e.lea(Rcx, Memory::At(Rax, Rax)); }},
      {"lea 0(%r13,%r12),%rax", "4b 8d 44 25 00", [](Emitter& e) { e.lea(Rax, Memory::At(R13, R12)); }},
      {"lea -8(%rsp,%r9),%r14", "4e 8d 74 0c f8", [](Emitter& e) { e.lea(R14, Memory::At(Rsp, R9, -8)); }},
      {"lea 0x200(%rbx,%rcx),%rdx", "48 8d 94 0b 00 02 00 00", [](Emitter& e) { e.lea(Rdx, Memory::At(Rbx, Rcx, 0x200)); }},
      {"lea 0x1000(%rax),%r10", "4c 8d 90 00 10 00 00", [](Emitter& e) { e.lea(R10, Memory::At(Rax, 0x1000)); }},
      {"lea (%rsp),%rsi", "48 8d 34 24", [](Emitter& e) { e.lea(Rsi, Memory::At(Rsp)); }},
      {"lea .+0x80(%rip),%rdi", "48 8d 3d 79 00 00 00", [](Emitter& e) { e.lea(Rdi, Memory::InBuffer(At + 0x80)); }},
      {"lea -0xff0(%rax),%r10d", "44 8d 90 10 f0 ff ff", [](Emitter& e) { e.lea(R10d, Memory::At(Rax, -0xFF0)); }},
      {"{disp32} lea -1000(%r10),%eax", "41 8d 82 18 fc ff ff", [](Emitter& e) { e.lea(Eax, Memory::Wide(R10, -1000)); }},
      {"add %r10,%rax", "4c 01 d0", [](Emitter& e) { e.add(Rax, R10); }},
      {"add %r10,%r10", "4d 01 d2", [](Emitter& e) { e.add(R10, R10); }},
      {"add %r10d,%eax", "44 01 d0", [](Emitter& e) { e.add(Eax, R10d); }},
      {"add $0x1000,%r10", "49 81 c2 00 10 00 00", [](Emitter& e) { e.add(R10, Imm32(0x1000)); }},
      {"add $0x1000,%rax", "48 05 00 10 00 00", [](Emitter& e) { e.add(Rax, Imm32(0x1000)); }},
      {"add $0x200,%rsp", "48 81 c4 00 02 00 00", [](Emitter& e) { e.add(Rsp, Imm32(0x200)); }},
      {"add $894,%r10d", "41 81 c2 7e 03 00 00", [](Emitter& e) { e.add(R10d, Imm32(894)); }},
      {"add $1000,%eax", "05 e8 03 00 00", [](Emitter& e) { e.add(Eax, Imm32(1000)); }},
      {"add $120,%rsp", "48 83 c4 78", [](Emitter& e) { e.add(Rsp, Imm8(120)); }},
      {"add $-128,%r11", "49 83 c3 80", [](Emitter& e) { e.add(R11, Imm8(-128)); }},
      {"sub $0x1000,%rsp", "48 81 ec 00 10 00 00", [](Emitter& e) { e.sub(Rsp, Imm32(0x1000)); }},
      {"sub $-0x1000,%r12", "49 81 ec 00 f0 ff ff", [](Emitter& e) { e.sub(R12, Imm32(-0x1000)); }},
      {"sub $897,%eax", "2d 81 03 00 00", [](Emitter& e) { e.sub(Eax, Imm32(897)); }},
      {"sub $894,%edx", "81 ea 7e 03 00 00", [](Emitter& e) { e.sub(Edx, Imm32(894)); }},
      {"sub $120,%rsp", "48 83 ec 78", [](Emitter& e) { e.sub(Rsp, Imm8(120)); }},
      {"and $-0x2000,%rax", "48 25 00 e0 ff ff", [](Emitter& e) { e.and_(Rax, Imm32(-0x2000)); }},
      {"and $0x1000,%r13", "49 81 e5 00 10 00 00", [](Emitter& e) { e.and_(R13, Imm32(0x1000)); }},
      {"and $0x7fff,%ecx", "81 e1 ff 7f 00 00", [](Emitter& e) { e.and_(Ecx, Imm32(0x7FFF)); }},
      {"and $0x1fff,%r10d", "41 81 e2 ff 1f 00 00", [](Emitter& e) { e.and_(R10d, Imm32(0x1FFF)); }},
      {"or %r11,%rax", "4c 09 d8", [](Emitter& e) { e.or_(Rax, R11); }},
      {"or %rcx,%r8", "49 09 c8", [](Emitter& e) { e.or_(R8, Rcx); }},
      {"or %eax,%ecx", "09 c1", [](Emitter& e) { e.or_(Ecx, Eax); }},
      {"or %r10d,%ecx", "44 09 d1", [](Emitter& e) { e.or_(Ecx, R10d); }},
      {"cmp %rax,%r10", "49 39 c2", [](Emitter& e) { e.cmp(R10, Rax); }},
      {"cmp %r15,%rcx", "4c 39 f9", [](Emitter& e) { e.cmp(Rcx, R15); }},
      {"cmp $0x2000,%rcx", "48 81 f9 00 20 00 00", [](Emitter& e) { e.cmp(Rcx, Imm32(0x2000)); }},
      {"cmp $0x2000,%rax", "48 3d 00 20 00 00", [](Emitter& e) { e.cmp(Rax, Imm32(0x2000)); }},
      {"cmp $188,%eax", "3d bc 00 00 00", [](Emitter& e) { e.cmp(Eax, Imm32(188)); }},
      {"cmp $897,%r10d", "41 81 fa 81 03 00 00", [](Emitter& e) { e.cmp(R10d, Imm32(897)); }},
      {"cmp $32,%r10d", "41 83 fa 20", [](Emitter& e) { e.cmp(R10d, Imm8(32)); }},
      {"cmp $53,%eax", "83 f8 35", [](Emitter& e) { e.cmp(Eax, Imm8(53)); }},
      {"test %rax,%rax", "48 85 c0", [](Emitter& e) { e.test(Rax, Rax); }},
      {"test %r9,%rcx", "4c 85 c9", [](Emitter& e) { e.test(Rcx, R9); }},
      {"test $0x1fff,%r10d", "41 f7 c2 ff 1f 00 00", [](Emitter& e) { e.test(R10d, Imm32(0x1FFF)); }},
      {"test $0x1fff,%eax", "a9 ff 1f 00 00", [](Emitter& e) { e.test(Eax, Imm32(0x1FFF)); }},
      {"shl $21,%rax", "48 c1 e0 15", [](Emitter& e) { e.shl(Rax, 21); }},
      {"shl $13,%r11", "49 c1 e3 0d", [](Emitter& e) { e.shl(R11, 13); }},
      {"shl $15,%eax", "c1 e0 0f", [](Emitter& e) { e.shl(Eax, 15); }},
      {"shl $15,%r10d", "41 c1 e2 0f", [](Emitter& e) { e.shl(R10d, 15); }},
      {"shr $5,%rcx", "48 c1 e9 05", [](Emitter& e) { e.shr(Rcx, 5); }},
      {"shr $63,%r10", "49 c1 ea 3f", [](Emitter& e) { e.shr(R10, 63); }},
      {"bts $52,%rax", "48 0f ba e8 34", [](Emitter& e) { e.bts(Rax, 52); }},
      {"bts $52,%r10", "49 0f ba ea 34", [](Emitter& e) { e.bts(R10, 52); }},
      {"bsf %r10,%r10", "4d 0f bc d2", [](Emitter& e) { e.bsf(R10, R10); }},
      {"bsf %r9,%rcx", "49 0f bc c9", [](Emitter& e) { e.bsf(Rcx, R9); }},
      {"{disp32} movsd 72(%rsp),%xmm0", "f2 0f 10 84 24 48 00 00 00", [](Emitter& e) { e.movsd(Xmm0, Memory::Wide(Rsp, 72)); }},
      {"{disp32} movsd 0x100(%rsp),%xmm12", "f2 44 0f 10 a4 24 00 01 00 00", [](Emitter& e) { e.movsd(Xmm12, Memory::Wide(Rsp, 0x100)); }},
      {"movsd .+0x90(%rip),%xmm3", "f2 0f 10 1d 88 00 00 00", [](Emitter& e) { e.movsd(Xmm3, Memory::InBuffer(At + 0x90)); }},
      {"movsd 0(%r13),%xmm9", "f2 45 0f 10 4d 00", [](Emitter& e) { e.movsd(Xmm9, Memory::At(R13)); }},
      {"{disp32} movsd %xmm0,8(%rsp)", "f2 0f 11 84 24 08 00 00 00", [](Emitter& e) { e.movsd(Memory::Wide(Rsp, 8), Xmm0); }},
      {"movsd %xmm8,16(%r12)", "f2 45 0f 11 44 24 10", [](Emitter& e) { e.movsd(Memory::At(R12, 16), Xmm8); }},
      {"movapd %xmm0,%xmm1", "66 0f 28 c8", [](Emitter& e) { e.movapd(Xmm1, Xmm0); }},
      {"movapd %xmm9,%xmm2", "66 41 0f 28 d1", [](Emitter& e) { e.movapd(Xmm2, Xmm9); }},
      {"movapd %xmm8,%xmm15", "66 45 0f 28 f8", [](Emitter& e) { e.movapd(Xmm15, Xmm8); }},
      {"movq %xmm2,%rax", "66 48 0f 7e d0", [](Emitter& e) { e.movq(Rax, Xmm2); }},
      {"movq %xmm0,%r10", "66 49 0f 7e c2", [](Emitter& e) { e.movq(R10, Xmm0); }},
      {"movq %xmm12,%rax", "66 4c 0f 7e e0", [](Emitter& e) { e.movq(Rax, Xmm12); }},
      {"movq %rax,%xmm8", "66 4c 0f 6e c0", [](Emitter& e) { e.movq(Xmm8, Rax); }},
      {"movq %r10,%xmm0", "66 49 0f 6e c2", [](Emitter& e) { e.movq(Xmm0, R10); }},
      {"movq %r15,%xmm11", "66 4d 0f 6e df", [](Emitter& e) { e.movq(Xmm11, R15); }},
      {"addsd %xmm5,%xmm7", "f2 0f 58 fd", [](Emitter& e) { e.addsd(Xmm7, Xmm5); }},
      {"addsd .+0x40(%rip),%xmm1", "f2 0f 58 0d 38 00 00 00", [](Emitter& e) { e.addsd(Xmm1, Memory::InBuffer(At + 0x40)); }},
      {"subsd %xmm0,%xmm5", "f2 0f 5c e8", [](Emitter& e) { e.subsd(Xmm5, Xmm0); }},
      {"subsd %xmm12,%xmm2", "f2 41 0f 5c d4", [](Emitter& e) { e.subsd(Xmm2, Xmm12); }},
      {"{disp32} subsd 0x80(%rsp),%xmm10", "f2 44 0f 5c 94 24 80 00 00 00", [](Emitter& e) { e.subsd(Xmm10, Memory::Wide(Rsp, 0x80)); }},
      {"mulsd %xmm2,%xmm2", "f2 0f 59 d2", [](Emitter& e) { e.mulsd(Xmm2, Xmm2); }},
      {"mulsd %xmm8,%xmm3", "f2 41 0f 59 d8", [](Emitter& e) { e.mulsd(Xmm3, Xmm8); }},
      {"mulsd .-0x50(%rip),%xmm0", "f2 0f 59 05 a8 ff ff ff", [](Emitter& e) { e.mulsd(Xmm0, Memory::InBuffer(At - 0x50)); }},
      {"divsd %xmm11,%xmm2", "f2 41 0f 5e d3", [](Emitter& e) { e.divsd(Xmm2, Xmm11); }},
      {"{disp32} divsd 0x78(%rsp),%xmm13", "f2 44 0f 5e ac 24 78 00 00 00", [](Emitter& e) { e.divsd(Xmm13, Memory::Wide(Rsp, 0x78)); }},
      {"ucomisd %xmm1,%xmm2", "66 0f 2e d1", [](Emitter& e) { e.ucomisd(Xmm2, Xmm1); }},
      {"ucomisd %xmm13,%xmm7", "66 41 0f 2e fd", [](Emitter& e) { e.ucomisd(Xmm7, Xmm13); }},
      {"andpd .+0x20(%rip),%xmm2", "66 0f 54 15 18 00 00 00", [](Emitter& e) { e.andpd(Xmm2, Memory::InBuffer(At + 0x20)); }},
      {"andpd 16(%rsp),%xmm10", "66 44 0f 54 54 24 10", [](Emitter& e) { e.andpd(Xmm10, Memory::At(Rsp, 16)); }},
      {"xorpd %xmm5,%xmm5", "66 0f 57 ed", [](Emitter& e) { e.xorpd(Xmm5, Xmm5); }},
      {"xorpd %xmm12,%xmm12", "66 45 0f 57 e4", [](Emitter& e) { e.xorpd(Xmm12, Xmm12); }},
      {"xorpd .+0x80(%rip),%xmm7", "66 0f 57 3d 78 00 00 00", [](Emitter& e) { e.xorpd(Xmm7, Memory::InBuffer(At + 0x80)); }},
      {"por %xmm0,%xmm8", "66 44 0f eb c0", [](Emitter& e) { e.por(Xmm8, Xmm0); }},
      {"por %xmm12,%xmm0", "66 41 0f eb c4", [](Emitter& e) { e.por(Xmm0, Xmm12); }},
      {"pand .+0x70(%rip),%xmm9", "66 44 0f db 0d 67 00 00 00", [](Emitter& e) { e.pand(Xmm9, Memory::InBuffer(At + 0x70)); }},
      {"pand (%rax),%xmm0", "66 0f db 00", [](Emitter& e) { e.pand(Xmm0, Memory::At(Rax)); }},
      {"paddq .-0x100(%rip),%xmm2", "66 0f d4 15 f8 fe ff ff", [](Emitter& e) { e.paddq(Xmm2, Memory::InBuffer(0)); }},
      {"paddq -8(%rbp),%xmm14", "66 44 0f d4 75 f8", [](Emitter& e) { e.paddq(Xmm14, Memory::At(Rbp, -8)); }},
  };
  static unsigned char code[At + 64];
  for (const Row& row : rows) {
    Emitter e(code, sizeof code);
    for (std::size_t i = 0; i < At / 8; ++i) e.u64(0);
    row.emit(e);
    ASSERT_FALSE(e.full()) << row.assembly;
    EXPECT_EQ(hex(code + At, e.size() - At), row.bytes) << row.assembly;
  }
}

// Past the end of its buffer the emitter writes nothing and says it is
// full (the code generator then gives up on that code).
TEST(X64Emitter, StopsAtTheEndOfItsBuffer) {
  unsigned char code[64];
  std::fill(std::begin(code), std::end(code), 0xAA);
  Emitter e(code, 24);
  for (int i = 0; i < 4; ++i) e.patch(e.jcc(Condition::Equal), 0);
  e.movabs(Rax, ~std::uint64_t(0));
  EXPECT_TRUE(e.full());
  EXPECT_LE(e.size(), 24u);
  for (std::size_t i = 24; i < sizeof code; ++i) ASSERT_EQ(code[i], 0xAA) << i;
}

}  // namespace
}  // namespace brunzit::x64
