#pragma once
#include <vector>

#include "ISerBase.h"
#include "ISerManager.h"
#include "QxExport.h"

class CSerBase;

// The channel factory: at most one channel per channel type code, kept until the manager
// is freed. The host calls it from one thread at a time.
class CSerManager : public ISerManager {
public:
    static CSerManager* GetInstance();
    static void FreeInstance();

    ISerBase* GetSer(const char* definition, int type) override;

    // Index of the first channel reporting the code, or -1.
    int FindType(int type);
    // Keeps a new channel and returns its index. A channel reporting a code already kept is
    // destroyed and the index of the kept one returned. Null gives -1.
    int RegisterNew(CSerBase* channel);

    int Count() const { return (int)m_channels.size(); }
    ISerBase* At(int index) const;

    QX_EXPORT static CSerManager* m_pInstance;

private:
    CSerManager();
    virtual ~CSerManager();

    std::vector<CSerBase*> m_channels;
};
