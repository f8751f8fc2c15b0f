/* A program that uses Abaco32 as any outside program would: it loads the
 * library at run time by name and calls the eight exports through their
 * binary interface, never through the engine's C++ headers.
 *
 *   abaco32_client check LIBRARY
 *       runs the checks; prints "N passed, N failed"; exit 1 on a failure.
 *   abaco32_client answers LIBRARY COUNT FILE [engine]
 *       writes the answers for COUNT random expressions to FILE, for
 *       comparison with another build ("engine": only the fields that the
 *       engine linked directly can give too).
 *   abaco32_client file LIBRARY IN OUT
 *       answers each expression line of IN in scientific notation.
 *
 * On Windows every export is also looked up by ordinal. */
#include "calclib/abaco32.h"
#include "tests/calclib/randomexpressions.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

typedef struct Api {
  Abaco32analitzarFn analitzar;
  Abaco32CalcularFn Calcular;
  Abaco32CalcularXYZUVFn CalcularXYZUV;
  Abaco32DonarFn DonarDades;
  Abaco32DonarFn DonarOperacions;
  Abaco32CalcularExpressioFn CalcularExpressio;
  Abaco32ProcCalcularExpressioFn ProcCalcularExpressio;
  Abaco32CalcularCurrencyFn CalcularCurrency;
} Api;

static int passed = 0;
static int failed = 0;

static void Expect(int ok, const char* format, ...) {
  va_list args;
  if (ok) {
    ++passed;
    return;
  }
  ++failed;
  va_start(args, format);
  fputs("FAILED: ", stdout);
  vprintf(format, args);
  fputc('\n', stdout);
  va_end(args);
}

/* ---- loading ---------------------------------------------------------- */

typedef struct Export {
  const char* name;
  int ordinal;
  size_t offset; /* of the pointer in Api */
} Export;

static const Export exportsTable[] = {
    {"analitzar", 2, offsetof(Api, analitzar)},
    {"Calcular", 3, offsetof(Api, Calcular)},
    {"CalcularXYZUV", 4, offsetof(Api, CalcularXYZUV)},
    {"DonarDades", 5, offsetof(Api, DonarDades)},
    {"DonarOperacions", 6, offsetof(Api, DonarOperacions)},
    {"CalcularExpressio", 7, offsetof(Api, CalcularExpressio)},
    {"ProcCalcularExpressio", 8, offsetof(Api, ProcCalcularExpressio)},
    {"CalcularCurrency", 9, offsetof(Api, CalcularCurrency)},
};
enum { ExportCount = sizeof exportsTable / sizeof exportsTable[0] };

static int Load(const char* library, Api* api) {
  int complete = 1;
  memset(api, 0, sizeof *api);
#if defined(_WIN32)
  HMODULE module = LoadLibraryA(library);
  if (module == NULL) {
    printf("cannot load %s (error %lu)\n", library, (unsigned long)GetLastError());
    return 0;
  }
  for (int i = 0; i < ExportCount; ++i) {
    FARPROC byName = GetProcAddress(module, exportsTable[i].name);
    FARPROC byOrdinal = GetProcAddress(module, MAKEINTRESOURCEA(exportsTable[i].ordinal));
    Expect(byName != NULL, "export %s by name", exportsTable[i].name);
    Expect(byOrdinal == byName, "export %s is ordinal %d", exportsTable[i].name, exportsTable[i].ordinal);
    memcpy((char*)api + exportsTable[i].offset, &byName, sizeof byName);
    complete = complete && byName != NULL;
  }
  Expect(GetProcAddress(module, MAKEINTRESOURCEA(1)) == NULL, "ordinal 1 is empty");
  Expect(GetProcAddress(module, MAKEINTRESOURCEA(10)) == NULL, "no ordinal 10");
#else
  void* module = dlopen(library, RTLD_NOW | RTLD_LOCAL);
  if (module == NULL) {
    printf("cannot load %s: %s\n", library, dlerror());
    return 0;
  }
  for (int i = 0; i < ExportCount; ++i) {
    void* symbol = dlsym(module, exportsTable[i].name);
    Expect(symbol != NULL, "export %s by name", exportsTable[i].name);
    memcpy((char*)api + exportsTable[i].offset, &symbol, sizeof symbol);
    complete = complete && symbol != NULL;
  }
  /* The engine stays inside: its C++ names are not exported. */
  Expect(dlsym(module, "_ZN7brunzit9analitzarERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEERiS8_") == NULL,
         "engine symbols are not exported");
#endif
  return complete;
}

/* ---- layouts ------------------------------------------------------------ */

/* A counted-string block: int32 reference count, int32 length, characters. */
typedef struct Counted {
  int32_t words[96];
} Counted;

static const char* MakeCounted(Counted* block, const char* text) {
  return Abaco32MakeCountedString(block, sizeof *block, text);
}

