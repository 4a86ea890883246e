#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// RS-485 temperature and humidity sensor over Modbus RTU: the default handler of category
// 0x05 (every code 0x5NN without a class of its own), reporting 0x500. The point's Variant
// picks the function and which of the two registers holds the temperature.
class CSMEnvir : public CSMBase {
public:
    CSMEnvir();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int VarEval(char* text) override;

    // Value block: the two values big-endian as on the wire, then decoded (tenths of a degree
    // Celsius and of a percent). Unsigned: a reading below zero shows as its 16-bit pattern.
    uint8_t m_wire[4] = {0, 0, 0, 0};
    uint16_t m_tem = 0;
    uint16_t m_hum = 0;
};
