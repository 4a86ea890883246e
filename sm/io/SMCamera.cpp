#include "io/SMCamera.h"

#include <stdio.h>
#include <string.h>

#include <new>

#include "core/QxPlatform.h"
#include "core/SMSkeleton.h"

// Requests begin 56 00, replies 76 00:
//   reset          56 00 26 00                           76 00 26 00
//   frame, set-up  56 00 36 01 03                        76 00 36 00 00, or "Init end"
//   frame, poll    56 00 36 01 00                        76 00 36 00 00
//   length         56 00 34 01 00                        76 00 34 00 04 00 00 LH LL
//   read picture   56 00 32 0C 00 0A 00 00 00 00 00 00 LH LL 00 1A
//                                                        76 00 32 00 00, picture (FF D8 ...),
//                                                        76 00 32 00 00
//   setting 1      56 00 31 05 01 01 12 04 80            76 00 31 00 00
//   setting 2      56 00 31 05 04 01 00 19 11            76 00 31 00 00
// A reply is judged only on bytes that arrived: a shorter one fails its step.

namespace {

const uint8_t kReset[] = {0x56, 0x00, 0x26, 0x00};
const uint8_t kResetOk[] = {0x76, 0x00, 0x26, 0x00};
const uint8_t kFrameSetUp[] = {0x56, 0x00, 0x36, 0x01, 0x03};
const uint8_t kFrameStop[] = {0x56, 0x00, 0x36, 0x01, 0x00};
const uint8_t kFrameOk[] = {0x76, 0x00, 0x36, 0x00, 0x00};
const uint8_t kLength[] = {0x56, 0x00, 0x34, 0x01, 0x00};
const uint8_t kLengthOk[] = {0x76, 0x00, 0x34, 0x00, 0x04, 0x00, 0x00};
const uint8_t kPictureOk[] = {0x76, 0x00, 0x32, 0x00, 0x00, 0xFF, 0xD8};
const uint8_t kSetting1[] = {0x56, 0x00, 0x31, 0x05, 0x01, 0x01, 0x12, 0x04, 0x80};
const uint8_t kSetting2[] = {0x56, 0x00, 0x31, 0x05, 0x04, 0x01, 0x00, 0x19, 0x11};
const uint8_t kSettingOk[] = {0x76, 0x00, 0x31, 0x00, 0x00};
const char kInitEnd[] = "Init end";
const int kHeader = 5;   // bytes of the picture reply before the picture
const int kTrailer = 5;  // and after it

template <size_t N>
bool Starts(const uint8_t* rx, int got, const uint8_t (&want)[N]) {
    return got >= (int)N && memcmp(rx, want, N) == 0;
}

template <size_t N>
int Send(ISerBase* ser, const uint8_t (&cmd)[N]) {
    return ser->Write(cmd, (int)N);
}

const qx::sql::TypeRow kType = {3072, "相机", "485接口..."};

}  // namespace

CSMCamera::CSMCamera() : CSMBase(0xC00) {
    snprintf(m_note, sizeof(m_note), "%s", "QX-CAM");
    m_iDataCnt = 2;
    m_buffer.reset(new (std::nothrow) uint8_t[kBufSize]);
    memset(&m_data, 0, sizeof(m_data));
    m_data.buffer = m_buffer.get();
    m_pData = &m_data;
}

CSMCamera::~CSMCamera() = default;

void CSMCamera::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, nullptr, 0);
}

int CSMCamera::ChkDb(tagSMItem* item) { return qx::cam::ChkDb(*this, item); }

