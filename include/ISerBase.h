#pragma once
class ISerObserver;

// Channel interface. The slot order is the binary contract with the host and libqxsm:
// do not reorder, add or remove virtual functions. No virtual destructor here.
class ISerBase {
public:
    virtual void Lock() = 0;                                              // 0
    virtual void Unlock() = 0;                                            // 1
    virtual bool IsBusy() = 0;                                            // 2
    virtual int GetType() = 0;                                            // 3
    virtual const char* GetNote() = 0;                                    // 4
    virtual int Open(const char* definition) = 0;                         // 5
    virtual int Close() = 0;                                              // 6
    virtual int IsOpened() = 0;                                           // 7
    virtual int GetHandle() = 0;                                          // 8
    virtual int SetDef(const char* definition) = 0;                       // 9
    virtual int SetPort(int port) = 0;                                    // 10
    virtual int SetBaud(int baud) = 0;                                    // 11
    virtual int SetTimeout(int perByte, int fixed) = 0;                   // 12
    virtual int Purge() = 0;                                              // 13
    virtual int Read(unsigned char* buffer, int length, int timeout) = 0; // 14
    virtual int Write(const unsigned char* buffer, int length) = 0;       // 15
    virtual int Write(const unsigned char* text) = 0;                     // 16
    virtual int InsertObserver(ISerObserver* observer) = 0;               // 17
    virtual int RemoveObserver(ISerObserver* observer) = 0;               // 18
};
