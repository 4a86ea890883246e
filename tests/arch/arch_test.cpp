// Facts of the target the binary contracts rest on: the word of every named field of the
// point record, the slot order of the interfaces the host calls by position, and the sizes
// and signedness of the basic types. On the 32-bit ARM target these are the very layouts the
// host was built with; on a 64-bit build the 32-bit-only checks are skipped.
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "IDbBase.h"
#include "ISMBase.h"
#include "ISMManager.h"
#include "ISerBase.h"
#include "ISerManager.h"
#include "tagSMItem.h"

namespace {

constexpr bool k32Bit = sizeof(void*) == 4;

TEST(Arch, BasicTypes) {
    std::printf("sizeof(void*)=%zu sizeof(long)=%zu sizeof(int)=%zu sizeof(tagSMItem)=%zu\n",
                sizeof(void*), sizeof(long), sizeof(int), sizeof(tagSMItem));
    // Everything is built with -funsigned-char, as on the target.
    EXPECT_TRUE(std::is_unsigned<char>::value);
    EXPECT_EQ(CHAR_MIN, 0);
    volatile char c = static_cast<char>(0xE8);  // a GBK lead byte
    EXPECT_GT(c, 0x7F);
    EXPECT_EQ(sizeof(int), 4u);
    EXPECT_EQ(sizeof(long), sizeof(void*));
#if defined(__arm__)
    EXPECT_EQ(sizeof(void*), 4u);
    EXPECT_EQ(sizeof(long), 4u);
#endif
}

TEST(Arch, PointRecordWords) {
    if (!k32Bit) GTEST_SKIP() << "the word layout is the 32-bit target's; this build has "
                              << sizeof(void*) << "-byte pointers";
    struct Field { const char* name; size_t offset; size_t word; };
    const Field fields[] = {
        {"SID", offsetof(tagSMItem, SID), 0},
        {"Type", offsetof(tagSMItem, Type), 2},
        {"ItemName", offsetof(tagSMItem, ItemName), 3},
        {"HostText", offsetof(tagSMItem, HostText), 11},
        {"Variant", offsetof(tagSMItem, Variant), 20},
        {"DetailMode", offsetof(tagSMItem, DetailMode), 21},
        {"Ser", offsetof(tagSMItem, Ser), 23},
        {"Port", offsetof(tagSMItem, Port), 29},
        {"AddrText", offsetof(tagSMItem, AddrText), 30},
        {"Addr", offsetof(tagSMItem, Addr), 46},
        {"ItemDetail", offsetof(tagSMItem, ItemDetail), 50},
        {"Ext1", offsetof(tagSMItem, Ext1), 53},
        {"Ext2", offsetof(tagSMItem, Ext2), 54},
    };
    for (const Field& f : fields) EXPECT_EQ(f.offset, f.word * 4) << f.name;
    ASSERT_EQ(sizeof(tagSMItem), 64u * 4);

    // A record filled word by word, as the host writes it, reads back through the fields.
    uint32_t words[64] = {};
    for (uint32_t i = 0; i < 64; ++i) words[i] = 0x1000 + i;
    tagSMItem item;
    std::memcpy(&item, words, sizeof(item));
    EXPECT_EQ(item.SID, 0x1000);
    EXPECT_EQ(item.Variant, 0x1000 + 20);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(item.Ser), 0x1000u + 23);
    EXPECT_EQ(item.Port, 0x1000 + 29);
    EXPECT_EQ(item.Ext2, 0x1000 + 54);
}

// Calls slot `slot` of `object`'s table the way a host compiled elsewhere does: by position,
// with `this` first and zero arguments. Every slot of the recorders below only notes its own
// number, so any argument list is harmless.
using AnySlot = intptr_t (*)(void*, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t);
int g_called = -1;
void CallSlot(void* object, int slot) {
    void** table = *static_cast<void***>(object);
    reinterpret_cast<AnySlot>(table[slot])(object, 0, 0, 0, 0, 0, 0);
}

