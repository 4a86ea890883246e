#pragma once
#include <stddef.h>
#include <time.h>

// Seams for what the board has and a development machine lacks. Every fixed wait goes
// through SleepMs and every reading of the clock through Now, so tests can shorten waits
// and set the date; board paths take the QX_ROOT prefix when that variable is set.
namespace qx {

void SleepMs(int ms);
// The clock: the hook when set, else QX_FAKE_TIME (decimal seconds since the epoch) when that
// environment variable holds a number, so that tests of the loaded plug-in can move the date;
// else the system's time.
time_t Now();

// Test hooks: null restores the real sleep and clock.
void SetSleepHook(void (*hook)(int ms));
void SetClockHook(time_t (*hook)());

// Writes QX_ROOT + path (or the path itself when QX_ROOT is unset or empty) into out.
// Returns out, or null when the result does not fit.
char* BoardPath(const char* path, char* out, size_t outSize);

}  // namespace qx
