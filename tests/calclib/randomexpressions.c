/* Expressions are mostly well formed (numbers in every spelling, the five
 * variables, both languages' function names, brackets, implied products) with
 * a share of damaged ones, so that analysis errors, evaluation errors and
 * results all get compared. */
#include "tests/calclib/randomexpressions.h"

#include <string.h>

typedef struct Generator {
  uint32_t state;
  char* text;
  size_t length;
  size_t capacity;
} Generator;

static uint32_t Next(Generator* g) {
  /* xorshift32: the same sequence on every compiler */
  uint32_t x = g->state;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  g->state = x;
  return x;
}

static uint32_t Below(Generator* g, uint32_t n) { return Next(g) % n; }

static void Put(Generator* g, const char* s) {
  while (*s != '\0' && g->length + 1 < g->capacity) g->text[g->length++] = *s++;
  g->text[g->length] = '\0';
}

static void PutNumber(Generator* g) {
  static const char* const decimalSigns[] = {".", ",", "'"};
  char digits[24];
  size_t n = 0;
  uint32_t count = 1 + Below(g, Below(g, 16) == 0 ? 20 : 3);
  for (uint32_t i = 0; i < count && n + 1 < sizeof digits; ++i) digits[n++] = (char)('0' + Below(g, 10));
  digits[n] = '\0';
  Put(g, digits);
  if (Below(g, 3) == 0) {
    Put(g, decimalSigns[Below(g, 3)]);
    n = 0;
    count = Below(g, 5);
    for (uint32_t i = 0; i < count; ++i) digits[n++] = (char)('0' + Below(g, 10));
    digits[n] = '\0';
    Put(g, digits);
  }
}

static void PutExpression(Generator* g, int depth);

static void PutTerm(Generator* g, int depth) {
  static const char* const functions[] = {"sin", "sen", "sig", "seg", "cos", "cog", "tan", "tag", "asi", "ase",
                                          "asg", "aco", "acg", "ata", "atg", "abs", "log", "alo", "exp", "aln",
                                          "ln",  "SIN", "COG", "LOG", "Exp", "sqr"};
  static const char* const variables[] = {"x", "X", "y", "z", "u", "v"};
  static const char* const constants[] = {"pi", "PI", "p", "ne"};
  uint32_t kind = Below(g, depth > 2 ? 4 : 12);
  if (kind >= 10) kind = Below(g, 2);
  if (kind < 2) {
    PutNumber(g);
  } else if (kind == 2) {
    if (Below(g, 2) == 0) PutNumber(g);
    Put(g, variables[Below(g, 6)]);
  } else if (kind == 3) {
    if (Below(g, 3) == 0) PutNumber(g);
    Put(g, constants[Below(g, 4)]);
  } else if (kind < 6) {
    Put(g, "(");
    PutExpression(g, depth + 1);
    Put(g, ")");
  } else if (kind < 9) {
    if (Below(g, 4) == 0) PutNumber(g);
    Put(g, functions[Below(g, sizeof functions / sizeof functions[0])]);
    Put(g, "(");
    PutExpression(g, depth + 1);
    Put(g, ")");
  } else {
    Put(g, "(-");
    PutTerm(g, depth + 1);
    Put(g, ")");
  }
}

static void PutExpression(Generator* g, int depth) {
  static const char* const operators[] = {"+", "-", "*", "/", "^", " + ", "*", "-"};
  if (Below(g, 5) == 0) Put(g, Below(g, 2) == 0 ? "-" : "+");
  PutTerm(g, depth);
  uint32_t more = Below(g, depth > 1 ? 2 : 4);
  for (uint32_t i = 0; i < more; ++i) {
    Put(g, operators[Below(g, 8)]);
    PutTerm(g, depth);
  }
}

/* Damage: a character dropped, doubled or replaced by one of a few that the
 * analyser must refuse or accept. */
static void Damage(Generator* g) {
  static const char replacements[] = "()+-*/^.,xE%= 1";
  if (g->length == 0) return;
  size_t at = Below(g, (uint32_t)g->length);
  switch (Below(g, 3)) {
    case 0:
      memmove(g->text + at, g->text + at + 1, g->length - at);
      --g->length;
      break;
    case 1:
      if (g->length + 1 < g->capacity) {
        memmove(g->text + at + 1, g->text + at, g->length - at + 1);
        ++g->length;
      }
      break;
    default:
      g->text[at] = replacements[Below(g, sizeof replacements - 1)];
      break;
  }
}

void RandomExpression(uint32_t index, char* text, size_t capacity) {
  Generator g;
  if (capacity == 0) return;
  g.state = 0x9E3779B9u ^ (index * 0x85EBCA6Bu);
  if (g.state == 0) g.state = 1;
  for (int i = 0; i < 4; ++i) Next(&g);
  g.text = text;
  g.length = 0;
  g.capacity = capacity;
  text[0] = '\0';
  PutExpression(&g, 0);
  if (Below(&g, 5) == 0) Damage(&g);
}
