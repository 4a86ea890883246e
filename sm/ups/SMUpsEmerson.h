#pragma once
#include "ups/SMUpsBase.h"

// Emerson three-phase UPS over YD/T 1363 (CID1 0x2A). Type 0x301, kept in tbUpsEx.
//
// The point's Variant picks the protocol profile on every poll:
//
//   Variant   VER   scale  first CID2  values
//   1         10    1.0    41          floats
//   2         10    10.0   41          floats (second request with INFO 00)
//   3         21    0.1    8B          16-bit (then 80 and 82)
//   4         21    0.1    42          floats
//   5         21    1.0    42          16-bit
//   other     11    1.0    41          floats
//
// A value is trunc(x * scale) in single precision. The divisor of the summary follows the
// scale (1, 10 or 0: the summary shows tenths of the stored number).
//
// Every exchange goes through the shared YD/T exchange: the input is purged before the
// request, and a reply is taken only when it checks (SOI, LCHKSUM, CHKSUM, EOI), its RTN is
// 0 and its INFO holds every character read from it. A failing first exchange leaves the
// previous record; a later one leaves what this poll decoded so far and fails the poll.
// The definition rows of the YD/T 1363 units of this family (Emerson, Hipulse U) after the
// base's first 18 (input and output voltage, current and frequency per phase, which they
// share): analog values in tenths and the state codes of the CID2 0x43 reply.
extern const qx::sql::DefRow kEmersonRows[25];

class CSMUpsEmerson : public CSMUpsBase {
public:
    CSMUpsEmerson();
    ~CSMUpsEmerson() override;

    int DataGet(ISerBase* channel, int address, int wait) override;
    int ChkDef(IDbBase* db, int force) override;

    // The default wait between request and reply when DataGet's wait is 0 or less.
    static constexpr int kDefaultWait = 250;
    // The fixed wait of the CID2 0x80 and 0x82 requests of Variant 3.
    static constexpr int kProfile3Wait = 200;

    struct Profile {
        int ver;
        float scale;
        int firstCid2;
        bool words;  // 16-bit values instead of floats
    };
    static Profile ProfileOf(int variant);

private:
    // One exchange of the poll; the reply lands in m_reply and must cover `need` characters.
    bool Exchange(ISerBase* ch, int ver, int adr, int cid2, const uint8_t* info, int infoLen,
                  int delayMs, int need);
    int Scaled(int offset, const Profile& p) const;  // float or 16-bit at offset, times scale
    int Word(int offset, float scale) const;         // 16-bit at offset, times scale
    int Float(int offset, float scale) const;        // float at offset, times scale
    int PollProfile3(ISerBase* ch, int adr, int wait, const Profile& p);
    int PollFloatsOrWords(ISerBase* ch, int adr, int wait, int variant, const Profile& p);

    uint8_t m_reply[512];
};
