// Building point records: texts bounded to their fields.
#include "PointItem.h"

#include <string.h>

#include <string>

#include "gtest/gtest.h"

namespace {

TEST(PointItem, FieldsAndBoundedTexts) {
    qxhost::PointItem p(12, 0x301);
    p.Name("UPS 'A'").HostText("10.0.0.1:161").AddrText("pts/3:9600,N,8,1").Addr(5).Port(2)
        .Variant(3).DetailMode(2).ItemDetail(1).Ext(7, 8);
    const tagSMItem& it = p.Get();
    EXPECT_EQ(12, it.SID);
    EXPECT_EQ(0x301, it.Type);
    EXPECT_STREQ("UPS 'A'", it.ItemName);
    EXPECT_STREQ("10.0.0.1:161", it.HostText);
    EXPECT_STREQ("pts/3:9600,N,8,1", it.AddrText);
    EXPECT_EQ(5, it.Addr);
    EXPECT_EQ(2, it.Port);
    EXPECT_EQ(3, it.Variant);
    EXPECT_EQ(2, it.DetailMode);
    EXPECT_EQ(1, it.ItemDetail);
    EXPECT_EQ(7, it.Ext1);
    EXPECT_EQ(8, it.Ext2);
    EXPECT_EQ(nullptr, it.Ser);

    std::string longText(200, 'n');
    p.Name(longText.c_str()).HostText(longText.c_str()).AddrText(longText.c_str());
    EXPECT_EQ(sizeof(it.ItemName) - 1, strlen(it.ItemName));
    EXPECT_EQ(sizeof(it.HostText) - 1, strlen(it.HostText));
    EXPECT_EQ(sizeof(it.AddrText) - 1, strlen(it.AddrText));
    EXPECT_EQ(3, it.Variant);  // neighbours untouched
    EXPECT_EQ(5, it.Addr);
    p.Name(nullptr);
    EXPECT_STREQ("", it.ItemName);
}

TEST(PointItem, TextOfValIsTheAddress) {
    // The int holds the low 32 bits of the address: on the target an address above 2 GiB
    // arrives as a negative int and must not be sign-extended.
    struct Case {
        int value;
        uintptr_t address;
    } cases[] = {
        {0x12345678, 0x12345678u},
        {0x7FFFFFF0, 0x7FFFFFF0u},
        {(int)0x90000000u, 0x90000000u},
    };
    for (const Case& c : cases)
        EXPECT_EQ((const char*)c.address, qxhost::TextOfVal(c.value)) << c.value;
}

}  // namespace
