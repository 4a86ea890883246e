#include "SMSnmpPub.h"

#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "SMSql.h"
#include "engines/SnmpFuncs.h"
#include "engines/SnmpWalk.h"

using namespace Snmp_pp;

namespace {

const SMEngineDesc kDesc = {
    "CSMSnmpPub", "QXMB-base", "QXSNMP-base", "tbSnmp", "tbSnmpDat", ",ValStr VARCHAR(128)",
    true, "CSMSnmpPub UpdLoad",
};

// The binding the PDU starts with; every request overwrites it.
const char kFirstOid[] = "1.3.6.1.2.1.1.1.0";

// An SQL numeric literal: an optional sign, digits, an optional fraction.
bool IsNumber(const std::string& s) {
    size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    size_t digits = 0, frac = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; i++) digits++;
    if (i < s.size() && s[i] == '.') {
        for (i++; i < s.size() && s[i] >= '0' && s[i] <= '9'; i++) frac++;
        if (frac == 0) return false;
    }
    return digits > 0 && i == s.size();
}

// The [vals.str] key of a [vals] key: the run of digits right before its first '.' removed
// (volt12.3 -> volt.3); a key without '.' stands for itself.
std::string LookupKey(const std::string& key) {
    size_t dot = key.find('.');
    if (dot == std::string::npos) return key;
    size_t start = dot;
    while (start > 0 && key[start - 1] >= '0' && key[start - 1] <= '9') start--;
    return key.substr(0, start) + key.substr(dot);
}

int64_t SatAdd(int64_t a, int64_t b) {
    if (b > 0 && a > INT64_MAX - b) return INT64_MAX;
    if (b < 0 && a < INT64_MIN - b) return INT64_MIN;
    return a + b;
}

// The number a binding contributes to an aggregate: the value of every numeric syntax
// (INTEGER, Gauge32, Counter32, TimeTicks, Counter64), else the leading number of its text.
int64_t Number(const Vb& vb) {
    const SnmpSyntax* v = vb.get_value();
    if (const SnmpInt32* i = dynamic_cast<const SnmpInt32*>(v)) return (long)*i;
    if (const SnmpUInt32* u = dynamic_cast<const SnmpUInt32*>(v)) return (int64_t)(unsigned long)*u;
    if (const Counter64* c = dynamic_cast<const Counter64*>(v))
        return c->value() > (uint64_t)INT64_MAX ? INT64_MAX : (int64_t)c->value();
    return qx::SnmpLeadingNumber(vb.get_printable_value());
}

}  // namespace

ISMBase* NewSnmpHandler(int type) { return NewEngine<CSMSnmpPub>(type); }

CSMSnmpPub::CSMSnmpPub(int type) : CSMEngine(type, kDesc) {
    memset(m_data, 0, sizeof m_data);
    memset(m_extFlag, 0, sizeof m_extFlag);
    memset(m_extSum, 0, sizeof m_extSum);
    memset(m_extMin, 0, sizeof m_extMin);
    memset(m_extMax, 0, sizeof m_extMax);
    m_pData = m_data;
}

CSMSnmpPub::~CSMSnmpPub() { printf("CSMSnmpPub delete 0x%" PRIXPTR "\n", (uintptr_t)this); }

const SMEngineDesc& CSMSnmpPub::Desc() const { return kDesc; }

CSMSnmpPub::Agent CSMSnmpPub::ParseAddr(const char* addrText) {
    Agent a;
    if (!addrText) return a;
    size_t len = strnlen(addrText, sizeof(((tagSMItem*)nullptr)->AddrText) - 1);
    if (len <= 4) return a;
    std::string text(addrText + 4, len - 4);
    std::string* texts[] = {&a.host, nullptr, &a.community, &a.user, &a.password};
    size_t pos = 0;
    for (int field = 0; field < 5 && pos < text.size(); field++) {
        size_t colon = text.find(':', pos);
        size_t end = colon == std::string::npos ? text.size() : colon;
        std::string part = text.substr(pos, end - pos);
        pos = colon == std::string::npos ? text.size() : colon + 1;
        if (part.empty()) continue;  // keeps its default, still counts as a field
        if (field == 1) {
            // atoi's reading; a number outside 1..65535 is kept out of range (-1 or 65536)
            // so that the poll refuses it instead of polling a truncated port.
            int64_t p = qx::SnmpLeadingNumber(part.c_str());
            a.port = p == 0 ? kDefaultPort : p < 0 ? -1 : p > 65535 ? 65536 : (int)p;
        } else
            *texts[field] = part;
    }
    return a;
}

CTarget CSMSnmpPub::TargetOf(const Agent& agent) {
    UdpAddress address(agent.host.c_str());
    address.set_port((unsigned short)agent.port);
    printf("SNMP.dst=%s  port=%d  comm=%s  u=%s  p=%s\n", agent.host.c_str(), agent.port,
           agent.community.c_str(), agent.user.c_str(), agent.password.c_str());
    CTarget target(address);
    target.set_readcommunity(agent.community.c_str());
    return target;
}

