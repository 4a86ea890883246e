#include "io/SMDio.h"

#include <stdio.h>
#include <string.h>

#include "ISerBase.h"

namespace {

// Inputs pull low to raise their alarm; points 9 and 10 are the dry-contact outputs.
const qx::sql::DefRow kDefs[] = {
    {1, "D01", 1, "开关量1", 1, 1, 0, "拉低触发报警", 0, "", 0},
    {2, "D02", 1, "开关量2", 1, 1, 0, "拉低触发报警", 0, "", 0},
    {3, "D03", 1, "开关量3", 1, 1, 0, "拉低触发报警", 0, "", 0},
    {4, "D04", 1, "开关量4", 1, 1, 0, "拉低触发报警", 0, "", 0},
    {5, "D05", 1, "开关量5", 1, 1, 0, "拉低触发报警", 0, "", 0},
    {6, "D06", 1, "开关量6", 1, 1, 0, "拉低触发报警", 0, "", 0},
    {7, "D07", 1, "开关量7", 1, 1, 0, "拉低触发报警", 0, "", 0},
    {8, "D08", 1, "开关量8", 1, 1, 0, "拉低触发报警", 0, "", 0},
    {9, "D09", 1, "开关量9", 1, 0, 0, "干接点输出", 0, "", 0},
    {10, "D10", 1, "开关量10", 1, 0, 0, "干接点输出", 0, "", 0},
};

}  // namespace

CSMDio::CSMDio() : CSMDioBase(0x900)
{
    m_iDataCnt = 11;
    snprintf(m_note, sizeof(m_note), "%s", "DI-2416");
}

int CSMDio::ChkDef(IDbBase* db, int force)
{
    return InsDefs(db, force, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

int CSMDio::DataGet(ISerBase* ser, int addr, int wait)
{
    if (!ser || !ser->IsOpened())
        return 0;
    // Byte 0: the input lines (line 18), byte 1: the output state (line 17). A read that
    // failed fills nothing: the poll fails rather than decode an empty buffer.
    uint8_t b[2] = {0, 0};
    if (ser->Read(b, 2, 0) < 1)
        return 0;
    m_wData[0] = b[0];
    for (int n = 1; n <= 8; n++)
        m_wData[n] = ((b[0] >> (n - 1)) & 1) ? 0 : 1;
    for (int n = 9; n <= 12; n++)
        m_wData[n] = ((b[1] >> (n - 9)) & 1) ? 0 : 1;
    return 1;
}

int CSMDio::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist)
{
    return StoreDio({true, 12, false}, flags, alarmBits, snapId, sid, hist);
}