static int32_t ReferenceCount(const Counted* block) {
  int32_t count;
  memcpy(&count, block, 4);
  return count;
}

static Abaco32Real6 Real6Bytes(unsigned b0, unsigned b1, unsigned b2, unsigned b3, unsigned b4, unsigned b5) {
  Abaco32Real6 r = {{(unsigned char)b0, (unsigned char)b1, (unsigned char)b2, (unsigned char)b3,
                     (unsigned char)b4, (unsigned char)b5}};
  return r;
}

/* Reads the layout independently of the library: (-1)^s (1 + f/2^39) 2^(e-129). */
static double Real6Value(Abaco32Real6 r) {
  double fraction = 0;
  if (r.Bytes[0] == 0) return 0;
  for (int i = 5; i >= 1; --i) fraction = fraction * 256 + (i == 5 ? (r.Bytes[i] & 0x7F) : r.Bytes[i]);
  double value = ldexp(1.0 + ldexp(fraction, -39), (int)r.Bytes[0] - 129);
  return (r.Bytes[5] & 0x80) ? -value : value;
}

static int SameBytes(const void* a, const void* b, size_t n) { return memcmp(a, b, n) == 0; }

static int AllBytes(const unsigned char* p, size_t n, unsigned char value) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != value) return 0;
  return 1;
}

/* Slot arrays with guard bytes on both sides, to catch writes outside. */
enum { Guard = 16, Fill = 0xA5 };
typedef struct Arrays {
  unsigned char values[Guard + Abaco32ValueArrayBytes + Guard];
  unsigned char names[Guard + Abaco32NameArrayBytes + Guard];
  int32_t count;
} Arrays;

static void FillArrays(Arrays* a) {
  memset(a->values, Fill, sizeof a->values);
  memset(a->names, Fill, sizeof a->names);
  a->count = -7;
}

static unsigned char* Values(Arrays* a) { return a->values + Guard; }
static unsigned char* Names(Arrays* a) { return a->names + Guard; }

static Abaco32Real6 SlotValue(Arrays* a, int k) {
  Abaco32Real6 r;
  memcpy(r.Bytes, Values(a) + 6 * (k - 1), 6);
  return r;
}

/* Slot k's name as text (the entry is a short string of at most 3). */
static const char* SlotName(Arrays* a, int k, char out[5]) {
  const unsigned char* entry = Names(a) + 4 * k;
  size_t n = entry[0] <= 3 ? entry[0] : 3;
  memcpy(out, entry + 1, n);
  out[n] = '\0';
  return out;
}

static int GuardsIntact(Arrays* a) {
  return AllBytes(a->values, Guard, Fill) && AllBytes(a->values + Guard + Abaco32ValueArrayBytes, Guard, Fill) &&
         AllBytes(a->names, Guard + 4, Fill) /* entry 0 is never written */ &&
         AllBytes(a->names + Guard + Abaco32NameArrayBytes, Guard, Fill);
}

/* "( N + N )" for slots 1..count. */
static void NamesText(Arrays* a, char* out, size_t capacity) {
  char name[5];
  out[0] = '\0';
  for (int k = 1; k <= a->count && k <= Abaco32SlotCount; ++k) {
    if (k > 1) strncat(out, " ", capacity - strlen(out) - 1);
    strncat(out, SlotName(a, k, name), capacity - strlen(out) - 1);
  }
}

static int32_t Analyse(const Api* api, const char* text, int32_t errorOnEntry) {
  Counted block;
  int32_t error = errorOnEntry, flag = 0;
  api->analitzar(MakeCounted(&block, text), &error, &flag);
  Expect(flag == 1, "analitzar(%s) flag is 1, got %d", text, flag);
  return error;
}

static void ShortStringText(const unsigned char* s, char* out) {
  memcpy(out, s + 1, s[0]);
  out[s[0]] = '\0';
}

/* ---- checks ------------------------------------------------------------- */

