#pragma once
// The simulator program run by a test: devsim started as a process (under the emulator of a
// cross build) with its device lines read, and shell commands with their output.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/ProgramRun.h"

namespace devsimrun {

using progrun::Program;
using progrun::ReadFile;

// Runs a command line through the shell; its standard output and error together, and its
// exit code.
struct Ran {
    std::string out;
    int rc = -1;
};
inline Ran Shell(const std::string& command) {
    Ran r;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = pclose(p);
    r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

inline std::string Quoted(const std::vector<std::string>& args) {
    std::string s;
    for (const std::string& a : args) s += (s.empty() ? "'" : " '") + a + "'";
    return s;
}

// devsim serving the devices named, stopped when it goes; each device line's fields by name.
class Devsim {
public:
    explicit Devsim(const std::vector<std::string>& devices) {
        char tmpl[] = "/tmp/qx-devsim-XXXXXX";
        int fd = mkstemp(tmpl);
        if (fd < 0) return;
        close(fd);
        m_log = tmpl;
        std::vector<std::string> args = Program(DEVSIM_PATH);
        args.insert(args.end(), devices.begin(), devices.end());
        m_pid = progrun::Spawn(args, m_log, m_log);
        m_text = progrun::WaitForText(m_log, "ready\n", 1000);
        std::istringstream lines(m_text);
        for (std::string line; std::getline(lines, line) && line != "ready";) {
            std::map<std::string, std::string> fields;
            std::istringstream words(line);
            for (std::string w; words >> w;) {
                size_t eq = w.find('=');
                if (eq != std::string::npos) fields[w.substr(0, eq)] = w.substr(eq + 1);
            }
            m_devices.push_back(fields);
        }
    }
    ~Devsim() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
        if (!m_log.empty()) unlink(m_log.c_str());
    }
    bool Ready() const { return m_text.find("ready\n") != std::string::npos; }
    const std::string& Text() const { return m_text; }
    // Field `key` of the i-th device line ("" when it has none).
    std::string Field(size_t i, const std::string& key) const {
        if (i >= m_devices.size()) return "";
        auto it = m_devices[i].find(key);
        return it == m_devices[i].end() ? "" : it->second;
    }

private:
    pid_t m_pid = -1;
    std::string m_log, m_text;
    std::vector<std::map<std::string, std::string>> m_devices;
};

}  // namespace devsimrun
