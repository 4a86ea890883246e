// Whole polls of the door controllers, card readers and the people counter through the loaded
// plug-ins, a serial channel on a pseudo-terminal and each device's simulator, beside a silent
// twin of the same type; rows read back from SQLite.
#include "CardHost.h"

namespace {

using Cards = iotest::CardHost;

qxsim::CardEvent Event(uint32_t rec, uint32_t card, int second) {
    qxsim::CardEvent e;
    e.rec = rec;
    e.card = card;
    e.second = second;
    return e;
}

TEST_F(Cards, ControllerA) {
    qxsim::CardA dev(1);
    if (!Start(dev, 51, 0xD00, 1, 2)) return;
    dev.SetEvent(Event(10, 3 * 100000 + 0x3039, 10));
    ASSERT_EQ(1, Poll(0, 250));
    EXPECT_EQ("0|10|312345|2014-03-05 08:09:10",
              db.Str("select State||'|'||Rec||'|'||Card||'|'||LogDate from tbCardLog where SID=51"));
    EXPECT_EQ(Hex("正常"), Brief(51));
    EXPECT_EQ("51|312345", hist.Str("select SID||'|'||Card from tbCardLog"));
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(1, hist.Int("select count(*) from tbCardLog"));

    EXPECT_EQ(0, PollTwin());
    EXPECT_EQ("2|0", db.Str("select State||'|'||Card from tbCardLog where SID=52"));
    EXPECT_EQ(Hex("通讯中断"), Brief(52));

    for (qxsim::Fault f : {qxsim::Fault::Silence, qxsim::Fault::Short, qxsim::Fault::BadCheck,
                           qxsim::Fault::Garbage}) {
        pty.InjectFault(f);
        EXPECT_EQ(0, Poll());
        EXPECT_EQ("2|312345", db.Str("select State||'|'||Card from tbCardLog where SID=51"));
        EXPECT_EQ(Hex("通讯中断"), Brief(51));
    }
    dev.SetEvent(Event(11, 42, 20));
    ASSERT_EQ(1, Poll(1));
    EXPECT_EQ("1|42", db.Str("select State||'|'||Card from tbCardLog where SID=51"));
    EXPECT_EQ(Hex("有开门"), Brief(51));
    EXPECT_EQ(2, hist.Int("select count(*) from tbCardLog"));

    dev.SetStatus(1);
    h->DoItem(*item, 0);
    EXPECT_EQ(0, h->DoFunc(ch, 1, 0x109D, nullptr, 0));
    EXPECT_EQ(1, h->DoFunc(ch, 1, 0x1081, nullptr, 0));
}

}  // namespace
