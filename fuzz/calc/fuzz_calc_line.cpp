// Any bytes as an editor line: the answer starts with the line (as far as 255
// characters allow), never passes 255 characters, and formats both ways.

#include "calc/dcalculs.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brunzit;
  const std::string line(reinterpret_cast<const char*>(data), size);
  for (DecimalSign sign : {DecimalSign::Comma, DecimalSign::Point}) {
    const std::string answer = CalculateLine(line, sign);
    if (answer.size() > AnswerLimit) std::abort();
    const std::size_t kept = line.size() < AnswerLimit ? line.size() : AnswerLimit;
    if (answer.compare(0, kept, line, 0, kept) != 0) std::abort();
    if (line.size() + 3 < AnswerLimit && answer.size() <= line.size() + 3) std::abort();
  }
  return 0;
}
