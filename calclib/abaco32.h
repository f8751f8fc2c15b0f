/*
 * Abaco32: the brunzit calculator as a shared library for other programs.
 *
 * Builds:
 *   libAbaco32.so  Linux, the platform's own calling convention.
 *   Abaco32.dll    32-bit x86 Windows, stdcall, undecorated names, exported
 *                  by name and by ordinal:
 *                    2 analitzar           (12 bytes of arguments)
 *                    3 Calcular            (12)
 *                    4 CalcularXYZUV       (48)
 *                    5 DonarDades          (12)
 *                    6 DonarOperacions     (12)
 *                    7 CalcularExpressio   (8)
 *                    8 ProcCalcularExpressio (8)
 *                    9 CalcularCurrency    (8)
 *                  Ordinal 1 is an empty entry. The DLL depends on the
 *                  system's own DLLs only.
 *
 * Usage: call analitzar once; when its Error comes back 0, call Calcular or
 * CalcularXYZUV any number of times with different values, and DonarOperacions
 * or DonarDades to read the analysed form. CalcularExpressio,
 * ProcCalcularExpressio and CalcularCurrency analyse and evaluate in one call
 * (variables forbidden, X = 0) and replace the stored analysis.
 *
 * State: one analysed expression per process. Calls from several threads
 * may overlap: each runs whole, one at a time. Nothing raises: failures come
 * back as small codes.
 *
 * Calculators (Abaco32New and the functions after it, at the end of this
 * header): each holds its own analysed expression, so calculators used on
 * different threads never meet and never wait for one another. One
 * calculator is used by one thread at a time. Not in the Windows DLL.
 *
 * Arithmetic is done in 80-bit extended precision whatever the caller's x87
 * and SSE control words say; settings that differ from the engine's are
 * changed for the call and restored, with no pending exception, before each
 * export returns.
 *
 * Argument layouts
 * ----------------
 * Abaco32Real6 (6 bytes): byte 0 the biased exponent e (0 means zero);
 *   bytes 1..4 and bits 0-6 of byte 5 the 39-bit fraction f, least significant
 *   byte first; bit 7 of byte 5 the sign. Value = (-1)^sign * (1 + f/2^39) *
 *   2^(e-129). 1.0 is 81 00 00 00 00 00, -1.0 is 81 00 00 00 00 80, 10.0 is
 *   84 00 00 00 00 20. Passed by value it takes two 4-byte stack slots on
 *   32-bit x86 (the 6 bytes, then 2 bytes of padding).
 *
 * Counted string (the expression of analitzar, CalcularExpressio and
 *   CalcularCurrency): a pointer to the first character of a block laid out as
 *     int32 reference count, int32 length, the characters, one NUL byte
 *   i.e. the pointer points just past the length. A null pointer is the empty
 *   string; a negative length is read as empty too. The library only reads the
 *   block: it never changes the reference count and never frees the block.
 *   A caller outside a reference-counting runtime passes -1 as the count (a
 *   constant); Abaco32MakeCountedString below builds such a block.
 *
 * Short string (text results): one length byte n (0 to 255), then n
 *   characters; no NUL is written.
 *
 * Slot arrays (DonarOperacions, DonarDades):
 *   values: 200 Abaco32Real6, 1200 bytes; slot k (1..200) at byte 6*(k-1).
 *   names:  201 entries of 4 bytes, 804 bytes; slot k's name at byte 4*k as a
 *           short string of at most 3 characters (the unused bytes of an entry
 *           written by the library are 0). Entry 0 is never written.
 *   Names: "(" ")" "+" "-" "*" "/" "^", a function (SIN SIG ASI ASG COS COG ACO
 *   ACG TAN TAG ATA ATG ABS LOG ALO EXP LNE), a variable "X" "Y" "Z" "U" "V",
 *   or "N" for a number (its value in the value array; 0 in other slots).
 *   Nothing is ever written past slot 200 or name entry 200.
 *
 * Codes
 * -----
 * Analysis (Error of analitzar): 0 ok; 1 a ")" too many or the outer bracket
 *   closed early; 2 Y/Z/U/V while not allowed, or an unknown function name;
 *   3 a character outside the allowed set; 4 brackets left open; 5 signs or
 *   characters that may not stand side by side, a bad decimal point; 7 empty;
 *   8 too long (more than 200 characters, or more than the 200 slots);
 *   9 a number of 20 or more characters; 10 an unreadable number.
 * Evaluation (Error of Calcular, CalcularXYZUV): 0 ok; 1 division by zero;
 *   2 no real result (root of a negative inside ASI/ACO, 0^0, negative base);
 *   3 logarithm of a number that is not positive; 4 out of range;
 *   5 the last analysis failed, so there is nothing to evaluate.
 *
 * Every pointer argument may be null: a null input is read as empty (a null
 * X pointer as 0) and a null output is not written.
 */
