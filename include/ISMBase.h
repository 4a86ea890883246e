#pragma once
class ISMManager;
class IDbBase;
class ISerBase;
struct tagSMItem;

// Device-type handler interface: sixteen slots in this order (the host calls by position).
// No destructor here: CSMBase adds its virtual destructor after these slots.
class ISMBase {
public:
    virtual int GetType() = 0;                                                     // 0
    virtual const char* GetNote() = 0;                                             // 1
    virtual int GetMask() = 0;                                                     // 2
    virtual void SetManager(ISMManager* manager) = 0;                              // 3
    virtual void RegDb(IDbBase* db, int force) = 0;                                // 4
    virtual void SetDb(IDbBase* db, int which) = 0;                                // 5
    virtual int ChkDb(tagSMItem* item) = 0;                                        // 6
    virtual int DataSize() = 0;                                                    // 7
    virtual void* Data() = 0;                                                      // 8
    virtual int DataVal(int field) = 0;                                            // 9
    virtual int DataGet(ISerBase* channel, int address, int wait) = 0;             // 10
    virtual int DataUpd(int flags, int* alarmBits, int* snapId, int sid,
                        IDbBase* history) = 0;                                     // 11
    virtual int DoFunc(ISerBase* channel, int address, int command, void* buffer,
                       int length) = 0;                                            // 12
    virtual int DoFunc(int command, void* buffer, int length) = 0;                 // 13
    virtual int DoItem(tagSMItem* item, int n) = 0;                                // 14
    virtual int VarEval(char* text) = 0;                                           // 15
};
