#pragma once
#include "ups/SMUpsBase.h"

// Hipulse U series three-phase UPS over YD/T 1363 (VER 11, CID1 2A; type 0x31A), kept in
// tbUpsEx with the Emerson family's definition rows. A poll asks CID2 41 (input, output,
// battery), E1 (input currents and frequency, bypass), E3 (battery time) and 43 (state
// codes), none with INFO. No control command.
class CSMUpsHipulseUSeries : public CSMUpsBase {
public:
    CSMUpsHipulseUSeries();
    ~CSMUpsHipulseUSeries() override;

    int DataGet(ISerBase* channel, int address, int wait) override;
    int ChkDef(IDbBase* db, int force) override;

    // The wait before each reply: the host's wait when 1 ms or more, else 250 ms.
    static int ReplyWait(int wait) { return wait >= 1 ? wait : 250; }

protected:
    // The poll reads no battery temperature (Tem).
    std::vector<int> UnreadFields() const override { return {kExTem}; }

private:
    uint8_t m_reply[512];
};