static void CheckEvaluation(const Api* api) {
  static const struct {
    const char* expression;
    double x;
    Abaco32Real6 xBytes;
    double expected;
  } cases[] = {
      {"X^2+1", 3, {{0x82, 0, 0, 0, 0, 0x40}}, 10},   /* 3.0 = 82 00 00 00 00 40 */
      {"X^2+1", -1, {{0x81, 0, 0, 0, 0, 0x80}}, 2},   /* -1.0 */
      {"x*2", 10, {{0x84, 0, 0, 0, 0, 0x20}}, 20},    /* 10.0 */
      {"X", 90, {{0x87, 0, 0, 0, 0, 0x34}}, 90},      /* 90.0 */
      {"X+1", 0, {{0x00, 0x12, 0x34, 0x56, 0x78, 0x9A}}, 1}, /* exponent 0 is zero, whatever follows */
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Abaco32Real6 result;
    int32_t error = 99;
    Expect(Analyse(api, cases[i].expression, 0) == 0, "analitzar(%s)", cases[i].expression);
    api->Calcular(&cases[i].xBytes, &result, &error);
    Expect(error == 0 && Real6Value(result) == cases[i].expected, "Calcular %s with X=%g gives %g, got %g (error %d)",
           cases[i].expression, cases[i].x, cases[i].expected, Real6Value(result), error);
  }
  {
    /* The result comes back as the 6-byte layout, byte for byte. */
    Abaco32Real6 result, x = Real6Bytes(0x81, 0, 0, 0, 0, 0x80);
    int32_t error = 0;
    Analyse(api, "x*10", 0);
    api->Calcular(&x, &result, &error);
    Abaco32Real6 expected = Real6Bytes(0x84, 0, 0, 0, 0, 0xA0); /* -10.0 */
    Expect(SameBytes(&result, &expected, 6), "Calcular result layout of -10");
    Analyse(api, "1/2", 0);
    api->Calcular(&x, &result, &error);
    expected = Real6Bytes(0x80, 0, 0, 0, 0, 0);
    Expect(SameBytes(&result, &expected, 6), "Calcular result layout of 0.5");
  }
  {
    /* Y needs 102 on entry; each by-value variable lands in its place. */
    Abaco32Real6 zero = Real6Bytes(0, 0, 0, 0, 0, 0), four = Real6Bytes(0x83, 0, 0, 0, 0, 0);
    Abaco32Real6 one = Real6Bytes(0x81, 0, 0, 0, 0, 0), two = Real6Bytes(0x82, 0, 0, 0, 0, 0);
    Abaco32Real6 three = Real6Bytes(0x82, 0, 0, 0, 0, 0x40), five = Real6Bytes(0x83, 0, 0, 0, 0, 0x20);
    Abaco32Real6 result;
    int32_t error = 99;
    Expect(Analyse(api, "2Y", 0) == 2, "2Y with variables forbidden gives error 2");
    Expect(Analyse(api, "2Y", 102) == 0, "2Y with variables allowed");
    api->CalcularXYZUV(zero, four, zero, zero, zero, &result, &error);
    Expect(error == 0 && Real6Value(result) == 8, "CalcularXYZUV 2Y with Y=4 gives 8, got %g", Real6Value(result));
    Expect(Analyse(api, "x+10y+100z+1000u+10000v", 102) == 0, "five variables");
    api->CalcularXYZUV(one, two, three, four, five, &result, &error);
    Expect(error == 0 && Real6Value(result) == 54321, "CalcularXYZUV places X..V, got %.1f", Real6Value(result));
    api->Calcular(&three, &result, &error);
    Expect(error == 0 && Real6Value(result) == 3, "Calcular takes Y..V as 0, got %g", Real6Value(result));
  }
  {
    /* Evaluation errors leave the result as it was. */
    static const struct {
      const char* expression;
      int32_t error;
    } failures[] = {{"1/0", 1}, {"ASI(2)", 2}, {"LN(0)", 3}, {"10^20", 4}, {"EXP(88)", 4}};
    for (size_t i = 0; i < sizeof failures / sizeof failures[0]; ++i) {
      Abaco32Real6 result = Real6Bytes(1, 2, 3, 4, 5, 6), before = result, x = Real6Bytes(0, 0, 0, 0, 0, 0);
      int32_t error = 0;
      Analyse(api, failures[i].expression, 0);
      api->Calcular(&x, &result, &error);
      Expect(error == failures[i].error, "Calcular %s gives error %d, got %d", failures[i].expression,
             failures[i].error, error);
      Expect(SameBytes(&result, &before, 6), "Calcular %s leaves the result", failures[i].expression);
    }
  }
}

static void CheckCountedStrings(const Api* api) {
  static const struct {
    int32_t referenceCount;
    int32_t length;
    const char* characters;
    int32_t expectedError;
    int32_t expectedCount; /* slots of the analysis, when it succeeds */
  } cases[] = {
      {-1, 3, "2+3", 0, 5},
      {0, 3, "2+3", 0, 5},     /* a count of 0 must not make the library free our block */
      {5, 3, "2+3", 0, 5},
      {-1, 3, "2+3*4", 0, 5},  /* the length counts, not the NUL */
      {-1, 1, "(", 4, 0},
      {-1, 0, "2+3", 7, 0},    /* length 0: empty */
      {-1, -4, "2+3", 7, 0},   /* a negative length reads as empty */
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Counted block;
    Arrays a;
    int32_t error = 0, flag = 0;
    const char* text = MakeCounted(&block, cases[i].characters);
    memcpy(&block, &cases[i].referenceCount, 4);
    memcpy((char*)&block + 4, &cases[i].length, 4);
    Counted before = block;
    api->analitzar(text, &error, &flag);
    Expect(error == cases[i].expectedError, "counted string %d/%d/%s gives error %d, got %d", cases[i].referenceCount,
           cases[i].length, cases[i].characters, cases[i].expectedError, error);
    Expect(SameBytes(&block, &before, sizeof block), "counted string block %d/%s left untouched",
           cases[i].referenceCount, cases[i].characters);
    Expect(ReferenceCount(&block) == cases[i].referenceCount, "reference count stays %d", cases[i].referenceCount);
    FillArrays(&a);
    api->DonarOperacions(Values(&a), Names(&a), &a.count);
    Expect(a.count == cases[i].expectedCount, "slots after counted string %s: %d, got %d", cases[i].characters,
           cases[i].expectedCount, a.count);
  }
  {
    int32_t error = 0, flag = 0;
    api->analitzar(NULL, &error, &flag);
    Expect(error == 7 && flag == 1, "a null counted string is empty (error 7), got %d", error);
  }
}

