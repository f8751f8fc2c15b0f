// The answers of the engine linked in directly, as the editor uses it, in the
// format of "abaco32_client answers ... engine", so that the library's
// conversions can be compared with the engine's own results.
#include "calc/dcalculs.h"
#include "tests/calclib/randomexpressions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using brunzit::Real6;

Real6 Bytes(std::uint8_t b0, std::uint8_t b5) {
  Real6 r;
  r.Bytes[0] = b0;
  r.Bytes[5] = b5;
  return r;
}

void PutHex(std::FILE* out, const void* bytes, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) std::fprintf(out, "%02x", static_cast<const unsigned char*>(bytes)[i]);
}

void PutText(std::FILE* out, const std::string& text) {
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c >= 0x7F || c == '\\') std::fprintf(out, "\\x%02x", c);
    else std::fputc(c, out);
  }
}

void PutResult(std::FILE* out, const char* field, std::int32_t error, const Real6& result) {
  std::fprintf(out, "%s %d ", field, error);
  PutHex(out, result.Bytes, 6);
  std::fputc('\n', out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s COUNT FILE\n", argv[0]);
    return 2;
  }
  const long count = std::atol(argv[1]);
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) return 1;
  const Real6 xs[] = {Real6(), Bytes(0x82, 0x20), Bytes(0x83, 0xE0)};
  const Real6 five[] = {Bytes(0x81, 0x40), Bytes(0x82, 0x80), Bytes(0x82, 0x40), Bytes(0x7F, 0), Bytes(0x84, 0x20)};
  for (long i = 0; i < count; ++i) {
    char expression[512];
    RandomExpression(static_cast<std::uint32_t>(i), expression, 160);
    std::fprintf(out, "%ld ", i);
    PutText(out, expression);
    std::int32_t error = brunzit::VariablesAllowed, flag = 0;
    brunzit::analitzar(expression, error, flag);
    std::fprintf(out, "\nanalysis %d\n", error);
    if (error == 0) {
      const brunzit::OperationList& list = brunzit::CurrentOperationList();
      std::fprintf(out, "slots %d", list.Count);
      for (int k = 0; k < list.Count; ++k) {
        const brunzit::OperationSlot& slot = list.Slots[k];
        if (slot.Name.empty()) {
          std::fputs(" N:", out);
          PutHex(out, slot.Value.Bytes, 6);
        } else {
          std::fprintf(out, " %.*s", static_cast<int>(slot.Name.Length), slot.Name.Chars);
        }
      }
      std::fputc('\n', out);
      for (const Real6& x : xs) {
        Real6 result;
        brunzit::Calcular(x, result, error);
        PutResult(out, "calcular", error, result);
      }
      Real6 result;
      brunzit::CalcularXYZUV(five[0], five[1], five[2], five[3], five[4], result, error);
      PutResult(out, "xyzuv", error, result);
    }
    std::fputs("expressio ", out);
    PutText(out, brunzit::CalculateLine(expression, brunzit::DecimalSign::Point));
    std::fputc('\n', out);
    const brunzit::ExpressionOutcome outcome = brunzit::CalculateExpression(expression);
    const std::int32_t status = outcome.AnalysisError != 0 ? 2 : outcome.EvaluationError != 0 ? 1 : 0;
    const float value = status == 0 ? static_cast<float>(outcome.Result.toLongDouble()) : 0.0f;
    std::fprintf(out, "currency %d ", status);
    PutHex(out, &value, sizeof value);
    std::fputc('\n', out);
  }
  std::fclose(out);
  return 0;
}
