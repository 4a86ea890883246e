#pragma once
#include "io/SMDioBase.h"

// W70XX RS-485 I/O modules over Modbus RTU (type 0x904); the item's Variant names the module:
// 0 eight inputs, 1 sixteen, 2 six inputs and four relays, 3 fourteen inputs, 4 eight analog
// registers. The low 7 bits of Variant choose the poll (and so which points are relays), the
// whole value the point counts and the commands. Points D01..D16, every one with an alarm row
// (D09..D12 are inputs of the 16- and 14-input modules); the relay module's relays switched on
// are no alarm of its point. Dio is not written.
class CSMDioW70XX : public CSMDioBase {
public:
    CSMDioW70XX();

    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    using CSMBase::DoFunc;
    int ChkDef(IDbBase* db, int force) override;

protected:
    // The W7017 module shares the definition rows and the update.
    CSMDioW70XX(int type, const char* note);

private:
    // The W70XX family has a relay module (Variant 2), whose D09..D12 are relay outputs; the
    // W7017 module has no outputs.
    bool m_hasRelays = false;
};
