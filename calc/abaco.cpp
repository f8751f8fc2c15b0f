// abaco: a terminal calculator over the engine. Each line of standard input
// is answered on standard output as the editor answers it; with --dot, as the
// library's CalcularExpressio answers it (decimal point). The terminal speaks
// UTF-8; the engine reads and writes Windows-1252.

#include "calc/dcalculs.h"
#include "platform/cp1252.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace {

constexpr const char* kUsage =
    "Usage: abaco [--dot]\n"
    "Answers each line of standard input, an arithmetic expression, with the\n"
    "line followed by \" = \" and its value, as the brunzit editor does.\n"
    "\n"
    "  --dot      write the answer with a decimal point instead of a comma\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Exit status: 0 when standard input was read to its end (a line the\n"
    "calculator cannot answer is answered with an error text), 1 when\n"
    "standard input or output failed, 2 for a wrong option.\n";

}  // namespace

int main(int argc, char** argv) {
  brunzit::DecimalSign sign = brunzit::DecimalSign::Comma;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--dot") == 0) {
      sign = brunzit::DecimalSign::Point;
    } else if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kUsage, stdout);
      return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("abaco %s\n", BRUNZIT_VERSION);
      return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    } else {
      std::fprintf(stderr, "abaco: unknown option '%s'\nTry 'abaco --help'.\n", argv[i]);
      return 2;
    }
  }
  std::ios::sync_with_stdio(false);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string answer = brunzit::CalculateLine(brunzit::utf8ToCp1252(line), sign);
    std::cout << brunzit::cp1252ToUtf8(answer) << '\n';
  }
  std::cout.flush();
  // A full disk or a closed pipe must not look like a finished job.
  return std::cin.bad() || !std::cout ? 1 : 0;
}