struct SMRecorder : ISMBase {
    int GetType() override { return g_called = 0; }
    const char* GetNote() override { g_called = 1; return nullptr; }
    int GetMask() override { return g_called = 2; }
    void SetManager(ISMManager*) override { g_called = 3; }
    void RegDb(IDbBase*, int) override { g_called = 4; }
    void SetDb(IDbBase*, int) override { g_called = 5; }
    int ChkDb(tagSMItem*) override { return g_called = 6; }
    int DataSize() override { return g_called = 7; }
    void* Data() override { g_called = 8; return nullptr; }
    int DataVal(int) override { return g_called = 9; }
    int DataGet(ISerBase*, int, int) override { return g_called = 10; }
    int DataUpd(int, int*, int*, int, IDbBase*) override { return g_called = 11; }
    int DoFunc(ISerBase*, int, int, void*, int) override { return g_called = 12; }
    int DoFunc(int, void*, int) override { return g_called = 13; }
    int DoItem(tagSMItem*, int) override { return g_called = 14; }
    int VarEval(char*) override { return g_called = 15; }
};

struct SerRecorder : ISerBase {
    void Lock() override { g_called = 0; }
    void Unlock() override { g_called = 1; }
    bool IsBusy() override { g_called = 2; return false; }
    int GetType() override { return g_called = 3; }
    const char* GetNote() override { g_called = 4; return nullptr; }
    int Open(const char*) override { return g_called = 5; }
    int Close() override { return g_called = 6; }
    int IsOpened() override { return g_called = 7; }
    int GetHandle() override { return g_called = 8; }
    int SetDef(const char*) override { return g_called = 9; }
    int SetPort(int) override { return g_called = 10; }
    int SetBaud(int) override { return g_called = 11; }
    int SetTimeout(int, int) override { return g_called = 12; }
    int Purge() override { return g_called = 13; }
    int Read(unsigned char*, int, int) override { return g_called = 14; }
    int Write(const unsigned char*, int) override { return g_called = 15; }
    int Write(const unsigned char*) override { return g_called = 16; }
    int InsertObserver(ISerObserver*) override { return g_called = 17; }
    int RemoveObserver(ISerObserver*) override { return g_called = 18; }
};

struct DbRecorder : IDbBase {
    int TableExists(const char*) override { return g_called = 6; }
    int Exec(const char*) override { return g_called = 7; }
    int QueryInt(const char*) override { return g_called = 8; }
    const char* QueryStr(const char*) override { g_called = 9; return nullptr; }
    int64_t LastInsertId() override { return g_called = 10; }
    void* Query(const char*, int) override { g_called = 16; return nullptr; }
    int Eof(void*) override { return g_called = 17; }
    int Next(void*) override { return g_called = 18; }
    void FreeResult(void*) override { g_called = 19; }
    int GetInt(void*, const char*) override { return g_called = 26; }
    const char* GetStr(void*, const char*) override { g_called = 30; return nullptr; }
};

struct ManagerRecorder : ISMManager {
    IDbBase* GetDb(int) override { g_called = 0; return nullptr; }
    void SetDb(IDbBase*, int) override { g_called = 1; }
    ISMBase* GetSM(int) override { g_called = 2; return nullptr; }
};

struct SerManagerRecorder : ISerManager {
    ISerBase* GetSer(const char*, int) override { g_called = 0; return nullptr; }
};

template <typename Recorder>
void ExpectSlots(const char* name, const std::initializer_list<int>& slots) {
    Recorder recorder;
    for (int slot : slots) {
        g_called = -1;
        CallSlot(&recorder, slot);
        EXPECT_EQ(g_called, slot) << name << " slot " << slot;
    }
}

TEST(Arch, InterfaceSlotOrder) {
    ExpectSlots<SMRecorder>("ISMBase", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
    ExpectSlots<SerRecorder>("ISerBase",
                             {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18});
    ExpectSlots<DbRecorder>("IDbBase", {6, 7, 8, 9, 10, 16, 17, 18, 19, 26, 30});
    ExpectSlots<ManagerRecorder>("ISMManager", {0, 1, 2});
    ExpectSlots<SerManagerRecorder>("ISerManager", {0});
}

}  // namespace
