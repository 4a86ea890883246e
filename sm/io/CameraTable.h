#pragma once
// What the two serial cameras share: the camera table tbCamera (one current row per point,
// the last picture's file name; history rows in the second database), the picture folder of
// the board's web server and the file names taken from the local time, and the update that
// stores a poll. The cameras differ only in their exchange and their file name pattern.
#include <stddef.h>
#include <stdint.h>

#include "core/SMBase.h"

namespace qx {
namespace cam {

// The head of both cameras' value blocks: the picture length in bytes and the file name of
// the last picture (zero-terminated).
struct Picture {
    uint16_t len;
    char name[50];
};

// The value block belongs to one point: a poll of another point starts from an empty block,
// so that no point shows another point's picture.
void Own(CSMBase& h, Picture& pic, int& owner);

// tbCamera in the main database and in the second one when it is set; with an item, the
// point's current row and its tbSMBrief row.
int ChkDb(CSMBase& h, tagSMItem* item);

// A picture file for the local time now (qx::Now): name is prefix, the four-digit year, month,
// day, hour, minute and second, then ext ("20140305080910.JPEG"); path the board's picture
// folder "/NandFlash/www/wwwpub/images/" (under QX_ROOT) with that name. False when either
// does not fit.
bool NewFile(const char* prefix, const char* ext, char* name, size_t nameSize, char* path,
             size_t pathSize);

// The camera's DataUpd. State 0 with alarm bits, 2 without, 1 with flags bit 0; SnapID from
// flags bit 4. Without an answer the length and name are cleared first and the summary says
// the camera did not answer; otherwise the summary is "文件名：<name>" (no St). The current row
// goes to the main database, a history row into the second database's tbCamera. 1 when the
// last of these statements succeeded (the history insert when a history database is given);
// 0 without a current point or when it failed.
int Update(CSMBase& h, Picture& pic, int flags, int* alarmBits, int* snapId, int sid,
           IDbBase* hist);

}  // namespace cam
}  // namespace qx
