#include "SerBase.h"

#include <stdint.h>
#include <string.h>

#include <algorithm>

CSerBase::CSerBase(const char* /*definition*/) { InitBase(); }

CSerBase::CSerBase(int port) {
    InitBase();
    m_iPort = port;
}

void CSerBase::InitBase() {
    m_bBusy = false;
    m_iCategory = SER_KIND_COM;
    m_iPort = 1;
    m_iTimeoutPerByte = 6;
    m_iTimeoutFixed = 100;
    pthread_spin_init(&m_lock, PTHREAD_PROCESS_PRIVATE);
    m_strNote = "CSerBase";
}

CSerBase::~CSerBase() { pthread_spin_destroy(&m_lock); }

// The lock is not re-entrant: the holder must not call Lock on the same channel again.
void CSerBase::Lock() {
    pthread_spin_lock(&m_lock);
    __atomic_store_n(&m_bBusy, true, __ATOMIC_RELAXED);
}

// The mark is cleared while the lock is still held, so that it never reads false while
// another caller holds the lock it has just taken.
void CSerBase::Unlock() {
    __atomic_store_n(&m_bBusy, false, __ATOMIC_RELAXED);
    pthread_spin_unlock(&m_lock);
}

// A hint only: read without the lock.
bool CSerBase::IsBusy() { return __atomic_load_n(&m_bBusy, __ATOMIC_RELAXED); }

// The category plus the port, summed as the 32-bit word the code is: a definition may give
// any port in the int range, and the sum must not overflow.
int CSerBase::GetType() { return (int)((uint32_t)m_iCategory + (uint32_t)m_iPort); }

const char* CSerBase::GetNote() { return m_strNote.c_str(); }

int CSerBase::Open(const char*) { return 0; }
int CSerBase::Close() { return 0; }
int CSerBase::IsOpened() { return 0; }
int CSerBase::GetHandle() { return -1; }

int CSerBase::SetDef(const char* definition) {
    UpdParams(definition);
    return 1;
}

int CSerBase::SetPort(int) { return 0; }
int CSerBase::SetBaud(int) { return 0; }

int CSerBase::SetTimeout(int perByte, int fixed) {
    m_iTimeoutPerByte = perByte;
    m_iTimeoutFixed = fixed;
    return 1;
}

int CSerBase::Purge() { return 0; }
int CSerBase::Read(unsigned char*, int, int) { return -1; }
int CSerBase::Write(const unsigned char*, int) { return -1; }

int CSerBase::Write(const unsigned char* text) {
    if (!text) return -1;
    return Write(text, (int)strlen((const char*)text));
}

int CSerBase::InsertObserver(ISerObserver* observer) {
    if (!observer) return -1;
    auto it = std::find(m_observers.begin(), m_observers.end(), observer);
    if (it != m_observers.end()) return (int)(it - m_observers.begin());
    m_observers.push_back(observer);
    return (int)m_observers.size() - 1;
}

int CSerBase::RemoveObserver(ISerObserver* observer) {
    auto it = std::find(m_observers.begin(), m_observers.end(), observer);
    if (it == m_observers.end()) return -1;
    int index = (int)(it - m_observers.begin());
    m_observers.erase(it);
    return index;
}

void CSerBase::UpdParams(const char*) {}
