/* Abaco32 shared between threads, built as a C program outside the project
 * would build it (the header and the library, nothing else).
 *
 *   abaco32_threads calculators  eight threads, each with its own calculator
 *                                and its own expression, against the answers
 *                                of one thread alone, bit for bit.
 *   abaco32_threads exports      threads overlapping calls of the old
 *                                exports: no crash, and every one-call answer
 *                                whole (its own expression's answer).
 *   abaco32_threads answer       Abaco32Answer and the calculators' edges.
 */
#include "calclib/abaco32.h"

#include <math.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static atomic_int failed = 0;

#define EXPECT(condition, ...)            \
  do {                                    \
    if (!(condition)) {                   \
      ++failed;                           \
      printf("FAILED: " __VA_ARGS__);     \
      putchar('\n');                      \
    }                                     \
  } while (0)

enum { Threads = 8, Points = 20001 }; /* X = -10, -9.999, ... 10: 3 among them */

/* Each thread's expression: plain arithmetic, functions, powers, degrees,
 * all five variables, and one that fails for some X (errors must not cross). */
static const char* const expressions[Threads] = {
    "X^2+1",
    "SIN(X)*COS(X)+X/3",
    "(X+1)*(X-1)/(X^2+2)+ABS(X-5)",
    "SIG(X)+COG(X*2)+TAG(X/2)",
    "(X+Y)*(Z-U)/(V+1)+X*V-Y/Z",
    "LN(X)+EXP(X/10)",
    "X^0.5+2^X",
    "1/(X-3)+LOG(ABS(X)+1)",
};

typedef struct Answers {
  double value[Points];
  int32_t error[Points];
} Answers;

static Answers alone[Threads], together[Threads];

static double PointX(int i) { return -10 + 20.0 * i / (Points - 1); }

static void Evaluate(int which, Answers* out) {
  Abaco32Calculator* calculator = Abaco32New();
  EXPECT(Abaco32Analyse(calculator, expressions[which], 1) == 0, "analysis of %s", expressions[which]);
  for (int i = 0; i < Points; ++i) {
    out->value[i] = Abaco32Evaluate(calculator, PointX(i), 1.5, 2.25, 0.75, 3.5, &out->error[i]);
  }
  Abaco32Free(calculator);
}

static void* EvaluateOnThread(void* which) {
  const int k = (int)(size_t)which;
  Evaluate(k, &together[k]);
  return NULL;
}

static int Calculators(void) {
  pthread_t threads[Threads];
  for (int k = 0; k < Threads; ++k) Evaluate(k, &alone[k]);
  for (int k = 0; k < Threads; ++k) pthread_create(&threads[k], NULL, EvaluateOnThread, (void*)(size_t)k);
  for (int k = 0; k < Threads; ++k) pthread_join(threads[k], NULL);
  for (int k = 0; k < Threads; ++k) {
    int errors = 0;
    for (int i = 0; i < Points; ++i) errors += alone[k].error[i] != 0;
    EXPECT(memcmp(&alone[k], &together[k], sizeof alone[k]) == 0, "%s: the same answers on eight threads",
           expressions[k]);
    /* Both kinds of answers were compared: values, and errors for part of the points. */
    EXPECT(k < 5 || (errors > 0 && errors < Points), "%s: %d errors", expressions[k], errors);
  }
  printf("calculators: %s\n", failed == 0 ? "ok" : "FAILED");
  return failed == 0 ? 0 : 1;
}

/* ---- the old exports, overlapping ---------------------------------------- */

enum { Rounds = 3000 };

typedef struct OneCall {
  const char* expression;
  char answer[64]; /* as CalcularExpressio writes it, taken from one thread alone */
} OneCall;

static OneCall oneCalls[Threads];

static void Answer(const char* expression, char* text) {
  int32_t block[32];
  unsigned char answer[256];
  Abaco32MakeCountedString(block, sizeof block, expression);
  CalcularExpressio(answer, (const char*)block + 8);
  memcpy(text, answer + 1, answer[0]);
  text[answer[0]] = '\0';
}

static void* OverlapOnThread(void* which) {
  const int k = (int)(size_t)which;
  int32_t block[32];
  const char* counted = Abaco32MakeCountedString(block, sizeof block, expressions[k]);
  for (int r = 0; r < Rounds; ++r) {
    int32_t error = 102, flag = 0, count = -1;
    Abaco32Real6 x = {{0x82, 0, 0, 0, 0, 0}}, result;
    unsigned char values[Abaco32ValueArrayBytes], names[Abaco32NameArrayBytes];
    char text[64];
    /* These calls share the one stored analysis: another thread may have
     * replaced it between them, so only their codes are checked. */
    analitzar(counted, &error, &flag);
    Calcular(&x, &result, &error);
    EXPECT(error >= 0 && error <= 5, "Calcular code %d", error);
    DonarOperacions(values, names, &count);
    EXPECT(count >= 0 && count <= Abaco32SlotCount, "DonarOperacions count %d", count);
    DonarDades(values, names, &count);
    /* A one-call export is whole: its answer is its own expression's. */
    Answer(expressions[k], text);
    EXPECT(strcmp(text, oneCalls[k].answer) == 0, "[%s] for [%s]", text, oneCalls[k].answer);
    CalcularCurrency(counted, &error);
  }
  return NULL;
}

