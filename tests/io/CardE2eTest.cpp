// Whole polls of the door controllers, card readers and the people counter through the loaded
// plug-ins, a serial channel on a pseudo-terminal and each device's simulator, beside a silent
// twin of the same type; rows read back from SQLite.
#include <stdlib.h>
#include <time.h>

#include "CardHost.h"
#include "NetSim.h"

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

// The reader on a pseudo-terminal beside controller A on a loopback TCP link, both logging
// into one history: each event once, with its point's SID, and the controller's rows kept.
TEST_F(Cards, ReaderKBesideControllerA) {
    qxsim::CardK dev;
    if (!Start(dev, 61, 0xD01, 1, 1)) return;
    qxsim::CardA door(1);
    qxsim::TcpSim link;
    door.Serve(link);
    ASSERT_TRUE(link.Start());
    ISerBase* chA = rig.Channel(link.Definition(), 0x200009);
    ASSERT_NE(nullptr, chA);
    ISMBase* hA = rig.Handler(0xD00);
    ASSERT_NE(nullptr, hA);
    qxhost::PointItem a(51, 0xD00);
    a.Name("A").Port(9).Addr(1).Ser(chA);
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(hA, a));
    int bits[1] = {0};
    // The controller's older events, then one it reports.
    hist.Run("begin");
    for (int i = 0; i < 1200; i++)
        hist.Run("insert into tbCardLog(SID,DateUpd,State,Card,LogDate) values(51,datetime('now','localtime','-" +
                 std::to_string(1300 - i) + " minutes'),0,7,'2013-01-01 00:00:" + std::to_string(i) + "')");
    hist.Run("commit");
    door.SetEvent(Event(10, 4242, 30));
    ASSERT_EQ(1, rig.Poll(hA, a, chA, bits));
    ASSERT_EQ(1201, hist.Int("select count(*) from tbCardLog where SID=51"));

    qxsim::CardEvent e = Event(0, 0x01020304, 10);
    e.door = 2;
    dev.SetEvent(e);
    for (int i = 0; i < 50; i++) ASSERT_EQ(1, Poll()) << i;
    EXPECT_EQ(14, h->DataSize());
    EXPECT_EQ("61|0|16909060|2|2014-03-05 08:09:10",
              hist.Str("select SID||'|'||State||'|'||Card||'|'||Door||'|'||LogDate from tbCardLog where SID=61"));
    EXPECT_EQ(1201, hist.Int("select count(*) from tbCardLog where SID=51"));
    EXPECT_EQ(0, hist.Int("select count(*) from tbCardLog where SID is null"));
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=61"));

    // Polls without an accepted event log nothing; the state says so.
    for (void (*spoil)(qxsim::CardK&) : {+[](qxsim::CardK& d) { d.SetLowerCase(true); },
                                          +[](qxsim::CardK& d) { d.SetBadChecksum(true); },
                                          +[](qxsim::CardK& d) { d.SetAccept(1); }}) {
        qxsim::CardK& d = dev;
        spoil(d);
        d.SetEvent(Event(0, 99, 40));
        EXPECT_EQ(0, Poll());
        EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=61"));
        d.SetLowerCase(false);
        d.SetBadChecksum(false);
        d.SetAccept(0);
    }
    pty.InjectFault(qxsim::Fault::Silence);
    EXPECT_EQ(0, Poll());
    EXPECT_EQ(1, hist.Int("select count(*) from tbCardLog where SID=61"));

    // A new event: one more row.
    dev.SetEvent(Event(0, 77, 11));
    ASSERT_EQ(1, Poll());
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("77|2014-03-05 08:09:11",
              hist.Str("select Card||'|'||LogDate from tbCardLog where SID=61 order by DID desc"));
    EXPECT_EQ(2, hist.Int("select count(*) from tbCardLog where SID=61"));
    EXPECT_EQ(1201, hist.Int("select count(*) from tbCardLog where SID=51"));
}

TEST_F(Cards, ControllerT) {
    setenv("TZ", "CST-8", 1);
    tzset();
    qxsim::CardT dev(1);
    if (!Start(dev, 71, 0xD02, 1, 2)) return;
    dev.SetEvent(Event(0, 0x00BC614E, 10), 1393978150u);
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0|0|12345678|17|2014-03-05 08:09:10",
              db.Str("select State||'|'||Rec||'|'||Card||'|'||Door||'|'||LogDate from tbCardLog where SID=71"));
    EXPECT_EQ(1, hist.Int("select count(*) from tbCardLog where SID=71"));
    dev.SetEvent(Event(0, 99, 10), 1393978150u);  // the same time stamp
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(12345678, db.Int("select Card from tbCardLog where SID=71"));
    dev.SetNoEvent();
    ASSERT_EQ(1, Poll());

    EXPECT_EQ(0, PollTwin());
    EXPECT_EQ("2|0", db.Str("select State||'|'||Card from tbCardLog where SID=72"));
    EXPECT_EQ(Hex("通讯中断"), Brief(72));

    for (qxsim::Fault f : {qxsim::Fault::Silence, qxsim::Fault::Short, qxsim::Fault::BadCheck}) {
        pty.InjectFault(f);
        EXPECT_EQ(0, Poll());
        EXPECT_EQ("2|12345678", db.Str("select State||'|'||Card from tbCardLog where SID=71"));
    }
    h->DoItem(*item, 0);
    const uint8_t arg[2] = {0, 0};
    EXPECT_EQ(1, h->DoFunc(ch, 1, 0x05, (void*)arg, 2));
    // A command without data (6 bytes) is answered by 8: done, and the next poll reads its own
    // reply.
    EXPECT_EQ(1, h->DoFunc(ch, 1, 0x05, nullptr, 0));
    dev.SetEvent(Event(0, 4711, 20), 1393978160u);
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0|4711|2014-03-05 08:09:20",
              db.Str("select State||'|'||Card||'|'||LogDate from tbCardLog where SID=71"));
    EXPECT_EQ(2, hist.Int("select count(*) from tbCardLog where SID=71"));
    h->DoItem(*item, 0);
    dev.SetResult(2);
    EXPECT_EQ(0, h->DoFunc(ch, 1, 0x05, (void*)arg, 2));
    EXPECT_EQ(0, h->DoFunc(ch, 1, 0x05, nullptr, 0));
}

