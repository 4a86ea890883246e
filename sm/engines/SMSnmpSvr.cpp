#include "engines/SMSnmpSvr.h"

#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include "SMSql.h"
#include "engines/SMSnmpPub.h"
#include "engines/SnmpFuncs.h"
#include "engines/SnmpWalk.h"
#include "snmp/snmp_pp.h"

using namespace Snmp_pp;

namespace {

const char kTable[] = "tbSvr";
const char kDatTable[] = "tbSvrDat";

const char* const kIpStat[6] = {
    "1.3.6.1.2.1.4.3.0",  "1.3.6.1.2.1.4.4.0",  "1.3.6.1.2.1.4.5.0",
    "1.3.6.1.2.1.4.10.0", "1.3.6.1.2.1.4.11.0", "1.3.6.1.2.1.4.12.0",
};

// A text of at most size - 1 bytes; a two-byte GBK character is never cut in half.
void CopyText(char* out, size_t size, const char* text) {
    size_t n = 0;
    while (text[n]) {
        size_t w = ((uint8_t)text[n] >= 0x81 && text[n + 1]) ? 2 : 1;
        if (n + w > size - 1) break;
        n += w;
    }
    memcpy(out, text, n);
    out[n] = '\0';
}

int32_t Number(const char* text) {
    int64_t v = qx::SnmpLeadingNumber(text);
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v;
}

}  // namespace

CSMSnmpSvr::CSMSnmpSvr() : CSMBase(0xE10) {
    printf("SMSnmpSvr new: %" PRIxPTR " \r\n", (uintptr_t)this);
    snprintf(m_note, sizeof m_note, "%s", "QX-SVRWIN");
    m_pData = nullptr;
    m_iDataCnt = 0;
    Clear();
}

CSMSnmpSvr::~CSMSnmpSvr() {}

void CSMSnmpSvr::Clear() {
    memset(m_sysName, 0, sizeof m_sysName);
    memset(m_upTime, 0, sizeof m_upTime);
    m_iUpTime = m_iProcs = 0;
    memset(m_iIpStat, 0, sizeof m_iIpStat);
    m_iCpuCnt = m_iStorCnt = 0;
    memset(m_iCpuLoad, 0, sizeof m_iCpuLoad);
    memset(m_storDescr, 0, sizeof m_storDescr);
    memset(m_stor, 0, sizeof m_stor);
    memset(m_cpuIndex, 0, sizeof m_cpuIndex);
    memset(m_storIndex, 0, sizeof m_storIndex);
}

int CSMSnmpSvr::Slot(uint32_t* indexes, int32_t* used, int max, uint32_t index) {
    for (int i = 0; i < *used; i++)
        if (indexes[i] == index) return i;
    if (*used >= max) return -1;
    indexes[*used] = index;
    return (*used)++;
}

void CSMSnmpSvr::RegDb(IDbBase* db, int force) {
    if (!db) return;
    static const qx::sql::TypeRow kType = {0xE00, "SVR", "Win服务器..."};
    qx::sql::RegDb(*this, db, force, kType, nullptr, 0);
}

int CSMSnmpSvr::ChkDb(tagSMItem* item) {
    static const qx::sql::TableDef kTables[] = {
        {kTable,
         "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTGER,Addr INTEGER,"
         "DateUpd DATETIME,State INTEGER,SnapID INTEGER"},
        {kDatTable, "LID INTEGER PRIMARY KEY,SID INTEGER,Fld INTEGER,Val INTEGER,ValStr VARCHAR(256)"},
    };
    return qx::sql::ChkDb(*this, kTables, 2, item, kTable);
}

