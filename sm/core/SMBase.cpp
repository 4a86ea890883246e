#include "SMBase.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>

#include "SMSql.h"

char CSMBase::m_buffer[3072];

CSMBase::CSMBase(int type)
    : m_iType(type),
      m_iDataCnt(0),
      m_pManager(nullptr),
      m_pDb(nullptr),
      m_pDbHist(nullptr),
      m_pItem(nullptr),
      m_pData(nullptr),
      m_iErrMax(3),
      m_iErrCnt(0) {
    memset(m_note, 0, sizeof(m_note));
    // The base model text; a handler that copies none of its own reports this one.
    snprintf(m_note, sizeof(m_note), "%s", "ISMBase基类");
}

CSMBase::~CSMBase() {}

int CSMBase::GetType() { return m_iType; }
const char* CSMBase::GetNote() { return m_note; }
int CSMBase::GetMask() { return 0; }
void CSMBase::SetManager(ISMManager* manager) { m_pManager = manager; }
void CSMBase::RegDb(IDbBase* db, int force) {}

void CSMBase::SetDb(IDbBase* db, int which) {
    if (which == 1)
        m_pDbHist = db;
    else
        m_pDb = db;
}

int CSMBase::ChkDb(tagSMItem* item) { return 0; }
int CSMBase::DataSize() { return m_iDataCnt; }
void* CSMBase::Data() { return m_pData; }
int CSMBase::DataVal(int field) { return -1; }
int CSMBase::DataGet(ISerBase* channel, int address, int wait) { return 0; }
int CSMBase::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* history) {
    return 0;
}
int CSMBase::DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) {
    return 0;
}

int CSMBase::DoFunc(int command, void* buffer, int length) {
    if (!m_pItem || !m_pItem->Ser) return 0;
    return DoFunc(m_pItem->Ser, m_pItem->Addr, command, buffer, length);
}

int CSMBase::DoItem(tagSMItem* item, int n) {
    m_pItem = item;
    return 1;
}

int CSMBase::VarEval(char* text) { return -1; }

int CSMBase::NeedDef(IDbBase* db, int force) {
    if (!db) return 0;
    int rows = qx::sql::Count(db, "select count(*) from tbSMDef where Type=%d", m_iType);
    if (rows < 0) return 0;  // the count could not be asked: do not insert a second set
    if (rows == 0) return 1;
    if (!force) return 0;
    qx::sql::Exec(db, "delete from tbSMDef where Type=%d", m_iType);
    return 1;
}

int CSMBase::NeedDefAlm(IDbBase* db, int force) { return 0; }

int CSMBase::ChkDbDatInit(const char* table, tagSMItem* item) {
    if (!m_pDb || !table || !*table || !item) return 0;
    qx::sql::RegPoint(m_pDb, table, item);
    return 1;
}

int CSMBase::GetAlmDetail(char* out, int* alarmBits, int max, size_t outSize) {
    if (!out || outSize == 0) return 0;
    out[0] = '\0';
    if (!alarmBits || !m_pDb) return 0;

    static const char kHead[] = "告警:";
    size_t len = 0;
    int count = 0;
    for (int i = 0; i < m_iDataCnt; i++) {
        if (!(alarmBits[i / 32] & (1u << (i % 32)))) continue;
        // The query lives in a buffer of its own: out may be m_buffer.
        char sql[96];
        snprintf(sql, sizeof(sql), "select Note from tbSMDef where Type=%d and Fld=%d", m_iType,
                 i + 1);
        const char* note = m_pDb->QueryStr(sql);
        if (!note) note = "";
        const char* sep = count == 0 ? kHead : " ";
        size_t need = strlen(sep) + strlen(note);
        if (len + need >= outSize) break;  // whole pieces only: never half a character
        memcpy(out + len, sep, strlen(sep));
        len += strlen(sep);
        memcpy(out + len, note, strlen(note));
        len += strlen(note);
        out[len] = '\0';
        count++;
        if (count == max) {
            if (len + 3 < outSize) {
                memcpy(out + len, "...", 4);
                len += 3;
            }
            break;
        }
    }
    return count;
}

int CSMBase::TextVal(const char* text) {
    if (!text) return -1;
    uintptr_t a = (uintptr_t)text;
#if UINTPTR_MAX > 0xFFFFFFFFu
    if (a > 0x7FFFFFFFu) return -1;  // not representable: the host could not read it back
    return (int)a;
#else
    return (int)(uint32_t)a;
#endif
}

// ---------------------------------------------------------------- placement below 2 GiB
// Each object gets its own anonymous mapping in the low 2 GiB; a 16-byte head in front of
// the object keeps the mapping's length (and the object 16-byte aligned).
#if UINTPTR_MAX > 0xFFFFFFFFu && defined(MAP_32BIT)
namespace {
const size_t kHead = 16;
}

void* CSMBase::operator new(size_t size) noexcept {
    size_t total = size + kHead;
    if (total < size) return nullptr;
    void* p = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT,
                   -1, 0);
    if (p == MAP_FAILED) {
        printf("CSMBase: no memory below 2 GiB for %zu bytes\r\n", size);
        return nullptr;
    }
    *(size_t*)p = total;
    return (char*)p + kHead;
}

void CSMBase::operator delete(void* p) {
    if (!p) return;
    char* base = (char*)p - kHead;
    munmap(base, *(size_t*)base);
}

void CSMBase::operator delete(void* p, size_t) { operator delete(p); }
#else
void* CSMBase::operator new(size_t size) noexcept { return malloc(size ? size : 1); }
void CSMBase::operator delete(void* p) { free(p); }
void CSMBase::operator delete(void* p, size_t) { free(p); }
#endif
