// Variable bindings and PDUs.
#include "snmp/snmp_pp.h"

namespace Snmp_pp {

Vb::Vb(const Vb& o) : m_oid(o.m_oid), m_value(o.m_value ? o.m_value->clone() : nullptr) {}

Vb& Vb::operator=(const Vb& o) {
    if (this != &o) {
        m_oid = o.m_oid;
        m_value.reset(o.m_value ? o.m_value->clone() : nullptr);
    }
    return *this;
}

SmiUINT32 Vb::get_syntax() const { return m_value ? m_value->get_syntax() : sNMP_SYNTAX_NULL; }

const char* Vb::get_printable_value() const { return m_value ? m_value->get_printable() : ""; }

int Vb::get_value(int& i) const {
    const SnmpInt32* v = dynamic_cast<const SnmpInt32*>(m_value.get());
    if (!v) return SNMP_CLASS_INVALID;
    i = static_cast<int>(static_cast<long>(*v));
    return SNMP_CLASS_SUCCESS;
}

int Vb::get_value(OctetStr& s) const {
    const OctetStr* v = dynamic_cast<const OctetStr*>(m_value.get());
    if (!v || v->get_syntax() != sNMP_SYNTAX_OCTETS) return SNMP_CLASS_INVALID;
    s = *v;
    return SNMP_CLASS_SUCCESS;
}

Pdu& Pdu::operator+=(const Vb& vb) {
    m_vbs.push_back(vb);
    return *this;
}

Vb& Pdu::operator[](int index) {
    if (index < 0 || index >= get_vb_count()) {
        m_scratch = Vb();
        return m_scratch;
    }
    return m_vbs[index];
}

int Pdu::get_vb(Vb& vb, int index) const {
    if (index < 0 || index >= get_vb_count()) return false;
    vb = m_vbs[index];
    return true;
}

int Pdu::set_vb(const Vb& vb, int index) {
    if (index < 0 || index >= get_vb_count()) return false;
    m_vbs[index] = vb;
    return true;
}

int Pdu::set_vblist(const Vb* vbs, int count) {
    std::vector<Vb> list;
    if (vbs && count > 0) list.assign(vbs, vbs + count);
    m_vbs.swap(list);
    return true;
}

void Pdu::clear() {
    m_vbs.clear();
    m_errorStatus = 0;
    m_errorIndex = 0;
    m_requestId = 0;
    m_type = sNMP_PDU_GET;
}

}  // namespace Snmp_pp
