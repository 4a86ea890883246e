#pragma once
#include <stddef.h>

// Seams of the channel library for what the board has and a development machine lacks.
// qxSer is a plug-in of its own, so it carries its own small copy of them instead of
// linking the driver library.
namespace qxser {

// Every fixed wait of the channels goes through here.
void SleepMs(int ms);
// Test hook: null restores the real sleep.
void SetSleepHook(void (*hook)(int ms));

// Writes QX_ROOT + path (or the path itself when QX_ROOT is unset or empty) into out.
// Returns out, or null when the path is null or the result does not fit.
char* BoardPath(const char* path, char* out, size_t outSize);

}  // namespace qxser
