#pragma once
#include <stddef.h>
#include <stdint.h>

#include "IDbBase.h"
#include "ISMBase.h"
#include "ISMManager.h"
#include "ISerBase.h"
#include "QxExport.h"
#include "tagSMItem.h"

// Base of every device handler: the state all handlers share and the default behaviour of
// every ISMBase operation. One object serves every point of its reported type; the current
// point is the one DoItem selected last.
class CSMBase : public ISMBase {
public:
    explicit CSMBase(int type);

    // ISMBase, slots 0..15
    int GetType() override;
    const char* GetNote() override;
    int GetMask() override;
    void SetManager(ISMManager* manager) override;
    void RegDb(IDbBase* db, int force) override;
    void SetDb(IDbBase* db, int which) override;
    int ChkDb(tagSMItem* item) override;
    int DataSize() override;
    void* Data() override;
    int DataVal(int field) override;
    int DataGet(ISerBase* channel, int address, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* history) override;
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;
    int DoFunc(int command, void* buffer, int length) override;
    int DoItem(tagSMItem* item, int n) override;
    int VarEval(char* text) override;

    // Slots added after the interface, in this order.
    virtual ~CSMBase();
    virtual int NeedDef(IDbBase* db, int force);
    virtual int NeedDefAlm(IDbBase* db, int force);
    virtual int ChkDbDatInit(const char* table, tagSMItem* item);

    // Alarm text of a summary from the captions of the out-of-limit fields. The query is built
    // in a buffer of its own, so `out` may be m_buffer itself. `outSize` bounds the text.
    int GetAlmDetail(char* out, int* alarmBits, int max, size_t outSize = sizeof(m_buffer));

    // Modbus request frames and one exchange (RTU or, with mode 1, TCP).
    int ModBusCmd(int address, int function, int reg, int count);
    int ModBusTcpCmd(int transaction, int unit, int function, int reg, int count);
    int GetModBusData(uint8_t* reply, int replySize, ISerBase* channel, int address,
                      int function, int reg, int count, int delayMs, int transaction, int mode);

    // YD/T 1363 exchange.
    int GetYdn23Data(uint8_t* reply, int replySize, ISerBase* channel, int adr, int ver,
                     int cid1, int cid2, const uint8_t* info, int infoLen, int soi, int eoi,
                     int delayMs);

    // A text of the value block as DataVal hands it out: its address in an int (-1 for a
    // null text or one outside the object area below 2 GiB).
    static int TextVal(const char* text);

    // Handler objects live below 2 GiB on 64-bit builds, so that a text handed out by
    // DataVal as an int is still its address there. No exception: a failed allocation
    // yields null, and the new-expression then constructs nothing.
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* p, size_t size);
    static void operator delete(void* p);

    int32_t m_iType;
    int32_t m_iDataCnt;
    ISMManager* m_pManager;
    IDbBase* m_pDb;
    IDbBase* m_pDbHist;
    tagSMItem* m_pItem;
    void* m_pData;
    char m_note[32];
    int32_t m_iErrMax;
    int32_t m_iErrCnt;
    uint8_t m_cmd[64];

    QX_EXPORT static char m_buffer[3072];
};
