/* sinl, cosl and sincosl for Abaco32's own build of the engine.
 *
 * C runtimes disagree on large arguments: the Windows runtime hands them to
 * the x87's fsin/fcos, which reduce with a 66-bit pi (sin(2^62) comes out
 * wrong in the first decimal), while glibc reduces exactly. Reducing exactly
 * here (Payne-Hanek against 256 bits of 2/pi) makes the DLL, the .so and the
 * engine in the editor give the same answers. The x87 then works only on
 * arguments within pi/4, where it is accurate. These definitions stay inside
 * the library (the .so exports only its eight entry points). */
#define _GNU_SOURCE
#include <math.h>
#include <stdint.h>
#include <string.h>

#if defined(__i386__) || defined(__x86_64__)

/* 2/pi, fraction bits 1 to 256, most significant first. */
static const uint32_t TwoOverPi[8] = {0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0,
                                      0xDB629599, 0x3C439041, 0xFE5163AB, 0xDEBBC561};
enum { ProductLimbs = 10 }; /* 64-bit mantissa times 256 bits of 2/pi */

static const long double PiOver2 = 1.57079632679489661923132169163975144L;
static const long double PiOver4 = 0.785398163397448309615660845819875721L;

static long double X87Sine(long double x) {
  long double out;
  __asm__("fsin" : "=t"(out) : "0"(x));
  return out;
}

static long double X87Cosine(long double x) {
  long double out;
  __asm__("fcos" : "=t"(out) : "0"(x));
  return out;
}

static unsigned Bit(const uint32_t* p, int bit) {
  return bit < 32 * ProductLimbs ? (p[bit / 32] >> (bit % 32)) & 1u : 0u;
}

/* The 64 bits of p just below bit `top` (bits top-1 .. top-64). */
static uint64_t BitsBelow(const uint32_t* p, int top) {
  uint64_t r = 0;
  for (int i = 1; i <= 64; ++i) r = (r << 1) | (top - i >= 0 ? Bit(p, top - i) : 0u);
  return r;
}

/* a = q * pi/2 + r with |r| <= pi/4, for pi/4 < a < 2^63. */
static long double Reduce(long double a, unsigned* quadrant) {
  int exponent;
  const long double fraction = frexpl(a, &exponent); /* a = fraction * 2^exponent, fraction in [0.5, 1) */
  const uint64_t mantissa = (uint64_t)ldexpl(fraction, 64);
  const uint32_t m[2] = {(uint32_t)mantissa, (uint32_t)(mantissa >> 32)};
  uint32_t p[ProductLimbs];
  memset(p, 0, sizeof p);
  /* p = mantissa * (2/pi * 2^256), little-endian limbs. */
  for (int j = 0; j < 8; ++j) {
    const uint32_t b = TwoOverPi[7 - j];
    uint64_t carry = 0;
    for (int i = 0; i < 2; ++i) {
      const uint64_t t = (uint64_t)m[i] * b + p[i + j] + carry;
      p[i + j] = (uint32_t)t;
      carry = t >> 32;
    }
    for (int k = j + 2; carry != 0 && k < ProductLimbs; ++k) {
      const uint64_t t = (uint64_t)p[k] + carry;
      p[k] = (uint32_t)t;
      carry = t >> 32;
    }
  }
  /* a * 2/pi = p / 2^point; the quadrant is its integer part mod 4. */
  const int point = 256 + 64 - exponent;
  unsigned q = Bit(p, point) | (Bit(p, point + 1) << 1);
  /* Keep the fraction bits only; from a half up, take 1 - fraction instead,
   * in the integers so that no precision is lost. */
  for (int bit = point; bit < 32 * ProductLimbs; ++bit) p[bit / 32] &= ~(1u << (bit % 32));
  const int negative = Bit(p, point - 1);
  if (negative) {
    uint64_t carry = 1;
    for (int k = 0; k < ProductLimbs; ++k) {
      const uint64_t t = (uint64_t)(uint32_t)~p[k] + carry;
      p[k] = (uint32_t)t;
      carry = t >> 32;
    }
    for (int bit = point; bit < 32 * ProductLimbs; ++bit) p[bit / 32] &= ~(1u << (bit % 32));
    q = (q + 1) & 3;
  }
  int top = point;
  while (top > 0 && !Bit(p, top - 1)) --top;
  *quadrant = q;
  if (top == 0) return 0;
  const long double f = ldexpl((long double)BitsBelow(p, top), top - 64 - point);
  return (negative ? -f : f) * PiOver2;
}

long double sinl(long double x) {
  const long double a = fabsl(x);
  if (a != a || a == (long double)INFINITY) return x - x;
  if (a <= PiOver4 || a >= 0x1p63L) return X87Sine(x);
  unsigned q;
  const long double r = Reduce(a, &q);
  long double v = (q & 1) ? X87Cosine(r) : X87Sine(r);
  if (q & 2) v = -v;
  return x < 0 ? -v : v;
}

long double cosl(long double x) {
  const long double a = fabsl(x);
  if (a != a || a == (long double)INFINITY) return x - x;
  if (a <= PiOver4 || a >= 0x1p63L) return X87Cosine(x);
  unsigned q;
  const long double r = Reduce(a, &q);
  long double v = (q & 1) ? X87Sine(r) : X87Cosine(r);
  if (q == 1 || q == 2) v = -v;
  return v;
}

/* Compilers fuse sin(x) and cos(x) of one argument into this call. */
void sincosl(long double x, long double* s, long double* c) {
  *s = sinl(x);
  *c = cosl(x);
}

#endif
