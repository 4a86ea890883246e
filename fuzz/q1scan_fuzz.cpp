// The number scanner, trimmer and GBK copy of the Q1-family UPS drivers on arbitrary text.
// Input: max (0..15), scale (0: hundredths, 1: tenths, else 1), the start position, the
// separator set (0: " /\r", 1: " /+\r", else the next byte alone), then the text.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <memory>
#include <vector>

#include "ups/SMUpsTbUps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5 || size > 4096)
        return 0;
    int max = data[0] % 16;
    double scale = data[1] % 3 == 0 ? 100.0 : data[1] % 3 == 1 ? 10.0 : 1.0;
    char one[2] = {(char)data[4], 0};
    const char* seps = data[3] % 3 == 0 ? " /\r" : data[3] % 3 == 1 ? " /+\r" : one;
    // Exact-size copies without a terminator, so that any read past either is caught.
    // (new char[0] is a pointer of its own, as every caller's buffer is.)
    int len = (int)(size - 5);
    std::unique_ptr<char[]> text(new char[len]);
    memcpy(text.get(), data + 5, (size_t)len);
    int pos = len ? data[2] % (len + 1) : 0;
    const int start = pos;
    std::vector<int> out(max ? max : 1);

    int n = CSMUpsTbUps::ScanNumbers(out.data(), text.get(), pos, len, max, seps, scale);
    if (n < 0 || n > max || pos < start || pos > len)
        __builtin_trap();

    std::vector<char> trimmed(len + 1);
    int t = CSMUpsTbUps::IvalTrim(trimmed.data(), text.get(), len);
    if (t < 0 || t > len || trimmed[t] != '\0' || (t && (trimmed[0] == ' ' || trimmed[t - 1] == ' ')))
        __builtin_trap();

    // The copy stops at the bound, at a NUL and before a lead byte whose pair would not fit.
    for (size_t outSize : {(size_t)1, (size_t)16, (size_t)len + 1}) {
        std::vector<char> copy(outSize);
        CSMUpsTbUps::CopyGbk(copy.data(), outSize, text.get(), (size_t)len);
        size_t k = strnlen(copy.data(), outSize);
        if (k >= outSize || memcmp(copy.data(), text.get(), k) != 0)
            __builtin_trap();
        // No lead byte is left without its second byte.
        for (size_t i = 0; i < k; i++)
            if ((uint8_t)copy[i] >= 0x81 && (uint8_t)copy[i] <= 0xFE && ++i >= k)
                __builtin_trap();
    }
    return 0;
}
