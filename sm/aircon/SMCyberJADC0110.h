#pragma once
#include <stddef.h>
#include <stdint.h>

#include "aircon/AircShape.h"

// JADC0110 precision air-conditioner. Type 0x81C. A link of control characters: two STX
// command frames and an ACK open the poll, then each ENQ is answered by one typed block ('S'
// set points and readings, 'U' run counters and modes, 'B' state bits) that is acknowledged
// with ACK, until the unit falls silent, repeats itself, sends its one-byte end or 30 cycles
// have passed.
//
//   STX addr type start count data... ETX c1 c2
//   start, count: 0x30 + the first item (bit for 'B') and the number of items (bits);
//   data: 'S', 'U' four hexadecimal characters per item, 'B' two per byte of bits.
//   c1 c2: 0x30 + each nibble of the sum of the bytes from STX to ETX.
class CSMCyberJADC0110 : public CSMAircShape {
public:
    CSMCyberJADC0110();
    ~CSMCyberJADC0110() override;

    int DataGet(ISerBase* channel, int address, int wait) override;

    // Frame builders: each writes its frame and a NUL into buf (at most kFrameMax bytes; the
    // text of a command is cut to fit) and returns buf, null for a null buf.
    static const int kFrameMax = 64;
    static char* StxCmd(char* buf, int addr, const char* text);
    static char* AckCmd(char* buf, int addr);
    static char* EnqCmd(char* buf, int addr);
    static char* Enq5Cmd(char* buf, int addr);

    // Block decoders: len is the number of characters that arrived. Only items whose
    // characters all arrived before the block's ETX are taken. 1 when the block's head was
    // whole and at least one item arrived, else 0 (nothing changed).
    int StxDatS(const char* block, int len);
    int StxDatU(const char* block, int len);
    int StxDatB(const char* block, int len);

protected:
    void BriefText(char* out, size_t size, int state) override;

private:
    // The exchange of a poll, on the current point's values.
    int Link(ISerBase* ser, int addr);
    // One item decoder: the item's number and value into the value block.
    using Take = void (CSMCyberJADC0110::*)(int item, int value);
    int Words(const char* block, int len, Take take);
    void TakeS(int item, int value);
    void TakeU(int item, int value);
};
