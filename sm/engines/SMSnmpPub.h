#pragma once
// The generic SNMP engine: device types 0x1000..0x11FF, each described by its definition file
// (the common part in SMEngine.h). The agent is the current point's address text,
//
//   AddrText  "snmp10.0.0.5:1161:secret:user:pass"
//              ^^^^ four characters not read; then host : port : community : user : password
//              (port 161 when empty or 0, community "talvik" when empty; user and password
//              are only printed)
//
// and what a poll reads is the section [oids]:
//
//   [oids]
//   1.3.6.1.2.1.1.5.0=sysName          ; scalar: one GET, stored as [vals] sysName
//   1.3.6.1.4.1.99999.2.1=ups:,2,3,    ; table entry 1.3.6.1.4.1.99999.2.1, columns 2 and 3:
//                                      ;   GETBULK walk (10 repetitions), [vals] ups<row>_<col>
//                                      ;   per listed cell and ups = the rows (column-1 cells)
//   [vals.str]
//   sysName=1                          ; 1: backslashes become blanks; nonzero: store as text
//   ups.3=1                            ; the same for the cells of column 3, during the poll
//   [vals.ext]
//   ups.2=1                            ; aggregate row 1 (slot 1) across the listed columns,
//                                      ;   started by column 1: ups_2a = sum / rows,
//                                      ;   ups_2x = minimum, ups_2X = maximum
//
// Entries run in key order (byte order of the identifiers). Values are held as text in [vals]
// and stored one row per key into tbSnmpDat: Fld the key, Val a number, ValStr a text (a
// value flagged in [vals.str], looked up with the digits before the key's first '.' removed,
// or any value that is not a number).
//
// Bounds: a scalar name of at most 63 characters, a table name of at most 40 (every key made
// from it then fits 63), a walk of at most kMaxWalkRequests requests; a walk also ends on an
// empty response and on an identifier that does not increase. Aggregates exist for row
// indexes 0..31 only; cells of other rows are stored like any other. An agent that does not
// answer costs one time-out per poll: the requests after it are not sent.
#include <stdint.h>

#include <string>

#include "SMEngine.h"
#include "snmp/snmp_pp.h"

constexpr const char SEC_OIDS[] = "oids";
constexpr const char SEC_VALSSTR[] = "vals.str";
constexpr const char SEC_VALSEXT[] = "vals.ext";

class CSMSnmpPub : public CSMEngine {
public:
    static constexpr int kSlots = 32;
    static constexpr int kMaxScalarName = 63;
    static constexpr int kMaxTableName = 40;
    static constexpr int kMaxWalkRequests = 1000;
    static constexpr int kMaxRepetitions = 10;
    static constexpr int kDefaultPort = 161;
    // A text longer than this is cut when stored in ValStr.
    static constexpr int kMaxValText = 1024;

    // The agent of a point, from its address text.
    struct Agent {
        std::string host;
        int port = kDefaultPort;
        std::string community = "talvik";
        std::string user, password;
    };
    // Splits an address text (at most 63 characters are read).
    static Agent ParseAddr(const char* addrText);
    // The target of an agent: its host and port, its read community. Prints where it points.
    static Snmp_pp::CTarget TargetOf(const Agent& agent);

    explicit CSMSnmpPub(int type);
    ~CSMSnmpPub() override;

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int ext) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    using CSMBase::DoFunc;
    void DataDetail(IDbBase* db, int sid, int did) override;

protected:
    const SMEngineDesc& Desc() const override;
    void LoadEngine() override;
    // [comm] "brief" as it stands: this engine expands no placeholders.
    bool BriefText(char* out, size_t size) override;

private:
    // One [oids] entry: 1 scalar, 2 table (name and columns split), -1 refused (why).
    int Entry(const std::string& key, const std::string& value, std::string* name,
              std::string* columns, const char** why) const;
    // Returns the status of the GET (see SnmpGetText).
    int Scalar(Snmp_pp::Snmp& snmp, Snmp_pp::Pdu& pdu, const Snmp_pp::CTarget& target,
               const std::string& oid, const std::string& name);
    // Walks one table; returns the status of its last request.
    int Walk(Snmp_pp::Snmp& snmp, Snmp_pp::Pdu& pdu, const Snmp_pp::CTarget& target,
             const std::string& oid, const std::string& name, const std::string& columns,
             bool* answered);

    uint8_t m_data[256];  // the value area Data() shows; the values live in [vals]
    // Working storage of a table walk, per slot (row index 0..31).
    uint8_t m_extFlag[kSlots];
    int64_t m_extSum[kSlots];
    int64_t m_extMin[kSlots];
    int64_t m_extMax[kSlots];
};
