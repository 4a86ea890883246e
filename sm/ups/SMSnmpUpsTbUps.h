#pragma once
#include "engines/SnmpPoll.h"
#include "ups/SMUpsTbUps.h"

// What the SNMP UPS drivers kept in tbUps add to the tbUps shape: a record per point (they
// keep values from one poll to the next), the values emptied only by an update in state 2 (an
// update in state 1 keeps them), a summary without alarm captions that says "通讯故障" when the
// UPS did not answer (a shape with ownFault; otherwise the shape's no-answer words). A driver
// gives its DataGet and its Summary.
class CSMSnmpUpsTbUps : public CSMUpsTbUps {
public:
    CSMSnmpUpsTbUps(int type, const char* note, const TbUpsShape& shape);
    ~CSMSnmpUpsTbUps() override;

    int DoItem(tagSMItem* item, int n) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* history) override;

protected:
    // The summary of an answered poll.
    virtual void Summary(char* out, size_t size) = 0;

private:
    void BriefText(char* out, size_t size) final;

    qx::SnmpPointRecords<TbUpsRecord> m_points;
    int m_iState = 0;  // state of the update being stored
};
