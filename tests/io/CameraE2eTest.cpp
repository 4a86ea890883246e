// Whole polls of the two serial cameras through the loaded plug-ins, serial channels on
// pseudo-terminals and the camera simulators: the set-up, the picture files under the board
// root named from a set clock (QX_FAKE_TIME), and the rows in SQLite, beside a silent camera.
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include "Camera.h"
#include "E2eRig.h"
#include "GbkText.h"
#include "PtySim.h"
#include "gtest/gtest.h"

namespace {

using qxsim::Bytes;

class Cameras : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qxcame2eXXXXXX";
        root = mkdtemp(tmpl);
        folder = root + "/NandFlash/www/wwwpub/images/";
        std::string p = root;
        for (const char* part : {"/NandFlash", "/www", "/wwwpub", "/images"})
            mkdir((p += part).c_str(), 0755);
        setenv("QX_ROOT", root.c_str(), 1);
        setenv("QX_FAKE_TIME", "1394006950", 1);  // 2014-03-05 08:09:10 UTC
        setenv("TZ", "UTC", 1);
        tzset();
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        silent.InjectFault(qxsim::Fault::Silence, -1);
    }
    void TearDown() override {
        rig.Close();
        pty.Stop();
        silent.Stop();
        unsetenv("QX_FAKE_TIME");
        unsetenv("QX_ROOT");
        std::string cmd = "rm -rf '" + root + "'";
        if (system(cmd.c_str()) != 0) ADD_FAILURE() << cmd;
    }

    // The point (SID sid) of a camera type on the simulator's terminal, and a silent twin
    // (SID sid + 1) of the same type on a terminal of its own. False when the test cannot go on.
    bool Start(int sid, int type) {
        if (!pty.Start() || !silent.Start()) {
            ADD_FAILURE() << "no pseudo-terminal";
            return false;
        }
        ch = rig.Channel(pty.Definition("115200,N,8,1"));
        twinCh = rig.Channel(silent.Definition("115200,N,8,1"));
        h = rig.Handler(type);
        if (!ch || !twinCh || !h) return false;
        item.reset(new qxhost::PointItem(sid, type));
        item->Name("CAM").Port(ch->GetType() & 0xFFFF).Addr(1).Ser(ch);
        twin.reset(new qxhost::PointItem(sid + 1, type));
        twin->Name("CAM2").Port(twinCh->GetType() & 0xFFFF).Addr(1).Ser(twinCh);
        rig.AddPoint(h, *item);
        rig.AddPoint(h, *twin);
        return !HasFailure();
    }
    int Poll(qxhost::PointItem& p, ISerBase* c) {
        int bits[1] = {0};
        return rig.Poll(h, p, c, bits);
    }
    Bytes File(const std::string& name) {
        std::ifstream f(folder + name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    std::string Row(int sid) {
        return rig.db.Str("select State||'|'||FileName from tbCamera where SID=" + std::to_string(sid));
    }
    std::string Brief(int sid) {
        return qxtest::Utf8(rig.db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid)));
    }

    std::string root, folder;
    qxsim::PtySim pty, silent;
    qxtest::E2eRig rig;
    ISerBase* ch = nullptr;
    ISerBase* twinCh = nullptr;
    ISMBase* h = nullptr;
    std::unique_ptr<qxhost::PointItem> item, twin;
};

TEST_F(Cameras, JpegCameraSetUpPictureAndRows) {
    qxsim::JpegCamera cam;
    const Bytes pic = qxsim::SamplePicture(20000, 11);
    cam.SetPicture(pic);
    qxsim::ServeCamera(pty, cam);
    if (!Start(61, 0xC00)) return;
    EXPECT_EQ(std::string("QX-CAM"), h->GetNote());

    h->DoItem(*item, 0);
    EXPECT_EQ(1, h->DoFunc(ch, 1, 0, nullptr, 0));
    EXPECT_EQ(1, cam.Count(qxsim::JpegCamera::kSetting2));

    ASSERT_EQ(1, Poll(*item, ch));
    EXPECT_EQ(pic, File("20140305080910.JPEG"));
    EXPECT_EQ(20000, h->DataVal(1));
    // The host reads the file name at the address DataVal hands out.
    EXPECT_EQ(std::string("20140305080910.JPEG"), std::string((const char*)(uintptr_t)(unsigned)h->DataVal(2)));
    EXPECT_EQ("0|20140305080910.JPEG", Row(61));
    EXPECT_EQ("文件名：20140305080910.JPEG", Brief(61));
    EXPECT_EQ(1, rig.hist.Int("select count(*) from tbCamera where SID=61 and FileName='20140305080910.JPEG'"));

    // The silent twin beside it: no file, its rows say it did not answer.
    EXPECT_EQ(0, Poll(*twin, twinCh));
    EXPECT_EQ("2|", Row(62));
    EXPECT_EQ("通讯中断", Brief(62));
    EXPECT_EQ("0|20140305080910.JPEG", Row(61));

    // Faults of the camera fail the poll; the next sound poll reads again.
    for (qxsim::Fault f : {qxsim::Fault::Short, qxsim::Fault::Garbage, qxsim::Fault::BadCheck,
                           qxsim::Fault::Silence}) {
        pty.InjectFault(f, 1);
        EXPECT_EQ(0, Poll(*item, ch)) << (int)f;
        EXPECT_EQ("2|", Row(61)) << (int)f;
    }
    // A length of 65536 or more fails; a sound camera is read again.
    cam.SetAnnouncedLength(70000);
    EXPECT_EQ(0, Poll(*item, ch));
    cam.SetAnnouncedLength(-1);
    ASSERT_EQ(1, Poll(*item, ch));
    EXPECT_EQ("0|20140305080910.JPEG", Row(61));
    EXPECT_EQ(pic, File("20140305080910.JPEG"));
}

