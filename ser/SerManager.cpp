#include "SerManager.h"

#include "QxSer.h"
#include "SerBase.h"
#include "SerCom.h"
#include "SerDio.h"
#include "SerNet.h"

CSerManager* CSerManager::m_pInstance = nullptr;

CSerManager::CSerManager() {}

// Channels are destroyed newest first; their devices and sockets are not closed.
CSerManager::~CSerManager() {
    for (size_t i = m_channels.size(); i-- > 0;) {
        delete m_channels[i];
        m_channels[i] = nullptr;
    }
    m_channels.clear();
    SER_TRACE("SerManager delete: %p\r\n", (void*)this);
}

CSerManager* CSerManager::GetInstance() {
    if (!m_pInstance) {
        m_pInstance = new CSerManager();
        SER_TRACE("SerManager new: %p\r\n", (void*)m_pInstance);
    }
    return m_pInstance;
}

void CSerManager::FreeInstance() {
    if (!m_pInstance) return;
    CSerManager* manager = m_pInstance;
    delete manager;
    SER_TRACE("SerManager free: %p\r\n", (void*)manager);
    m_pInstance = nullptr;
}

ISerBase* CSerManager::At(int index) const {
    if (index < 0 || index >= (int)m_channels.size()) return nullptr;
    return m_channels[index];
}

int CSerManager::FindType(int type) {
    for (size_t i = 0; i < m_channels.size(); ++i)
        if (m_channels[i] && m_channels[i]->GetType() == type) return (int)i;
    return -1;
}

int CSerManager::RegisterNew(CSerBase* channel) {
    if (!channel) return -1;
    int index = FindType(channel->GetType());
    if (index >= 0) {
        if (m_channels[index] != channel) delete channel;
        return index;
    }
    m_channels.push_back(channel);
    return (int)m_channels.size() - 1;
}

ISerBase* CSerManager::GetSer(const char* definition, int type) {
    int index = FindType(type);
    if (index >= 0) return m_channels[index];

    int kind = type & SER_KIND_MASK;
    int port = type & SER_PORT_MASK;
    bool hasDef = definition && definition[0];

    switch (kind) {
    case SER_KIND_USB:
        return nullptr;
    case SER_KIND_DIO:
        // One GPIO channel, always 0x800001: a second object is destroyed at registration.
        index = RegisterNew(new CSerDio(definition));
        break;
    case SER_KIND_NET:
        if (hasDef) {
            CSerNet* channel = new CSerNet(definition);
#if !QX_SER_REDUCED
            // The channel takes the requested code as its identity and keeps the
            // definition's port as the device's; re-keyed before it is registered, so it
            // can never be mistaken for a channel that reports the definition's port.
            if (type != 0) channel->SetPort(type);
#endif
            index = RegisterNew(channel);
        } else {
            index = RegisterNew(new CSerNet(port));
        }
        break;
    default: {
        // Never hand out a channel for some other device when the definition cannot be held.
        if (!CSerCom::DefFits(definition)) return nullptr;
        index = FindType(CSerCom::GetDefType(definition));
        if (index >= 0) return m_channels[index];
        index = RegisterNew(hasDef ? new CSerCom(definition) : new CSerCom(port));
        break;
    }
    }
    return index < 0 ? nullptr : m_channels[index];
}
