#pragma once
#include <stddef.h>

#include "ups/SMUpsTbUps.h"

// UPS answering one-letter ASCII queries (type 0x303), kept in tbUps: thirteen queries, one
// line each, one value each. Command 1 sends "W".
class CSMUpsSmart : public CSMUpsTbUps {
public:
    CSMUpsSmart();
    ~CSMUpsSmart() override;

    using CSMBase::DoFunc;
    // Field 36, a reserved word, is always 0; so is field 0.
    int DataVal(int field) override;
    int DataGet(ISerBase* channel, int address, int wait) override;
    // Command 1 writes "W"; 1 when it was written whole. No other command.
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;

protected:
    void BriefText(char* out, size_t size) override;
};
