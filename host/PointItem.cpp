#include "PointItem.h"

#include <stdio.h>
#include <string.h>

namespace qxhost {

PointItem::PointItem(int sid, int type) {
    memset(&m_item, 0, sizeof(m_item));
    m_item.SID = sid;
    m_item.Type = type;
}

PointItem& PointItem::Name(const char* name) {
    snprintf(m_item.ItemName, sizeof(m_item.ItemName), "%s", name ? name : "");
    return *this;
}
PointItem& PointItem::HostText(const char* text) {
    snprintf(m_item.HostText, sizeof(m_item.HostText), "%s", text ? text : "");
    return *this;
}
PointItem& PointItem::AddrText(const char* text) {
    snprintf(m_item.AddrText, sizeof(m_item.AddrText), "%s", text ? text : "");
    return *this;
}
PointItem& PointItem::Addr(int addr) { m_item.Addr = addr; return *this; }
PointItem& PointItem::Port(int port) { m_item.Port = port; return *this; }
PointItem& PointItem::Variant(int variant) { m_item.Variant = variant; return *this; }
PointItem& PointItem::DetailMode(int mode) { m_item.DetailMode = mode; return *this; }
PointItem& PointItem::ItemDetail(int detail) { m_item.ItemDetail = detail; return *this; }
PointItem& PointItem::Ext(int ext1, int ext2) {
    m_item.Ext1 = ext1;
    m_item.Ext2 = ext2;
    return *this;
}
PointItem& PointItem::Ser(ISerBase* channel) { m_item.Ser = channel; return *this; }

const char* TextOfVal(int value) { return (const char*)(uintptr_t)(uint32_t)value; }

}  // namespace qxhost
