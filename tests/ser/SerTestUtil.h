#pragma once
// Small helpers of the channel tests: a temporary folder, the process's open descriptors,
// and the serial definition that reaches a simulator's pseudo-terminal.
#include <dirent.h>
#include <ftw.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "PtySim.h"

namespace sertest {

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/qxser-test-XXXXXX";
        const char* p = mkdtemp(tmpl);
        m_path = p ? p : "";
    }
    ~TempDir() {
        if (!m_path.empty())
            nftw(m_path.c_str(), [](const char* f, const struct stat*, int, struct FTW*) { return remove(f); },
                 16, FTW_DEPTH | FTW_PHYS);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// Restores the working folder when it goes.
class ScopedCwd {
public:
    ScopedCwd() {
        char buf[PATH_MAX];
        if (getcwd(buf, sizeof(buf))) m_old = buf;
    }
    ~ScopedCwd() {
        if (!m_old.empty() && chdir(m_old.c_str()) != 0) perror("chdir");
    }
    bool Enter(const std::string& dir) { return chdir(dir.c_str()) == 0; }

private:
    std::string m_old;
};

inline int OpenFdCount() {
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    if (!d) return -1;
    while (struct dirent* e = readdir(d))
        if (e->d_name[0] != '.') ++n;
    closedir(d);
    return n - 1;  // the listing's own descriptor
}

inline double SecondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The definition that opens the simulator's terminal. The reduced build reads the whole
// number as the port, and a port above 9 names the path \\.\pts/N, relative to the working
// folder: there a link of that name to the terminal is made in `dir`, which becomes the
// working folder (`cwd` restores it).
inline std::string PtyDefinition(const qxsim::PtySim& sim, const TempDir& dir, ScopedCwd& cwd,
                                 const std::string& line = "9600,N,8,1") {
#if QX_SER_REDUCED
    if (sim.Number() > 9) {
        std::string base = dir.Path() + "/\\\\.\\pts";
        mkdir(base.c_str(), 0700);
        std::string link = base + "/" + std::to_string(sim.Number());
        if (symlink(sim.Path().c_str(), link.c_str()) != 0 && errno != EEXIST) return "";
        if (!cwd.Enter(dir.Path())) return "";
    }
#else
    (void)dir;
    (void)cwd;
#endif
    return sim.Definition(line);
}

}  // namespace sertest
