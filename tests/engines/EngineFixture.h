#pragma once
// A temporary board root (QX_ROOT) holding the engines' definition files, for the engine
// tests: every test writes the files it needs and gets a fresh root.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "QxPlatform.h"
#include "gtest/gtest.h"

class BoardRoot {
public:
    BoardRoot() {
        char tmpl[] = "/tmp/qx-engines-XXXXXX";
        const char* dir = mkdtemp(tmpl);
        EXPECT_NE(dir, nullptr);
        m_root = dir ? dir : "/tmp";
        mkdir((m_root + "/NandFlash").c_str(), 0755);
        mkdir((m_root + "/NandFlash/SM").c_str(), 0755);
        const char* old = getenv("QX_ROOT");
        m_hadOld = old != nullptr;
        if (old) m_old = old;
        setenv("QX_ROOT", m_root.c_str(), 1);
    }
    ~BoardRoot() {
        if (m_hadOld)
            setenv("QX_ROOT", m_old.c_str(), 1);
        else
            unsetenv("QX_ROOT");
        RemoveTree(m_root);
    }
    const std::string& Path() const { return m_root; }
    std::string DefPath(int type) const {
        char name[32];
        snprintf(name, sizeof name, "/NandFlash/SM/SM%04d.def", type);
        return m_root + name;
    }
    // Writes the definition file of a type.
    void WriteDef(int type, const std::string& text) const {
        FILE* f = fopen(DefPath(type).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fwrite(text.data(), 1, text.size(), f);
        fclose(f);
    }

private:
    static void RemoveTree(const std::string& dir) {
        // The root holds NandFlash/SM/<files> and at most a directory in their place.
        std::string sm = dir + "/NandFlash/SM";
        for (int type = 0x1000; type < 0x1800; type++) {
            char name[32];
            snprintf(name, sizeof name, "/SM%04d.def", type);
            std::string p = sm + name;
            if (unlink(p.c_str()) != 0) rmdir(p.c_str());
        }
        rmdir(sm.c_str());
        rmdir((dir + "/NandFlash").c_str());
        rmdir(dir.c_str());
    }
    std::string m_root, m_old;
    bool m_hadOld = false;
};

// Waits become instant for the test's lifetime.
struct NoSleep {
    NoSleep() { qx::SetSleepHook([](int) {}); }
    ~NoSleep() { qx::SetSleepHook(nullptr); }
};
