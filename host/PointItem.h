#pragma once
// Building the host's record of one configured point.
#include <stdint.h>

#include "tagSMItem.h"

namespace qxhost {

class PointItem {
public:
    PointItem(int sid, int type);

    PointItem& Name(const char* name);       // bounded to the field, always terminated
    PointItem& HostText(const char* text);
    PointItem& AddrText(const char* text);
    PointItem& Addr(int addr);
    PointItem& Port(int port);
    PointItem& Variant(int variant);
    PointItem& DetailMode(int mode);
    PointItem& ItemDetail(int detail);
    PointItem& Ext(int ext1, int ext2);
    PointItem& Ser(ISerBase* channel);

    const tagSMItem& Get() const { return m_item; }
    tagSMItem* Ptr() { return &m_item; }
    operator tagSMItem*() { return &m_item; }

private:
    tagSMItem m_item;
};

// The text a DataVal result stands for: the handler hands a text out as its address in an int.
const char* TextOfVal(int value);

}  // namespace qxhost
