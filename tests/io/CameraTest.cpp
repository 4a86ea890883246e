// The serial cameras: the JPEG camera's poll and set-up steps and what each reply makes of
// them, the 3GE camera's header and streamed picture, the picture files under the board root
// named from the clock, and the rows and summaries of tbCamera.
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <iterator>
#include <string>

#include "Camera.h"
#include "TestRig.h"
#include "core/SMSql.h"
#include "io/SMCamera.h"
#include "io/SMCamera3ge.h"

namespace {

using qxsim::JpegCamera;
using qxtest::Bytes;
using qxtest::HexBytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

// 2014-03-05 08:09:10 in the local time of the test (TZ=UTC).
time_t FixedNow() { return 1394006950; }

// A board root of its own with the picture folder, a fixed clock and local time in UTC.
struct Board {
    Board() {
        char tmpl[] = "/tmp/qxcamXXXXXX";
        root = mkdtemp(tmpl);
        folder = root + "/NandFlash/www/wwwpub/images/";
        std::string p;
        for (const char* part : {"/NandFlash", "/www", "/wwwpub", "/images"}) {
            p += part;
            mkdir((root + p).c_str(), 0755);
        }
        setenv("QX_ROOT", root.c_str(), 1);
        setenv("TZ", "UTC", 1);
        tzset();
        qx::SetClockHook(FixedNow);
    }
    ~Board() {
        qx::SetClockHook(nullptr);
        unsetenv("QX_ROOT");
        std::string cmd = root;
        for (const char* f : {"20140305080910.JPEG", "K20140305080910.jpeg", "README"})
            unlink((folder + f).c_str());
        for (const char* d : {"/NandFlash/www/wwwpub/images", "/NandFlash/www/wwwpub",
                              "/NandFlash/www", "/NandFlash", ""})
            rmdir((root + d).c_str());
    }
    Bytes File(const char* name) const {
        std::ifstream f(folder + name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    bool Exists(const char* name) const { return access((folder + name).c_str(), F_OK) == 0; }
    std::string root, folder;
};

// The JPEG camera handler on a scripted channel answered by the camera model.
struct CamRig : iotest::Rig<CSMCamera> {
    CamRig() : iotest::Rig<CSMCamera>(11, 0xC00) {
        ch.SetResponder([this](const Bytes& rq) { return cam.Answer(rq); });
    }
    int Upd(int* bits, int flags = 0) { return h.DataUpd(flags, bits, nullptr, -1, &hist); }
    std::string Name() { return h.m_data.pic.name; }
    JpegCamera cam;
    Board board;
};

TEST(Camera, PollWritesThePictureNamedByTheClock) {
    CamRig r;
    const Bytes pic = qxsim::SamplePicture(2500, 3);  // 0x09C4 bytes
    r.cam.SetPicture(pic);
    iotest::Sleeps().clear();
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(3u, r.ch.Written().size());
    EXPECT_EQ("56 00 36 01 00", qxtest::Hex(r.ch.Written()[0]));
    EXPECT_EQ("56 00 34 01 00", qxtest::Hex(r.ch.Written()[1]));
    EXPECT_EQ("56 00 32 0C 00 0A 00 00 00 00 00 00 09 C4 00 1A", qxtest::Hex(r.ch.Written()[2]));
    EXPECT_EQ(2, r.ch.Purges());
    EXPECT_EQ((std::vector<int>{100, 300, 100}), iotest::Sleeps());
    EXPECT_EQ(pic, r.board.File("20140305080910.JPEG"));
    EXPECT_EQ(2500, r.h.DataVal(1));
    EXPECT_EQ("20140305080910.JPEG", r.Name());
    EXPECT_EQ(1, r.h.m_data.count);
    EXPECT_EQ(-1, r.h.DataVal(3));
    // The name is handed out as its address (from a handler made by new: below 2 GiB on
    // every build).
    std::unique_ptr<CSMCamera> heap(new CSMCamera);
    EXPECT_EQ((int)(uintptr_t)heap->m_data.pic.name, heap->DataVal(2));
    // The burst is read in pieces of at most 1024 bytes.
    for (size_t i = 2; i < r.ch.ReadLengths().size(); i++) EXPECT_GE(1024, r.ch.ReadLengths()[i]);

    // A poll in the same second writes the same file again.
    r.cam.SetPicture(qxsim::SamplePicture(100, 4));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(qxsim::SamplePicture(100, 4), r.board.File("20140305080910.JPEG"));
    EXPECT_EQ(2, r.h.m_data.count);
}

TEST(Camera, TheBurstEndsWithItsTrailerOrWhereTheLineFallsSilent) {
    // The burst is read to its header, the length announced and the trailer: no read after
    // them waits for the line to fall silent. One that stops short is read until it does,
    // and a picture without its trailer is still whole.
    struct Case {
        size_t cut;  // 0: the whole burst
        std::vector<int> burstReads;
    } cases[] = {
        {0, {1024, 1024, 462}},
        {5 + 2500, {1024, 1024, 462, 5}},
    };
    for (const Case& c : cases) {
        CamRig r;
        r.cam.SetPicture(qxsim::SamplePicture(2500, 3));
        r.cam.SetCut(c.cut);
        ASSERT_EQ(1, r.Poll()) << c.cut;
        const std::vector<int>& reads = r.ch.ReadLengths();
        ASSERT_LE(2u, reads.size());
        EXPECT_EQ(c.burstReads, std::vector<int>(reads.begin() + 2, reads.end())) << c.cut;
        EXPECT_EQ(qxsim::SamplePicture(2500, 3), r.board.File("20140305080910.JPEG")) << c.cut;
    }
}

// Each row spoils one reply of a poll after a good one: the poll fails and the name of the
// last good picture stays; the length is the one the length step read, when it was reached.
TEST(Camera, RefusedRepliesFailThePoll) {
    struct Case {
        const char* what;
        JpegCamera::Step step;
        Bytes reply;
        int length;     // DataVal(1) after the failed poll
        bool pause;     // the 2-second pause of a failed burst
    } cases[] = {
        {"frame silent", JpegCamera::kFrameStop, {}, 500, false},
        {"frame wrong", JpegCamera::kFrameStop, HexBytes("76 00 36 01 00"), 500, false},
        {"frame short", JpegCamera::kFrameStop, HexBytes("76 00 36"), 500, false},
        {"length silent", JpegCamera::kLength, {}, 500, false},
        {"length 65536 or more", JpegCamera::kLength, HexBytes("76 00 34 00 04 00 01 00 10"), 500, false},
        {"length byte 6", JpegCamera::kLength, HexBytes("76 00 34 00 04 00 01 00 10"), 500, false},
        {"length without its bytes", JpegCamera::kLength, HexBytes("76 00 34 00 04 00 00"), 500, false},
        {"length one byte short", JpegCamera::kLength, HexBytes("76 00 34 00 04 00 00 01"), 500, false},
        {"burst silent", JpegCamera::kPicture, {}, 600, true},
        {"burst bad header", JpegCamera::kPicture, HexBytes("76 00 32 00 01 FF D8 01 02"), 600, true},
        {"burst not a JPEG", JpegCamera::kPicture, HexBytes("76 00 32 00 00 FF D9 01 02"), 600, true},
        {"burst of 6 bytes", JpegCamera::kPicture, HexBytes("76 00 32 00 00 FF"), 600, true},
        {"burst shorter than length + 5", JpegCamera::kPicture, {}, 600, false},
    };
    for (const Case& c : cases) {
        CamRig r;
        r.cam.SetPicture(qxsim::SamplePicture(500, 5));
        ASSERT_EQ(1, r.Poll()) << c.what;
        r.cam.SetPicture(qxsim::SamplePicture(600, 6));
        if (strcmp(c.what, "burst shorter than length + 5") == 0)
            r.cam.SetCut(5 + 599);
        else
            r.cam.Override(c.step, c.reply);
        if (strcmp(c.what, "length byte 6") == 0)
            r.cam.Override(c.step, HexBytes("76 00 34 00 04 01 00 00 10"));
        unlink((r.board.folder + "20140305080910.JPEG").c_str());
        iotest::Sleeps().clear();
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(c.length, r.h.DataVal(1)) << c.what;
        EXPECT_EQ("20140305080910.JPEG", r.Name()) << c.what;
        EXPECT_EQ(1, r.h.m_data.count) << c.what;
        EXPECT_FALSE(r.board.Exists("20140305080910.JPEG")) << c.what;
        bool paused = !iotest::Sleeps().empty() && iotest::Sleeps().back() == 2000;
        EXPECT_EQ(c.pause, paused) << c.what;
    }
}

TEST(Camera, ChannelFaultsFailThePoll) {
    CamRig r;
    r.ch.SetResponder(nullptr);
    r.ch.ShortWrite(3);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(1u, r.ch.Written().size());
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 0, nullptr, 0));
}

TEST(Camera, UnwritableFolderFailsAndKeepsTheLastName) {
    CamRig r;
    ASSERT_EQ(1, r.Poll());
    setenv("QX_ROOT", (r.board.root + "/missing").c_str(), 1);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ("20140305080910.JPEG", r.Name());
    EXPECT_EQ(1, r.h.m_data.count);
}

// The set-up: reset, frame set-up, then settings 1 and 2, which share three tries.
TEST(Camera, SetUpSteps) {
    struct Override {
        JpegCamera::Step step;
        Bytes reply;
        int count;
    };
    const Bytes bad = HexBytes("76 00 31 00 01");
    const Bytes initEnd = qxtest::TextBytes("Init end\r\n");
    struct Case {
        const char* what;
        std::vector<Override> overrides;
        int result;
        std::vector<int> counts;  // requests of reset, frame set-up, setting 1, setting 2
    } cases[] = {
        {"all answer", {}, 1, {1, 1, 1, 1}},
        {"Init end at the frame step passes", {{JpegCamera::kFrameSetUp, initEnd, 1}}, 1, {1, 1, 1, 1}},
        {"Init end at reset does not", {{JpegCamera::kReset, initEnd, -1}}, 0, {3, 0, 0, 0}},
        {"reset silent once", {{JpegCamera::kReset, {}, 1}}, 1, {2, 1, 1, 1}},
        {"reset of 3 bytes", {{JpegCamera::kReset, HexBytes("76 00 26"), -1}}, 0, {3, 0, 0, 0}},
        {"frame wrong twice", {{JpegCamera::kFrameSetUp, HexBytes("76 00 36 00 01"), 2}}, 1, {1, 3, 1, 1}},
        {"frame wrong always", {{JpegCamera::kFrameSetUp, HexBytes("76 00 36 00 01"), -1}}, 0, {1, 3, 0, 0}},
        {"frame silent ends at once", {{JpegCamera::kFrameSetUp, {}, 1}}, 0, {1, 1, 0, 0}},
        {"setting 1 fails once: two tries left",
         {{JpegCamera::kSetting1, bad, 1}, {JpegCamera::kSetting2, bad, 1}}, 1, {1, 1, 2, 2}},
        {"setting 1 fails once, setting 2 twice",
         {{JpegCamera::kSetting1, bad, 1}, {JpegCamera::kSetting2, bad, 2}}, 0, {1, 1, 2, 2}},
        {"setting 1 fails twice: one try left",
         {{JpegCamera::kSetting1, bad, 2}, {JpegCamera::kSetting2, bad, 1}}, 0, {1, 1, 3, 1}},
        {"setting 1 fails twice, setting 2 answers", {{JpegCamera::kSetting1, bad, 2}}, 1, {1, 1, 3, 1}},
        {"setting 1 fails always", {{JpegCamera::kSetting1, bad, -1}}, 0, {1, 1, 3, 0}},
        {"setting 1 silent", {{JpegCamera::kSetting1, {}, 1}}, 0, {1, 1, 1, 0}},
        {"setting 2 silent", {{JpegCamera::kSetting2, {}, 1}}, 0, {1, 1, 1, 1}},
        {"setting 2 of 4 bytes", {{JpegCamera::kSetting2, HexBytes("76 00 31 00"), -1}}, 0, {1, 1, 1, 3}},
    };
    for (const Case& c : cases) {
        CamRig r;
        for (const Override& o : c.overrides) r.cam.Override(o.step, o.reply, o.count);
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, 0, nullptr, 0)) << c.what;
        const int counts[4] = {r.cam.Count(JpegCamera::kReset), r.cam.Count(JpegCamera::kFrameSetUp),
                               r.cam.Count(JpegCamera::kSetting1), r.cam.Count(JpegCamera::kSetting2)};
        EXPECT_EQ(c.counts, std::vector<int>(counts, counts + 4)) << c.what;
    }
}

