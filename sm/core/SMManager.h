#pragma once
#include <vector>

#include "ISMManager.h"
#include "QxExport.h"

class ISMBase;
class IDbBase;

// The driver manager: the factory of every handler by device type code and their owner. One
// handler per reported type; handlers live until the manager is freed, newest destroyed first.
class CSMManager final : public ISMManager {
public:
    static CSMManager* GetInstance();
    static void FreeInstance();

    IDbBase* GetDb(int index) override;
    void SetDb(IDbBase* db, int index) override;
    ISMBase* GetSM(int code) override;

    // Registers a newly created handler: its index, the index of the handler already
    // registered for its type (the new one is deleted), or -1.
    int RegisterNew(ISMBase* handler);

    QX_EXPORT static CSMManager* m_pInstance;

    // The factory GetSM creates a handler with: a new handler object for a device type code,
    // or null. It names every handler class and is defined with the factory table, above the
    // handler families, which the manager does not know.
    static ISMBase* (*const m_pFactory)(int code);

private:
    CSMManager();
    ~CSMManager();
    CSMManager(const CSMManager&) = delete;
    CSMManager& operator=(const CSMManager&) = delete;

    IDbBase* m_pDb;
    std::vector<ISMBase*> m_list;
};
