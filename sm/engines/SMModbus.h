#pragma once
// The generic Modbus engine: device types 0x1200..0x13FF, each described by its definition
// file (the common part in SMEngine.h). What a poll reads:
//
//   [regs1]       ; read coils             -> [vals] 0nnnn (nnnn = address + 1)
//   10=8          ;   8 coils from address 10: 00011..00018 (and the rest of the last byte)
//   [regs2]       ; read discrete inputs   -> 1nnnn
//   [regs3]       ; read holding registers -> 4nnnn, unsigned 16-bit
//   0=2           ;   40001, 40002
//   1bit=2        ;   register at address 1 also split into 40002-0 .. 40002-15
//   [regs4]       ; read input registers   -> 3nnnn
//   [comm]
//   Yk03=0600100001  ; command 3: the request PDU in hex (here: write register 0x10 = 1)
//
// One request per key, sections in the order 1, 2, 3, 4, keys in key order. A coil's value
// is its bit within its reply byte (0 or 1, 2, 4 .. 128), as stored definitions expect.
//
// Framing per call: Modbus TCP on a network channel (channel type bit 21) unless the flags
// argument (DataGet's third, DoFunc's last) has kRtuOnNet set; Modbus RTU otherwise. Every
// reply goes through the shared Modbus reply check (ReplyCheck.h): the request's address or
// unit, function, byte count, CRC (RTU) or transaction and protocol ids (TCP). An exception,
// a short or a foreign reply fails the poll; values come only from bytes that arrived.
//
// Bounds: a block reads 1..125 registers or 1..2000 coils/inputs within the 65536 addresses;
// a command PDU holds at most 61 bytes (RTU) or 57 (TCP). A block or command beyond them is
// refused with a message: the poll fails there, the command is not sent.
#include "SMEngine.h"

class CSMModbus : public CSMEngine {
public:
    static constexpr int kRtuOnNet = 0x10000;
    static constexpr int kMaxRegs = 125;
    static constexpr int kMaxBits = 2000;

    explicit CSMModbus(int type);
    ~CSMModbus() override;

    int DataGet(ISerBase* ser, int addr, int ext) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    using CSMBase::DoFunc;

    int32_t TransId() const { return m_iTransId; }

protected:
    const SMEngineDesc& Desc() const override;
    void LoadEngine() override;

private:
    // One key of a regs section: 1 a block to read (start, count), 0 none (count 0 or a bit
    // key), -1 refused (why in *why).
    int Block(int function, const std::string& key, int* start, int* count, const char** why);
    bool Tcp(ISerBase* ser, int flags) const;

    int32_t m_iTransId;
    uint8_t m_data[256];  // the value area Data() shows; the values live in [vals]
};