TEST(Camera, SetUpRequests) {
    CamRig r;
    ASSERT_EQ(1, r.h.DoFunc(&r.ch, 1, 77, nullptr, 0));
    ASSERT_EQ(4u, r.ch.Written().size());
    EXPECT_EQ("56 00 26 00", qxtest::Hex(r.ch.Written()[0]));
    EXPECT_EQ("56 00 36 01 03", qxtest::Hex(r.ch.Written()[1]));
    EXPECT_EQ("56 00 31 05 01 01 12 04 80", qxtest::Hex(r.ch.Written()[2]));
    EXPECT_EQ("56 00 31 05 04 01 00 19 11", qxtest::Hex(r.ch.Written()[3]));
    EXPECT_EQ(1000, iotest::Sleeps().front());
    // A short write of the reset ends the set-up at once.
    CamRig s;
    s.ch.ShortWrite(2);
    EXPECT_EQ(0, s.h.DoFunc(&s.ch, 1, 0, nullptr, 0));
    EXPECT_EQ(1u, s.ch.Written().size());
}

// ---------------------------------------------------------------- 3GE

struct Cam3geRig : iotest::Rig<SMCamera3ge> {
    Cam3geRig() : iotest::Rig<SMCamera3ge>(12, 0xC01) {
        ch.SetResponder([this](const Bytes& rq) { return cam.Answer(rq); });
    }
    int Upd(int* bits, int flags = 0) { return h.DataUpd(flags, bits, nullptr, -1, &hist); }
    qxsim::Camera3ge cam;
    Board board;
};