static void CheckDonarOperacions(const Api* api) {
  static const struct {
    const char* expression;
    int32_t count;
    const char* names;
  } cases[] = {
      {"2+3", 5, "( N + N )"},
      {"-5", 5, "( N * N )"},
      {"2+SIN(30)", 8, "( N + SIN ( N ) )"},
      {"ln(2)*x", 8, "( LNE ( N ) * X )"},
      {"2+", 0, ""}, /* a failed analysis reads back as empty, not half-built */
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Arrays a;
    char names[256];
    FillArrays(&a);
    Analyse(api, cases[i].expression, 0);
    api->DonarOperacions(Values(&a), Names(&a), &a.count);
    NamesText(&a, names, sizeof names);
    Expect(a.count == cases[i].count && strcmp(names, cases[i].names) == 0, "DonarOperacions %s: %d [%s], got %d [%s]",
           cases[i].expression, cases[i].count, cases[i].names, a.count, names);
    Expect(GuardsIntact(&a), "DonarOperacions %s writes only its 1200 + 800 bytes", cases[i].expression);
    /* Everything past Count is cleared: values 0, names empty. */
    Expect(AllBytes(Values(&a) + 6 * a.count, 6 * (Abaco32SlotCount - a.count), 0) &&
               AllBytes(Names(&a) + 4 * (a.count + 1), 4 * (Abaco32SlotCount - a.count), 0),
           "DonarOperacions %s clears the slots past Count", cases[i].expression);
  }
  {
    Arrays a;
    FillArrays(&a);
    Analyse(api, "2+3", 0);
    api->DonarOperacions(Values(&a), Names(&a), &a.count);
    Expect(Real6Value(SlotValue(&a, 2)) == 2 && Real6Value(SlotValue(&a, 4)) == 3 &&
               AllBytes(Values(&a) + 6 * 2, 6, 0),
           "DonarOperacions 2+3 values 2 and 3 in slots 2 and 4, 0 in the + slot");
    static const unsigned char firstNames[] = {0x01, '(', 0, 0, 0x01, 'N', 0, 0, 0x01, '+', 0, 0};
    Expect(SameBytes(Names(&a) + 4, firstNames, sizeof firstNames), "name entries are short strings at 4*k");
  }
}

static void CheckDonarDades(const Api* api) {
  static const struct {
    const char* expression;
    int32_t count;
    const char* names;
    double values[9]; /* of the "N" slots, left to right */
  } cases[] = {
      {"3-X+2", 9, "( N + N * X + N )", {3, -1, 2}},
      {"X+1", 7, "( N * X + N )", {1, 1}},
      {"-2*3", 5, "( N * N )", {-2, 3}},
      {"-2*X", 5, "( N * X )", {-2}},
      {"2-3*4", 7, "( N + N * N )", {2, -3, 4}},
      {"-x^2", 7, "( N * X ^ N )", {-1, 2}},
      /* a power's base keeps its sign apart: 3-2^2 is 3+(-1)*2^2, not 3+(-2)^2 */
      {"3-2^2", 9, "( N + N * N ^ N )", {3, -1, 2, 2}},
      {"-2^2", 7, "( N * N ^ N )", {-1, 2, 2}},
      {"2^X-Y", 9, "( N ^ X + N * Y )", {2, -1}},
      {"2+", 0, "", {0}},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Arrays a;
    char names[256], name[5];
    int ok = 1, n = 0;
    FillArrays(&a);
    Analyse(api, cases[i].expression, 102);
    api->DonarDades(Values(&a), Names(&a), &a.count);
    NamesText(&a, names, sizeof names);
    for (int k = 1; k <= a.count && k <= Abaco32SlotCount; ++k)
      if (strcmp(SlotName(&a, k, name), "N") == 0) ok = ok && Real6Value(SlotValue(&a, k)) == cases[i].values[n++];
    Expect(a.count == cases[i].count && strcmp(names, cases[i].names) == 0 && ok, "DonarDades %s: %d [%s], got %d [%s]%s",
           cases[i].expression, cases[i].count, cases[i].names, a.count, names, ok ? "" : " with other values");
    Expect(GuardsIntact(&a), "DonarDades %s stays inside the arrays", cases[i].expression);
    /* The arrays are not cleared first: past the slots it used, our bytes stay. */
    Expect(AllBytes(Values(&a) + 6 * 190, 60, Fill) && AllBytes(Names(&a) + 4 * 191, 40, Fill),
           "DonarDades %s leaves the slots it did not use", cases[i].expression);
  }
  {
    /* The stored list is not changed by the rewriting. */
    Arrays a;
    char names[256];
    Analyse(api, "3-X+2", 0);
    FillArrays(&a);
    api->DonarDades(Values(&a), Names(&a), &a.count);
    api->DonarOperacions(Values(&a), Names(&a), &a.count);
    NamesText(&a, names, sizeof names);
    Expect(a.count == 7 && strcmp(names, "( N - X + N )") == 0, "DonarDades leaves the stored list, got [%s]", names);
  }
}

