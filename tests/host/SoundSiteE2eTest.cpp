// A sound site: every device devsim serves on a serial line, sound, polled once by smhost. Each
// point reads normal, or alarms only on the fields its kind's list line names ("alarms="), the
// readings that the type's default limits exclude though they are realistic. Fields outside
// the limits that the handler passed over are fields its model does not have, each named on
// the line ("passes="): a handler that passes over a field its device has would lose alarms.
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "SmHostRun.h"

namespace {

using namespace smhosttest;

// The kinds are shared out among the groups by their place in the list (kind i in group
// i % kGroups), so every kind is in one group however many there are; a group's kinds are
// served ten at a time, one per serial port digit.
constexpr int kGroups = 14;
constexpr size_t kPerHost = 10;

class SoundSite : public SmHostFixture, public ::testing::WithParamInterface<int> {};

TEST_P(SoundSite, EveryPointIsNormalOrAlarmsOnlyOnTheFieldsItsKindNames) {
    // The cameras keep their pictures in the board's web folder.
    for (const char* sub : {"/root/NandFlash/www", "/root/NandFlash/www/wwwpub", "/root/NandFlash/www/wwwpub/images"})
        ASSERT_EQ(0, mkdir((dir + sub).c_str(), 0755)) << sub;
    std::string list;
    const std::vector<Listed> all = SerialKinds(&list);
    ASSERT_GT(all.size(), (size_t)kGroups) << list;
    std::vector<Listed> mine;
    for (size_t i = GetParam(); i < all.size(); i += kGroups) mine.push_back(all[i]);

    for (size_t from = 0; from < mine.size(); from += kPerHost) {
        std::vector<Listed> batch(mine.begin() + from, mine.begin() + std::min(mine.size(), from + kPerHost));
        std::vector<std::string> names;
        for (const Listed& k : batch) names.push_back(k.name);
        Devsim sim;
        Run r = PollServed(names, sim, 120);
        ASSERT_EQ(0, r.rc) << r.out << r.err;
        for (size_t i = 0; i < batch.size(); i++) {
            const Listed& k = batch[i];
            SCOPED_TRACE(k.line);
            const std::string head = "cycle 1 [" + k.name + "] sid " + std::to_string(i + 1) + ": state ";
            const std::string line = PointLine(r.out, k.name);
            ASSERT_EQ(head, line.substr(0, head.size())) << r.out;
            const char state = line[head.size()];
            ASSERT_TRUE(state == '0' || state == '1') << line;
            const std::set<std::string> passes = FieldRefs(sim.Field(k.name, "passes"));
            const std::set<std::string> named = FieldRefs(sim.Field(k.name, "alarms"));
            std::string unnamed, alarms;
            for (const std::string& f : OutOfLimits(line)) {
                if (!named.count(f) && !passes.count(f)) unnamed += " " + f;
                if (!passes.count(f)) alarms += " " + f;
            }
            if (state == '0') {
                EXPECT_EQ("", alarms) << "fields passed over that its kind does not name: " << line;
                continue;
            }
            EXPECT_NE("", alarms) << "in alarm with no field out of limits but those passed over: " << line;
            EXPECT_EQ("", unnamed) << "fields in alarm its kind does not name: " << line;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, SoundSite, ::testing::Range(0, kGroups));

}  // namespace