TEST(Camera3ge, PollStreamsThePictureIntoTheFile) {
    struct Case {
        const char* what;
        size_t size;       // picture bytes the camera sends
        long announced;    // -1: its size
        Bytes first, second;
        int result;
        long fileBytes;    // -1: no file
    } cases[] = {
        {"whole picture", 3000, -1, {}, {}, 1, 3000},
        {"length bytes 00 10 announce 4096", 4096, -1, {}, HexBytes("55 50 00 10"), 1, 4096},
        {"length 0: an empty file", 100, 0, {}, {}, 1, 0},
        {"fewer bytes than announced", 700, 1000, {}, {}, 1, 700},
        {"more bytes than announced", 3000, 1000, {}, {}, 1, 1000},
        {"wrong UG#", 100, -1, qxtest::TextBytes("UG3"), {}, 0, -1},
        {"no UP", 100, -1, {}, qxtest::TextBytes("UQ\x64"), 0, -1},
    };
    for (const Case& c : cases) {
        Cam3geRig r;
        const Bytes pic = qxsim::SamplePicture(c.size, 9);
        r.cam.SetPicture(pic);
        r.cam.SetAnnouncedLength(c.announced);
        r.cam.SetHeaders(c.first, c.second);
        EXPECT_EQ(c.result, r.Poll()) << c.what;
        ASSERT_EQ(1u, r.ch.Written().size()) << c.what;
        EXPECT_EQ("UG3#", std::string(r.ch.Written()[0].begin(), r.ch.Written()[0].end()));
        EXPECT_EQ(1, r.ch.Purges()) << c.what;
        if (c.fileBytes < 0) {
            EXPECT_FALSE(r.board.Exists("K20140305080910.jpeg")) << c.what;
            EXPECT_EQ(0, r.h.DataVal(1)) << c.what;
            continue;
        }
        EXPECT_EQ(Bytes(pic.begin(), pic.begin() + c.fileBytes), r.board.File("K20140305080910.jpeg"))
            << c.what;
        EXPECT_EQ(c.fileBytes, r.h.DataVal(1)) << c.what;
        EXPECT_EQ("K20140305080910.jpeg", std::string(r.h.m_pic.name)) << c.what;
        for (int n : r.ch.ReadLengths()) EXPECT_GE(512, n) << c.what;
    }
}