void CSMSnmpPub::RegDb(IDbBase* db, int force) {
    printf("CSMSnmpPub RegDb m=%d\n", force);
    CSMEngine::RegDb(db, force);
}

int CSMSnmpPub::ChkDb(tagSMItem* item) {
    if (!m_pDb) return 0;
    if (item)
        printf("CSMSnmpPub ChkDb sid=%d %.*s\n", (int)item->SID, (int)sizeof item->ItemName,
               item->ItemName);
    return CSMEngine::ChkDb(item);
}

bool CSMSnmpPub::BriefText(char* out, size_t size) {
    std::string brief = Comm("brief");
    if (brief.empty()) return false;
    if (brief.size() >= size) {
        printf("CSMSnmpPub: [comm] brief longer than %d bytes, refused\n", (int)size - 1);
        return false;
    }
    memcpy(out, brief.c_str(), brief.size() + 1);
    return true;
}

int CSMSnmpPub::DoFunc(ISerBase*, int, int, void*, int) { return 0; }

// ---------------------------------------------------------------- the entries of a poll

int CSMSnmpPub::Entry(const std::string& key, const std::string& value, std::string* name,
                      std::string* columns, const char** why) const {
    *why = "";
    if (!Oid(key.c_str(), true).valid()) {
        *why = "the key is not an object identifier";
        return -1;
    }
    size_t colon = value.find(':');
    if (colon == std::string::npos) {
        if (value.empty() || (int)value.size() > kMaxScalarName) {
            *why = "the name is empty or longer than 63 characters";
            return -1;
        }
        *name = value;
        return 1;
    }
    if (colon == 0 || (int)colon > kMaxTableName) {
        *why = "the table name is empty or longer than 40 characters";
        return -1;
    }
    *name = value.substr(0, colon);
    *columns = value.substr(colon + 1);
    return 2;
}

void CSMSnmpPub::LoadEngine() {
    for (SimpleIni::KeyIterator it = m_ini.beginKey(SEC_OIDS); it != m_ini.endKey(SEC_OIDS); ++it) {
        std::string name, columns;
        const char* why;
        if (Entry(it->first, it->second.value, &name, &columns, &why) < 0)
            printf("CSMSnmpPub: [oids] %.63s refused: %s\n", it->first.c_str(), why);
    }
}

int CSMSnmpPub::Scalar(Snmp& snmp, Pdu& pdu, const CTarget& target, const std::string& oid,
                       const std::string& name) {
    std::string text;
    int status = qx::SnmpGetText(snmp, pdu, target, oid.c_str(), text);
    if (m_ini.GetValue<int>(SEC_VALSSTR, name, 0) == 1) _strFix(text);
    m_ini.SetValue(SEC_VALS, name, text);
    return status;
}

int CSMSnmpPub::Walk(Snmp& snmp, Pdu& pdu, const CTarget& target, const std::string& oid,
                     const std::string& name, const std::string& columns, bool* answered) {
    const Oid base(oid.c_str(), true);
    const unsigned long L = base.len();
    char key[80];

    int rows = 0, enabled = 0;
    for (int j = 0; j < kSlots; j++) {
        snprintf(key, sizeof key, "%s.%d", name.c_str(), j + 1);
        m_extFlag[j] = (uint8_t)m_ini.GetValue<int>(SEC_VALSEXT, key, 0);
        if (m_extFlag[j]) enabled++;
        m_extSum[j] = m_extMin[j] = m_extMax[j] = 0;
    }

    const qx::SnmpWalkEnd end = qx::SnmpWalk(
        snmp, pdu, target, base, kMaxRepetitions, kMaxWalkRequests, [&](const Vb& vb) {
            const Oid& id = vb.get_oid();
            if (id.len() <= L + 1) return;

            const uint32_t column = id[(int)L], row = id[(int)L + 1];
            if (column == 1) rows++;
            std::string text = vb.get_printable_value();
            printf("SNMP bulk %d.%d = %s\r\n", (int)column, (int)row, text.c_str());
            char listed[24];
            snprintf(listed, sizeof listed, ",%u,", column);
            if (columns.find(listed) == std::string::npos) return;

            // Rows beyond the slots have no aggregate; their cells are stored all the same.
            if (row < (uint32_t)kSlots && m_extFlag[row]) {
                int64_t v = Number(vb);
                if (column == 1) {
                    m_extSum[row] = m_extMin[row] = m_extMax[row] = v;
                } else {
                    m_extSum[row] = SatAdd(m_extSum[row], v);
                    if (v < m_extMin[row]) m_extMin[row] = v;
                    if (v > m_extMax[row]) m_extMax[row] = v;
                }
            }
            snprintf(key, sizeof key, "%s.%u", name.c_str(), column);
            if (m_ini.GetValue<int>(SEC_VALSSTR, key, 0) == 1) _strFix(text);
            snprintf(key, sizeof key, "%s%u_%u", name.c_str(), row, column);
            m_ini.SetValue(SEC_VALS, key, text);
        });
    if (end.answered) *answered = true;
    if (end.complete) m_ini.SetValue<int>(SEC_VALS, name, rows);

    if (enabled && rows) {
        for (int j = 0; j < kSlots; j++) {
            if (!m_extFlag[j]) continue;
            snprintf(key, sizeof key, "%s_%da", name.c_str(), j + 1);
            m_ini.SetValue<long long>(SEC_VALS, key, (long long)(m_extSum[j] / rows));
            key[strlen(key) - 1] = 'x';
            m_ini.SetValue<long long>(SEC_VALS, key, (long long)m_extMin[j]);
            key[strlen(key) - 1] = 'X';
            m_ini.SetValue<long long>(SEC_VALS, key, (long long)m_extMax[j]);
        }
    }
    return end.status;
}

