#include "SMManager.h"

#include <stdio.h>

#include <new>

#include "SMBase.h"

CSMManager* CSMManager::m_pInstance = nullptr;

namespace {
// Every handler derives from CSMBase, whose virtual destructor follows the interface slots.
void DeleteHandler(ISMBase* h) { delete static_cast<CSMBase*>(h); }
}  // namespace

CSMManager::CSMManager() : m_pDb(nullptr) {}

CSMManager::~CSMManager() {
    for (size_t i = m_list.size(); i-- > 0;) {
        if (m_list[i]) DeleteHandler(m_list[i]);
        m_list[i] = nullptr;
    }
    m_list.clear();
}

CSMManager* CSMManager::GetInstance() {
    if (!m_pInstance) m_pInstance = new (std::nothrow) CSMManager();
    return m_pInstance;
}

void CSMManager::FreeInstance() {
    if (!m_pInstance) return;
    CSMManager* m = m_pInstance;
    m_pInstance = nullptr;
    delete m;
}

IDbBase* CSMManager::GetDb(int index) { return m_pDb; }

void CSMManager::SetDb(IDbBase* db, int index) { m_pDb = db; }

int CSMManager::RegisterNew(ISMBase* handler) {
    if (!handler) return -1;
    int type = handler->GetType();
    for (size_t i = 0; i < m_list.size(); i++) {
        if (m_list[i] && m_list[i]->GetType() == type) {
            DeleteHandler(handler);
            return (int)i;
        }
    }
    try {
        m_list.push_back(handler);
    } catch (...) {
        DeleteHandler(handler);
        return -1;
    }
    handler->SetManager(this);
    return (int)m_list.size() - 1;
}

ISMBase* CSMManager::GetSM(int code) {
    for (size_t i = 0; i < m_list.size(); i++)
        if (m_list[i] && m_list[i]->GetType() == code) return m_list[i];

    if ((code & 0xFF00) == 0x0F00) {
        printf("CSMManager::GetSM SMKIND_F %d\r\n", code);
        fflush(stdout);
    }
    ISMBase* created = nullptr;
    try {
        created = m_pFactory(code);
    } catch (...) {
        created = nullptr;  // no exception leaves the library
    }
    int index = RegisterNew(created);
    if (index < 0) {
        printf("CSMManager::GetSM NULL: type=%d\r\n", code);
        fflush(stdout);
        return nullptr;
    }
    return m_list[index];
}

// ---------------------------------------------------------------- exports

QX_EXPORT_C int DllType() { return 0; }
QX_EXPORT_C const char* DllNote() { return "libqxsm.so for Supervison Module"; }
QX_EXPORT_C int DllVersion() { return 1; }
QX_EXPORT_C ISMManager* GetSMManager(long) { return CSMManager::GetInstance(); }
QX_EXPORT_C void FreeSMManager() { CSMManager::FreeInstance(); }
