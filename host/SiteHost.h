#pragma once
// The reference host's work, apart from its command line: loads both plug-ins, opens the
// databases, sets up the points of a site and polls them in the calling order the handlers
// require.
//
// Set-up: GetSMManager, ISMManager::SetDb, GetSM per point; per handler SetDb(main, 0),
// SetDb(history, 1) and RegDb(main, 0) once; per point ChkDb(item) and the point's
// tbSubSysDetail row (the host owns that table). Channels come from GetSer, are configured
// with SetTimeout and opened once (a channel shared by several points of a bus is opened
// once). Per poll: Lock, DoItem, DataGet, Unlock, the limit check over the type's definition
// rows, DataUpd (main and history databases in one transaction each, so a point's rows land
// whole or not at all), VarEval of the point's `show` references.
//
// A point whose type has no handler, whose channel cannot be had, or whose channel is the
// port of another point under a different definition is left out with an error line. A point
// whose channel does not open stays in the poll: it is stored as "no answer" and its channel
// is tried again every cycle. Only a site without a usable point is refused. A point of
// `channel = none` has no channel: its handler gets a null one in its record and its calls,
// and it is polled like any other.
//
// A poll that a handler holds back (a failure counter that writes an abnormal state of a
// point only after several in a row: DataUpd returns 0 and runs no statement) is said so,
// with the count of such polls of the point in a row; a poll whose storing failed is "NOT
// STORED" with the database's error.
//
// Control (Do): the point made current with DoItem, then the five-argument DoFunc once on its
// channel and bus address, the channel locked as for a poll.
#include <stdint.h>
#include <stdio.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DoCommand.h"
#include "Limits.h"
#include "Plugins.h"
#include "PointItem.h"
#include "Site.h"
#include "SqliteDb.h"

class ISMBase;
class ISMManager;
class ISerBase;
class ISerManager;

namespace qxhost {

// Exit codes of the host program.
enum HostExit {
    kExitOk = 0,
    kExitUsage = 1,      // bad command line
    kExitSite = 2,       // the site file cannot be read or is wrong
    kExitLibrary = 3,    // a plug-in is missing or lacks an export
    kExitDatabase = 4,   // a database cannot be opened or given the host tables
    kExitNoPoint = 5,    // no point of the site can be polled
    kExitCommand = 6,    // a control command (--do) did not answer 1
};

struct HostOptions {
    std::string smLib;
    std::string serLib;
    std::string dbPath;
    std::string histPath;
    bool needUsablePoint = true;  // Start refuses a site without a point that can be polled
};

struct CycleStats {
    int polled = 0;
    int normal = 0;
    int alarm = 0;
    int noAnswer = 0;
    int storeFailed = 0;
    int heldBack = 0;       // polls a handler's failure counter held back
    bool stopped = false;   // stop() said so before every point was polled
};

class SiteHost {
public:
    // Point lines go to `out`, errors to `err`.
    SiteHost(FILE* out, FILE* err);
    ~SiteHost();
    SiteHost(const SiteHost&) = delete;
    SiteHost& operator=(const SiteHost&) = delete;

    // Everything before the first poll; kExitOk or the exit code of the failure.
    int Start(const HostOptions& options, const std::vector<SitePoint>& site);
    // One poll of every point, `stop` asked before each. Cycles are numbered from 1.
    CycleStats Cycle(int number, const std::function<bool()>& stop);
    // Runs one control command on the point of its SID: 1 when DoFunc answered 1, else 0
    // (also for a point that was left out). Prints the command and the result.
    int Do(const DoCommand& command);
    // Frees the managers, closes the channels and the databases; Start may not be called again.
    void Shutdown();

    int Points() const { return (int)m_points.size(); }
    int Usable() const;

private:
    struct Channel {
        ISerBase* ser = nullptr;
        std::string definition;
        std::string firstLabel;
        bool network = false;
        bool opened = false;      // opened at least once
        bool reportedDown = false;
    };
    struct Handler {
        std::vector<LimitRow> limits;
    };
    struct Point {
        SitePoint site;
        ISMBase* handler = nullptr;
        Channel* channel = nullptr;  // null: channel = none
        std::unique_ptr<PointItem> item;
        int heldInARow = 0;          // polls held back by the handler since the last one stored
    };

    void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool OpenDatabases(const HostOptions& options);
    void EnsureDetailRow(const Point& p);
    void EnsureAlarmOutputRow(const Point& p);
    bool Reopen(Channel& c, const Point& p);
    int PollPoint(Point& p, int cycle, CycleStats& stats);

    FILE* m_out;
    FILE* m_err;
    SmPlugin m_sm;
    SerPlugin m_ser;
    SqliteDb m_db;
    SqliteDb m_hist;
    ISMManager* m_manager = nullptr;
    ISerManager* m_channels = nullptr;
    std::vector<std::unique_ptr<Point>> m_points;
    std::map<ISerBase*, std::unique_ptr<Channel>> m_channelsBySer;
    std::map<ISMBase*, Handler> m_handlers;
};

}  // namespace qxhost