// Bytes left on the line by an earlier poll (here the rest of a picture longer than it
// announced) do not spoil the next one.
TEST(Camera3ge, LeftoverBytesGoBeforeTheSnapshot) {
    Cam3geRig r;
    r.ch.SetMergeReads(true);
    r.ch.Inject(qxsim::SamplePicture(700, 3));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(2000, r.h.DataVal(1));
}

TEST(Camera3ge, ChannelAndFolderFaults) {
    Cam3geRig r;
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    r.ch.SetOpen(true);
    ASSERT_EQ(1, r.Poll());
    // A folder that cannot be written: 0, and the last good picture stays.
    setenv("QX_ROOT", (r.board.root + "/missing").c_str(), 1);
    r.cam.SetPicture(qxsim::SamplePicture(10, 1));
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ("K20140305080910.jpeg", std::string(r.h.m_pic.name));
    EXPECT_EQ(2000, r.h.DataVal(1));
}

// ---------------------------------------------------------------- tbCamera

template <class Rig>
void CheckRows(Rig& r, int sid, const char* file) {
    ASSERT_EQ(1, r.Poll());
    int bits[1] = {0};
    ASSERT_EQ(1, r.Upd(bits));
    const std::string where = " where SID=" + std::to_string(sid);
    EXPECT_EQ(std::string("0|") + file, r.db.Str("select State||'|'||FileName from tbCamera" + where));
    EXPECT_EQ(std::string("文件名：") + file, r.db.Str("select Brief from tbSMBrief" + where));
    EXPECT_EQ(std::string("0|") + file, r.hist.Str("select State||'|'||FileName from tbCamera" + where));

    // No answer: length and name cleared, the summary says so and names no file.
    ASSERT_EQ(1, r.Upd(nullptr));
    EXPECT_EQ("2|", r.db.Str("select State||'|'||FileName from tbCamera" + where));
    const std::string brief = r.db.Str("select Brief from tbSMBrief" + where);
    EXPECT_EQ(qx::sql::NoAnswerBrief(), brief);
    EXPECT_EQ(std::string::npos, brief.find(file));
    EXPECT_EQ(std::string::npos, brief.find("正常"));
    EXPECT_EQ(0, r.h.DataVal(1));
    EXPECT_EQ(2, r.hist.Int("select count(*) from tbCamera" + where));
    EXPECT_EQ("", r.hist.Str("select FileName from tbCamera" + where + " order by DID desc limit 1"));

    // Host alarm flag and SnapID from flags bit 4.
    ASSERT_EQ(1, r.Poll());
    int snap = 42;
    ASSERT_EQ(1, r.h.DataUpd(0x11, bits, &snap, -1, &r.hist));
    EXPECT_EQ("1|42", r.db.Str("select State||'|'||SnapID from tbCamera" + where));
    // Without a history database the current row is the result.
    EXPECT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(3, r.hist.Int("select count(*) from tbCamera" + where));
}

TEST(CameraTable, RowsAndSummaries) {
    {
        CamRig r;
        CheckRows(r, 11, "20140305080910.JPEG");
        EXPECT_EQ("3072|相机 QX-CAM", r.db.Str("select Kind||'|'||Name from tbSMType where Type=3072"));
    }
    {
        Cam3geRig r;
        CheckRows(r, 12, "K20140305080910.jpeg");
    }
}

TEST(CameraTable, ThePictureBelongsToItsPoint) {
    CamRig r;
    ASSERT_EQ(1, r.Poll());
    qxhost::PointItem other(13, 0xC00);
    other.Name("Q").Port(2).Addr(1).Ser(&r.ch);
    ASSERT_EQ(1, r.h.ChkDb(other));
    r.h.DoItem(other, 0);
    r.cam.Override(JpegCamera::kFrameStop, {});
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 1, 0));
    EXPECT_EQ("", r.Name());
    EXPECT_EQ(0, r.h.DataVal(1));
}

}  // namespace
