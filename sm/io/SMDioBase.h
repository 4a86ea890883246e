#pragma once
// Base of the DIO module handlers (category 0x09): one table tbDio with the module's raw word
// (Dio) and up to 32 point values (D01..D32) per device, one state row per point in
// tbSubSysDetail, point names the user sets per type or per item, and a summary that names the
// points in alarm.
//
// A module is then its constructor values, its definition rows (ChkDef), its poll (DataGet) and,
// where it stores fewer columns, one line of DataUpd:
//
//   CSMDioRd230::CSMDioRd230() : CSMDioBase(0x906) { m_iDataCnt = 9; ... }
//   int CSMDioRd230::DataUpd(int f, int* b, int* s, int sid, IDbBase* h) {
//       return StoreDio({true, 8, true}, f, b, s, sid, h);      // Dio, D01..D08, cleared
//   }
//
// Every statement goes through qx::sql (bounded, escaped): point names reach the summary and
// the SQL as escaped literals, and the summary is bounded however many long names are in alarm.
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "SMBase.h"
#include "SMSql.h"

class CSMDioBase : public CSMBase {
public:
    explicit CSMDioBase(int type);

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataVal(int i) override;
    int VarEval(char* buf) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;

    // Slots after CSMBase's, in this order.
    // The type's default tbSMDef rows (a module calls NeedDef first). Returns the rows inserted.
    virtual int ChkDef(IDbBase* db, int force);
    // Display name of point n of item sid: a per-item name beats a type-wide one, which beats
    // "DI n".
    virtual std::string GetNoteX(int n, int sid);
    // Item and point states into tbSubSysDetail, the summary into tbSMBrief (main database).
    virtual void UpdSt(int flags, int* alarmBits, int sid);

    // What a module's DataUpd stores; everything else is the same for all of them.
    struct DioStore {
        bool dio;            // the Dio column (word 0)
        int points;          // D01..Dn (0 to 32)
        bool clearNoAnswer;  // without alarm bits the whole value block is zeroed first
        int pointCnt = -1;   // m_iPointCnt for UpdSt (-1: as the module set it)
        int inCnt = -1;      // m_iInCnt likewise
        // The fields that this point's own layout makes relay outputs (OutputFields). Their
        // rows are the type's and alarm where another layout has an input; a relay switched
        // on is no alarm, so their alarm bits are passed over (qx::sql::PassOver): neither the
        // state, the point rows nor the summary count them.
        std::vector<int> outputs = {};
    };
    // The DataUpd of the DIO modules: state (2 without alarm bits, else 0; flag bit 0 makes it
    // 1, unless only outputs are out of limits), SnapID from flag bit 4, a negative sid the
    // current item's; UpdSt; the current tbDio row on the main database; a history row on
    // hist (every call). Returns 1 when the last statement run succeeded (1 when none ran),
    // else 0.
    int StoreDio(const DioStore& how, int flags, int* alarmBits, int* snapId, int sid,
                 IDbBase* hist);
    // Points first..last (1-based, within the 32 points): the relay outputs of a layout, e.g.
    // OutputFields(inputs + 1, inputs + outputs). Empty when last < first.
    static std::vector<int> OutputFields(int first, int last);
    // The column list "Dio=..,D01=..,.." of the value block.
    qx::sql::Cols DioCols(bool dio, int points) const;

    // The body of a module's ChkDef: its rows, when NeedDef(db, force) asks for them. Returns
    // the rows inserted.
    int InsDefs(IDbBase* db, int force, const qx::sql::DefRow* rows, size_t n);

    // A register write in m_cmd: address, function, register, count, with byteCount the byte
    // count 2 * count, the 2 * count bytes of data in wire order, the CRC. The frame length;
    // 0 when it does not fit m_cmd (nothing to send).
    int ModBusCmdN(int addr, int func, int reg, int count, const void* data, bool byteCount);
    // Sends the command frame m_cmd[0..len) and waits waitMs for its answer: 1 when the module
    // answered it (its address and function, no exception, and the request echoed: the whole
    // frame for a function of the module's own, the register and value or count for the
    // standard writes), 0 otherwise, also for len 0 (nothing sent).
    int SendCmd(ISerBase* ser, int len, int waitMs);

    // Longest point name VarEval writes into the host's buffer (bytes, whole characters).
    static const size_t kNameMax = 63;
    static const qx::sql::TableDef kTbDio;

    uint16_t m_wData[33];                    // word 0 Dio, words 1..32 D01..D32
    std::map<int64_t, std::string> m_mapNote;  // SID*1000+Fld -> name (SID 0: the type's)
    int32_t m_iPointCnt;                     // points with a state row and in the summary
    int32_t m_iInCnt;                        // of which inputs, from point 1
};
