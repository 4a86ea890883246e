#pragma once
#include <stdint.h>

#include "io/SMDioBase.h"

// KW7 RS-485 digital I/O module on its line-oriented ASCII protocol (type 0x907): up to 16
// inputs and 16 relay outputs read with '$AA6', single relays switched, the module's address
// changed and a configuration command sent. The item's Ext1 gives the layout (outputs * 100 +
// inputs; 0: 10 inputs and 6 outputs); Variant 0 modules answer outputs first, 4 + 4 digits.
class CSMDioKW7 : public CSMDioBase {
public:
    CSMDioKW7();

    int GetMask() override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    using CSMBase::DoFunc;
    int ChkDef(IDbBase* db, int force) override;

    // Hex digit value of c ('0'-'9', 'A'-'F', 'a'-'f'); 16 for any other character.
    virtual int Char2Hex(char c);
    // At most 8 of the n hex digits at text, most significant first; 0 when one is not a
    // hex digit.
    virtual uint32_t Ascii2Num(const char* text, int n);

private:
    // Writes frame and reads the answer at once (up to size bytes). The bytes read; -1 for a
    // short write.
    int Exchange(ISerBase* ser, const char* frame, int len, uint8_t* rx, int size);
};
