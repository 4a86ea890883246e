// The channel base: defaults, the lock, the observer list and the text write.
#include <atomic>
#include <thread>
#include <vector>

#include "SerBase.h"
#include "gtest/gtest.h"

namespace {

// Exposes the base's settings and records what reaches the byte write and UpdParams.
struct Probe : CSerBase {
    explicit Probe(const char* def = nullptr) : CSerBase(def) {}
    explicit Probe(int port) : CSerBase(port) {}
    int Write(const unsigned char* buffer, int length) override {
        writes.push_back(length);
        lastBuffer = buffer;
        return length;
    }
    using CSerBase::Write;
    void UpdParams(const char* def) override { updates.push_back(def ? def : "(null)"); }
    int perByte() const { return m_iTimeoutPerByte; }
    int fixed() const { return m_iTimeoutFixed; }
    std::vector<int> writes;
    const unsigned char* lastBuffer = nullptr;
    std::vector<std::string> updates;
};

struct Observer : ISerObserver {};

TEST(SerBase, BareBaseHasNeutralDefaults) {
    CSerBase base("ttyS5:9600,N,8,1");  // the base does not parse
    EXPECT_EQ(0x100001, base.GetType());
    EXPECT_STREQ("CSerBase", base.GetNote());
    EXPECT_EQ(0x100007, CSerBase(7).GetType());

    unsigned char buf[4] = {1, 2, 3, 4};
    EXPECT_EQ(0, base.Open("ttyS1:9600,N,8,1"));
    EXPECT_EQ(0, base.Open(nullptr));
    EXPECT_EQ(0, base.Close());
    EXPECT_EQ(0, base.IsOpened());
    EXPECT_EQ(-1, base.GetHandle());
    EXPECT_EQ(0, base.SetPort(0x200009));
    EXPECT_EQ(0x100001, base.GetType());
    EXPECT_EQ(0, base.SetBaud(19200));
    EXPECT_EQ(0, base.Purge());
    EXPECT_EQ(-1, base.Read(buf, 4, 0));
    EXPECT_EQ(-1, base.Write(buf, 4));
    EXPECT_EQ(-1, base.Write((const unsigned char*)"AT\r"));
    EXPECT_EQ(1, base.SetDef("anything at all"));
    EXPECT_EQ(1, base.SetDef(nullptr));
    EXPECT_STREQ("CSerBase", base.GetNote());
    EXPECT_FALSE(base.IsBusy());
}

TEST(SerBase, TimeoutsAreStored) {
    Probe p;
    EXPECT_EQ(6, p.perByte());
    EXPECT_EQ(100, p.fixed());
    EXPECT_EQ(1, p.SetTimeout(10, 1000));
    EXPECT_EQ(10, p.perByte());
    EXPECT_EQ(1000, p.fixed());
}

TEST(SerBase, SetDefHandsTheTextToUpdParams) {
    Probe p;
    EXPECT_EQ(1, p.SetDef("ttyS2:4800,E,7,1"));
    EXPECT_EQ(1, p.SetDef(nullptr));
    ASSERT_EQ(2u, p.updates.size());
    EXPECT_EQ("ttyS2:4800,E,7,1", p.updates[0]);
    EXPECT_EQ("(null)", p.updates[1]);
}

TEST(SerBase, TextWriteGoesThroughTheByteWriteWithoutTerminator) {
    struct Case {
        const char* text;
        int length;
    } cases[] = {{"", 0}, {"AT\r", 3}, {"Q1\r", 3}, {"a\0b", 1}};
    for (const Case& c : cases) {
        Probe p;
        const unsigned char* text = (const unsigned char*)c.text;
        EXPECT_EQ(c.length, p.Write(text)) << c.text;
        ASSERT_EQ(1u, p.writes.size()) << c.text;
        EXPECT_EQ(c.length, p.writes[0]);
        EXPECT_EQ(text, p.lastBuffer);
    }
    Probe p;
    EXPECT_EQ(-1, p.Write((const unsigned char*)nullptr));  // no text: nothing written
    EXPECT_TRUE(p.writes.empty());
}

TEST(SerBase, ObserverListKeepsEachOnceAndNoNulls) {
    Probe p;
    Observer a, b, c;
    struct Step {
        bool insert;
        ISerObserver* o;
        int result;
    } steps[] = {
        {true, &a, 0},   {true, &b, 1},   {true, &a, 0},  // a again: its index, not added
        {true, nullptr, -1}, {false, &c, -1}, {false, nullptr, -1},
        {false, &a, 0},  {true, &c, 1},   {true, &a, 2},  // b is now first
        {false, &b, 0},  {false, &b, -1}, {true, &b, 2},
    };
    for (size_t i = 0; i < sizeof(steps) / sizeof(steps[0]); ++i) {
        const Step& s = steps[i];
        int r = s.insert ? p.InsertObserver(s.o) : p.RemoveObserver(s.o);
        EXPECT_EQ(s.result, r) << "step " << i;
    }
}

TEST(SerBase, LockMarksBusyAndExcludesOtherHolders) {
    Probe p;
    p.Lock();
    EXPECT_TRUE(p.IsBusy());
    p.Unlock();
    EXPECT_FALSE(p.IsBusy());

    // Two threads add to a plain counter under the lock: no increment is lost, and the
    // holder always sees the channel busy.
    long counter = 0;
    std::atomic<int> notBusy{0};
    auto work = [&] {
        for (int i = 0; i < 50000; ++i) {
            p.Lock();
            if (!p.IsBusy()) ++notBusy;
            long v = counter;
            counter = v + 1;
            p.Unlock();
        }
    };
    std::thread t1(work), t2(work);
    t1.join();
    t2.join();
    EXPECT_EQ(100000, counter);
    EXPECT_EQ(0, notBusy.load());
    EXPECT_FALSE(p.IsBusy());
}

}  // namespace
