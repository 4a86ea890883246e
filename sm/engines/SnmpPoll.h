#pragma once
// One SNMP poll of one point, shared by the SNMP UPS drivers and the SNMP air-conditioner: the
// agent's host from the point's address text, a session made for this poll alone, single GETs
// and table walks, and a table of requests that stores each value straight into the driver's
// record (offsets of its int32 fields):
//
//   #define EX(f) qx::SnmpAt(offsetof(UpsExRecord, f))
//   static const qx::SnmpColumn kBypass[] = {
//       {2, {EX(VB1), EX(VB2), EX(VB3)}, false},      // column 2, rows 1..3
//   };
//   static const qx::SnmpStep kSteps[] = {
//       qx::SnmpGet("1.3.6.1.4.1.2468.1.2.1.1.2.4.0", EX(Pbatt)),
//       qx::SnmpGet10("1.3.6.1.4.1.2468.1.2.1.1.4.2.0", EX(Fout1), EX(Fout2), EX(Fout3)),
//       qx::SnmpTable("1.3.6.1.4.1.2468.1.2.1.1.5.3.1", kBypass),
//   };
//   qx::SnmpPoll poll;
//   if (!poll.Open(m_pItem, "UpsX SNMP.err %s\n")) return 0;   // nothing sent
//   ClearRecord();
//   poll.Run(kSteps, &m_rec, sizeof m_rec);
//   return poll.Result();
//
// The address text is "udp:HOST[:anything]": four characters that are not read, the host (a
// dotted IPv4 address or a name, at most 15 characters) up to the next ':', and nothing after
// it is used. The agent is asked on port 161 with version 1, community "public", a time-out of
// one second and one retry. A text of four characters or less, an empty or longer host, or a
// host that names no address is refused: Open() is false and nothing is sent.
//
// A GET stores the leading decimal number of the value's printable text (0 when the request
// failed or the agent did not know the object), held to the range of int; a product times ten
// is formed in 64 bits and held to int as well. A walk reads the table of entry S with GETBULK
// (GETNEXT on version 1), ten repetitions, and stores the binding S.column.row at phase row-1
// for rows 1 to 3; every binding of the table is printed, the others are dropped.
//
// The poll stops at the first GET that finds the agent unreachable (time-out or transport
// failure): further requests would only wait as long again, and the fields they would have
// written keep what they hold. A walk without answer ends the walks of the poll only, since
// an agent may answer GET and not GETNEXT or GETBULK; an unreachable agent thus costs at most
// one time-out for a walk and one for a GET. Result() is 1 when some request gave a value (a
// GET its object's, a walk a row of its table), 0 when none did: an agent that answers every
// request with an error status (no such object) has given nothing to store.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <map>
#include <memory>

#include "ISMBase.h"
#include "tagSMItem.h"
#include "snmp/snmp_pp.h"

namespace qx {

// Offset of an int32 field in a driver's record; kSnmpNone for no field.
constexpr uint16_t kSnmpNone = 0xFFFF;
constexpr uint16_t SnmpAt(size_t offset) { return (uint16_t)offset; }

// One column of a walked table: the fields of rows 1, 2 and 3.
struct SnmpColumn {
    uint32_t column;
    uint16_t at[3];
    bool x10;
};

// One request of a poll: a GET whose value goes into up to three fields (and, for a flag,
// sets bit `bit` of the flag word when nonzero), or a walk of a table.
struct SnmpStep {
    const char* oid;
    uint16_t at[3];
    bool x10;
    int8_t bit;                 // -1: not a flag
    const SnmpColumn* columns;  // a walk when not null
    uint8_t columnCount;
};

constexpr SnmpStep SnmpGet(const char* oid, uint16_t a, uint16_t b = kSnmpNone,
                           uint16_t c = kSnmpNone) {
    return SnmpStep{oid, {a, b, c}, false, -1, nullptr, 0};
}
constexpr SnmpStep SnmpGet10(const char* oid, uint16_t a, uint16_t b = kSnmpNone,
                             uint16_t c = kSnmpNone) {
    return SnmpStep{oid, {a, b, c}, true, -1, nullptr, 0};
}
constexpr SnmpStep SnmpFlag(const char* oid, uint16_t at, int bit) {
    return SnmpStep{oid, {at, kSnmpNone, kSnmpNone}, false, (int8_t)bit, nullptr, 0};
}
template <size_t N>
constexpr SnmpStep SnmpTable(const char* entry, const SnmpColumn (&columns)[N]) {
    return SnmpStep{entry, {kSnmpNone, kSnmpNone, kSnmpNone}, false, -1, columns, (uint8_t)N};
}

class SnmpPoll {
public:
    static const int kMaxHost = 15;
    static const int kMaxRepetitions = 10;
    static const int kMaxWalkRequests = 256;  // one binding a request on a version-1 agent