static void CheckLongLists(const Api* api) {
  /* 99 X's make 199 slots: the rewriting has no room for "1 *" (and must not
   * make room past slot 200); with fewer, factors go in while Count stays
   * below 200. */
  char text[256] = "";
  for (int i = 0; i < 99; ++i) strcat(text, i == 0 ? "X" : "+X");
  static const struct {
    int xs;
    int32_t operations, dades;
  } cases[] = {{99, 199, 199}, {98, 197, 199}, {97, 195, 199}, {96, 193, 199}, {5, 11, 21}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Arrays a;
    text[2 * cases[i].xs - 1] = '\0';
    Expect(Analyse(api, text, 0) == 0, "analitzar %d X's", cases[i].xs);
    FillArrays(&a);
    api->DonarOperacions(Values(&a), Names(&a), &a.count);
    Expect(a.count == cases[i].operations && GuardsIntact(&a), "DonarOperacions %d X's: %d slots, got %d",
           cases[i].xs, cases[i].operations, a.count);
    FillArrays(&a);
    api->DonarDades(Values(&a), Names(&a), &a.count);
    Expect(a.count == cases[i].dades && GuardsIntact(&a), "DonarDades %d X's: %d slots, got %d", cases[i].xs,
           cases[i].dades, a.count);
  }
  {
    /* More slots than the list holds is an analysis error, never an overrun. */
    char sum[256] = "1";
    for (int i = 0; i < 99; ++i) strcat(sum, "+1");
    int32_t error = Analyse(api, sum, 0);
    Arrays a;
    FillArrays(&a);
    api->DonarOperacions(Values(&a), Names(&a), &a.count);
    Expect(error == 8 && a.count == 0 && GuardsIntact(&a), "201 slots: error 8, got %d with count %d", error, a.count);
  }
}

