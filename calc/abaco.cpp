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

int main(int argc, char** argv) {
  brunzit::DecimalSign sign = brunzit::DecimalSign::Comma;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--dot") == 0) {
      sign = brunzit::DecimalSign::Point;
    } else {
      std::fprintf(stderr, "usage: %s [--dot]  (expressions on standard input, one per line)\n", argv[0]);
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
  return 0;
}