#ifndef ABACO32_H
#define ABACO32_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#if defined(_WIN32)
#define ABACO32_CALL __stdcall
#define ABACO32_API /* exported through Abaco32.def, by name and ordinal */
#else
#define ABACO32_CALL
#if defined(ABACO32_BUILDING)
#define ABACO32_API __attribute__((visibility("default")))
#else
#define ABACO32_API
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct Abaco32Real6 {
  unsigned char Bytes[6];
} Abaco32Real6;

enum {
  Abaco32SlotCount = 200,
  Abaco32ValueArrayBytes = 1200, /* 200 * 6 */
  Abaco32NameArrayBytes = 804,   /* 201 * 4 */
  Abaco32VariablesAllowed = 102, /* Error on entry to analitzar that allows Y, Z, U, V */
  Abaco32ShortStringBytes = 256
};

/* Analyses expression (counted string) and keeps the result for Calcular,
 * CalcularXYZUV, DonarOperacions and DonarDades.
 * error: in, 102 allows the variables Y, Z, U, V (any other value forbids
 * them; X is always allowed); out, the analysis code.
 * flag: out, always 1. */
ABACO32_API void ABACO32_CALL analitzar(const char* expression, int32_t* error, int32_t* flag);

/* Evaluates the stored analysis with X = *x and Y, Z, U, V = 0.
 * result: written only when error comes back 0 (and with code 4 for a final
 * value beyond 1e19). error: set to 0 first, then the evaluation code. */
ABACO32_API void ABACO32_CALL Calcular(const Abaco32Real6* x, Abaco32Real6* result, int32_t* error);

/* As Calcular with all five variables, passed by value. */
ABACO32_API void ABACO32_CALL CalcularXYZUV(Abaco32Real6 x, Abaco32Real6 y, Abaco32Real6 z, Abaco32Real6 u,
                                            Abaco32Real6 v, Abaco32Real6* result, int32_t* error);

/* The stored analysis rewritten so that every term is added and every variable
 * carries a number before it: "3-X+2" comes back as ( 3 + -1 * X + 2 ), count
 * 9. A leading product of numbers is folded ("-2*X" gives ( -2 * X )), and a
 * number that is the base of "^" keeps its sign as "-1 *" ("3-2^2" gives
 * ( 3 + -1 * 2 ^ 2 )). The arrays are not cleared first: the slots the
 * rewriting used are written (see DonarOperacions for the layout) and the
 * caller's bytes past them stay. After a failed analysis count is 0 and
 * nothing is written. */
ABACO32_API void ABACO32_CALL DonarDades(unsigned char* values, unsigned char* names, int32_t* count);

/* The stored analysis as it is: all 200 values set to 0 and name entries
 * 1..200 to empty, then count and slots 1..count copied, numbers named "N".
 * "2+3" gives count 5 and the names ( N + N ). After a failed analysis count
 * is 0. values: 1200 bytes; names: 804 bytes. */
ABACO32_API void ABACO32_CALL DonarOperacions(unsigned char* values, unsigned char* names, int32_t* count);

/* answer: a 256-byte buffer, receives a short string: the expression, " = ",
 * and the result with a decimal point and at most six decimals ("7/2 = 3.5"),
 * or "ERROR D'AN\xC0LISIS" / "ERROR DE C\xC0LCUL" (Windows-1252), cut to 255
 * characters. expression: counted string. */
ABACO32_API void ABACO32_CALL CalcularExpressio(unsigned char* answer, const char* expression);

/* buffer: in, the expression as a NUL-terminated string; out, a short string
 * (length byte, no NUL): the expression, " = ", and the result in 23-character
 * scientific notation (" 5.00000000000000E+0000"; "-" in the first place for a
 * negative value), or one of the error texts. The answer is cut to 255
 * characters and then to the low 8 bits of maxLength (256 allows 0). The
 * buffer must hold (maxLength & 255) + 1 bytes. */
