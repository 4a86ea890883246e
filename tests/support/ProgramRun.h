#pragma once
// Built programs run by the end-to-end tests as processes (under the emulator of a cross
// build), their output in files, and those files read back.
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace progrun {

inline std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// A built program's command line: under a cross build the emulator goes first (QX_EMULATOR,
// its words separated by '|').
inline std::vector<std::string> Program(const std::string& path) {
    std::vector<std::string> argv;
    std::string emu = QX_EMULATOR;
    for (size_t at = 0; !emu.empty() && at <= emu.size();) {
        size_t bar = emu.find('|', at);
        if (bar == std::string::npos) bar = emu.size();
        argv.push_back(emu.substr(at, bar - at));
        at = bar + 1;
    }
    argv.push_back(path);
    return argv;
}

// Starts a program with its output in files (both in one when the paths are the same). The
// argument vector is built before the fork: the child of a process with running threads
// calls nothing that may take a lock.
inline pid_t Spawn(const std::vector<std::string>& args, const std::string& outPath,
                   const std::string& errPath) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int o = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = errPath == outPath ? o : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(o, 1);
        dup2(e, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// The text of a file a started program writes, once it holds `text`: looked at every 10 ms,
// at most `tries` times (then what it holds by then).
inline std::string WaitForText(const std::string& path, const std::string& text, int tries) {
    std::string now;
    for (int i = 0; i < tries && now.find(text) == std::string::npos; i++) {
        usleep(10000);
        now = ReadFile(path);
    }
    return now;
}

}  // namespace progrun
