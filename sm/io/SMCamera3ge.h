#pragma once
#include <stdint.h>

#include "core/SMBase.h"
#include "io/CameraTable.h"

// 3GE serial camera. Type 0xC01. A one-word snapshot command "UG3#" is answered by a short
// header with the picture's length and then the JPEG picture, which goes straight into a
// file of the board's picture folder; tbCamera keeps the file name.
class SMCamera3ge : public CSMBase {
public:
    SMCamera3ge();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;

    // Value block: the length (announced, then received) and the file name.
    qx::cam::Picture m_pic;

private:
    int m_owner = -1;  // SID of the point whose poll filled the value block
};