static void CheckCalcularExpressio(const Api* api) {
  static const struct {
    const char* expression;
    const char* answer;
  } cases[] = {
      {"1/4", "1/4 = 0.25"},
      {"1/3", "1/3 = 0.333333"},
      {"7/2", "7/2 = 3.5"},
      {"2pi", "2pi = 6.283186"},
      {"3x", "3x = 0"},
      {"-123456.789", "-123456.789 = -123456.789"},
      {"2+", "2+ = ERROR D'AN\xC0LISIS"},
      {"y+1", "y+1 = ERROR D'AN\xC0LISIS"},
      {"1/0", "1/0 = ERROR DE C\xC0LCUL"},
      {"", " = ERROR D'AN\xC0LISIS"},
      /* large arguments reduced exactly, whichever C runtime is below */
      {"sin(4611686018427387904)", "sin(4611686018427387904) = -0.702922"},
      {"cos(4611686018427387904)", "cos(4611686018427387904) = -0.711267"},
      {"sin(123456789)", "sin(123456789) = 0.990115"},
      {"cos(123456789)", "cos(123456789) = 0.14026"},
      {"sin(-123456789)", "sin(-123456789) = -0.990115"},
      /* exact ties away from zero; nothing rounds to "-0" */
      {"1/128", "1/128 = 0.007813"},
      {"-5/128", "-5/128 = -0.039063"},
      {"-1/10000000", "-1/10000000 = 0"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Counted block;
    unsigned char answer[Abaco32ShortStringBytes + Guard];
    char text[300];
    memset(answer, Fill, sizeof answer);
    api->CalcularExpressio(answer, MakeCounted(&block, cases[i].expression));
    ShortStringText(answer, text);
    Expect(strcmp(text, cases[i].answer) == 0, "CalcularExpressio %s gives [%s], got [%s]", cases[i].expression,
           cases[i].answer, text);
    Expect(answer[1 + answer[0]] == Fill, "CalcularExpressio %s writes no NUL", cases[i].expression);
  }
  {
    /* A long answer is cut at 255 characters and nothing goes past the buffer. */
    Counted block;
    unsigned char answer[Abaco32ShortStringBytes + Guard];
    char expression[251];
    memset(expression, '1', 250);
    expression[250] = '\0';
    memset(answer, Fill, sizeof answer);
    api->CalcularExpressio(answer, MakeCounted(&block, expression));
    Expect(answer[0] == 255 && memcmp(answer + 1, expression, 250) == 0 && memcmp(answer + 251, " = ER", 5) == 0 &&
               AllBytes(answer + 256, Guard, Fill),
           "CalcularExpressio cuts a long answer at 255, got length %d", answer[0]);
  }
  api->CalcularExpressio(NULL, NULL); /* must not write through null */
  ++passed;
}

static void CheckProcCalcularExpressio(const Api* api) {
  static const struct {
    const char* expression;
    int32_t maxLength;
    const char* answer;
  } cases[] = {
      {"2+3", 255, "2+3 =  5.00000000000000E+0000"},
      {"-1/8", 255, "-1/8 = -1.25000000000000E-0001"},
      {"0", 255, "0 =  0.00000000000000E+0000"},
      {"2^10", 255, "2^10 =  1.02400000000000E+0003"},
      {"1000000*1000000", 255, "1000000*1000000 =  1.00000000000000E+0012"},
      {"1/3", 255, "1/3 =  3.33333333333485E-0001"}, /* the 6-byte value of 1/3, 15 digits */
      {"1/4194304", 255, "1/4194304 =  2.38418579101563E-0007"}, /* 2^-22, a tie at 15 digits */
      {"-3/4194304", 255, "-3/4194304 = -7.15255737304688E-0007"},
      {"1/0", 255, "1/0 = ERROR DE C\xC0LCUL"},
      {"(", 255, "( = ERROR D'AN\xC0LISIS"},
      {"2+3", 10, "2+3 =  5.0"},
      {"2+3", 256, ""},          /* only the low 8 bits count */
      {"2+3", 256 + 7, "2+3 =  "},
      {"2+3", -256 + 4, "2+3 "},
      {"2+3", 0, ""},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    char buffer[256 + Guard], text[300];
    memset(buffer, Fill, sizeof buffer);
    strcpy(buffer, cases[i].expression);
    const size_t expressionBytes = strlen(cases[i].expression) + 1;
    api->ProcCalcularExpressio(buffer, cases[i].maxLength);
    ShortStringText((unsigned char*)buffer, text);
    Expect(strcmp(text, cases[i].answer) == 0, "ProcCalcularExpressio %s/%d gives [%s], got [%s]",
           cases[i].expression, cases[i].maxLength, cases[i].answer, text);
    /* Nothing past the answer's length byte and characters is written. */
    size_t written = 1 + (unsigned char)buffer[0];
    int untouched = 1;
    for (size_t b = written; b < sizeof buffer; ++b) {
      unsigned char expected = b < expressionBytes ? (unsigned char)cases[i].expression[b] : Fill;
      if (b == expressionBytes - 1) expected = 0;
      untouched = untouched && (unsigned char)buffer[b] == expected;
    }
    Expect(untouched, "ProcCalcularExpressio %s/%d writes only its answer", cases[i].expression, cases[i].maxLength);
  }
  api->ProcCalcularExpressio(NULL, 255);
  ++passed;
}

static void CheckCalcularCurrency(const Api* api) {
  static const struct {
    const char* expression;
    int32_t status;
    float value;
  } cases[] = {
      {"7/2", 0, 3.5f}, {"1/3", 0, (float)(1.0 / 3.0)}, {"-2^2", 0, -4.0f}, {"1/0", 1, 0.0f},
      {"(", 2, 0.0f},   {"", 2, 0.0f},                  {"y", 2, 0.0f},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Counted block;
    int32_t status = 99;
    float value = api->CalcularCurrency(MakeCounted(&block, cases[i].expression), &status);
    Expect(status == cases[i].status && value == cases[i].value, "CalcularCurrency %s gives %d/%g, got %d/%g",
           cases[i].expression, cases[i].status, (double)cases[i].value, status, (double)value);
  }
}

static void CheckAfterAnalysisError(const Api* api) {
  /* Every export is safe on the list a failed analysis leaves. */
  Arrays a;
  Abaco32Real6 result = Real6Bytes(9, 9, 9, 9, 9, 9), x = Real6Bytes(0x81, 0, 0, 0, 0, 0), before = result;
  int32_t error = 0, status = 0;
  Counted block;
  Analyse(api, "2+3", 0);
  Expect(Analyse(api, "(2)(3)", 0) == 5, "(2)(3) fails in the last step");
  api->Calcular(&x, &result, &error);
  Expect(error != 0 && SameBytes(&result, &before, 6), "Calcular after a failed analysis gives an error, got %d", error);
  api->CalcularXYZUV(x, x, x, x, x, &result, &error);
  Expect(error != 0 && SameBytes(&result, &before, 6), "CalcularXYZUV after a failed analysis, got %d", error);
  FillArrays(&a);
  api->DonarDades(Values(&a), Names(&a), &a.count);
  Expect(a.count == 0 && AllBytes(Values(&a), Abaco32ValueArrayBytes, Fill), "DonarDades after a failed analysis");
  /* The one-call exports fail their analysis in the same way. */
  Analyse(api, "2+3", 0);
  api->CalcularCurrency(MakeCounted(&block, "2*/3"), &status);
  FillArrays(&a);
  api->DonarOperacions(Values(&a), Names(&a), &a.count);
  Expect(status == 2 && a.count == 0, "DonarOperacions after CalcularCurrency's failed analysis: %d", a.count);
  /* Null outputs are not written through. */
  api->analitzar(MakeCounted(&block, "2+3"), NULL, NULL);
  api->Calcular(NULL, NULL, NULL);
  api->CalcularXYZUV(x, x, x, x, x, NULL, NULL);
  api->DonarOperacions(NULL, NULL, NULL);
  api->DonarDades(NULL, NULL, NULL);
  Expect(api->CalcularCurrency(MakeCounted(&block, "2+3"), NULL) == 5.0f, "CalcularCurrency with a null status");
  Analyse(api, "x+1", 0);
  api->Calcular(NULL, &result, &error);
  Expect(error == 0 && Real6Value(result) == 1, "a null X reads as 0");
}

#if defined(__i386__) || defined(__x86_64__)
static unsigned short ReadX87Control(void) {
  unsigned short control;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  return control;
}
static void WriteX87Control(unsigned short control) { __asm__ volatile("fldcw %0" : : "m"(control)); }
#endif

static void CheckCallerFloatingPointSettings(const Api* api) {
#if defined(__i386__) || defined(__x86_64__)
  /* A caller at 53-bit precision with every x87 exception unmasked (as some
   * Windows runtimes leave it) gets the same answers, no trap, and its control
   * word back. */
  static const char* const expressions[] = {"1/3", "2^0.5", "sig(30)", "10^18+1", "exp(87)", "1/0", "ln(0)"};
  for (size_t i = 0; i < sizeof expressions / sizeof expressions[0]; ++i) {
    Counted block;
    unsigned char plain[256], strict[256];
    int32_t plainStatus = 0, strictStatus = 0;
    float plainValue, strictValue;
    const unsigned short original = ReadX87Control();
    const unsigned short callerControl = 0x0240; /* 53-bit precision, exceptions unmasked */
    const char* text = MakeCounted(&block, expressions[i]);
    api->CalcularExpressio(plain, text);
    plainValue = api->CalcularCurrency(text, &plainStatus);
    WriteX87Control(callerControl);
    api->CalcularExpressio(strict, text);
    strictValue = api->CalcularCurrency(text, &strictStatus);
    const unsigned short after = ReadX87Control();
    WriteX87Control(original);
    Expect(after == callerControl, "x87 control word restored after %s: %#x", expressions[i], after);
    Expect(plain[0] == strict[0] && memcmp(plain, strict, plain[0] + 1u) == 0 && plainStatus == strictStatus &&
               memcmp(&plainValue, &strictValue, sizeof plainValue) == 0,
           "%s gives the same answer at the caller's precision", expressions[i]);
  }
#endif
}

static int RunChecks(const char* library) {
  Api api;
  if (!Load(library, &api)) {
    printf("%d passed, %d failed\n", passed, failed + 1);
    return 1;
  }
  CheckEvaluation(&api);
  CheckCountedStrings(&api);
  CheckDonarOperacions(&api);
  CheckDonarDades(&api);
  CheckLongLists(&api);
  CheckCalcularExpressio(&api);
  CheckProcCalcularExpressio(&api);
  CheckCalcularCurrency(&api);
  CheckAfterAnalysisError(&api);
  CheckCallerFloatingPointSettings(&api);
  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}

/* ---- answers for comparison across builds -------------------------------- */

static void PutHex(FILE* out, const void* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) fprintf(out, "%02x", ((const unsigned char*)bytes)[i]);
}

