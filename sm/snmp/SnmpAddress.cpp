// IPv4 and UDP addresses, and the community target.
#include "snmp/snmp_pp.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>

namespace Snmp_pp {

namespace {

// Text made only of digits and dots is meant as a dotted address and is never looked up.
bool LooksNumeric(const char* text) {
    for (const char* p = text; *p; ++p)
        if ((*p < '0' || *p > '9') && *p != '.') return false;
    return true;
}

}  // namespace

IpAddress::IpAddress(const char* text) {
    if (!text || !*text) return;
    struct in_addr a;
    if (inet_pton(AF_INET, text, &a) == 1) {
        memcpy(m_addr, &a, 4);
        m_valid = true;
        return;
    }
    if (LooksNumeric(text)) return;
    struct addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    struct addrinfo* res = nullptr;
    if (getaddrinfo(text, nullptr, &hints, &res) == 0 && res) {
        const struct sockaddr_in* sin = reinterpret_cast<const struct sockaddr_in*>(res->ai_addr);
        memcpy(m_addr, &sin->sin_addr, 4);
        m_valid = true;
    }
    if (res) freeaddrinfo(res);
}

IpAddress::IpAddress(const unsigned char bytes[4]) {
    memcpy(m_addr, bytes, 4);
    m_valid = true;
}

const char* IpAddress::get_printable() const {
    char buf[16] = "";
    if (m_valid) snprintf(buf, sizeof buf, "%u.%u.%u.%u", m_addr[0], m_addr[1], m_addr[2], m_addr[3]);
    m_text = buf;
    return m_text.c_str();
}

const char* UdpAddress::get_printable() const {
    char buf[24] = "";
    if (m_valid)
        snprintf(buf, sizeof buf, "%u.%u.%u.%u/%u", m_addr[0], m_addr[1], m_addr[2], m_addr[3],
                 static_cast<unsigned>(m_port));
    m_text = buf;
    return m_text.c_str();
}

void SnmpTarget::set_address(const Address& address) {
    if (const UdpAddress* udp = dynamic_cast<const UdpAddress*>(&address)) {
        m_address = *udp;
    } else if (const IpAddress* ip = dynamic_cast<const IpAddress*>(&address)) {
        m_address = UdpAddress(*ip);
        m_address.set_port(161);
    } else {
        m_address = UdpAddress();
    }
}

CTarget::CTarget(const Address& address, const char* read_community, const char* write_community)
    : m_read(read_community), m_write(write_community) {
    set_address(address);
}

}  // namespace Snmp_pp
