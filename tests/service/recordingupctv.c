/* A UPCTV engine for tests: says nothing and appends every call to the file
 * named by RECORDING_UPCTV_LOG, including its own loading and unloading.
 * After each upcTVRead, upcTVStatus reports "speaking" for as many polls as
 * RECORDING_UPCTV_BUSY says (0 when unset).
 * Built with RECORDING_UPCTV_NO_SPEAKER, the library lacks upcTVSetSpeaker. */

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#define EXPORT __attribute__((visibility("default")))

static int busyPolls = 0;

static void record3(const char* line, const char* text, const char* suffix) {
    const char* path = getenv("RECORDING_UPCTV_LOG");
    if (!path || !*path) return;
    FILE* file = fopen(path, "ab");
    if (!file) return;
    fputs(line, file);
    if (text) fputs(text, file);
    if (suffix) fputs(suffix, file);
    fputc('\n', file);
    fclose(file);
}

static void record(const char* line, const char* text) { record3(line, text, NULL); }

static void recordNumber(const char* name, int32_t value) {
    char line[64];
    snprintf(line, sizeof line, "%s %d", name, (int)value);
    record(line, NULL);
}

__attribute__((constructor)) static void onLoad(void) { record("load", NULL); }
__attribute__((destructor)) static void onUnload(void) { record("unload", NULL); }

EXPORT int32_t upcTVAbout(void) { record("upcTVAbout", NULL); return 0; }
EXPORT int32_t upcTVReadFile(const char* path) { record("upcTVReadFile ", path); return 0; }
EXPORT int32_t upcTVPause(void) { record("upcTVPause", NULL); return 0; }
EXPORT int32_t upcTVResume(void) { record("upcTVResume", NULL); return 0; }

EXPORT int32_t upcTVRead(const char* text) {
    const char* busy = getenv("RECORDING_UPCTV_BUSY");
    busyPolls = busy ? atoi(busy) : 0;
    /* Brackets show the exact text, trailing blank included. */
    record3("upcTVRead [", text, "]");
    return 0;
}

EXPORT int32_t upcTVStop(void) {
    busyPolls = 0;
    record("upcTVStop", NULL);
    return 0;
}

EXPORT int32_t upcTVSetLanguage(int32_t language) { recordNumber("upcTVSetLanguage", language); return 0; }
EXPORT int32_t upcTVSetSpeed(int32_t speed) { recordNumber("upcTVSetSpeed", speed); return 0; }
#ifndef RECORDING_UPCTV_NO_SPEAKER
EXPORT int32_t upcTVSetSpeaker(int32_t speaker) { recordNumber("upcTVSetSpeaker", speaker); return 0; }
#endif

EXPORT int32_t upcTVStatus(int32_t which) {
    int32_t speaking = busyPolls > 0;
    if (busyPolls > 0) --busyPolls;
    char line[64];
    snprintf(line, sizeof line, "upcTVStatus %d -> %d", (int)which, (int)speaking);
    record(line, NULL);
    return speaking;
}
