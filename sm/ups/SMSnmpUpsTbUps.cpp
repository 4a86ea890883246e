#include "ups/SMSnmpUpsTbUps.h"

#include <stdio.h>
#include <string.h>

CSMSnmpUpsTbUps::CSMSnmpUpsTbUps(int type, const char* note, const TbUpsShape& shape)
    : CSMUpsTbUps(type, note, shape) {
    // Nothing read yet: no value, no text.
    memset(&m_rec, 0, sizeof m_rec);
}

CSMSnmpUpsTbUps::~CSMSnmpUpsTbUps() {}

int CSMSnmpUpsTbUps::DoItem(tagSMItem* item, int n) {
    // The whole record goes with its point (the shape's keeping of the rating and the texts
    // per point is part of it).
    m_points.Switch(m_rec, item);
    return CSMBase::DoItem(item, n);
}

int CSMSnmpUpsTbUps::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* history) {
    m_iState = qx::sql::PollState(flags, alarmBits);
    // The shape empties the record whenever no alarm bits come; in state 1 (flag bit 0) the
    // values stay, so the shape is given no alarm as it would be for an answered poll: zeroed
    // bits as many as its fields take.
    std::vector<int> none;
    alarmBits = qx::sql::KeptAlarmBits(flags, alarmBits, m_iDataCnt, none);
    return CSMUpsTbUps::DataUpd(flags, alarmBits, snapId, sid, history);
}

void CSMSnmpUpsTbUps::BriefText(char* out, size_t size) {
    if (m_iState == 2) snprintf(out, size, "%s", "通讯故障");
    else Summary(out, size);
}
