#include "io/SMCamera3ge.h"

#include <stdio.h>
#include <string.h>

#include "core/QxPlatform.h"
#include "core/SMSkeleton.h"

// Exchange:
//   -> "UG3#"
//   <- 'U' 'G' '#'
//   <- 'U' 'P' LL LH          the picture length, low byte first
//   <- one byte, not examined
//   <- the picture, LH * 256 + LL bytes

namespace {
const qx::sql::TypeRow kType = {3073, "相机3GE", "485接口..."};
const int kPiece = 512;
}  // namespace

SMCamera3ge::SMCamera3ge() : CSMBase(0xC01) {
    snprintf(m_note, sizeof(m_note), "%s", "QX-CAM_3GE");
    m_iDataCnt = 1;
    memset(&m_pic, 0, sizeof(m_pic));
    m_pData = &m_pic;
}

void SMCamera3ge::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, nullptr, 0);
}

int SMCamera3ge::ChkDb(tagSMItem* item) { return qx::cam::ChkDb(*this, item); }

int SMCamera3ge::DataGet(ISerBase* ser, int, int) {
    // Bytes an earlier poll left (a picture longer than announced, the rest of a stream
    // after a refused header) go before the snapshot is asked for: read as the next header
    // they would fail a sound poll.
    if (!qx::skel::Ready(ser)) return 0;
    qx::cam::Own(*this, m_pic, m_owner);
    printf("截图: 开始\r");
    ser->Write((const unsigned char*)"UG3#", 4);
    qx::SleepMs(100);

    uint8_t head[4];
    if (ser->Read(head, 3, 0) != 3 || memcmp(head, "UG#", 3) != 0) return 0;
    if (ser->Read(head, 4, 0) != 4 || head[0] != 'U' || head[1] != 'P') return 0;
    const int length = head[2] + 256 * head[3];
    uint8_t skip;
    ser->Read(&skip, 1, 0);

    char name[sizeof(m_pic.name)];
    char path[256];
    if (!qx::cam::NewFile("K", ".jpeg", name, sizeof(name), path, sizeof(path))) return 0;
    FILE* f = fopen(path, "wb");
    if (!f) {
        printf("截图: %s ?\r\n", path);
        return 0;
    }
    const qx::cam::Picture last = m_pic;
    memcpy(m_pic.name, name, sizeof(name));
    m_pic.len = (uint16_t)length;

    // At most the announced length is taken: a camera that sends more does not make the
    // file longer. A picture cut short stays as the shorter file.
    uint8_t piece[kPiece];
    int received = 0;
    bool written = true;
    while (received < length) {
        int want = length - received < kPiece ? length - received : kPiece;
        int r = ser->Read(piece, want, 0);
        if (r <= 0) break;
        if (r > want) r = want;
        if (fwrite(piece, 1, (size_t)r, f) != (size_t)r) {
            written = false;
            break;
        }
        received += r;
    }
    if (fclose(f) != 0) written = false;
    m_pic.len = (uint16_t)received;
    if (!written) {
        printf("截图: %s ?\r\n", path);
        m_pic = last;
        return 0;
    }
    printf("截图: %s\r\n", path);
    return 1;
}

int SMCamera3ge::DataVal(int fld) { return fld == 1 ? m_pic.len : -1; }

int SMCamera3ge::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    return qx::cam::Update(*this, m_pic, flags, alarmBits, snapId, sid, hist);
}
