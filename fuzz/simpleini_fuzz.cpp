// The INI loader on arbitrary files: load, query, expand a summary template and save again.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "SimpleIni.h"

namespace {

std::string TempPath(const char* tag)
{
    const char* dir = getenv("TMPDIR");
    char path[512];
    snprintf(path, sizeof path, "%s/qxini_fuzz_%d_%s.ini", dir && *dir ? dir : "/tmp", (int)getpid(), tag);
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 65536)
        return 0;
    static const std::string in = TempPath("in");
    static const std::string out = TempPath("out");
    FILE* f = fopen(in.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);

    SimpleIni ini;
    if (!ini.Load(in))
        return 0;
    for (auto s = ini.beginSection(); s != ini.endSection(); ++s)
        for (auto k = ini.beginKey(s->first); k != ini.endKey(s->first); ++k)
            ini.GetValue<int>(s->first, k->first, 0);
    char text[64] = "%1%/%2%/%3%/%12%";
    VarByIni(text, sizeof text, ini);
    if (strnlen(text, sizeof text) == sizeof text)
        __builtin_trap();
    ini.SaveAs(out);
    SimpleIni again;
    again.Load(out);
    unlink(out.c_str());
    return 0;
}
