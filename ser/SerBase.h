#pragma once
#include <pthread.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "ISerBase.h"
#include "ISerObserver.h"
#include "QxExport.h"

// Channel type code: bits 20..23 the kind, bits 16..19 the serial sub-kind, bits 0..15 the
// port number.
enum : int32_t {
    SER_KIND_MASK = 0xF00000,
    SER_KIND_COM = 0x100000,
    SER_KIND_NET = 0x200000,
    SER_KIND_USB = 0x400000,
    SER_KIND_DIO = 0x800000,
    SER_COM_ESL = 0x110000,  // ESL... and ttySBC... ports
    SER_COM_USB = 0x120000,  // ttyUSB... ports
    SER_PORT_MASK = 0xFFFF,
};

// Base of every channel: the channel type code, the two time-outs, the lock with its busy
// mark, the description text and the observer list, with neutral defaults for every
// operation that a channel kind does not serve.
class QX_EXPORT CSerBase : public ISerBase {
public:
    explicit CSerBase(const char* definition);
    explicit CSerBase(int port);

    // ISerBase, slots 0..18
    void Lock() override;
    void Unlock() override;
    bool IsBusy() override;
    int GetType() override;
    const char* GetNote() override;
    int Open(const char* definition) override;
    int Close() override;
    int IsOpened() override;
    int GetHandle() override;
    int SetDef(const char* definition) override;
    int SetPort(int port) override;
    int SetBaud(int baud) override;
    int SetTimeout(int perByte, int fixed) override;
    int Purge() override;
    int Read(unsigned char* buffer, int length, int timeout) override;
    int Write(const unsigned char* buffer, int length) override;
    int Write(const unsigned char* text) override;
    int InsertObserver(ISerObserver* observer) override;
    int RemoveObserver(ISerObserver* observer) override;

    // Slots added after the interface, in this order. Destroying a channel does not close
    // its device or socket.
    virtual ~CSerBase();
    virtual void UpdParams(const char* definition);

    CSerBase(const CSerBase&) = delete;
    CSerBase& operator=(const CSerBase&) = delete;

protected:
    bool m_bBusy;
    int32_t m_iCategory;
    int32_t m_iPort;
    int32_t m_iTimeoutPerByte;
    int32_t m_iTimeoutFixed;
    pthread_spinlock_t m_lock;
    std::string m_strNote;
    std::vector<ISerObserver*> m_observers;

private:
    void InitBase();
};
