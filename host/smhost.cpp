// smhost: the reference host. Loads the driver and channel plug-ins, reads a site file and
// polls its points into a main and a history SQLite database, one line per point and poll.
//
//   smhost --site FILE [--db PATH] [--history PATH] [--cycles N] [--interval MS]
//          [--lib PATH] [--ser PATH] [--root DIR]
//   smhost --site FILE --do SID:CMD[:DATA] [--do ...] [--db PATH] [--history PATH] ...
//
// --cycles 0 (the default) polls until SIGINT, SIGTERM or SIGHUP. A stop request is taken
// between points: the point being polled is finished and stored, then the managers are
// freed, the channels closed and the databases closed.
//
// --do runs control commands instead of polling: only the points they name are set up, each
// command runs once in the order given (DoItem, then DoFunc on the point's channel), and the
// command, the bytes its channel sent and received and the result are printed. DATA is
// int:N, hex:BYTES or text:TEXT (DoCommand.h).
//
// Exit codes: 0 done or stopped on request, 1 bad command line, 2 bad site file, 3 a plug-in
// missing or incomplete, 4 a database that cannot be opened, 5 no point that can be polled,
// 6 a control command that did not answer 1.
#include <errno.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <set>
#include <string>
#include <vector>

#include "DoCommand.h"
#include "Site.h"
#include "SiteHost.h"

#ifndef QX_DEFAULT_SM_LIB
#define QX_DEFAULT_SM_LIB "libqxsm.so"
#endif
#ifndef QX_DEFAULT_SER_LIB
#define QX_DEFAULT_SER_LIB "qxSer.so"
#endif

namespace {

const char kUsage[] =
    "usage: smhost --site FILE [--db PATH] [--history PATH] [--cycles N] [--interval MS]\n"
    "              [--lib PATH] [--ser PATH] [--root DIR]\n"
    "  --site FILE     the points to poll (INI, one section per point)\n"
    "  --db PATH       main database (default smhost.db), created with the host tables\n"
    "  --history PATH  history database (default smhost-hist.db)\n"
    "  --cycles N      poll cycles, 0 = until interrupted (default 0)\n"
    "  --interval MS   from the start of one cycle to the next (default 5000)\n"
    "  --lib PATH      driver plug-in (default " QX_DEFAULT_SM_LIB ")\n"
    "  --ser PATH      channel plug-in (default " QX_DEFAULT_SER_LIB ")\n"
    "  --root DIR      board root for the plug-ins' files (sets QX_ROOT)\n"
    "  --do SID:CMD[:DATA]  run a control command on the point SID instead of polling\n"
    "                  (repeatable); DATA is int:N (a 32-bit integer), hex:BYTES (hex:01FF)\n"
    "                  or text:TEXT; exit 6 when a command did not answer 1\n";

bool Number(const char* text, long min, long max, long& out) {
    char* end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (!*text || *end || errno || v < min || v > max) return false;
    out = v;
    return true;
}

double Seconds() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Stop requests are kept blocked and taken only where stopping is safe.
sigset_t g_stopSignals;
int g_stopSignal = 0;

bool StopRequested() {
    if (g_stopSignal) return true;
    sigset_t pending;
    if (sigpending(&pending) != 0) return false;
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        if (sigismember(&pending, s)) {
            struct timespec zero = {0, 0};
            int got = sigtimedwait(&g_stopSignals, nullptr, &zero);
            g_stopSignal = got > 0 ? got : s;
            return true;
        }
    }
    return false;
}

// Waits until `until` (monotonic seconds) or a stop request; true when asked to stop.
bool WaitUntil(double until) {
    for (;;) {
        if (StopRequested()) return true;
        double left = until - Seconds();
        if (left <= 0) return false;
        struct timespec ts;
        ts.tv_sec = (time_t)left;
        ts.tv_nsec = (long)((left - (double)ts.tv_sec) * 1e9);
        int got = sigtimedwait(&g_stopSignals, nullptr, &ts);
        if (got > 0) {
            g_stopSignal = got;
            return true;
        }
    }
}

// The channel library's trace lines are shown while a control command runs.
bool g_traceChannel = false;

}  // namespace

