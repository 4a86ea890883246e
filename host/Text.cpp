#include "Text.h"

#include <errno.h>
#include <iconv.h>
#include <string.h>

#include <vector>

namespace qxhost {

namespace {
// Converts, replacing each unconvertible input byte by '?' when `lenient`; false on a
// failure in strict mode.
bool Convert(const char* to, const char* from, const char* in, size_t inSize, std::string& out,
             bool lenient) {
    out.clear();
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1) return false;
    std::vector<char> buf(inSize * 4 + 16);
    char* src = const_cast<char*>(in);
    size_t srcLeft = inSize;
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = buf.data();
        size_t dstLeft = buf.size();
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf.data(), (size_t)(dst - buf.data()));
        if (rc != (size_t)-1) break;
        if (errno == E2BIG) continue;
        // An invalid or incomplete sequence.
        if (!lenient) {
            ok = false;
            break;
        }
        out += '?';
        src++;
        srcLeft--;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return ok;
}
}  // namespace

bool Utf8ToGbk(const std::string& utf8, std::string& gbk) {
    return Convert("GBK", "UTF-8", utf8.data(), utf8.size(), gbk, false);
}

std::string GbkToUtf8(const char* gbk) {
    std::string out;
    if (!gbk) return out;
    Convert("UTF-8", "GBK", gbk, strlen(gbk), out, true);
    return out;
}

}  // namespace qxhost