    SnmpPoll();
    ~SnmpPoll();
    SnmpPoll(const SnmpPoll&) = delete;
    SnmpPoll& operator=(const SnmpPoll&) = delete;

    // The host of an address text into host (kMaxHost + 1 bytes); false when it is refused.
    // Reads at most `size` bytes of the text.
    static bool HostOf(const char* addrText, size_t size, char* host);

    // Prints "SNMP.def %s\n" and "SNMP.dst %s\n", makes the target and the session (a failure
    // prints errLine with the library's text) and, with slot, gives the request its binding
    // slot (sysDescr, never asked for) and, with countLine, prints "SNMP.get_vb_cnt %d\n".
    // False without a point, for a refused host and when no session could be made: nothing
    // was sent.
    bool Open(const tagSMItem* item, const char* errLine, bool slot = true, bool countLine = true);

    // One GET: true with the value when the agent gave one; false with 0 otherwise (also
    // when the poll has stopped: nothing is sent then).
    bool Get(const char* oid, int32_t& value);
    // The same, the value times ten.
    bool Get10(const char* oid, int32_t& value);

    // Runs the requests in order into the record of `size` bytes at rec. A GET that gives no
    // value stores 0, or with keep leaves its fields as they are.
    void Run(const SnmpStep* steps, size_t count, void* rec, size_t size, bool keep = false);
    template <size_t N>
    void Run(const SnmpStep (&steps)[N], void* rec, size_t size, bool keep = false) {
        Run(steps, N, rec, size, keep);
    }

    // Walks the table of entry `entry` (dotted) into rec.
    void Walk(const char* entry, const SnmpColumn* columns, size_t count, void* rec, size_t size);

    // A request's status as this poll counts it: the agent unreachable (a GET stops the poll,
    // a walk the walks).
    void Note(int status, bool walk);

    int Result() const { return m_answered ? 1 : 0; }
    bool Answered() const { return m_answered; }
    bool Stopped() const { return m_stopped; }
    // The flags set by Run's flag requests (bit k: flag k answered nonzero).
    uint32_t FlagWord() const { return m_flagWord; }

    Snmp_pp::Snmp& snmp() { return *m_snmp; }
    Snmp_pp::Pdu& pdu() { return m_pdu; }
    const Snmp_pp::CTarget& target() const { return m_target; }
    const char* host() const { return m_host; }

    // One binding of a walked table whose entry has n sub-identifiers: printed, and for rows
    // 1..3 of a listed column stored at the row's field. True when something was stored.
    static bool StoreCell(unsigned long n, const Snmp_pp::Vb& vb, const SnmpColumn* columns,
                          size_t count, void* rec, size_t size);

    // Stores v into the int32 at `at` of the record (ignored for kSnmpNone or outside it).
    static void Store(void* rec, size_t size, uint16_t at, int32_t v);

private:
    char m_host[kMaxHost + 1];
    Snmp_pp::CTarget m_target;
    Snmp_pp::Pdu m_pdu;
    std::unique_ptr<Snmp_pp::Snmp> m_snmp;
    bool m_open = false;
    bool m_answered = false;
    bool m_stopped = false;
    bool m_noWalks = false;
    uint32_t m_flagWord = 0;
};

// The last record of each point, for a driver that keeps values from one poll to the next: one
// handler serves every point of its type, and no point may show another's values. Switch()
// from DoItem puts the record of the point that had it aside and gives the record the new
// point's own (an empty one before its first poll).
template <class Rec>
class SnmpPointRecords {
public:
    void Switch(Rec& live, const tagSMItem* item) {
        if (!item || (m_has && item->SID == m_sid)) return;
        if (m_has) m_saved[m_sid] = live;
        auto it = m_saved.find(item->SID);
        if (it != m_saved.end()) live = it->second;
        else memset(&live, 0, sizeof live);
        m_has = true;
        m_sid = item->SID;
    }

private:
    std::map<int, Rec> m_saved;
    bool m_has = false;
    int m_sid = 0;
};

}  // namespace qx