TEST_F(Cards, ControllerW) {
    qxsim::CardW dev(0x0001E240);
    if (!Start(dev, 81, 0xD03, 0x0001E240, 7)) return;
    dev.SetEvent(Event(9, 4242, 10));
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0|9|4242|2014-03-05 08:09:10",
              db.Str("select State||'|'||Rec||'|'||Card||'|'||LogDate from tbCardLog where SID=81"));
    EXPECT_EQ("81|2014-03-05 08:09:10", hist.Str("select SID||'|'||LogDate from tbCardLog"));
    dev.SetReplyLength(27);
    EXPECT_EQ(0, Poll());
    EXPECT_EQ("2|4242", db.Str("select State||'|'||Card from tbCardLog where SID=81"));
    EXPECT_EQ(Hex("通讯中断"), Brief(81));
    dev.SetReplyLength(28);
    dev.SetEvent(Event(10, 4243, 20));
    ASSERT_EQ(1, Poll(1));
    EXPECT_EQ("1|4243", db.Str("select State||'|'||Card from tbCardLog where SID=81"));
    EXPECT_EQ(Hex("有开门"), Brief(81));
    EXPECT_EQ(0, PollTwin());
    // Never read: no event, so only its state is written.
    EXPECT_EQ("2|-", db.Str("select State||'|'||ifnull(Card,'-') from tbCardLog where SID=82"));
    EXPECT_EQ(2, hist.Int("select count(*) from tbCardLog"));
}

TEST_F(Cards, PeopleCounter) {
    qxsim::PeopleCounter dev(1);
    if (!Start(dev, 91, 0xD04, 1, 2)) return;
    // 01:30 local time: the first poll of the point sets the counter's clock.
    struct tm tm = {};
    tm.tm_year = 2014 - 1900;
    tm.tm_mon = 2;
    tm.tm_mday = 5;
    tm.tm_hour = 1;
    tm.tm_min = 30;
    tm.tm_isdst = -1;
    setenv("QX_FAKE_TIME", std::to_string((long long)mktime(&tm)).c_str(), 1);
    dev.SetCounts(120, 135);
    ASSERT_EQ(1, Poll());
    ASSERT_EQ(1, Poll());
    unsetenv("QX_FAKE_TIME");
    ASSERT_EQ(1u, dev.ClockFrames().size());
    EXPECT_EQ("0E 03 05 01 1E 00 00 00", qxsim::ToHex(dev.ClockFrames()[0]));
    EXPECT_EQ("0|120|135|15|1|8",
              db.Str("select State||'|'||curEnter||'|'||curExport||'|'||EEnum||'|'||st1||'|'||st8 from tbCXV6V8 where SID=91"));
    EXPECT_EQ(Hex("当前设备：120人进，135人出，15人滞留"), Brief(91));
    EXPECT_EQ(0, hist.Int("select count(*) from tbCXV6V8"));

    dev.SetBadXor(true);
    EXPECT_EQ(0, Poll());
    EXPECT_EQ("2|0|0|0", db.Str("select State||'|'||curEnter||'|'||curExport||'|'||EEnum from tbCXV6V8 where SID=91"));
    EXPECT_EQ(Hex("通讯中断"), Brief(91));
    dev.SetBadXor(false);
    EXPECT_EQ(0, PollTwin());
    EXPECT_EQ(Hex("通讯中断"), Brief(92));
    ASSERT_EQ(1, Poll());
    h->DoItem(*item, 0);
    EXPECT_EQ(1, h->DoFunc(ch, 1, 3, nullptr, 0));
}

TEST_F(Cards, Rs485Reader) {
    qxsim::Rs485Reader dev(1, "00012345");
    if (!Start(dev, 95, 0xD05, 1, 9)) return;
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0|12345|" + std::string("暂无") + "|3",
              db.Str("select State||'|'||DevSN||'|'||CardID||'|'||DevID from tbCardRS485reader where SID=95"));
    dev.SetCard("00'01234");
    ASSERT_EQ(1, Poll());
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("00'01234", db.Str("select CardID from tbCardRS485reader where SID=95"));
    EXPECT_EQ(Hex("当前设备SN：12345,最新刷卡记录：00'01234"), Brief(95));
    EXPECT_EQ("95|00'01234", hist.Str("select SID||'|'||CardID from tbCardRS485reader"));
    EXPECT_EQ(2, hist.Int("select count(*) from tbCardRS485reader"));

    EXPECT_EQ(0, PollTwin());  // address 9: nothing sent
    EXPECT_EQ(Hex("通讯中断"), Brief(96));
    for (qxsim::Fault f : {qxsim::Fault::Silence, qxsim::Fault::BadCheck, qxsim::Fault::Garbage}) {
        pty.InjectFault(f);
        EXPECT_EQ(0, Poll());
        EXPECT_EQ("2|00'01234", db.Str("select State||'|'||CardID from tbCardRS485reader where SID=95"));
    }
}

}  // namespace
