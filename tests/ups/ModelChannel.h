#pragma once
// An in-memory channel wired to a simulated Q1-family UPS: what a handler writes goes to the
// device model, whose replies wait to be read. Knobs for the channel faults a handler must
// survive: closed, short writes, a given channel type.
#include <string>
#include <vector>

#include "ISerBase.h"
#include "Q1Ups.h"

class ModelChannel : public ISerBase {
public:
    explicit ModelChannel(qxsim::Q1Ups& device) : m_dev(device) {}

    bool opened = true;
    int writeResult = -1;      // >= 0: every Write reports this and delivers nothing
    int type = 0x100001;       // serial, port 1
    int purges = 0;
    std::vector<std::string> writes;  // every text written, as written

    std::string AllWritten() const {
        std::string s;
        for (auto& w : writes) s += w;
        return s;
    }

    void Lock() override {}
    void Unlock() override {}
    bool IsBusy() override { return false; }
    int GetType() override { return type; }
    const char* GetNote() override { return "model"; }
    int Open(const char*) override { return opened = true; }
    int Close() override { opened = false; return 1; }
    int IsOpened() override { return opened ? 1 : 0; }
    int GetHandle() override { return -1; }
    int SetDef(const char*) override { return 1; }
    int SetPort(int) override { return 1; }
    int SetBaud(int) override { return 1; }
    int SetTimeout(int, int) override { return 1; }
    int Purge() override {
        purges++;
        m_rx.clear();
        return 1;
    }
    int Read(unsigned char* buffer, int length, int) override {
        if (!opened) return -1;
        int n = (int)m_rx.size() < length ? (int)m_rx.size() : length;
        m_rx.copy((char*)buffer, n);
        m_rx.erase(0, n);
        return n;
    }
    int Write(const unsigned char* buffer, int length) override {
        if (!opened) return -1;
        std::string s((const char*)buffer, length);
        writes.push_back(s);
        if (writeResult >= 0) return writeResult;
        m_rx += m_dev.Feed(s);
        return length;
    }
    int Write(const unsigned char* text) override {
        return Write(text, (int)std::string((const char*)text).size());
    }
    int InsertObserver(ISerObserver*) override { return 1; }
    int RemoveObserver(ISerObserver*) override { return 1; }

private:
    qxsim::Q1Ups& m_dev;
    std::string m_rx;
};
