#pragma once
#include <stdint.h>

#include <map>

#include "core/SMBase.h"

// RS-485 card reader on ASCII frames (0x09, 'A', address digit, letter, XOR text, CR): a poll
// reads the reader's serial number, its device number and the last card presented; every new
// card is logged into tbCardRS485reader. Type 0xD05.
class CSMRS485reader : public CSMBase {
public:
    CSMRS485reader();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    int DoFunc(int cmd, void* buf, int len) override;
    int VarEval(char* text) override;

    // The 7-byte request of a two-character command (address digit, letter); 7.
    static int setCMD(uint8_t* buf, const char* cmd);
    // The device-number request for a serial text of 8 characters; 15.
    static int setgetIDCMD(uint8_t* buf, const char* serial);
    // The set-device-number request; 16.
    static int setIDCMD(uint8_t* buf, const char* serial, int id);
    // 1 when the "%02X" text of the XOR of bytes 0 to n-4 is bytes n-3 and n-2.
    static int ChkReply(const uint8_t* reply, int n);

    int getDevSN(ISerBase* ser, int addr);
    int getID(ISerBase* ser, int addr);
    int getCard(ISerBase* ser, int addr);
    int setID(ISerBase* ser, int id);

    // What the reader of one point told last.
    struct Reader {
        char serial[9];
        char card[9];
        int32_t devSN;
        int32_t devID;
    };
    Reader& Cur();  // the current point's

    int32_t m_newCard = 0;

private:
    // One exchange: the request, then at most max bytes read into rx; the count read, or -1
    // when nothing could be asked.
    int Exchange(ISerBase* ser, const uint8_t* req, int len, uint8_t* rx, int max);

    std::map<int, Reader> m_points;
};
