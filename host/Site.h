#pragma once
// The site file of the reference host: which points to poll, on which channel.
//
// INI text, one section per point. The section name labels the point in messages and is its
// name unless `name` says otherwise. Comments start with ';' or '#' at the start of a line.
//
//   [UPS-1]
//   sid     = 1                     ; point id, unique, above 0
//   type    = 0x300                 ; device type code
//   channel = ttyS1:2400,N,8,1      ; channel definition, or none
//   chtype  = 0x100000              ; channel type code (not with channel = none)
//   addr    = 1                     ; bus address (default 1)
//   variant = 0                     ; protocol selector of the handler (default 0)
//   ext1    = 0                     ; handler parameters (default 0)
//   ext2    = 0
//   wait    = 0                     ; DataGet's third argument (default 0)
//   host    = 10.0.0.5:161          ; target text of network points (optional)
//   addrtext = udp:10.0.0.5:161     ; network address text (optional; at most 63 characters)
//   timeout = 10,1000               ; channel time-outs: ms per byte, fixed ms (optional,
//                                   ; each at most 60000)
//   show    = .Vin .Vout            ; field references printed after each poll (optional)
//   name    = UPS room 1            ; UTF-8, at most 31 bytes once in GBK
//
// A value may name environment variables as ${NAME}; an unset one is an error, so a site
// file can leave the ports that change from run to run (a simulator's pseudo-terminal) to
// whoever starts the host. A serial definition must give line settings the serial channel
// takes, a network definition (channel type 0x2xxxxx) a host and port the network channel
// takes.
//
// `channel = none` is a point whose handler reaches its device by itself (the SNMP drivers,
// the server monitor, the reachability check): it gets no channel (a null one in its record
// and in every call) and no chtype. Such handlers read the point's address text (`addrtext`:
// four characters they skip, such as "udp:", then the agent's address and further fields)
// or its target text (`host`). A point on a network channel has its definition as address
// text unless `addrtext` says otherwise.
//
// A UTF-8 byte-order mark at the start is skipped. Every error names the file and the line
// (of the key at fault, or of the section for a missing key).
#include <string>
#include <vector>

namespace qxhost {

// The largest time-out of a site file, per value (ms per byte, fixed ms).
constexpr int kMaxTimeoutMs = 60000;

struct SitePoint {
    std::string label;   // the section name
    int line = 0;        // line of the section header
    int sid = 0;
    int type = 0;
    std::string name;    // UTF-8
    std::string nameGbk; // the same in GBK, as the point record carries it
    std::string channel;
    bool noChannel = false;  // channel = none
    int chtype = 0;
    int addr = 1;
    int variant = 0;
    int ext1 = 0;
    int ext2 = 0;
    int wait = 0;
    std::string host;
    std::string addrText;  // empty: the network definition, or nothing
    bool hasTimeout = false;
    int timeoutPerByte = 0;
    int timeoutFixed = 0;
    std::vector<std::string> show;
};

// A decimal or 0x-hexadecimal integer of 32 bits, optionally signed (a leading zero does not
// make it octal; hexadecimal codes may use all 32 bits, 0xFFFFFFFF is -1).
bool ParseInt(const std::string& text, int& value);

// Parses a site text; `source` names it in messages. False with "source:line: reason".
bool ParseSite(const std::string& text, const std::string& source, std::vector<SitePoint>& points,
               std::string& error);
// Reads and parses a site file.
bool LoadSite(const std::string& path, std::vector<SitePoint>& points, std::string& error);

}  // namespace qxhost
