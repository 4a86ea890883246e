#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// The 0x7F frame of card reader K: a YD/T 1363 frame (VER, ADR, CID1, CID2, LENGTH with its
// check nibble, INFO, CHKSUM, CR in upper-case hexadecimal) that starts with the byte 0x7F.
// Built and checked by the YD/T frame routines; these are the reader's names for them.
uint8_t val2asc(uint8_t v);                  // '0'-'9', 'A'-'F'; 0 above 15
uint8_t asc2val(uint8_t c);                  // 0-15 for '0'-'9', 'A'-'F'; 0 otherwise
void num2asc(uint8_t b, uint8_t* hi, uint8_t* lo);
uint8_t asc2num(uint8_t hi, uint8_t lo, uint8_t* out);
uint16_t calc_length_chksum(uint16_t lenid);
uint16_t calc_packet_chksum(const uint8_t* p, unsigned n);
// The frame of n INFO bytes (18 + 2n characters) into out; 1, or 0 when it cannot be built.
int get_cmd_data(uint8_t* out, unsigned* outLen, uint8_t adr, uint8_t cid1, uint8_t cid2,
                 const uint8_t* info, unsigned n);
// The reader's poll: ADR 01, CID1 80, CID2 4A, INFO F2 EE 00 (24 characters).
int get_monitor_req(uint8_t* out, unsigned* outLen);
// A received frame of n characters checked (0x7F and CR at its ends, CHKSUM, the LENGTH
// check nibble) and converted pairwise into out (at most outSize bytes): VER, ADR, CID1,
// CID2, LENGTH (2), INFO. 1 valid, 0 not.
int decode_recv_packet(const uint8_t* in, unsigned n, uint8_t* out, unsigned* outCount,
                       unsigned outSize);
// The reader's event from a decoded frame: an INFO of exactly 14 bytes, all of them received,
// is copied into out (14 bytes) and its length stored in *outLen; it is accepted (1) when its
// byte 13 is 0. Any other INFO copies nothing and answers 0.
int handle_recv_packet(const uint8_t* in, unsigned n, uint8_t* out, int32_t* outLen);

// Card reader K: polls the reader's last event and logs each event it reads into the card
// log by the controllers' rule (io/CardLog.h), with the point's SID; it keeps no current row
// and no summary. Type 0xD01.
class CSMCardK : public CSMBase {
public:
    CSMCardK();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;

    static constexpr int kInfo = 14;
    uint8_t m_info[kInfo] = {};  // INFO of the last decoded reply
    int32_t m_newEvent = 0;      // the last poll read an accepted event; DataUpd clears it
};
