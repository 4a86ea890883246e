// The YD/T 1363 UPS drivers on the three-phase base (Emerson, each Variant profile) polled
// through a device that frames the fuzz input as its replies, then the record's values,
// display texts and stored rows.
// Input: the point (FuzzRig.h Point), the wait, then the answers (FuzzRig.h YdScript).
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "FuzzRig.h"
#include "ups/SMUpsEmerson.h"

namespace {

const char* const kKeys[] = {
    ".Vin1", ".Vout1", ".Iout1", ".Fout1", ".Vbatt", ".Mbatt", ".Tem", ".b15", ".status",
    ".company", ".none", "",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 8192)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    CSMUpsEmerson h;
    tagSMItem item = qxfuzz::Point(in, 0x301);
    const int wait = in.Byte();
    qxfuzz::ScriptChannel ch;
    qxfuzz::YdScript(in, ch);

    qxfuzz::Db& db = qxfuzz::Db::Main();
    qxfuzz::Db& hist = qxfuzz::Db::Hist();
    h.SetDb(&db, 0);
    h.SetDb(&hist, 1);
    h.RegDb(&db, 0);
    h.ChkDb(&item);
    h.DoItem(&item, 0);
    db.Mark();
    hist.Mark();

    for (int poll = 0; poll < 2; poll++) {
        int got = h.DataGet(&ch, item.Addr, wait);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        for (int f = -1; f <= 70; f++)
            h.DataVal(f);
        for (const char* k : kKeys) {
            char text[256];
            snprintf(text, sizeof text, "%s", k);
            h.VarEval(text);
        }
        int bits[2] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, qxfuzz::AlarmWord(item.Ext1)};
        h.DataUpd(poll ? 0x11 : 0, got ? bits : nullptr, nullptr, -1, &hist);
        db.ExpectNoFailure("DataUpd");
        hist.ExpectNoFailure("DataUpd history");
    }
    return 0;
}