int CSMCamera::DataGet(ISerBase* ser, int, int) {
    if (!m_buffer || !qx::skel::Ready(ser)) return 0;
    qx::cam::Own(*this, m_data.pic, m_owner);
    printf("SMCamera DataGet start...\r");

    // Freeze the frame.
    printf("SMCamera DataGet 36\r");
    int n = Send(ser, kFrameStop);
    if (n != (int)sizeof(kFrameStop)) {
        printf("SMCamera DataGet 36 write err: %d  cmd:%d\r\n", n, (int)sizeof(kFrameStop));
        return 0;
    }
    qx::SleepMs(100);
    uint8_t rx[20];
    int got = ser->Read(rx, sizeof(rx), 0);
    if (got <= 0) {
        printf("SMCamera DataGet 36 read 0\r");
        return 0;
    }
    if (!Starts(rx, got, kFrameOk)) return 0;
    printf("SMCamera DataGet 36 ok\r");

    // The picture's length (below 65536 bytes).
    qx::SleepMs(300);
    printf("SMCamera DataGet 34\r");
    if (Send(ser, kLength) != (int)sizeof(kLength)) return 0;
    got = ser->Read(rx, sizeof(rx), 0);
    if (got < (int)sizeof(kLengthOk) + 2 || !Starts(rx, got, kLengthOk)) return 0;
    const int length = rx[7] * 256 + rx[8];
    printf("SMCamera DataGet 34 ok: %02x %02x=%d\r\n", rx[7], rx[8], length);
    qx::SleepMs(100);
    m_data.pic.len = (uint16_t)length;

    // The picture in one burst: its header, the length announced and the trailer, or less
    // where the line falls silent first or the buffer is full.
    printf("SMCamera DataGet 32\r");
    ser->Purge();
    const uint8_t ask[] = {0x56, 0x00, 0x32, 0x0C, 0x00, 0x0A, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x00, rx[7], rx[8], 0x00, 0x1A};
    if (Send(ser, ask) != (int)sizeof(ask)) return 0;
    uint8_t* pic = m_buffer.get();
    const int whole = kHeader + length + kTrailer;
    const int burst = whole < kBufSize ? whole : kBufSize;
    int total = 0;
    while (total < burst) {
        int piece = burst - total < 1024 ? burst - total : 1024;
        int r = ser->Read(pic + total, piece, 0);
        if (r <= 0) break;
        total += r > piece ? piece : r;
    }
    bool valid = Starts(pic, total, kPictureOk);
    if (!valid) qx::SleepMs(2000);
    printf("SMCamera DataGet 32 %d len:%d  photolen:%d\r\n", valid ? 1 : 0, total, length);
    if (total < length + kHeader) valid = false;
    if (!valid) return 0;

    // The file, named after the local time. A file that cannot be written fails the poll and
    // the name of the last good picture stays.
    char name[sizeof(m_data.pic.name)];
    char path[256];
    if (!qx::cam::NewFile("", ".JPEG", name, sizeof(name), path, sizeof(path))) return 0;
    FILE* f = fopen(path, "wb");
    if (!f) {
        printf("SMCamera DataGet %s: cannot write\r\n", path);
        return 0;
    }
    bool written = fwrite(pic + kHeader, 1, (size_t)length, f) == (size_t)length;
    if (fclose(f) != 0) written = false;
    if (!written) {
        printf("SMCamera DataGet %s: cannot write\r\n", path);
        return 0;
    }
    memcpy(m_data.pic.name, name, sizeof(name));
    m_data.count++;
    printf("SMCamera DataGet ok %s\r\n", m_data.pic.name);
    return 1;
}

int CSMCamera::DataVal(int fld) {
    switch (fld) {
    case 1: return m_data.pic.len;
    case 2: return TextVal(m_data.pic.name);
    default: return -1;
    }
}

int CSMCamera::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    return qx::cam::Update(*this, m_data.pic, flags, alarmBits, snapId, sid, hist);
}

// The set-up sequence, whatever the command: reset, frame set-up, then the two settings,
// which share one count of three tries.
int CSMCamera::DoFunc(ISerBase* ser, int, int, void*, int) {
    if (!qx::skel::Ready(ser)) return 0;
    qx::SleepMs(1000);
    printf("SMCamera DoFunc 26\r");
    uint8_t rx[200];

    bool ok = false;
    for (int t = 0; t < 3 && !ok; t++) {
        if (Send(ser, kReset) != (int)sizeof(kReset)) return 0;
        qx::SleepMs(100);
        int got = ser->Read(rx, sizeof(rx), 0);
        if (got <= 0) {
            printf("SMCamera DoFunc 26 read 0\r");
            continue;
        }
        ok = Starts(rx, got, kResetOk);
    }
    if (!ok) return 0;
    printf("SMCamera DoFunc 26 ok\r");
    qx::SleepMs(100);

    ok = false;
    for (int t = 0; t < 3 && !ok; t++) {
        if (Send(ser, kFrameSetUp) != (int)sizeof(kFrameSetUp)) return 0;
        int got = ser->Read(rx, 20, -1);
        if (got <= 0) return 0;
        for (int i = 0; i < got; i++) printf("%02x ", rx[i]);
        printf("\n");
        ok = (got >= 8 && memcmp(rx, kInitEnd, 8) == 0) || Starts(rx, got, kFrameOk);
        if (!ok) printf("SMCamera DoFunc 36 try %d\r\n", t + 1);
    }
    if (!ok) return 0;
    printf("SMCamera DoFunc 36 ok\r");
    qx::SleepMs(100);

    // A try is counted when it fails: three failures across both settings end the set-up.
    int failed = 0;
    ok = false;
    while (failed < 3 && !ok) {
        if (Send(ser, kSetting1) != (int)sizeof(kSetting1)) return 0;
        int got = ser->Read(rx, 20, 0);
        if (got <= 0) return 0;
        ok = Starts(rx, got, kSettingOk);
        if (!ok) failed++;
    }
    if (!ok) return 0;
    printf("SMCamera DoFunc 31 ok\r");
    qx::SleepMs(100);

    // Setting 2 takes the tries setting 1 left.
    ok = false;
    int written = 0, got = 0;
    while (failed < 3 && !ok) {
        written = 0;
        for (int w = 0; w < 3 && written != (int)sizeof(kSetting2); w++)
            written = Send(ser, kSetting2);
        if (written != (int)sizeof(kSetting2)) break;
        got = ser->Read(rx, 20, 0);
        if (got <= 0) break;
        ok = Starts(rx, got, kSettingOk);
        if (!ok) failed++;
    }
    printf("SMCamera DoFunc 31b: %d  write:%d  read:%d\r\n", ok ? 1 : 0, written, got);
    if (!ok) return 0;
    qx::SleepMs(100);
    printf("SMCamera DoFunc ok\r");
    return 1;
}
