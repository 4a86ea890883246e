#pragma once
// CDMA modem alarm (type 0xA09, "QX-ALM-PTW75"): the GSM modem's commands, table and state,
// but its own initialisation and message: a TIA/EIA-637 point-to-point message (CMT-95
// teleservice, Unicode user data) built field by field as a text of bits, turned into hex text
// and handed to the modem in one AT+CMGS line. Commands end CR LF and are written as text.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "SMBase.h"

class CSMAlmPTW75 : public CSMBase {
public:
    CSMAlmPTW75();

    using CSMBase::DoFunc;
    int GetMask() override { return 4; }
    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;

    int CdmaInit(ISerBase* ser);           // 1 when the modem is ready to send
    int send_message_CDMA(ISerBase* ser);  // 1 sent

    // The message builders (pure). Address field: digit mode 0, number mode 0, the digit
    // count (8 bits), each digit as 4 bits ('0'-'9', 'A'-'F'; other characters skipped), zero
    // bits to the octet boundary.
    static std::string AddressBits(const std::string& number);
    // User data from the upper-case hex text of the UTF-16 units (mark included): encoding
    // 00100, the unit count (8 bits), the units, 000.
    static std::string UserDataBits(const std::string& unitsHex);
    // Four bits a lower-case hex digit; a length not a multiple of 4 gives "", a group of other
    // characters adds nothing.
    static std::string BitsToHex(const std::string& bits);
    // The whole AT+CMGS line with its CR LF for a number and a GBK text; "" when the message
    // cannot be formed: a number of more than 63 characters or without digits, a text of more
    // than 255 bytes or not GBK, or more than 123 units (the lengths are single octets).
    static std::string CmgsLine(const std::string& number, const std::string& gbkText);

    static const int kMaxUnits = 123;

    int32_t m_iSignal;
    uint8_t m_bGsmInited;
    std::string m_strUnused;
    std::string m_strPhone;
    std::string m_strText;
    std::string m_strExt;
};

// The GBK double-byte code page as pairs {GB code, Unicode}, generated from the system's
// converter at first use and ordered by Unicode value; a GB code is its two bytes in text
// order. Lookups by either side; the send path does not use them.
namespace qx {
namespace cdma {
size_t GbPairs();
// The Unicode value of a GB code, in network byte order; 0xFFFF when absent.
uint16_t getun(uint16_t gb);
// The GB code of a Unicode value given in network byte order; 0xFFFF when absent.
uint16_t getgb(uint16_t u);
// A GBK text to 16-bit units in network order (a byte above 0x80 and the next one are one
// code; other bytes one unit each): the octets written, -1 when out cannot hold them.
int gb2unicode(uint8_t* out, size_t outSize, const uint8_t* gbk, int n);
// The reverse (a unit above 0xFF gives two bytes, others one): the bytes written, -1 when out
// cannot hold them.
int unicode2gb(uint8_t* out, size_t outSize, const uint8_t* units, int octets);
}  // namespace cdma
}  // namespace qx