/* Bytes outside printable ASCII are written as \xHH, so the file is one line
 * per field on every platform. */
static void PutText(FILE* out, const char* text, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = (unsigned char)text[i];
    if (c < 0x20 || c >= 0x7F || c == '\\') fprintf(out, "\\x%02x", c);
    else fputc(c, out);
  }
}

static void PutSlots(FILE* out, Arrays* a) {
  char name[5];
  fprintf(out, "%d", a->count);
  for (int k = 1; k <= a->count && k <= Abaco32SlotCount; ++k) {
    fprintf(out, " %s", SlotName(a, k, name));
    if (strcmp(name, "N") == 0) {
      fputc(':', out);
      PutHex(out, Values(a) + 6 * (k - 1), 6);
    }
  }
}

static int WriteAnswers(const char* library, long count, const char* file, int engineFieldsOnly) {
  /* Variable values tried on every analysis: X alone, then all five. */
  static const Abaco32Real6 xs[] = {{{0, 0, 0, 0, 0, 0}}, {{0x82, 0, 0, 0, 0, 0x20}}, {{0x83, 0, 0, 0, 0, 0xE0}}};
  static const Abaco32Real6 five[] = {{{0x81, 0, 0, 0, 0, 0x40}},
                                      {{0x82, 0, 0, 0, 0, 0x80}},
                                      {{0x82, 0, 0, 0, 0, 0x40}},
                                      {{0x7F, 0, 0, 0, 0, 0}},
                                      {{0x84, 0, 0, 0, 0, 0x20}}};
  Api api;
  FILE* out;
  if (!Load(library, &api)) return 1;
  out = fopen(file, "wb");
  if (out == NULL) {
    printf("cannot write %s\n", file);
    return 1;
  }
  for (long i = 0; i < count; ++i) {
    char expression[512];
    Counted block;
    int32_t error = 102, flag = 0, status = 0;
    RandomExpression((uint32_t)i, expression, 160);
    const char* counted = MakeCounted(&block, expression);
    fprintf(out, "%ld ", i);
    PutText(out, expression, strlen(expression));
    api.analitzar(counted, &error, &flag);
    fprintf(out, "\nanalysis %d\n", error);
    if (error == 0) {
      Arrays a;
      FillArrays(&a);
      api.DonarOperacions(Values(&a), Names(&a), &a.count);
      fputs("slots ", out);
      PutSlots(out, &a);
      fputc('\n', out);
      for (size_t x = 0; x < sizeof xs / sizeof xs[0]; ++x) {
        Abaco32Real6 result = {{0, 0, 0, 0, 0, 0}};
        api.Calcular(&xs[x], &result, &error);
        fprintf(out, "calcular %d ", error);
        PutHex(out, &result, 6);
        fputc('\n', out);
      }
      {
        Abaco32Real6 result = {{0, 0, 0, 0, 0, 0}};
        api.CalcularXYZUV(five[0], five[1], five[2], five[3], five[4], &result, &error);
        fprintf(out, "xyzuv %d ", error);
        PutHex(out, &result, 6);
        fputc('\n', out);
      }
      if (!engineFieldsOnly) {
        FillArrays(&a);
        api.DonarDades(Values(&a), Names(&a), &a.count);
        fputs("dades ", out);
        PutSlots(out, &a);
        fputc('\n', out);
      }
    }
    {
      unsigned char answer[256];
      api.CalcularExpressio(answer, counted);
      fputs("expressio ", out);
      PutText(out, (const char*)answer + 1, answer[0]);
      fputc('\n', out);
    }
    if (!engineFieldsOnly) {
      char buffer[512];
      strcpy(buffer, expression);
      api.ProcCalcularExpressio(buffer, 255);
      fputs("proc ", out);
      PutText(out, buffer + 1, (unsigned char)buffer[0]);
      fputc('\n', out);
    }
    {
      float value = api.CalcularCurrency(counted, &status);
      fprintf(out, "currency %d ", status);
      PutHex(out, &value, sizeof value);
      fputc('\n', out);
    }
  }
  fclose(out);
  return 0;
}

