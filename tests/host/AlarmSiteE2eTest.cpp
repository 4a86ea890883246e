// A site in trouble, the mirror of the sound site: every device devsim serves on a serial line,
// in each alarm state its kind has ("alarm", "alarm2"), polled once by smhost. Each point is in
// alarm, as the handler stored it in tbSubSysDetail, with every field its kind's list line
// names ("raises=") outside the type's limits, and its summary shows the text the line names
// ("brief="): no alarm the device reports is lost on its way to the operator.
#include <set>
#include <string>
#include <vector>

#include "SmHostRun.h"

namespace {

using namespace smhosttest;

// A device to serve in an alarm state: its kind, the state's suffix ("" for "alarm", "2" for
// "alarm2") and the kind's list line.
struct InAlarm {
    std::string name, suffix, line;
    std::string Arg() const { return name + "+alarm" + suffix; }
};

// Every serial kind's alarm states, the "alarm" states first, then the "alarm2" states, so
// that a batch never serves one kind twice.
std::vector<InAlarm> AlarmStates(std::string* list) {
    std::vector<InAlarm> all;
    const std::vector<Listed> kinds = SerialKinds(list);
    for (const char* suffix : {"", "2"})
        for (const Listed& k : kinds)
            if (!ListField(k.line, std::string("raises") + suffix).empty()) all.push_back({k.name, suffix, k.line});
    return all;
}

// The states are shared out among the groups by their place in the list, as the sound site's
// kinds are; a group's devices are served ten at a time, one per serial port digit.
constexpr int kGroups = 14;
constexpr size_t kPerHost = 10;

class AlarmSite : public SmHostFixture, public ::testing::WithParamInterface<int> {};

TEST_P(AlarmSite, EveryPointIsInAlarmOnEveryFieldItsStateRaises) {
    // The cameras keep their pictures in the board's web folder.
    for (const char* sub : {"/root/NandFlash/www", "/root/NandFlash/www/wwwpub", "/root/NandFlash/www/wwwpub/images"})
        ASSERT_EQ(0, mkdir((dir + sub).c_str(), 0755)) << sub;
    std::string list;
    const std::vector<InAlarm> all = AlarmStates(&list);
    ASSERT_GT(all.size(), (size_t)kGroups) << list;
    std::vector<InAlarm> mine;
    for (size_t i = GetParam(); i < all.size(); i += kGroups) mine.push_back(all[i]);

    for (size_t next = 0; next < mine.size();) {
        std::vector<InAlarm> batch;
        for (; next < mine.size() && batch.size() < kPerHost; next++) {
            bool twice = false;
            for (const InAlarm& b : batch) twice = twice || b.name == mine[next].name;
            if (twice) break;  // the next batch takes it
            batch.push_back(mine[next]);
        }
        std::vector<std::string> args;
        for (const InAlarm& d : batch) args.push_back(d.Arg());
        Devsim sim;
        Run r = PollServed(args, sim, 120);
        ASSERT_EQ(0, r.rc) << r.out << r.err;
        Rows db(Db());
        for (size_t i = 0; i < batch.size(); i++) {
            const InAlarm& d = batch[i];
            SCOPED_TRACE(d.Arg() + ": " + d.line);
            const std::string sid = std::to_string(i + 1);
            const std::string line = PointLine(r.out, d.Arg());
            ASSERT_EQ("cycle 1 [" + d.Arg() + "] sid " + sid + ": state 1 alarm",
                      line.substr(0, std::min(line.size(), line.find(" |")))) << r.out;
            if (ListField(d.line, "kept").empty()) {
                EXPECT_EQ(1, db.Int("select State from tbSubSysDetail where SID=" + sid)) << line;
            }
            const std::set<std::string> out = OutOfLimits(line);
            std::string missing;
            for (const std::string& f : FieldRefs(ListField(d.line, "raises" + d.suffix)))
                if (!out.count(f)) missing += " " + f;
            EXPECT_EQ("", missing) << "fields the state raises that are not outside the limits: " << line;
            const std::string brief = ListField(d.line, "brief" + d.suffix);
            if (!brief.empty()) {
                EXPECT_NE(std::string::npos, line.find(brief)) << "summary without " << brief << ": " << line;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, AlarmSite, ::testing::Range(0, kGroups));

}  // namespace