ABACO32_API void ABACO32_CALL ProcCalcularExpressio(char* buffer, int32_t maxLength);

/* Analyses and evaluates expression (counted string). status: 0 ok, 1 the
 * evaluation failed, 2 the analysis failed. Returns the result as a float,
 * 0 when status is not 0. */
ABACO32_API float ABACO32_CALL CalcularCurrency(const char* expression, int32_t* status);

#if !defined(_WIN32)

/* A calculator of one's own: an analysed expression and everything its
 * evaluation keeps. */
typedef struct Abaco32Calculator Abaco32Calculator;

/* A new calculator; like the process's own before its first analitzar, it
 * evaluates to 0 until it analyses something. Null when memory runs out. */
ABACO32_API Abaco32Calculator* Abaco32New(void);

/* Frees a calculator; null is ignored. */
ABACO32_API void Abaco32Free(Abaco32Calculator* calculator);

/* Analyses expressionUtf8 (NUL-terminated UTF-8; null is empty) into the
 * calculator, as analitzar does. allowVariables non-zero allows Y, Z, U, V.
 * Returns the analysis code (0 = ready); -1 for a null calculator. */
ABACO32_API int32_t Abaco32Analyse(Abaco32Calculator* calculator, const char* expressionUtf8,
                                   int32_t allowVariables);

/* Evaluates the calculator's analysis with the five variables, with the
 * same rounding and the same codes as CalcularXYZUV (each value is first
 * rounded to the nearest Abaco32Real6). error: the evaluation code (5 for a
 * null calculator); may be null. Returns the result, or 0 with an error. */
ABACO32_API double Abaco32Evaluate(Abaco32Calculator* calculator, double x, double y, double z, double u,
                                   double v, int32_t* error);

/* The editor's answer to lineUtf8 ("2+3" gives "2+3 = 5", with a decimal
 * comma, or one of the error texts) in UTF-8, NUL-terminated, cut to fit
 * outSize bytes without splitting a character. Returns the length of the
 * whole answer (without the NUL), which may exceed what fitted. Uses no
 * calculator and touches no stored analysis. */
ABACO32_API size_t Abaco32Answer(const char* lineUtf8, char* out, size_t outSize);

#endif

/* Entry point types for programs that load the library at run time
 * (dlopen/dlsym, LoadLibrary/GetProcAddress). */
typedef void(ABACO32_CALL* Abaco32analitzarFn)(const char*, int32_t*, int32_t*);
typedef void(ABACO32_CALL* Abaco32CalcularFn)(const Abaco32Real6*, Abaco32Real6*, int32_t*);
typedef void(ABACO32_CALL* Abaco32CalcularXYZUVFn)(Abaco32Real6, Abaco32Real6, Abaco32Real6, Abaco32Real6,
                                                   Abaco32Real6, Abaco32Real6*, int32_t*);
typedef void(ABACO32_CALL* Abaco32DonarFn)(unsigned char*, unsigned char*, int32_t*); /* both Donar* */
typedef void(ABACO32_CALL* Abaco32CalcularExpressioFn)(unsigned char*, const char*);
typedef void(ABACO32_CALL* Abaco32ProcCalcularExpressioFn)(char*, int32_t);
typedef float(ABACO32_CALL* Abaco32CalcularCurrencyFn)(const char*, int32_t*);

/* Builds a constant counted string for text in block (which needs
 * strlen(text) + 9 bytes, suitably aligned for int32) and returns the pointer
 * to pass; null when block is too small. */
static inline const char* Abaco32MakeCountedString(void* block, size_t blockBytes, const char* text) {
  const size_t length = strlen(text);
  const int32_t constantCount = -1;
  const int32_t length32 = (int32_t)length;
  char* bytes = (char*)block;
  if (blockBytes < length + 9 || length > 0x7FFFFFFF) return 0;
  memcpy(bytes, &constantCount, 4);
  memcpy(bytes + 4, &length32, 4);
  memcpy(bytes + 8, text, length + 1);
  return bytes + 8;
}

#ifdef __cplusplus
}
#endif

#endif /* ABACO32_H */
