#include "io/SMAlmDo.h"

#include <stdio.h>
#include <string.h>

#include "QxGpio.h"
#include "io/SMDioBase.h"
#include "core/SMSkeleton.h"

namespace {

const qx::sql::TypeRow kType = {2560, "报警输出", "报警输出,一般为内置DO"};
const qx::sql::DefRow kDefs[] = {{1, "D01", 1, "输出状态", 1, 0, 0, "整体状态,按位", 0, "", 0}};

}  // namespace

CSMAlmDo::CSMAlmDo() : CSMBase(0xA02)
{
    memset(m_b, 0, sizeof(m_b));
    m_iDataCnt = 1;
    snprintf(m_note, sizeof(m_note), "%s", "QX-ALMDO6");
}

void CSMAlmDo::RegDb(IDbBase* db, int force)
{
    qx::sql::RegDb(*this, db, force, kType, kDefs, 1);
}

int CSMAlmDo::ChkDb(tagSMItem* item)
{
    const qx::sql::TableDef& d = CSMDioBase::kTbDio;
    const qx::skel::Table t = {d.name, d.columns, qx::skel::kBothDbs};
    return qx::skel::ChkDb(*this, &t, 1, item, d.name, true);
}

int CSMAlmDo::DataVal(int i)
{
    return i >= 0 && i <= 1 ? m_b[i] : -1;
}

// One read of the GPIO channel: the state byte.
int CSMAlmDo::DataGet(ISerBase* ser, int addr, int wait)
{
    (void)addr;
    (void)wait;
    if (!ser || !ser->IsOpened())
        return 0;
    uint8_t b = 0;
    if (ser->Read(&b, 1, 0) < 1)
        return 0;
    m_b[0] = b;
    return 1;
}

// The current row and a history row; no point states and no summary.
int CSMAlmDo::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist)
{
    int state = qx::sql::PollState(flags, alarmBits);
    int snap = qx::sql::PollSnap(flags, snapId);
    if (sid < 0 && m_pItem)
        sid = m_pItem->SID;
    static const char* const kNames[9] = {"Dio", "D01", "D02", "D03", "D04", "D05", "D06", "D07", "D08"};
    qx::sql::Cols cols;
    for (int i = 0; i < 9; i++)
        cols.Int(kNames[i], m_b[i]);
    int last = 0;
    if (m_pDb)
        last = qx::sql::UpdCurrent(m_pDb, CSMDioBase::kTbDio.name, state, snap, cols, sid);
    if (hist)
        last = qx::sql::InsHistory(hist, CSMDioBase::kTbDio.name, sid, state, snap, cols);
    return last == 0 ? 1 : 0;
}

// Command 10 switches the output off, 11 on: the point's Ext1 picks the line (1: line 1,
// above 1: line 17, else line 0), requested through the board layer on the channel's
// descriptor. 1 when the request was made; 0 when it failed or for another command.
int CSMAlmDo::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len)
{
    (void)addr;
    (void)buf;
    (void)len;
    if (!ser || (cmd != 10 && cmd != 11))
        return 0;
    int fd = ser->GetHandle();
    if (fd == -1)
        return 0;
    int ext1 = m_pItem ? m_pItem->Ext1 : 0;
    unsigned long line = ext1 == 1 ? 1 : (ext1 > 1 ? 17 : 0);
    return qxgpio::Request(fd, cmd == 11 ? qxgpio::REQ_SET : qxgpio::REQ_CLEAR, line) ? 1 : 0;
}
