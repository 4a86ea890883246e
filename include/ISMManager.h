#pragma once
class IDbBase;
class ISMBase;

// Driver manager interface: three slots. No virtual destructor; the host calls FreeSMManager.
class ISMManager {
public:
    virtual IDbBase* GetDb(int index) = 0;                                         // 0
    virtual void SetDb(IDbBase* db, int index) = 0;                                // 1
    virtual ISMBase* GetSM(int code) = 0;                                          // 2
};