/* One answer in scientific notation per expression line of a file, to track
 * down a difference between builds. */
static int AnswerFile(const char* library, const char* inFile, const char* outFile) {
  Api api;
  char line[300];
  FILE *in, *out;
  if (!Load(library, &api)) return 1;
  in = fopen(inFile, "rb");
  out = fopen(outFile, "wb");
  if (in == NULL || out == NULL) return 1;
  while (fgets(line, sizeof line, in) != NULL) {
    line[strcspn(line, "\r\n")] = '\0';
    api.ProcCalcularExpressio(line, 255);
    PutText(out, line + 1, (unsigned char)line[0]);
    fputc('\n', out);
  }
  fclose(in);
  fclose(out);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "check") == 0) return RunChecks(argv[2]);
  if ((argc == 5 || argc == 6) && strcmp(argv[1], "answers") == 0)
    return WriteAnswers(argv[2], atol(argv[3]), argv[4], argc == 6 && strcmp(argv[5], "engine") == 0);
  if (argc == 5 && strcmp(argv[1], "file") == 0) return AnswerFile(argv[2], argv[3], argv[4]);
  fprintf(stderr, "usage: %s check LIBRARY | answers LIBRARY COUNT FILE [engine] | file LIBRARY IN OUT\n", argv[0]);
  return 2;
}