// The channel library's diagnostics sink: smhost exports it, so the library's calls come here.
extern "C" __attribute__((visibility("default"))) int trace_log(const char* section, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

extern "C" int trace_log(const char*, const char* format, ...) {
    if (!g_traceChannel || !format) return 1;
    char line[1024];
    va_list ap;
    va_start(ap, format);
    vsnprintf(line, sizeof line, format, ap);
    va_end(ap);
    size_t n = strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
    printf("  channel: %s\n", line);
    return 1;
}

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    qxhost::HostOptions opt;
    opt.smLib = QX_DEFAULT_SM_LIB;
    opt.serLib = QX_DEFAULT_SER_LIB;
    opt.dbPath = "smhost.db";
    opt.histPath = "smhost-hist.db";
    std::string sitePath;
    long cycles = 0, interval = 5000;
    bool pollOptions = false;
    std::vector<qxhost::DoCommand> commands;

    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            fputs(kUsage, stdout);
            return qxhost::kExitOk;
        }
        if (i + 1 >= argc) {
            fprintf(stderr, "smhost: %s needs a value\n%s", a.c_str(), kUsage);
            return qxhost::kExitUsage;
        }
        const char* v = argv[++i];
        if (a == "--site") sitePath = v;
        else if (a == "--db") opt.dbPath = v;
        else if (a == "--history") opt.histPath = v;
        else if (a == "--lib") opt.smLib = v;
        else if (a == "--ser") opt.serLib = v;
        else if (a == "--root") setenv("QX_ROOT", v, 1);
        else if (a == "--do") {
            qxhost::DoCommand c;
            std::string why;
            if (!qxhost::ParseDoCommand(v, c, why)) {
                fprintf(stderr, "smhost: --do %s: %s\n", v, why.c_str());
                return qxhost::kExitUsage;
            }
            commands.push_back(c);
        } else if (a == "--cycles") {
            pollOptions = true;
            if (!Number(v, 0, 1000000000L, cycles)) {
                fprintf(stderr, "smhost: --cycles takes a count, not '%s'\n", v);
                return qxhost::kExitUsage;
            }
        } else if (a == "--interval") {
            pollOptions = true;
            if (!Number(v, 0, 86400000L, interval)) {
                fprintf(stderr, "smhost: --interval takes milliseconds, not '%s'\n", v);
                return qxhost::kExitUsage;
            }
        } else {
            fprintf(stderr, "smhost: unknown option %s\n%s", a.c_str(), kUsage);
            return qxhost::kExitUsage;
        }
    }
    if (sitePath.empty()) {
        fprintf(stderr, "smhost: no site file (--site FILE)\n%s", kUsage);
        return qxhost::kExitUsage;
    }
    if (!commands.empty() && pollOptions) {
        fprintf(stderr, "smhost: --do runs commands and does not poll: --cycles and --interval do not go "
                        "with it\n");
        return qxhost::kExitUsage;
    }

    std::vector<qxhost::SitePoint> site;
    std::string error;
    if (!qxhost::LoadSite(sitePath, site, error)) {
        fprintf(stderr, "smhost: bad site file: %s\n", error.c_str());
        return qxhost::kExitSite;
    }

    if (!commands.empty()) {
        // Only the points the commands name are set up: the others' channels stay untouched.
        std::set<int> named;
        for (const qxhost::DoCommand& c : commands) {
            bool found = false;
            for (const qxhost::SitePoint& p : site) found = found || p.sid == c.sid;
            if (!found) {
                fprintf(stderr, "smhost: --do %s: the site has no point of sid %d\n", c.text.c_str(), c.sid);
                return qxhost::kExitUsage;
            }
            named.insert(c.sid);
        }
        std::vector<qxhost::SitePoint> mine;
        for (const qxhost::SitePoint& p : site)
            if (named.count(p.sid)) mine.push_back(p);
        // A point whose channel does not open is still given its commands: they answer 0.
        opt.needUsablePoint = false;
        qxhost::SiteHost host(stdout, stderr);
        int rc = host.Start(opt, mine);
        if (rc != qxhost::kExitOk) {
            host.Shutdown();
            return rc;
        }
        int done = 0;
        for (const qxhost::DoCommand& c : commands) {
            g_traceChannel = true;
            done += host.Do(c);
            g_traceChannel = false;
        }
        printf("smhost: %d of %d commands answered 1\n", done, (int)commands.size());
        host.Shutdown();
        return done == (int)commands.size() ? qxhost::kExitOk : qxhost::kExitCommand;
    }

    sigemptyset(&g_stopSignals);
    sigaddset(&g_stopSignals, SIGINT);
    sigaddset(&g_stopSignals, SIGTERM);
    sigaddset(&g_stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &g_stopSignals, nullptr);

    qxhost::SiteHost host(stdout, stderr);
    int rc = host.Start(opt, site);
    if (rc != qxhost::kExitOk) {
        host.Shutdown();
        return rc;
    }
    printf("polling %d of %d points every %ld ms%s\n", host.Points(), (int)site.size(), interval,
           cycles ? "" : " until interrupted");

    long done = 0;
    bool stop = false;
    while (!stop && (cycles == 0 || done < cycles)) {
        double start = Seconds();
        qxhost::CycleStats st = host.Cycle((int)(done + 1), StopRequested);
        if (st.stopped) break;
        done++;
        std::string extra;
        if (st.heldBack) extra += ", " + std::to_string(st.heldBack) + " held back";
        if (st.storeFailed) extra += ", " + std::to_string(st.storeFailed) + " not stored";
        printf("cycle %ld: %d polled, %d normal, %d alarm, %d no answer%s (%.2f s)\n", done, st.polled,
               st.normal, st.alarm, st.noAnswer, extra.c_str(), Seconds() - start);
        if (cycles != 0 && done >= cycles) break;
        stop = WaitUntil(start + interval / 1000.0);
    }
    if (g_stopSignal || StopRequested())
        printf("smhost: %s received, stopping after %ld complete cycles\n", strsignal(g_stopSignal), done);
    host.Shutdown();
    printf("smhost: stopped, databases closed\n");
    return qxhost::kExitOk;
}