// ---------------------------------------------------------------- one poll

int CSMSnmpPub::DataGet(ISerBase*, int addr, int ext) {
    if (!m_pItem) return 0;
    const char* addrText = m_pItem->AddrText;
    printf("SNMP.def %.*s\n", (int)strnlen(addrText, sizeof m_pItem->AddrText), addrText);
    ClearVals();
    if (m_bLoaded != true) return 0;

    Snmp::socket_startup();
    Agent agent = ParseAddr(addrText);
    if (agent.port < 1 || agent.port > 65535) {
        Log("port %d outside 1..65535, not polled\n", agent.port);
        return 0;
    }
    CTarget target = TargetOf(agent);

    Pdu pdu;
    int status = SNMP_CLASS_SUCCESS;
    Snmp snmp(status, 0, false);
    if (status != SNMP_CLASS_SUCCESS) {
        printf("SNMP.err %s\n", Snmp::error_msg(status));
        return 0;
    }
    pdu += Vb(Oid(kFirstOid));

    bool answered = false, unreachable = false;
    int skipped = 0;
    for (SimpleIni::KeyIterator it = m_ini.beginKey(SEC_OIDS); it != m_ini.endKey(SEC_OIDS); ++it) {
        std::string name, columns;
        const char* why;
        int kind = Entry(it->first, it->second.value, &name, &columns, &why);
        if (kind < 0) continue;  // reported when loaded
        if (unreachable) {
            // What a failed GET leaves: the name with an empty value.
            if (kind == 1) m_ini.SetValue(SEC_VALS, name, "");
            skipped++;
            continue;
        }
        status = kind == 1 ? Scalar(snmp, pdu, target, it->first, name)
                           : Walk(snmp, pdu, target, it->first, name, columns, &answered);
        if (status >= 0) answered = true;
        unreachable = qx::SnmpUnreachable(status);
    }
    if (skipped) Log("no answer from %s: %d entries not requested\n", agent.host.c_str(), skipped);

    if (m_iDebug) {
        printf("t=%d  iaddr=%d  iext=%d\n", m_iType, addr, ext);
        for (SimpleIni::KeyIterator it = m_ini.beginKey(SEC_VALS); it != m_ini.endKey(SEC_VALS); ++it)
            printf("%s=%s\n", it->first.c_str(), it->second.value.c_str());
    }
    return answered ? 1 : 0;
}

// ---------------------------------------------------------------- storing

void CSMSnmpPub::DataDetail(IDbBase* db, int sid, int did) {
    if (!db) return;
    if (did == 0) qx::sql::Exec(db, "delete from %s where SID=%d", kDesc.detailTable, sid);
    for (SimpleIni::KeyIterator it = m_ini.beginKey(SEC_VALS); it != m_ini.endKey(SEC_VALS); ++it) {
        const std::string& key = it->first;
        std::string value = it->second.value;
        std::string fld = qx::sql::Esc(key.c_str());
        bool text = m_ini.GetValue<int>(SEC_VALSSTR, LookupKey(key), 0) != 0;
        // A value that is no number goes in as text, never unquoted.
        if (!text && !value.empty() && !IsNumber(value)) text = true;
        if (text) {
            if ((int)value.size() > kMaxValText) value.resize(kMaxValText);
            qx::sql::Exec(db, "insert into %s(DID,SID,Fld,ValStr) values(%d,%d,'%s','%s')",
                          kDesc.detailTable, did, sid, fld.c_str(),
                          qx::sql::Esc(value.c_str()).c_str());
        } else {
            qx::sql::Exec(db, "insert into %s(DID,SID,Fld,Val) values(%d,%d,'%s',%s)",
                          kDesc.detailTable, did, sid, fld.c_str(),
                          value.empty() ? "null" : value.c_str());
        }
    }
}
