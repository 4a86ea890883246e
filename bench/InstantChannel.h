#pragma once
// A channel that answers at once: each write is handed to a device model and its reply is
// what the following reads return. Nothing is recorded, so a benchmark may run it for
// millions of exchanges.
#include <string.h>

#include <functional>
#include <vector>

#include "ISerBase.h"

class InstantChannel : public ISerBase {
public:
    using Bytes = std::vector<unsigned char>;
    using Device = std::function<void(const unsigned char* request, int length, Bytes& reply)>;

    explicit InstantChannel(Device device, int type = 0x100001) : m_device(std::move(device)), m_type(type) {}

    void Lock() override {}
    void Unlock() override {}
    bool IsBusy() override { return false; }
    int GetType() override { return m_type; }
    const char* GetNote() override { return "instant"; }
    int Open(const char*) override { return 1; }
    int Close() override { return 1; }
    int IsOpened() override { return 1; }
    int GetHandle() override { return 3; }
    int SetDef(const char*) override { return 1; }
    int SetPort(int) override { return 1; }
    int SetBaud(int) override { return 1; }
    int SetTimeout(int, int) override { return 1; }
    int Purge() override {
        m_reply.clear();
        m_at = 0;
        return 1;
    }
    int Read(unsigned char* buffer, int length, int) override {
        if (!buffer || length <= 0) return -1;
        int n = (int)(m_reply.size() - m_at);
        if (n > length) n = length;
        if (n > 0) memcpy(buffer, m_reply.data() + m_at, (size_t)n);
        m_at += (size_t)n;
        return n;
    }
    int Write(const unsigned char* buffer, int length) override {
        if (!buffer || length < 0) return -1;
        m_reply.clear();
        m_at = 0;
        m_device(buffer, length, m_reply);
        return length;
    }
    int Write(const unsigned char* text) override {
        return Write(text, text ? (int)strlen(reinterpret_cast<const char*>(text)) : -1);
    }
    int InsertObserver(ISerObserver*) override { return 1; }
    int RemoveObserver(ISerObserver*) override { return 1; }

private:
    Device m_device;
    int m_type;
    Bytes m_reply;
    size_t m_at = 0;
};
