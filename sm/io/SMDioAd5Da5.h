#pragma once
#include "io/SMDioBase.h"

// AD5DA5 module on RS-485 (Modbus RTU): five analog inputs (input registers 0-4) and five
// analog outputs (holding registers 0-4), raw counts. Type 0x905.
class CSMDioAd5Da5 : public CSMDioBase {
public:
    CSMDioAd5Da5();

    int GetMask() override { return 85; }
    int ChkDef(IDbBase* db, int force) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;

    // What this module and its calibrated form share. The two reads of the module, each after
    // waitMs: the inputs into D01..D05, then the outputs into the five words from outWord. 1
    // when both answered; a failed second read leaves the inputs of the first.
    static int ReadModule(CSMDioBase& h, ISerBase* ser, int addr, int waitMs, int outWord);
    // Output writes: function 6 (the low 16 bits of the int at buf) or 16 (len / 2 registers
    // from buf in wire order, 1 to what a request holds) to the register in the low bits of
    // cmd, each answered after waitMs. 1 when the module answered the write; 0 when it did not
    // or nothing was sent (another function, a null buffer, a length out of range).
    static int WriteOutputs(CSMDioBase& h, ISerBase* ser, int addr, int cmd, const void* buf,
                            int len, int waitMs);
};
