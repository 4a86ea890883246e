#pragma once
// smhost (and devsim) run as processes by the end-to-end tests of the reference host: a
// temporary folder with the board root, the databases and the site file, the program's exit
// code and messages, and read-only views of the databases it wrote.
#include <signal.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "support/ProgramRun.h"

namespace smhosttest {

using progrun::Program;
using progrun::ReadFile;
using progrun::Spawn;

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
}

inline int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) n++;
    return n;
}

// The line smhost printed for the point LABEL in cycle 1, "cycle 1 [LABEL] sid ...", or ""
// when there is none.
inline std::string PointLine(const std::string& out, const std::string& label) {
    const size_t at = out.find("cycle 1 [" + label + "] sid ");
    if (at == std::string::npos) return "";
    return out.substr(at, out.find('\n', at) - at);
}

// The fields NAME(FIELD) named in a text: a devsim kind's "alarms=" or "raises=", or smhost's
// list of the fields outside the type's limits.
inline std::set<std::string> FieldRefs(const std::string& text) {
    std::set<std::string> refs;
    const std::regex ref("\\w+\\(\\d+\\)");
    for (std::sregex_iterator m(text.begin(), text.end(), ref), end; m != end; ++m) refs.insert(m->str());
    return refs;
}

// The fields a poll line names outside the type's limits (also those the handler passed over).
inline std::set<std::string> OutOfLimits(const std::string& line) {
    const size_t at = line.find("| outside the type's limits");
    return at == std::string::npos ? std::set<std::string>() : FieldRefs(line.substr(at, line.find(" | ", at + 1) - at));
}

// Whether a poll line says that the handler passed over the fields outside the type's limits.
inline bool PassedOver(const std::string& line) {
    return line.find("| outside the type's limits, passed over by the handler:") != std::string::npos;
}

// A read-only view of a database smhost wrote.
struct Rows {
    sqlite3* db = nullptr;
    explicit Rows(const std::string& path) {
        EXPECT_EQ(SQLITE_OK, sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr)) << path;
    }
    ~Rows() { sqlite3_close(db); }
    std::string Str(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            return std::string("<error: ") + sqlite3_errmsg(db) + ">";
        std::string out = "<none>";
        if (sqlite3_step(st) == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(st, 0);
            out = t ? (const char*)t : "<null>";
        }
        sqlite3_finalize(st);
        return out;
    }
    long long Int(const std::string& sql) {
        std::string s = Str(sql);
        return s[0] == '<' ? -999999 : atoll(s.c_str());
    }
};

