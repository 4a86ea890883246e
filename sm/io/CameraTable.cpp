#include "io/CameraTable.h"

#include <stdio.h>
#include <string.h>
#include <time.h>

#include "core/QxPlatform.h"
#include "core/SMSkeleton.h"

namespace qx {
namespace cam {

namespace {
const char kColumns[] =
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,DateUpd "
    "DATETIME,State INTEGER,SnapID INTEGER,FileName VARCHAR(64)";
const char kFolder[] = "/NandFlash/www/wwwpub/images/";
}  // namespace

void Own(CSMBase& h, Picture& pic, int& owner) {
    if (!h.m_pItem || h.m_pItem->SID == owner) return;
    owner = h.m_pItem->SID;
    pic.len = 0;
    pic.name[0] = '\0';
}

int ChkDb(CSMBase& h, tagSMItem* item) {
    const qx::skel::Table tables[] = {{"tbCamera", kColumns, qx::skel::kBothDbs}};
    return qx::skel::ChkDb(h, tables, 1, item, "tbCamera");
}

bool NewFile(const char* prefix, const char* ext, char* name, size_t nameSize, char* path,
             size_t pathSize) {
    time_t now = qx::Now();
    struct tm t;
    if (!localtime_r(&now, &t)) return false;
    int n = snprintf(name, nameSize, "%s%d%02d%02d%02d%02d%02d%s", prefix, t.tm_year + 1900,
                     t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, ext);
    if (n < 0 || (size_t)n >= nameSize) return false;
    char board[128];
    n = snprintf(board, sizeof(board), "%s%s", kFolder, name);
    if (n < 0 || (size_t)n >= sizeof(board)) return false;
    return qx::BoardPath(board, path, pathSize) != nullptr;
}

int Update(CSMBase& h, Picture& pic, int flags, int* alarmBits, int* snapId, int sid,
           IDbBase* hist) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(h, u, flags, alarmBits, snapId, sid, qx::skel::kSnapFromFlags))
        return 0;
    if (!u.answered) {
        pic.len = 0;
        pic.name[0] = '\0';
    }
    pic.name[sizeof(pic.name) - 1] = '\0';
    qx::sql::Cols cols;
    cols.Text("FileName", pic.name);
    qx::skel::Brief b;
    b.Add("文件名：%s", pic.name);
    return qx::skel::Store(h, u, "tbCamera", cols, b.Text(), false, hist);
}

}  // namespace cam
}  // namespace qx
