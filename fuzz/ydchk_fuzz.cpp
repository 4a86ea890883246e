// YD/T 1363 frame checks on arbitrary input: the lenient YdChk, the strict reply check and the
// field readers must read only the bytes given, and agree where their rules overlap.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "BufHelper.h"
#include "ReplyCheck.h"
#include "TeFrame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 8192)
        return 0;
    // An exact-size copy, so that any read past the input is caught.
    std::vector<uint8_t> buf(data, data + size);
    const uint8_t* p = buf.empty() ? nullptr : buf.data();
    int n = (int)size;

    int chk = CBufHelper::YdChk(p, n);
    if (chk < 0 || chk > 7)
        __builtin_trap();
    int lenid = CBufHelper::YdDatLen(p, n);
    TE_GetChkPack(p, n);
    TE_GetChkSum(p, n);
    if (n >= 13)
        TE_Ascii2uint16(p + 9, 4);

    int need = n > 0 ? p[0] : 0;
    qx::YdReply r = qx::YdCheck(p, n, need);
    if (r.frameLen > n)
        __builtin_trap();
    // A frame the strict check accepts is accepted by the lenient one as well, unless its INFO
    // holds blanks: the strict check reads a blank as 0, the lenient one takes hex digits only.
    if (r.frameLen > 0 && !memchr(p, ' ', (size_t)r.frameLen) &&
        CBufHelper::YdChk(p, r.frameLen) != 0)
        __builtin_trap();
    if (r.ok()) {
        if (need > 13 + r.infoLen || lenid != r.infoLen)
            __builtin_trap();
        // Every float field that lies inside the INFO can be read.
        for (int f = 1; CBufHelper::YdIdxF(f, 0, 0) + 8 <= 13 + r.infoLen; f++)
            CBufHelper::YdDatF(p, n, f, 0, 0);
    }
    return 0;
}