int CSMSnmpSvr::DataGet(ISerBase*, int, int) {
    if (!m_pItem) return 0;
    Clear();
    const char* addrText = m_pItem->AddrText;
    printf("SNMP.def %.*s\n", (int)strnlen(addrText, sizeof m_pItem->AddrText), addrText);
    Snmp::socket_startup();

    CSMSnmpPub::Agent agent = CSMSnmpPub::ParseAddr(addrText);
    if (agent.port < 1 || agent.port > 65535) {
        printf("[A%02d] SMSnmpSvr: port %d outside 1..65535, not polled\r\n", (int)m_pItem->Addr,
               agent.port);
        return 0;
    }
    CTarget target = CSMSnmpPub::TargetOf(agent);
    Pdu pdu;
    int status = SNMP_CLASS_SUCCESS;
    Snmp snmp(status, 0, false);
    if (status != SNMP_CLASS_SUCCESS) {
        printf("SNMP.err %s\n", Snmp::error_msg(status));
        return 0;
    }
    pdu += Vb(Oid("1.3.6.1.2.1.1.1.0"));

    // The name first: an agent that does not answer it is not asked anything more, so a
    // server that is down costs one time-out per poll.
    std::string text;
    status = qx::SnmpGetText(snmp, pdu, target, "1.3.6.1.2.1.1.5.0", text);
    if (qx::SnmpUnreachable(status)) {
        printf("[A%02d] SMSnmpSvr: no answer from %s\r\n", (int)m_pItem->Addr, agent.host.c_str());
        Snmp::socket_cleanup();
        return 0;
    }
    CopyText(m_sysName, sizeof m_sysName, text.c_str());

    // The uptime in seconds from its TimeTicks (hundredths); its text as the agent's value
    // prints.
    status = qx::SnmpGetText(snmp, pdu, target, "1.3.6.1.2.1.25.1.1.0", text);
    CopyText(m_upTime, sizeof m_upTime, text.c_str());
    Vb answer;
    if (status == SNMP_CLASS_SUCCESS && pdu.get_vb(answer, 0)) {
        const SnmpSyntax* v = answer.get_value();
        if (v && v->get_syntax() == sNMP_SYNTAX_TIMETICKS)
            m_iUpTime = (int32_t)((unsigned long)*static_cast<const TimeTicks*>(v) / 100);
        else
            m_iUpTime = Number(text.c_str());
    }

    m_iProcs = _oidGet(snmp, pdu, target, "1.3.6.1.2.1.25.1.6.0");
    for (int i = 0; i < 6; i++) m_iIpStat[i] = _oidGet(snmp, pdu, target, kIpStat[i]);
    printf("设备: %s 运行: %dH%02dM%02dS\n", m_sysName, m_iUpTime / 3600, (m_iUpTime % 3600) / 60,
           m_iUpTime % 60);

    // hrProcessorEntry: column 2 is the load.
    const Oid cpuBase("1.3.6.1.2.1.25.3.3.1");
    const unsigned long lc = cpuBase.len();
    int loads = 0;
    bool cpuFull = false;
    qx::SnmpWalk(snmp, pdu, target, cpuBase, kMaxRepetitions, kMaxWalkRequests, [&](const Vb& vb) {
        const Oid& id = vb.get_oid();
        if (id.len() < lc + 2) return;
        const uint32_t column = id[(int)lc], index = id[(int)lc + 1];
        printf("SNMP Processor %u.%u = %s\r\n", column, index, vb.get_printable_value());
        if (column != 2) return;
        int slot = Slot(m_cpuIndex, &m_iCpuCnt, kMaxCpu, index);
        if (slot < 0) {
            if (!cpuFull) printf("SNMP Processor %u: more than %d processors, ignored\r\n", index, kMaxCpu);
            cpuFull = true;
            return;
        }
        m_iCpuLoad[slot] = Number(vb.get_printable_value());
        loads++;
    });
    printf("SNMP Processor=%d i0=%d\r\n", m_iCpuCnt, loads);

    // hrStorageEntry: 3 description, 4 allocation units, 5 size, 6 used, 7 failures.
    const Oid storBase("1.3.6.1.2.1.25.2.3.1");
    const unsigned long ls = storBase.len();
    int lastSlot = 0;
    bool storFull = false;
    qx::SnmpWalk(snmp, pdu, target, storBase, kMaxRepetitions, kMaxWalkRequests, [&](const Vb& vb) {
        const Oid& id = vb.get_oid();
        if (id.len() < ls + 2) return;
        const uint32_t column = id[(int)ls], index = id[(int)ls + 1];
        const char* value = vb.get_printable_value();
        printf("SNMP Storage %u.%u = %s\r\n", column, index, value);
        if (column < 1 || column > 7) return;
        int slot = Slot(m_storIndex, &m_iStorCnt, kMaxStor, index);
        if (slot < 0) {
            if (!storFull) printf("SNMP Storage %u: more than %d areas, ignored\r\n", index, kMaxStor);
            storFull = true;
            return;
        }
        lastSlot = slot;
        if (column == 3) {
            char* d = m_storDescr[slot];
            CopyText(d, sizeof m_storDescr[slot], value);
            if (d[0] && d[1] && d[2] == '\\') d[2] = ' ';  // "C:\ Label" -> "C:  Label"
        } else if (column >= 4) {
            m_stor[slot][column - 4] = Number(value);
        }
    });
    printf("SNMP Storage=%d i0=%d\r\n", m_iStorCnt, lastSlot);

    Snmp::socket_cleanup();
    return 1;
}

int CSMSnmpSvr::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase*) {
    const int state = qx::sql::PollState(flags, alarmBits);
    const int snap = qx::sql::PollSnap(flags, snapId);
    if (sid < 0 && m_pItem) sid = m_pItem->SID;
    if (!m_pDb) return 1;

    if (m_pItem) qx::sql::UpdState(m_pDb, state, sid, m_pItem->Type);  // the point's row, by its Type
    int result = qx::sql::Exec(m_pDb,
                               "update %s set DateUpd=" QX_SQL_NOW ",State=%d,SnapID=%d where sid=%d",
                               kTable, state, snap, sid);
    qx::sql::Exec(m_pDb, "delete from %s where SID=%d", kDatTable, sid);

    int fld = 0;
    auto text = [&](const char* value) {
        qx::sql::Exec(m_pDb, "insert into %s(SID,Fld,ValStr) values(%d,%d,'%s')", kDatTable, sid,
                      ++fld, qx::sql::Esc(value).c_str());
    };
    auto number = [&](int32_t value) {
        qx::sql::Exec(m_pDb, "insert into %s(SID,Fld,Val) values(%d,%d,%d)", kDatTable, sid, ++fld,
                      (int)value);
    };
    text(m_sysName);
    text(m_upTime);
    number(m_iUpTime);
    number(m_iProcs);
    for (int i = 0; i < 6; i++) number(m_iIpStat[i]);
    number(m_iCpuCnt);
    number(m_iStorCnt);
    for (int i = 0; i < m_iCpuCnt && i < kMaxCpu; i++) number(m_iCpuLoad[i]);
    for (int j = 0; j < m_iStorCnt && j < kMaxStor; j++) {
        text(m_storDescr[j]);
        for (int k = 0; k < 4; k++) number(m_stor[j][k]);
    }

    // An agent that did not answer: the summary says so, not the name and uptime of an
    // earlier poll or emptied ones.
    char brief[160];
    if (alarmBits)
        snprintf(brief, sizeof brief, "设备: %s 运行: %s", m_sysName, m_upTime);
    else
        snprintf(brief, sizeof brief, "%s", qx::sql::NoAnswerBrief().c_str());
    qx::sql::UpdBrief(m_pDb, sid, brief);
    return result == 0 ? 1 : 0;
}
