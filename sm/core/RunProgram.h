#pragma once
// Runs a program of the platform and reads what it prints, without a shell: the program is
// looked up on PATH and given its arguments as a vector, so no text of the host is ever
// interpreted as a command line.
#include <stddef.h>

namespace qx {

// Runs argv[0] with the null-terminated argument vector argv, its standard output on a pipe
// (standard input from /dev/null, standard error as the caller's). Up to outSize - 1 bytes of
// the output go into out, zero-terminated; the rest is read and dropped, so that a talkative
// program never blocks on a full pipe, and the child is waited for. The program's exit status
// is not looked at. Returns the number of bytes kept, or -1 (out empty) when the program could
// not be started.
int RunRead(const char* const argv[], char* out, size_t outSize);

}  // namespace qx