static int Exports(void) {
  pthread_t threads[Threads];
  for (int k = 0; k < Threads; ++k) Answer(expressions[k], oneCalls[k].answer);
  for (int k = 0; k < Threads; ++k) pthread_create(&threads[k], NULL, OverlapOnThread, (void*)(size_t)k);
  for (int k = 0; k < Threads; ++k) pthread_join(threads[k], NULL);
  printf("exports: %s\n", failed == 0 ? "ok" : "FAILED");
  return failed == 0 ? 0 : 1;
}

/* ---- Abaco32Answer and the calculators' edges ----------------------------- */

static int Answers_(void) {
  static const struct {
    const char* line;
    const char* answer;
  } cases[] = {
      {"2+3", "2+3 = 5"},
      {"7/2", "7/2 = 3,5"},
      {"1/128", "1/128 = 0,007813"},
      {"-1/10000000", "-1/10000000 = 0"},
      {"3\xC2\xB7" "2", "3\xC2\xB7" "2 = ERROR D'AN\xC3\x80LISIS"}, /* UTF-8 in, UTF-8 out */
      {"1/0", "1/0 = ERROR DE C\xC3\x80LCUL"},
      {"x+1", "x+1 = 1"},
  };
  char out[300];
  int32_t error = -1;
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const size_t length = Abaco32Answer(cases[i].line, out, sizeof out);
    EXPECT(strcmp(out, cases[i].answer) == 0 && length == strlen(cases[i].answer), "Abaco32Answer %s: [%s]",
           cases[i].line, out);
  }
  /* Cut to fit, never through a character; the whole length returned. */
  memset(out, 'z', sizeof out);
  EXPECT(Abaco32Answer("1/0", out, 18) == strlen("1/0 = ERROR DE C\xC3\x80LCUL") && strcmp(out, "1/0 = ERROR DE C") == 0,
         "cut before a two-byte character: [%s]", out);
  EXPECT(Abaco32Answer("2+3", NULL, 0) == 7, "length without a buffer");

  {
    /* Abaco32Answer leaves the stored analysis alone; a calculator leaves it too. */
    int32_t block[8], flag = 0;
    Abaco32Real6 x = {{0x82, 0, 0, 0, 0, 0}}, result; /* X = 2 */
    Abaco32Calculator* calculator = Abaco32New();
    error = 102;
    analitzar(Abaco32MakeCountedString(block, sizeof block, "X*10"), &error, &flag);
    Abaco32Answer("5+5", out, sizeof out);
    EXPECT(Abaco32Analyse(calculator, "X+1", 0) == 0, "calculator analysis");
    Calcular(&x, &result, &error);
    EXPECT(error == 0 && result.Bytes[0] == 0x85 && result.Bytes[5] == 0x20, "the stored X*10 still gives 20");
    EXPECT(Abaco32Evaluate(calculator, 2, 0, 0, 0, 0, &error) == 3 && error == 0, "the calculator's X+1 gives 3");
    EXPECT(Abaco32Analyse(calculator, "Y+1", 0) == 2, "Y forbidden");
    EXPECT(Abaco32Evaluate(calculator, 2, 0, 0, 0, 0, &error) == 0 && error == 5, "nothing to evaluate");
    EXPECT(Abaco32Analyse(calculator, "Y/X", 1) == 0, "Y allowed");
    EXPECT(Abaco32Evaluate(calculator, 0, 1, 0, 0, 0, &error) == 0 && error == 1, "division by zero");
    /* Each variable is first rounded to the 6-byte real, as CalcularXYZUV reads it. */
    {
      const double tenth = Abaco32Evaluate(calculator, 1, 0.1, 0, 0, 0, &error);
      EXPECT(error == 0 && tenth != 0.1 && fabs(tenth - 0.1) < 1e-12, "0.1 as a 6-byte real: %.17g", tenth);
    }
    Abaco32Free(calculator);
  }
  {
    Abaco32Calculator* fresh = Abaco32New();
    EXPECT(Abaco32Evaluate(fresh, 1, 0, 0, 0, 0, &error) == 0 && error == 0, "a new calculator gives 0");
    Abaco32Free(fresh);
  }
  EXPECT(Abaco32Analyse(NULL, "1", 0) == -1, "null calculator");
  EXPECT(Abaco32Evaluate(NULL, 1, 0, 0, 0, 0, &error) == 0 && error == 5, "null calculator evaluates nothing");
  Abaco32Free(NULL);
  printf("answer: %s\n", failed == 0 ? "ok" : "FAILED");
  return failed == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "calculators") == 0) return Calculators();
  if (argc == 2 && strcmp(argv[1], "exports") == 0) return Exports();
  if (argc == 2 && strcmp(argv[1], "answer") == 0) return Answers_();
  fprintf(stderr, "usage: %s calculators | exports | answer\n", argv[0]);
  return 2;
}
