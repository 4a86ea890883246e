// The reference host's site file parser on arbitrary text: points, their settings, names
// converted to GBK, environment references and the error messages.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <set>
#include <string>
#include <vector>

#include "Site.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 16384)
        return 0;
    // A variable a site file may name, set once.
    static const bool set = setenv("QX_FUZZ_PORT", "/dev/pts/7", 1) == 0;
    (void)set;
    const std::string text((const char*)data, size);
    std::vector<qxhost::SitePoint> points;
    std::string error;
    if (!qxhost::ParseSite(text, "fuzz.site", points, error)) {
        // A refusal names the file and the line.
        if (error.compare(0, 10, "fuzz.site:") != 0)
            __builtin_trap();
        return 0;
    }
    std::set<int> sids;
    for (const qxhost::SitePoint& p : points) {
        if (p.sid <= 0 || !sids.insert(p.sid).second || p.nameGbk.size() > 31)
            __builtin_trap();
    }
    return 0;
}