// devsim serving the named devices until Stop() (or the object goes).
class Devsim {
public:
    ~Devsim() { Stop(); }
    // False (with devsim's output in Text()) when it did not say "ready".
    bool Start(const std::vector<std::string>& names, const std::string& outPath) {
        std::vector<std::string> args = Program(DEVSIM_PATH);
        args.insert(args.end(), names.begin(), names.end());
        // Never read an earlier run's "ready" before the child has emptied the file.
        unlink(outPath.c_str());
        m_text.clear();
        m_pid = Spawn(args, outPath, outPath);
        m_text = progrun::WaitForText(outPath, "ready\n", 500);
        return m_pid > 0 && m_text.find("ready\n") != std::string::npos;
    }
    // A key of a device's line: "NAME pts=... def=DEF chtype=CODE type=TYPE".
    std::string Field(const std::string& name, const std::string& key) const {
        // The line that starts with the name (not one whose name ends with it).
        size_t line = m_text.compare(0, name.size() + 1, name + " ") == 0 ? 0 : m_text.find("\n" + name + " ");
        if (line == std::string::npos) return "";
        if (line) line++;
        size_t end = m_text.find('\n', line);
        size_t at = m_text.find(" " + key + "=", line);
        if (at == std::string::npos || at > end) return "";
        size_t stop = m_text.find_first_of(" \n", at + key.size() + 2);
        return m_text.substr(at + key.size() + 2, stop - at - key.size() - 2);
    }
    // Stops devsim; true when it ended as it should (status 0).
    bool Stop() {
        if (m_pid <= 0) return true;
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    const std::string& Text() const { return m_text; }

private:
    pid_t m_pid = -1;
    std::string m_text;
};

// A kind devsim lists: its name and its list line.
struct Listed {
    std::string name, line;
};

// The kinds devsim serves on a serial line, with the whole list in *out.
inline std::vector<Listed> SerialKinds(std::string* out) {
    std::vector<std::string> args = Program(DEVSIM_PATH);
    args.push_back("--list");
    std::string cmd;
    for (const std::string& a : args) cmd += "'" + a + "' ";
    FILE* p = popen(cmd.c_str(), "r");
    std::vector<Listed> kinds;
    if (!p) return kinds;
    char buf[4096];
    while (fgets(buf, sizeof buf, p)) {
        std::string line(buf);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        *out += line + "\n";
        if (line.empty() || line.find("(only :tcp)") != std::string::npos) continue;
        kinds.push_back({line.substr(0, line.find(' ')), line});
    }
    pclose(p);
    return kinds;
}

// The value of KEY on a list line (" KEY=VALUE"), "" without it.
inline std::string ListField(const std::string& line, const std::string& key) {
    const size_t at = line.find(" " + key + "=");
    if (at == std::string::npos) return "";
    const size_t from = at + key.size() + 2;
    return line.substr(from, line.find(' ', from) - from);
}

// A site section of a device devsim serves, as its line announces it: the point's type, its
// channel and the parameters its simulated device matches.
inline std::string Section(const Devsim& sim, const std::string& name, const std::string& label, int sid) {
    std::string s = "[" + label + "]\nsid=" + std::to_string(sid) + "\ntype=" + sim.Field(name, "type") +
                    "\nchannel=" + sim.Field(name, "def") + "\nchtype=" + sim.Field(name, "chtype") + "\n";
    for (const char* key : {"variant", "ext1", "ext2", "wait"}) {
        const std::string v = sim.Field(name, key);
        if (!v.empty()) s += std::string(key) + "=" + v + "\n";
    }
    return s;
}

// A temporary folder with the board root of the example site's Modbus sensor, and smhost run
// with the folder's databases.
class SmHostFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qx-smhost-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        mkdir((dir + "/root").c_str(), 0755);
        mkdir((dir + "/root/NandFlash").c_str(), 0755);
        mkdir((dir + "/root/NandFlash/SM").c_str(), 0755);
        WriteFile(dir + "/root/NandFlash/SM/SM4608.def",
                  ReadFile(std::string(QX_EXAMPLES) + "/NandFlash/SM/SM4608.def"));
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + dir + "'";
        if (system(cmd.c_str()) != 0) ADD_FAILURE() << "could not remove " << dir;
    }

    struct Run {
        int rc = -1;
        std::string out, err;
    };
    // Runs smhost with the test's databases and board root; SIGTERM once its output holds
    // `stopAfter`.
    Run Host(std::vector<std::string> args, int timeoutS = 60, const std::string& stopAfter = "") {
        std::vector<std::string> all = Program(SMHOST_PATH);
        std::vector<std::string> opts = {"--lib", QXSM_PATH, "--ser", QXSER_PATH, "--db", Db(),
                                        "--history", Hist(), "--root", dir + "/root"};
        all.insert(all.end(), opts.begin(), opts.end());
        all.insert(all.end(), args.begin(), args.end());
        std::string outPath = dir + "/out.txt", errPath = dir + "/err.txt";
        unlink(outPath.c_str());  // an earlier run's output is never taken for this one's
        unlink(errPath.c_str());
        pid_t pid = Spawn(all, outPath, errPath);
        Run r;
        int status = 0;
        bool signalled = false;
        for (int waited = 0;; waited += 20) {
            pid_t w = waitpid(pid, &status, WNOHANG);
            if (w == pid) break;
            if (!stopAfter.empty() && !signalled && ReadFile(outPath).find(stopAfter) != std::string::npos) {
                kill(pid, SIGTERM);
                signalled = true;
            }
            if (waited > timeoutS * 1000) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << "smhost did not end in " << timeoutS << " s";
                break;
            }
            usleep(20000);
        }
        r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.out = ReadFile(outPath);
        r.err = ReadFile(errPath);
        return r;
    }
    // Polls: --interval 0 with the given arguments.
    Run Poll(std::vector<std::string> args, int timeoutS = 60, const std::string& stopAfter = "") {
        args.push_back("--interval");
        args.push_back("0");
        return Host(args, timeoutS, stopAfter);
    }
    // Serves devsim devices ("NAME" or "NAME+STATE"), one point each, labelled by its
    // argument with the SIDs 1, 2, ... in order, and polls them once into fresh databases.
    // `sim` has stopped on return; a devsim that did not start gives rc -1.
    Run PollServed(const std::vector<std::string>& args, Devsim& sim, int timeoutS = 60) {
        Run r;
        if (!sim.Start(args, dir + "/devsim.txt")) {
            r.out = sim.Text();
            return r;
        }
        std::string site;
        for (size_t i = 0; i < args.size(); i++)
            site += Section(sim, args[i].substr(0, args[i].find('+')), args[i], (int)i + 1);
        ForgetDatabases();
        r = Poll({"--site", Site(site), "--cycles", "1"}, timeoutS);
        EXPECT_TRUE(sim.Stop());
        return r;
    }
    std::string Site(const std::string& text) {
        std::string path = dir + "/site.ini";
        WriteFile(path, text);
        return path;
    }
    void ForgetDatabases() {
        unlink(Db().c_str());
        unlink(Hist().c_str());
    }
    std::string Db() const { return dir + "/main.db"; }
    std::string Hist() const { return dir + "/hist.db"; }

    std::string dir;
};

}  // namespace smhosttest
