#pragma once
#include <stdint.h>

#include <memory>

#include "core/SMBase.h"
#include "io/CameraTable.h"

// Serial JPEG camera. Type 0xC00. A poll freezes the frame, asks for the picture's length,
// reads the whole picture in one burst and writes it into the board's picture folder, named
// after the local time; tbCamera keeps the file name. DoFunc resets and sets up the camera.
class CSMCamera : public CSMBase {
public:
    CSMCamera();
    ~CSMCamera() override;

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;

    static const int kBufSize = 102400;

    // Value block: picture length, file name, pictures written, the picture buffer.
    struct Block {
        qx::cam::Picture pic;
        int32_t count;
        uint8_t* buffer;
    } m_data;

private:
    std::unique_ptr<uint8_t[]> m_buffer;
    int m_owner = -1;  // SID of the point whose poll filled the value block
};
