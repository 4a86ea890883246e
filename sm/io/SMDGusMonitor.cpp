#include "io/SMDGusMonitor.h"

#include <stdio.h>

#include "io/AlmMsg.h"
#include "core/SMSkeleton.h"

namespace {

const qx::sql::TypeRow kType = {2560, "", "232接口,支持串口屏"};
const qx::skel::Table kTables[] = {
    {"tbAlmDGus",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER",
     qx::skel::kBothDbs},
};
}  // namespace

CSMDGusMonitor::CSMDGusMonitor() : CSMBase(0xB00)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-DGus");
}

void CSMDGusMonitor::RegDb(IDbBase* db, int force)
{
    qx::sql::RegDb(*this, db, force, kType, nullptr, 0);
}

int CSMDGusMonitor::ChkDb(tagSMItem* item)
{
    return qx::skel::ChkDb(*this, kTables, 1, item, "tbAlmDGus");
}

int CSMDGusMonitor::DataGet(ISerBase* ser, int, int)
{
    return ser && ser->IsOpened() ? 1 : 0;
}

int CSMDGusMonitor::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist)
{
    return qx::alm::UpdAlmGsm(*this, 0, flags, alarmBits, snapId, sid, hist, false);
}
