#pragma once
// The skeleton the generic protocol engines share. A device type of the engine ranges
// (0x1000..0x17FF) has no class of its own: its definition file "/NandFlash/SM/SM%04d.def"
// (type code in decimal) says what to poll and what the values are called, and one engine
// class turns it into a handler. Everything but the exchange with the device lives here:
//
//   factory        NewEngine<T>(type): no file, no handler; else T(type) and LoadDef(path)
//   loading        LoadDef/UpdLoad: [comm] settings, [flds] count, [flds.def] -> [flds.val]
//   registration   RegDb: tbSMType row; tbSMDef rows from [flds.def]
//   tables         ChkDb: device and detail tables, the point's current and summary rows
//   values         DataVal, VarEval: from [vals], the values of the last poll
//   storing        DataUpd, DataDetail: state, current row, summary ("brief" expanded by
//                  VarByIni), one detail row per [vals] key, history rows
//
// An engine derives from CSMEngine, returns its constants from Desc(), reads its own [comm]
// keys in LoadEngine() and implements DataGet and DoFunc. Its DataGet clears [vals] first
// (ClearVals) and stores each value with SetVal.
//
// Definition file, common part:
//
//   [comm]
//   note=TH-01          ; model text (at most 31 bytes), GetNote() and tbSMType
//   model=QX-TH         ; name in tbSMType (default: the engine's model)
//   debug=0             ; nonzero prints each poll
//   delay=10            ; ms between a request and its reply
//   timeout=300         ; printed only
//   mask=0              ; kept, unused
//   brief=T=%1% H=%2%   ; summary; %n% is field n divided by its divisor
//   Yk00=...            ; control commands, engine-specific
//   [flds]
//   cnt=2               ; number of fields (DataSize)
//   1=40001             ; value key of field 1 in [vals]
//   2=40002
//   [flds.def]          ; tbSMDef positions 4..13 as SQL literals
//   1='Temp',1,'温度',0,10,1,0,'',600,''
//   2='Hum',1,'湿度',0,10,1,0,'',900,''
#include <stddef.h>
#include <stdint.h>
#include <unistd.h>

#include <string>

#include "SMBase.h"
#include "SimpleIni.h"

// The constants that tell the engines apart.
struct SMEngineDesc {
    const char* name;          // class name in messages, "CSMModbus"
    const char* note;          // model text at construction
    const char* model;         // default [comm] "model", the tbSMType name
    const char* table;         // device table, "tbModbus"
    const char* detailTable;   // detail table, "tbModbusDat"
    const char* detailExtra;   // further detail columns, "" or ",ValStr VARCHAR(128)"
    bool loadSummary;          // UpdLoad prints "<name>::UpdLoad  d=%d  %dms  tout=%d\n"
    const char* loadFirst;     // a line UpdLoad prints first, or null
};

class CSMEngine : public CSMBase {
public:
    // Bounds of what a definition file may configure; beyond them an entry is refused with
    // a message (the model text is cut instead).
    static constexpr int kMaxFields = 1024;     // [flds] cnt
    static constexpr int kMaxName = 63;         // field names, field number texts
    static constexpr int kMaxBrief = 1024;      // the summary text, expanded
    static constexpr int kMaxDisplay = 63;      // a display text of VarEval, in bytes

    // Prints the creation line and takes the model text of desc.
    CSMEngine(int type, const SMEngineDesc& desc);
    ~CSMEngine() override;

    // The path of a type's definition file under the board root; false when it does not fit.
    static bool DefPath(int type, char* out, size_t outSize);

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int VarEval(char* buf) override;

    // -1 when the file cannot be read (the handler stays unloaded), else UpdLoad().
    int LoadDef(const char* path);
    int UpdLoad();
    // The detail rows of the last poll: with did 0 the point's current rows (earlier ones
    // deleted), else the rows of history row did.
    virtual void DataDetail(IDbBase* db, int sid, int did);

    bool Loaded() const { return m_bLoaded; }
    SimpleIni& Ini() { return m_ini; }

protected:
    virtual const SMEngineDesc& Desc() const = 0;
    // The engine's further [comm] keys and checks, read after the common settings.
    virtual void LoadEngine() {}
    // The summary text into out (size bytes): [comm] "brief" through VarByIni. False: none.
    virtual bool BriefText(char* out, size_t size);

    void ClearVals() { m_ini.DeleteKey(SEC_VALS, "#all"); }
    void SetVal(const char* key, int value) { m_ini.SetValue<int>(SEC_VALS, key, value); }
    std::string Comm(const char* key, const char* def = "") const {
        return m_ini.GetValue(SEC_COMM, key, def);
    }
    int CommInt(const char* key, int def) const { return m_ini.GetValue<int>(SEC_COMM, key, def); }
    // Diagnostics of the point being polled: "[A%02d] <name> ..." lines.
    void Log(const char* fmt, ...) const __attribute__((format(printf, 2, 3)));

    SimpleIni m_ini;
    bool m_bLoaded;
    int32_t m_iDebug;
    int32_t m_iDelay;
    int32_t m_iTimeout;
    int32_t m_iMask;
};

// The engine factories' common body: the handler only when the type's file exists.
template <class T>
ISMBase* NewEngine(int type) {
    char path[512];
    if (!CSMEngine::DefPath(type, path, sizeof path)) return nullptr;
    if (access(path, F_OK) != 0) return nullptr;
    T* handler = new T(type);  // CSMBase's operator new: null when out of memory
    if (!handler) return nullptr;
    handler->LoadDef(path);    // loaded or not, the handler serves the type
    return handler;
}

// The factories of the engines, each serving its category ranges from the code's definition
// file: SNMP 0x1000..0x11FF, Modbus 0x1200..0x13FF, YD/T 1363 0x1400..0x15FF, the template
// engine 0x1600..0x17FF.
ISMBase* NewSnmpHandler(int code);
ISMBase* NewModbusHandler(int code);
ISMBase* NewYdt1363Handler(int code);
ISMBase* NewNormalHandler(int code);
