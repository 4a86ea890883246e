// The channel definitions of the host's site file on arbitrary text: a serial port definition
// ("ttyS1:9600,N,8,1") and a network one ("host:port"), given at construction and again
// through SetDef, then the notes and paths built from them; and the hexadecimal trace dump.
// Input: the definition up to the first NUL, a second definition up to the next NUL, then the
// bytes of a dump (the first of them its gap).
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "SerCom.h"
#include "SerNet.h"

namespace {

// The text from p up to a NUL (or end); p moves past the NUL.
std::string Text(const uint8_t*& p, const uint8_t* end)
{
    const uint8_t* nul = (const uint8_t*)memchr(p, 0, (size_t)(end - p));
    std::string s((const char*)p, nul ? (size_t)(nul - p) : (size_t)(end - p));
    p = nul ? nul + 1 : end;
    return s;
}

void Note(ISerBase& ch)
{
    const char* note = ch.GetNote();
    if (!note || strlen(note) >= 64)
        __builtin_trap();
    ch.GetType();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    const std::string def = Text(p, end);
    const std::string again = Text(p, end);

    CSerCom::GetDefType(def.c_str());
    CSerCom::DefFits(def.c_str());
    CSerCom com(def.c_str());
    Note(com);
    char path[64];
    com.DevicePath(path, sizeof path);
    if (!memchr(path, 0, sizeof path))
        __builtin_trap();
    com.SetDef(again.c_str());
    Note(com);
    com.DevicePath(path, sizeof path);

    CSerNet net(def.c_str());
    Note(net);
    net.SetDef(again.c_str());
    Note(net);

    const int gap = p < end ? *p++ % 4 : 0;
    std::vector<unsigned char> dump(p, end);
    const unsigned char* bytes = dump.empty() ? nullptr : dump.data();
    for (int room : {1, 16, 4 * (int)dump.size() + 1}) {
        std::vector<char> out((size_t)room);
        int n = BufToHexStr(bytes, (int)dump.size(), out.data(), room, gap);
        if (n >= room || (n >= 0 && out[(size_t)n] != '\0'))
            __builtin_trap();
    }
    BufToHexStr(bytes, (int)dump.size(), gap);
    return 0;
}