TEST_F(Cameras, Camera3geStreamsThePicture) {
    qxsim::Camera3ge cam;
    const Bytes pic = qxsim::SamplePicture(5000, 12);
    cam.SetPicture(pic);
    qxsim::ServeCamera3ge(pty, cam);
    if (!Start(63, 0xC01)) return;

    ASSERT_EQ(1, Poll(*item, ch));
    EXPECT_EQ(pic, File("K20140305080910.jpeg"));
    EXPECT_EQ(5000, h->DataVal(1));
    EXPECT_EQ("0|K20140305080910.jpeg", Row(63));
    EXPECT_EQ("文件名：K20140305080910.jpeg", Brief(63));

    EXPECT_EQ(0, Poll(*twin, twinCh));
    EXPECT_EQ("2|", Row(64));
    EXPECT_EQ("通讯中断", Brief(64));

    // Fewer bytes than announced: the shorter file, and the count that came.
    cam.SetAnnouncedLength(6000);
    ASSERT_EQ(1, Poll(*item, ch));
    EXPECT_EQ(pic, File("K20140305080910.jpeg"));
    EXPECT_EQ(5000, h->DataVal(1));
    // More than announced: the file holds the announced length.
    cam.SetAnnouncedLength(1000);
    ASSERT_EQ(1, Poll(*item, ch));
    EXPECT_EQ(Bytes(pic.begin(), pic.begin() + 1000), File("K20140305080910.jpeg"));
    cam.SetAnnouncedLength(-1);

    for (qxsim::Fault f : {qxsim::Fault::Short, qxsim::Fault::BadCheck, qxsim::Fault::Silence}) {
        pty.InjectFault(f, 1);
        EXPECT_EQ(0, Poll(*item, ch)) << (int)f;
        EXPECT_EQ("2|", Row(63)) << (int)f;
    }
    ASSERT_EQ(1, Poll(*item, ch));
    EXPECT_EQ("0|K20140305080910.jpeg", Row(63));
}

TEST_F(Cameras, JpegCameraKeepsZeroBytesWhereItsReadsStart) {
    // The burst is read 1024 bytes at a time from its 5-byte header on: every read after the
    // first starts at picture offset 1019 + 1024 k, each a zero byte here.
    qxsim::JpegCamera cam;
    Bytes pic = qxsim::SamplePicture(20000, 13);
    for (size_t at = 1019; at < pic.size(); at += 1024) pic[at] = 0x00;
    cam.SetPicture(pic);
    qxsim::ServeCamera(pty, cam);
    if (!Start(65, 0xC00)) return;

    ASSERT_EQ(1, Poll(*item, ch));
    EXPECT_EQ(pic, File("20140305080910.JPEG"));
    EXPECT_EQ(20000, h->DataVal(1));
    EXPECT_EQ("0|20140305080910.JPEG", Row(65));

    // A zero that opens each answer (the line turning round) is noise, dropped by the channel;
    // the zeros inside the picture stay.
    cam.SetTurnRoundZero(true);
    ASSERT_EQ(1, Poll(*item, ch));
    EXPECT_EQ(pic, File("20140305080910.JPEG"));
    EXPECT_EQ(20000, h->DataVal(1));
}

TEST_F(Cameras, Camera3geKeepsZeroBytesWhereItsReadsStart) {
    // The byte after the header that the handler passes over is 0x00 (the simulator sends it
    // so), and the picture is read 512 bytes at a time: each read starts on a zero byte.
    qxsim::Camera3ge cam;
    Bytes pic = qxsim::SamplePicture(5000, 14);
    for (size_t at = 0; at < pic.size(); at += 512) pic[at] = 0x00;
    cam.SetPicture(pic);
    qxsim::ServeCamera3ge(pty, cam);
    if (!Start(67, 0xC01)) return;

    for (int poll = 1; poll <= 2; poll++) {
        ASSERT_EQ(1, Poll(*item, ch)) << poll;
        EXPECT_EQ(pic, File("K20140305080910.jpeg")) << poll;
        EXPECT_EQ(5000, h->DataVal(1)) << poll;
        EXPECT_EQ("0|K20140305080910.jpeg", Row(67)) << poll;
    }
}

}  // namespace
