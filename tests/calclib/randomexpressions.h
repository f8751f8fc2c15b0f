/* Reproducible random calculator expressions, shared by every program that
 * compares answers across builds (C, so the Windows test program can use it). */
#ifndef ABACO32_RANDOMEXPRESSIONS_H
#define ABACO32_RANDOMEXPRESSIONS_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Writes expression number `index` of the sequence into text (NUL-ended,
 * at most capacity - 1 characters). The same index gives the same text on
 * every platform. */
void RandomExpression(uint32_t index, char* text, size_t capacity);

#ifdef __cplusplus
}
#endif

#endif
