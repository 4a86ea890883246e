#pragma once
#include <stddef.h>
#include <stdint.h>

class ISerBase;

// The host's record of one configured point. The handlers read it by 32-bit word; the
// placeholders keep every named field at its word on the 32-bit target.
struct tagSMItem {
    int32_t SID;            // word 0
    int32_t w1;
    int32_t Type;           // word 2
    char ItemName[32];      // words 3..10
    char HostText[36];      // words 11..19
    int32_t Variant;        // word 20
    int32_t DetailMode;     // word 21
    int32_t w22;
    ISerBase* Ser;          // word 23 (4-byte pointer on the target)
    int32_t w24, w25, w26, w27, w28;
    int32_t Port;           // word 29
    char AddrText[64];      // words 30..45
    int32_t Addr;           // word 46
    int32_t w47, w48, w49;
    int32_t ItemDetail;     // word 50
    int32_t w51, w52;
    int32_t Ext1;           // word 53
    int32_t Ext2;           // word 54
    int32_t w55[9];         // words 55..63, host-owned
};

#if UINTPTR_MAX == 0xFFFFFFFFu
#define QX_WORD(f, w) static_assert(offsetof(tagSMItem, f) == (w) * 4, #f " must sit at word " #w)
QX_WORD(SID, 0);
QX_WORD(Type, 2);
QX_WORD(ItemName, 3);
QX_WORD(HostText, 11);
QX_WORD(Variant, 20);
QX_WORD(DetailMode, 21);
QX_WORD(Ser, 23);
QX_WORD(Port, 29);
QX_WORD(AddrText, 30);
QX_WORD(Addr, 46);
QX_WORD(ItemDetail, 50);
QX_WORD(Ext1, 53);
QX_WORD(Ext2, 54);
static_assert(sizeof(tagSMItem) == 64 * 4, "tagSMItem is 64 words on the target");
#undef QX_WORD
#endif
