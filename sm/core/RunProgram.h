#pragma once
// Runs a program of the platform and reads what it prints, without a shell: the program is
// looked up on PATH and given its arguments as a vector, so no text of the host is ever
// interpreted as a command line. A program is bounded in time: the host's poll thread waits
// for it, so one that hangs must not hold every other point.
#include <stddef.h>

namespace qx {

// How long a program may run, in milliseconds of real time from its start.
const int kRunDeadlineMs = 5000;

// Runs argv[0] with the null-terminated argument vector argv, its standard output on a pipe
// (standard input from /dev/null, standard error as the caller's), in a process group of its
// own and with no signal blocked (the caller's blocked signals are not passed on). Up to outSize - 1 bytes of the output go into out, zero-terminated; the rest is read
// and dropped, so that a talkative program never blocks on a full pipe, and the child is
// waited for. When the program has not ended deadlineMs after its start (or a program it
// started still holds the pipe), its whole process group is killed and the child reaped; what
// it printed until then is the output. The program's exit status is not looked at. Returns the
// number of bytes kept, or -1 (out empty) when the program could not be started.
//
// The deadline is real time (it bounds a real child), not the platform's clock seam.
int RunRead(const char* const argv[], char* out, size_t outSize,
            int deadlineMs = kRunDeadlineMs);

}  // namespace qx
