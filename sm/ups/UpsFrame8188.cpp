#include "ups/UpsFrame8188.h"

#include "BufHelper.h"

namespace qx {

int Frame8188(uint8_t* buf, size_t size, uint8_t id, uint16_t param, uint16_t length)
{
    return Frame8188(buf, size, 0x81, 0xA1, 0x01, id, 0x03, param, length);
}

int Frame8188(uint8_t* buf, size_t size, uint8_t b0, uint8_t b2, uint8_t b3, uint8_t id,
              uint8_t b5, uint16_t param, uint16_t length)
{
    if (!buf || size < (size_t)kFrame8188Len) return 0;
    buf[0] = b0;
    buf[1] = 0x88;
    buf[2] = b2;
    buf[3] = b3;
    buf[4] = id;
    buf[5] = b5;
    CBufHelper::wdToBufLH(buf + 6, param);
    CBufHelper::wdToBufLH(buf + 8, length);
    buf[10] = CBufHelper::Xor(buf + 2, 8);
    return kFrame8188Len;
}

}  // namespace qx
