#pragma once
#include <array>
#include <map>

#include "io/SMDioBase.h"

// The AD5DA5 module wired to room sensors (type 0x90A): the five input voltages turned into
// ammonia, temperature, humidity, air changes and pressure difference through calibration
// curves, the last two smoothed per module, the outputs as percentages, per-field alarm
// flags, and a copy of the values in tbIvcDat, one row per module number (the bus address
// modulo 10). Each point keeps its own value block (readings, state and flags) by SID: a poll
// starts from the point's own last block, and an update without a fresh reading shows the
// point's own last values, never another module's.
class CSMDioAd5Da5Ivc : public CSMDioBase {
public:
    CSMDioAd5Da5Ivc();

    int GetMask() override { return 85; }
    int ChkDb(tagSMItem* item) override;
    int ChkDef(IDbBase* db, int force) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    void UpdSt(int flags, int* alarmBits, int sid) override;
    int VarEval(char* buf) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;

    static const int kCurves = 5;
    static const int kCurvePoints = 50;
    static const int kSlots = 10;

    // A calibration curve: points (x volts, y value) in ascending x.
    struct Curve {
        float pt[kCurvePoints][2];
        int n;
    };
    // The curve's value at x: the first point's y up to it, linear between points, the last
    // point's y beyond the last.
    static float Lookup(float x, const Curve& c);

    Curve m_curve[kCurves];
    // Smoothing of channels 4 and 5 per module number 1..10 (slot = number - 1, 0 -> none).
    int m_smCnt[2][kSlots];
    float m_smVal[2][kSlots];
    int m_bid = 0;  // module number of the last poll

private:
    using Block = std::array<uint16_t, sizeof(m_wData) / sizeof(m_wData[0])>;
    // m_wData from the point's own block (zeros for a point never read), and back.
    void Load(int sid);
    void Keep(int sid);
    std::map<int, Block> m_bySid;
};
