#include "SiteHost.h"

#include <stdarg.h>
#include <string.h>
#include <sys/stat.h>

#include "ISMBase.h"
#include "ISMManager.h"
#include "ISerBase.h"
#include "ISerManager.h"
#include "Text.h"

namespace qxhost {

namespace {

const char* StateText(int state) {
    switch (state) {
        case 0: return "normal";
        case 1: return "alarm";
        default: return "no answer";
    }
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return a != ":memory:";
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace

SiteHost::SiteHost(FILE* out, FILE* err) : m_out(out), m_err(err) {}

SiteHost::~SiteHost() { Shutdown(); }

void SiteHost::Error(const char* format, ...) {
    fputs("smhost: ", m_err);
    va_list ap;
    va_start(ap, format);
    vfprintf(m_err, format, ap);
    va_end(ap);
    fputc('\n', m_err);
    fflush(m_err);
}

int SiteHost::Usable() const {
    int n = 0;
    for (const auto& p : m_points)
        if (!p->channel || p->channel->opened) n++;
    return n;
}

bool SiteHost::OpenDatabases(const HostOptions& o) {
    if (SameFile(o.dbPath, o.histPath)) {
        Error("the main and the history database must be two files (both are %s)", o.dbPath.c_str());
        return false;
    }
    struct Db {
        SqliteDb& db;
        const std::string& path;
        const char* what;
    } dbs[] = {{m_db, o.dbPath, "main"}, {m_hist, o.histPath, "history"}};
    for (Db& d : dbs) {
        if (!d.db.Open(d.path) || !d.db.CreateHostTables()) {
            Error("%s database %s: %s", d.what, d.path.c_str(), d.db.Error().c_str());
            return false;
        }
    }
    return true;
}

void SiteHost::EnsureDetailRow(const Point& p) {
    char sql[256];
    snprintf(sql, sizeof sql, "select count(*) from tbSubSysDetail where SID=%d and Type=%d", p.site.sid,
             p.site.type);
    if (m_db.QueryInt(sql) > 0) return;
    snprintf(sql, sizeof sql,
             "insert into tbSubSysDetail(SID,Type,Fld,SIDD,LastUpd,State) "
             "values(%d,%d,0,%d,datetime(CURRENT_TIMESTAMP,'localtime'),-1)",
             p.site.sid, p.site.type, p.site.sid);
    if (m_db.Exec(sql) != 0)
        Error("[%s] its tbSubSysDetail row could not be made: %s", p.site.label.c_str(),
              m_db.Error().c_str());
}

void SiteHost::EnsureAlarmOutputRow(const Point& p) {
    // The alarm outputs (category 0x0A) and the display panel 0xB00 update their state row in
    // the host's tbAlmGsm of the main database; a row that is not there is not updated.
    const int type = p.site.type;
    if (((type >> 8) & 0xFF) != 0x0A && type != 0xB00) return;
    char sql[128];
    snprintf(sql, sizeof sql, "insert or ignore into tbAlmGsm(SID,State) values(%d,-1)", p.site.sid);
    if (m_db.Exec("create table if not exists tbAlmGsm(SID INTEGER PRIMARY KEY,DateUpd DATETIME,"
                  "State INTEGER,SnapID INTEGER,Signal INTEGER,iSignal INTEGER)") != 0 ||
        m_db.Exec(sql) != 0)
        Error("[%s] its tbAlmGsm row could not be made: %s", p.site.label.c_str(), m_db.Error().c_str());
}

int SiteHost::Start(const HostOptions& o, const std::vector<SitePoint>& site) {
    if (!m_sm.Load(o.smLib)) {
        Error("driver library %s: %s", o.smLib.c_str(), m_sm.Error().c_str());
        return kExitLibrary;
    }
    if (!m_ser.Load(o.serLib)) {
        Error("channel library %s: %s", o.serLib.c_str(), m_ser.Error().c_str());
        return kExitLibrary;
    }
    if (!OpenDatabases(o)) return kExitDatabase;

    m_manager = m_sm.GetSMManager(0);
    m_channels = m_ser.GetSerManager();
    if (!m_manager || !m_channels) {
        Error("a plug-in gave no manager");
        return kExitLibrary;
    }
    fprintf(m_out, "driver library: %s, version %d\nchannel library: %s, version %d\n", m_sm.DllNote(),
            m_sm.DllVersion(), m_ser.DllNote(), m_ser.DllVersion());
    m_manager->SetDb(&m_db, 0);

    // Handlers and channels of the points.
    for (const SitePoint& s : site) {
        fflush(m_out);  // the library prints too: keep the order on the terminal
        ISMBase* h = m_manager->GetSM(s.type);
        if (!h) {
            Error("[%s] sid %d: no handler serves type 0x%X; the point is left out", s.label.c_str(), s.sid,
                  s.type);
            continue;
        }
        if (s.noChannel) {
            std::unique_ptr<Point> p(new Point);
            p->site = s;
            p->handler = h;
            m_points.push_back(std::move(p));
            m_handlers[h];
            continue;
        }
        ISerBase* ser = m_channels->GetSer(s.channel.c_str(), s.chtype);
        if (!ser) {
            Error("[%s] sid %d: no channel for %s (channel type 0x%X); the point is left out", s.label.c_str(),
                  s.sid, s.channel.c_str(), s.chtype);
            continue;
        }
        auto found = m_channelsBySer.find(ser);
        if (found != m_channelsBySer.end() && found->second->definition != s.channel) {
            // The manager keys channels by code: two definitions that come out as one code
            // would poll one device as another.
            Error("[%s] sid %d: channel %s (type 0x%X) is the port that [%s] uses as %s; the point is left out",
                  s.label.c_str(), s.sid, s.channel.c_str(), ser->GetType(), found->second->firstLabel.c_str(),
                  found->second->definition.c_str());
            continue;
        }
        if (found == m_channelsBySer.end()) {
            std::unique_ptr<Channel> c(new Channel);
            c->ser = ser;
            c->definition = s.channel;
            c->firstLabel = s.label;
            c->network = (s.chtype & 0xF00000) == 0x200000;
            found = m_channelsBySer.emplace(ser, std::move(c)).first;
        }
        std::unique_ptr<Point> p(new Point);
        p->site = s;
        p->handler = h;
        p->channel = found->second.get();
        m_points.push_back(std::move(p));
        m_handlers[h];
    }

    // Databases and definitions, once per handler.
    for (auto& hp : m_handlers) {
        ISMBase* h = hp.first;
        h->SetDb(&m_db, 0);
        h->SetDb(&m_hist, 1);
        h->RegDb(&m_db, 0);
        hp.second.limits = LoadLimits(m_db, h->GetType());
    }

    // The points' records, rows and channels.
    for (auto& pp : m_points) {
        Point& p = *pp;
        const SitePoint& s = p.site;
        p.item.reset(new PointItem(s.sid, s.type));
        // The host keeps a state row of its own for every point (EnsureDetailRow below): the
        // point says so, for the handlers that update that row only when told.
        p.item->Name(s.nameGbk.c_str()).HostText(s.host.c_str()).Addr(s.addr).Variant(s.variant)
            .Ext(s.ext1, s.ext2).ItemDetail(1);
        if (p.channel) p.item->Ser(p.channel->ser).Port(p.channel->ser->GetType() & 0xFFFF);
        if (!s.addrText.empty()) p.item->AddrText(s.addrText.c_str());
        else if (p.channel && p.channel->network) p.item->AddrText(s.channel.c_str());
        fflush(m_out);
        if (p.handler->ChkDb(*p.item) != 1)
            Error("[%s] sid %d: the handler's tables or rows could not be made", s.label.c_str(), s.sid);
        EnsureDetailRow(p);
        EnsureAlarmOutputRow(p);

        if (!p.channel) {
            fprintf(m_out, "[%s] sid %d: type 0x%X, handler 0x%X %s, no channel\n", s.label.c_str(), s.sid,
                    s.type, p.handler->GetType(), GbkToUtf8(p.handler->GetNote()).c_str());
            continue;
        }
        Channel& c = *p.channel;
        if (s.hasTimeout) c.ser->SetTimeout(s.timeoutPerByte, s.timeoutFixed);
        if (!c.opened && !c.reportedDown) {
            // Opened with the definition the manager already parsed: a network channel keeps
            // the code it was given only when opened without one.
            c.ser->Lock();
            c.opened = c.ser->Open(nullptr) == 1;
            c.ser->Unlock();
            if (!c.opened) c.reportedDown = true;
        }
        if (!c.opened)
            Error("[%s] sid %d: channel %s does not open; the point is stored as no answer until it does",
                  s.label.c_str(), s.sid, s.channel.c_str());
        else
            fprintf(m_out, "[%s] sid %d: type 0x%X, handler 0x%X %s, channel %s (0x%X)\n", s.label.c_str(),
                    s.sid, s.type, p.handler->GetType(), GbkToUtf8(p.handler->GetNote()).c_str(),
                    s.channel.c_str(), c.ser->GetType());
    }
    fflush(m_out);
    if (o.needUsablePoint && Usable() == 0) {
        Error("no point of the site can be polled");
        return kExitNoPoint;
    }
    return kExitOk;
}

bool SiteHost::Reopen(Channel& c, const Point& p) {
    // A network channel reconnects by itself inside the handler's IsOpened (each test may
    // cost a connection attempt, so the host does not add one); a serial one is opened
    // again here.
    if (c.network) return true;
    if (c.ser->IsOpened() != 1 && c.ser->Open(nullptr) != 1) return false;
    c.opened = true;
    if (c.reportedDown) fprintf(m_out, "[%s] channel %s is open again\n", p.site.label.c_str(), c.definition.c_str());
    c.reportedDown = false;
    return true;
}

int SiteHost::PollPoint(Point& p, int cycle, CycleStats& stats) {
    ISMBase* h = p.handler;
    ISerBase* ser = p.channel ? p.channel->ser : nullptr;
    const SitePoint& s = p.site;
    fflush(m_out);

    bool up = true;
    if (ser) {
        ser->Lock();
        up = Reopen(*p.channel, p);
    }
    h->DoItem(*p.item, 0);
    int got = h->DataGet(ser, s.addr, s.wait);
    if (ser) ser->Unlock();

    std::vector<int32_t> bits;
    std::vector<LimitRow> outRows;
    int alarms = 0;
    int* bitsArg = nullptr;
    if (got == 1) {
        alarms = CheckLimits(m_handlers[h].limits, h->DataSize(), [h](int f) { return h->DataVal(f); }, bits,
                             &outRows);
        bitsArg = bits.data();
    }
    int state = got == 1 ? (alarms ? 1 : 0) : 2;
    int snap = 0;
    m_db.Exec("begin");
    m_hist.Exec("begin");
    const int ranBefore = m_db.Statements() + m_hist.Statements();
    const int failedMain = m_db.Failures(), failedHist = m_hist.Failures();
    int stored = h->DataUpd(alarms ? 1 : 0, bitsArg, &snap, s.sid, &m_hist);
    const bool ranNothing = m_db.Statements() + m_hist.Statements() == ranBefore;
    std::string storeError;
    if (m_hist.Failures() != failedHist) storeError = m_hist.Error();
    else if (m_db.Failures() != failedMain) storeError = m_db.Error();
    bool committed = m_db.Exec("commit") == 0;
    committed = m_hist.Exec("commit") == 0 && committed;
    if (!committed) {
        storeError = "commit failed: " + m_db.Error() + " " + m_hist.Error();
        m_db.Exec("rollback");
        m_hist.Exec("rollback");
    }
    // A handler's failure counter holds back the first abnormal polls of a point in a row: it
    // answers 0 and touches neither database.
    const bool held = stored != 1 && committed && storeError.empty() && ranNothing && state != 0;
    p.heldInARow = held ? p.heldInARow + 1 : 0;
    if (stored != 1 && storeError.empty())
        storeError = ranNothing ? "the handler wrote nothing" : "the handler reported a failure";

    std::string shown;
    for (const std::string& ref : s.show) {
        char buf[256];
        snprintf(buf, sizeof buf, "%s", ref.c_str());
        int n = h->VarEval(buf);
        shown += " " + ref.substr(1) + "=" + (n >= 0 ? GbkToUtf8(buf) : std::string("?"));
    }
    char sql[96];
    snprintf(sql, sizeof sql, "select Brief from tbSMBrief where SID=%d", s.sid);
    std::string brief = GbkToUtf8(m_db.QueryStr(sql));
    // The state an operator sees is the one the handler stored from the alarm bits: a handler
    // may pass over the bits of fields its model does not have (the phases B and C of a
    // single-phase meter). The host's own verdict stands where the handler keeps no state row.
    if (got == 1 && stored == 1 && committed && !ranNothing) {
        // 1 + the stored state, 0 without a row.
        snprintf(sql, sizeof sql, "select 1+State from tbSubSysDetail where SID=%d", s.sid);
        const int kept = m_db.QueryInt(sql) - 1;
        if (kept == 0 || kept == 1) state = kept;
    }

    fflush(m_out);
    fprintf(m_out, "cycle %d [%s] sid %d: state %d %s", cycle, s.label.c_str(), s.sid, state, StateText(state));
    if (!up) fprintf(m_out, " (channel %s not open)", p.channel->definition.c_str());
    fprintf(m_out, " | %s", brief.c_str());
    if (!shown.empty()) fprintf(m_out, " |%s", shown.c_str());
    // The fields outside the type's limits, as NAME(FIELD): the host's own check of the rows.
    // A handler passes over fields its point does not have (phases B and C of a single-phase
    // meter, a relay output, a reading its poll does not take); where it stored the point
    // normal although the host found fields outside the limits, the line says so, so that
    // "normal" never stands beside such a list without its reason.
    if (!outRows.empty()) {
        fprintf(m_out, " | outside the type's limits%s:",
                state == 0 ? ", passed over by the handler" : "");
        for (const LimitRow& r : outRows) fprintf(m_out, " %s(%d)", r.name.c_str(), r.fld);
    }
    if (held)
        fprintf(m_out, " | held back by the handler (failure %d in a row)", p.heldInARow);
    else if (stored != 1 || !committed)
        fprintf(m_out, " | NOT STORED: %s", storeError.c_str());
    fputc('\n', m_out);
    fflush(m_out);

    stats.polled++;
    if (held) stats.heldBack++;
    else if (stored != 1 || !committed) stats.storeFailed++;
    if (state == 0) stats.normal++;
    else if (state == 1) stats.alarm++;
    else stats.noAnswer++;
    return state;
}

CycleStats SiteHost::Cycle(int number, const std::function<bool()>& stop) {
    CycleStats stats;
    for (auto& p : m_points) {
        if (stop && stop()) {
            stats.stopped = true;
            break;
        }
        PollPoint(*p, number, stats);
    }
    return stats;
}

int SiteHost::Do(const DoCommand& c) {
    Point* p = nullptr;
    for (auto& pp : m_points)
        if (pp->site.sid == c.sid) p = pp.get();
    std::string data;
    if (c.hasData)
        data = ", data " + c.dataText + " (" + std::to_string(c.data.size()) +
               (c.data.size() == 1 ? " byte)" : " bytes)");
    fflush(m_out);
    if (!p) {
        fprintf(m_out, "do sid %d: command %d (0x%X)%s not run: the point is left out\n", c.sid, c.command,
                (unsigned)c.command, data.c_str());
        fflush(m_out);
        return 0;
    }
    const SitePoint& s = p->site;
    fprintf(m_out, "do [%s] sid %d: command %d (0x%X)%s\n", s.label.c_str(), s.sid, c.command,
            (unsigned)c.command, data.c_str());
    fflush(m_out);

    // The handler may read a whole word where fewer bytes were given, or write an answer
    // into the buffer: it is never smaller than a few words, and zero past the data.
    std::vector<uint8_t> buffer(c.data.size() + 64, 0);
    if (!c.data.empty()) memcpy(buffer.data(), c.data.data(), c.data.size());
    ISerBase* ser = p->channel ? p->channel->ser : nullptr;
    bool up = true;
    if (ser) {
        ser->Lock();
        up = Reopen(*p->channel, *p);
    }
    p->handler->DoItem(*p->item, 0);
    int result = p->handler->DoFunc(ser, s.addr, c.command, c.hasData ? buffer.data() : nullptr,
                                    (int)c.data.size());
    if (ser) ser->Unlock();

    fflush(m_out);
    fprintf(m_out, "do [%s] sid %d: command %d result %d%s\n", s.label.c_str(), s.sid, c.command, result,
            up ? "" : (" (channel " + p->channel->definition + " not open)").c_str());
    fflush(m_out);
    return result == 1 ? 1 : 0;
}

void SiteHost::Shutdown() {
    fflush(m_out);
    if (m_manager && m_sm.FreeSMManager) m_sm.FreeSMManager();
    m_manager = nullptr;
    // The channel manager does not close what the host opened.
    if (m_channels)
        for (auto& c : m_channelsBySer) c.second->ser->Close();
    m_channelsBySer.clear();
    m_points.clear();
    m_handlers.clear();
    if (m_channels && m_ser.FreeSerManager) m_ser.FreeSerManager();
    m_channels = nullptr;
    m_db.Close();
    m_hist.Close();
    m_sm.Unload();
    m_ser.Unload();
}

}  // namespace qxhost
