#pragma once
// Text conversions between the library's GBK and the UTF-8 of site files and terminals.
#include <string>

namespace qxhost {

// Strict: false when the text has a character GBK lacks or is not valid UTF-8.
bool Utf8ToGbk(const std::string& utf8, std::string& gbk);
// Lenient, for showing texts: a byte sequence that is not GBK becomes '?'.
std::string GbkToUtf8(const char* gbk);

}  // namespace qxhost
