#include "io/SMNetPing.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "core/RunProgram.h"
#include "core/SMSkeleton.h"

namespace {

const qx::sql::TypeRow kType = {3329, "Ping Net", "网络接口..."};
const qx::sql::DefRow kDefs[] = {
    // Online (1) is normal: low limit 1, so an offline target alarms.
    {1, "iPingState", 1, "是否在线", 1, 1, 1, "1: 在线 0: 离线", 0, "", 0},
};
const char kColumns[] =
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,DateUpd "
    "DATETIME,State INTEGER,SnapID INTEGER,iPingState INTEGER";
const size_t kHostMax = 31;

}  // namespace

CSMNetPing::CSMNetPing() : CSMBase(0xD07) {
    // Keeps the base model text.
    m_iDataCnt = 1;
    m_pData = &m_iPingState;
}

void CSMNetPing::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, kDefs, 1);
}

int CSMNetPing::ChkDb(tagSMItem* item) {
    const qx::skel::Table tables[] = {{"tbPingNet", kColumns, qx::skel::kBothDbs}};
    return qx::skel::ChkDb(*this, tables, 1, item, "tbPingNet");
}

bool CSMNetPing::Target(const char* hostText, size_t size, char* host, size_t hostSize,
                        int* port) {
    if (host && hostSize) host[0] = '\0';
    if (port) *port = 0;
    if (!hostText || !host || hostSize <= kHostMax || !port) return false;
    const size_t len = strnlen(hostText, size);
    const char* colon = (const char*)memchr(hostText, ':', len);
    const size_t hostLen = colon ? (size_t)(colon - hostText) : len;
    if (hostLen == 0 || hostLen > kHostMax || hostText[0] == '-') return false;
    memcpy(host, hostText, hostLen);
    host[hostLen] = '\0';
    if (colon) {
        // The decimal value of what follows the ':', as far as it is a number.
        char digits[16];
        size_t n = len - hostLen - 1;
        if (n >= sizeof(digits)) n = sizeof(digits) - 1;
        memcpy(digits, colon + 1, n);
        digits[n] = '\0';
        char* end = nullptr;
        long v = strtol(digits, &end, 10);
        *port = (end != digits && v >= 1 && v <= 65535) ? (int)v : -1;
    }
    return true;
}

// ping HOST -c 1 -W 1   online when the output holds "ttl="
// nmap HOST -p N        (Variant 1) online when the output holds "open"
// A target that cannot be probed (no host, a host that would be an option, no port in port
// mode) is offline without running anything. An unreachable host is a poll that answered:
// the host's limit check on iPingState raises the alarm. The echo reply is waited for one
// second (the iputils and busybox pings alike take -W); either program is stopped at the
// runner's deadline, and a host whose program was stopped before it printed the marker is
// offline, so a silent host holds the poll thread a few seconds at most.
int CSMNetPing::DataGet(ISerBase*, int, int) {
    tagSMItem* item = m_pItem;
    if (!item) return 0;
    m_iPingState = 0;
    char host[kHostMax + 1];
    int port = 0;
    if (!Target(item->HostText, sizeof(item->HostText), host, sizeof(host), &port)) return 1;
    const bool portMode = item->Variant == 1;
    if (portMode && port < 1) return 1;
    char portText[12];
    snprintf(portText, sizeof(portText), "%d", port);
    const char* const pingArgs[] = {"ping", host, "-c", "1", "-W", "1", nullptr};
    const char* const nmapArgs[] = {"nmap", host, "-p", portText, nullptr};
    char out[512];
    int got = qx::RunRead(portMode ? nmapArgs : pingArgs, out, sizeof(out));
    const char* marker = portMode ? "open" : "ttl=";
    if (got > 0) m_iPingState = memmem(out, (size_t)got, marker, strlen(marker)) ? 1 : 0;
    return 1;
}

int CSMNetPing::DataVal(int fld) { return fld == 1 ? m_iPingState : -1; }

int CSMNetPing::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapZero))
        return 0;
    qx::sql::Cols cols;
    cols.Int("iPingState", m_iPingState);
    return qx::skel::Store(*this, u, "tbPingNet", cols, m_iPingState == 1 ? "在线" : "离线",
                           true, hist);
}
