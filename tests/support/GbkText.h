#pragma once
// Texts of the tests are written in UTF-8; the library speaks GBK. These convert with iconv so
// that GBK never has to be printed: compare through Hex() or back in UTF-8.
#include <iconv.h>

#include <string>
#include <vector>

namespace qxtest {

inline std::string Conv(const std::string& in, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1) return "<no converter>";
    std::vector<char> out(in.size() * 4 + 8);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == (size_t)-1) return "<bad text>";
    return std::string(out.data(), out.size() - dstLeft);
}
inline std::string Gbk(const std::string& utf8) { return Conv(utf8, "GBK", "UTF-8"); }
inline std::string Utf8(const std::string& gbk) { return Conv(gbk, "UTF-8", "GBK"); }

// n copies of a text.
inline std::string Repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; i++) r += s;
    return r;
}

}  // namespace qxtest
