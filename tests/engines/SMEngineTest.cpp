// The engine skeleton (factory, loading, registration, tables, values, storing), driven
// through the Modbus engine against an in-memory Modbus slave.
#include <string.h>

#include <memory>
#include <string>

#include "EngineFixture.h"
#include "ModbusSlave.h"
#include "PointItem.h"
#include "SMManager.h"
#include "engines/SMModbus.h"
#include "ScriptChannel.h"
#include "TestDb.h"
#include "gtest/gtest.h"

namespace {

const int kType = 0x1200;  // SM4608.def

// A temperature/humidity device: holding registers 0 and 1 in tenths.
const char kTH[] =
    "[comm]\n"
    "note=TH-01\n"
    "model=QX-TH\n"
    "delay=0\n"
    "brief=T=%1% H=%2%\n"
    "[flds]\n"
    "cnt=2\n"
    "1=40001\n"
    "2=40002\n"
    "[flds.def]\n"
    "1='Temp',1,'T',0,10,1,0,'',600,''\n"
    "2='Hum',1,'H',0,1,1,0,'',900,''\n"
    "[regs3]\n"
    "0=2\n";

struct Rig {
    BoardRoot root;
    NoSleep nosleep;
    TestDb db, hist;
    qxsim::ModbusSlave slave{1};
    qxtest::ScriptChannel ch;
    qxhost::PointItem item{7, kType};
    std::unique_ptr<CSMModbus, void (*)(CSMModbus*)> h{nullptr, [](CSMModbus* p) { delete p; }};

    Rig() {
        ch.SetResponder([this](const qxtest::Bytes& req) {
            return slave.HandleRtu(req.data(), req.size()).bytes;
        });
        item.Addr(1).Port(3).Name("th");
    }
    // Writes the file and makes the handler through the factory.
    CSMModbus* Make(const std::string& def, int type = kType) {
        root.WriteDef(type, def);
        h.reset(static_cast<CSMModbus*>(NewModbusHandler(type)));
        if (h) {
            h->SetDb(&db, 0);
            h->SetDb(&hist, 1);
        }
        return h.get();
    }
    int Poll() {
        h->DoItem(item, 0);
        return h->DataGet(&ch, 1, 0);
    }
};

TEST(EngineFactory, NoFileNoHandlerElseOneReportingTheCode) {
    Rig r;
    EXPECT_EQ(NewModbusHandler(0x1234), nullptr);
    r.root.WriteDef(0x1234, kTH);  // SM4660.def
    ASSERT_EQ(r.root.DefPath(0x1234).substr(r.root.Path().size()), "/NandFlash/SM/SM4660.def");
    std::unique_ptr<CSMModbus, void (*)(CSMModbus*)> h(
        static_cast<CSMModbus*>(NewModbusHandler(0x1234)), [](CSMModbus* p) { delete p; });
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->GetType(), 0x1234);
    EXPECT_TRUE(h->Loaded());
    h->RegDb(&r.db, 0);
    EXPECT_EQ(r.db.Int("select Kind from tbSMType where Type=4660"), 4608);
    EXPECT_EQ(r.db.Str("select Name from tbSMType where Type=4660"), "QX-TH");
    EXPECT_EQ(r.db.Str("select Note from tbSMType where Type=4660"), "TH-01");
}

TEST(EngineFactory, ManagerAsksAgainUntilTheFileExists) {
    Rig r;
    CSMManager* m = CSMManager::GetInstance();
    for (int round = 0; round < 2; round++) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(m->GetSM(0x13FF), nullptr);
        EXPECT_NE(testing::internal::GetCapturedStdout().find("CSMManager::GetSM NULL: type=5119\r\n"),
                  std::string::npos);
    }
    r.root.WriteDef(0x13FF, kTH);
    ISMBase* h = m->GetSM(0x13FF);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->GetType(), 0x13FF);
    EXPECT_EQ(m->GetSM(0x13FF), h);
    CSMManager::FreeInstance();
}

TEST(EngineFactory, UnreadableFileLeavesAnUnloadedHandler) {
    Rig r;
    std::unique_ptr<CSMModbus, void (*)(CSMModbus*)> h(new CSMModbus(kType),
                                                       [](CSMModbus* p) { delete p; });
    EXPECT_EQ(h->LoadDef((r.root.Path() + "/none.def").c_str()), -1);
    EXPECT_FALSE(h->Loaded());
    EXPECT_EQ(h->DataSize(), 1);
    EXPECT_EQ(h->DataVal(1), -1);
    EXPECT_EQ(h->DataGet(&r.ch, 1, 0), 0);
    EXPECT_TRUE(r.ch.Written().empty());
    EXPECT_STREQ(h->GetNote(), "QXMB-base");
    h->RegDb(&r.db, 1);
    EXPECT_EQ(r.db.Str("select Name||'/'||Note from tbSMType where Type=4608"), "QXMB-base/QXMB-base");
    EXPECT_EQ(r.db.Int("select count(*) from tbSMDef"), 0);
}

TEST(EngineLoad, EmptyFileGivesALoadedHandlerWithDefaults) {
    Rig r;
    ASSERT_NE(r.Make(""), nullptr);
    EXPECT_TRUE(r.h->Loaded());
    EXPECT_EQ(r.h->DataSize(), 0);
    EXPECT_STREQ(r.h->GetNote(), "QXMB-base");
    r.h->DoItem(r.item, 0);
    EXPECT_EQ(r.h->DataGet(&r.ch, 1, 0), 1);  // nothing to read
    EXPECT_TRUE(r.ch.Written().empty());
    EXPECT_EQ(r.h->DataVal(1), -1);
    r.h->RegDb(&r.db, 0);
    EXPECT_EQ(r.db.Str("select Type||'/'||Kind||'/'||Name||'/'||Note from tbSMType"),
              "4608/4608/QXMB-base/QXMB-base");
    EXPECT_EQ(r.db.Int("select count(*) from tbSMDef"), 0);
}

TEST(EngineLoad, FieldModelFromTheDefinitionRows) {
    Rig r;
    ASSERT_NE(r.Make(kTH), nullptr);
    SimpleIni& ini = r.h->Ini();
    EXPECT_EQ(ini.GetValue(SEC_FLDSVAL, "Temp", ""), "1");
    EXPECT_EQ(ini.GetValue(SEC_FLDSVAL, "1", ""), "10");
    EXPECT_EQ(ini.GetValue(SEC_FLDSVAL, "Hum", ""), "2");
    EXPECT_EQ(ini.GetValue(SEC_FLDSVAL, "2", "<none>"), "<none>");  // divisor "1": no entry
    EXPECT_EQ(r.h->DataSize(), 2);
    EXPECT_STREQ(r.h->GetNote(), "TH-01");
}

TEST(EngineLoad, RowsWithoutNameOrDivisor) {
    Rig r;
    ASSERT_NE(r.Make("[flds]\ncnt=3\n[flds.def]\n1=Temp,1,2,3,4,5\n2='A',1,'x',0\n3='B',1,'x',0, 100 ,1\n"),
              nullptr);
    SimpleIni& ini = r.h->Ini();
    EXPECT_EQ(ini.GetValue(SEC_FLDSVAL, "1", "<none>"), "<none>");  // no "',": nothing
    EXPECT_EQ(ini.GetValue(SEC_FLDSVAL, "A", ""), "2");
    EXPECT_EQ(ini.GetValue(SEC_FLDSVAL, "2", "<none>"), "<none>");  // fewer than five commas
    EXPECT_EQ(ini.GetValue(SEC_FLDSVAL, "3", ""), " 100 ");         // verbatim
}

TEST(EngineLoad, BoundsOfTheDefinition) {
    Rig r;
    std::string longName(64, 'n');
    std::string def = "[comm]\nnote=" + std::string(40, 'M') +
                      "\n[flds]\ncnt=99999999\n[flds.def]\n1='" + longName + "',1,'x',0,10,0\n2='" +
                      longName.substr(1) + "',1,'x',0,10,0\n";
    ASSERT_NE(r.Make(def), nullptr);
    EXPECT_EQ(strlen(r.h->GetNote()), 31u);
    EXPECT_EQ(r.h->DataSize(), CSMEngine::kMaxFields);
    EXPECT_EQ(r.h->Ini().GetValue(SEC_FLDSVAL, longName, "<none>"), "<none>");
    EXPECT_EQ(r.h->Ini().GetValue(SEC_FLDSVAL, longName.substr(1), ""), "2");
}

TEST(EngineLoad, ModelTextCutWholeCharacters) {
    Rig r;
    // 30 ASCII bytes, then a two-byte character that would end at byte 32.
    std::string note = std::string(30, 'a') + "\xB0\xA1";
    ASSERT_NE(r.Make("[comm]\nnote=" + note + "\n"), nullptr);
    EXPECT_EQ(std::string(r.h->GetNote()), std::string(30, 'a'));
}

TEST(EngineRegDb, DefinitionRowsAndForce) {
    Rig r;
    std::string def = kTH;
    def.insert(def.find("[regs3]"), "01='',2,'g',0,1,0,0,'',0,''\n02='',3,'g',0,1,0,0,'',0,''\n"
                                    "x1='X',1,'x',0,1,0,0,'',0,''\n3=\n");
    ASSERT_NE(r.Make(def), nullptr);
    r.h->RegDb(&r.db, 0);
    EXPECT_EQ(r.db.Int("select count(*) from tbSMDef where Type=4608"), 4);
    EXPECT_EQ(r.db.Int("select count(*) from tbSMDef where Type=4608 and Fld=0"), 2);
    EXPECT_EQ(r.db.Str("select FldName||Ratio from tbSMDef where Fld=1"), "Temp10");
    EXPECT_EQ(r.db.Int("select count(*) from tbSMType"), 1);

    r.db.Run("update tbSMDef set Note='edited' where Fld=1");
    r.h->RegDb(&r.db, 0);  // rows present, no force: nothing changes
    EXPECT_EQ(r.db.Int("select count(*) from tbSMDef where Type=4608"), 4);
    EXPECT_EQ(r.db.Str("select Note from tbSMDef where Fld=1"), "edited");
    r.h->RegDb(&r.db, 1);  // force: rewritten
    EXPECT_EQ(r.db.Int("select count(*) from tbSMDef where Type=4608"), 4);
    EXPECT_EQ(r.db.Str("select Note from tbSMDef where Fld=1"), "T");
    EXPECT_EQ(r.db.Int("select count(*) from tbSMType"), 1);
}

TEST(EngineRegDb, ModelAndNoteAreEscaped) {
    Rig r;
    ASSERT_NE(r.Make("[comm]\nnote=O'Neil\nmodel=it's\n"), nullptr);
    r.h->RegDb(&r.db, 0);
    EXPECT_EQ(r.db.Str("select Name||'|'||Note from tbSMType where Type=4608"), "it's|O'Neil");
}

TEST(EngineChkDb, TablesInBothDatabasesAndThePointRows) {
    Rig r;
    ASSERT_NE(r.Make(kTH), nullptr);
    EXPECT_EQ(r.h->ChkDb(nullptr), 1);
    for (TestDb* db : {&r.db, &r.hist}) {
        EXPECT_TRUE(db->TableExists("tbModbus"));
        EXPECT_TRUE(db->TableExists("tbModbusDat"));
    }
    EXPECT_EQ(r.db.Str("select sql from sqlite_master where name='tbModbus'"),
              "CREATE TABLE tbModbus(DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTGER,"
              "Addr INTEGER,DateUpd DATETIME,State INTEGER,SnapID INTEGER)");
    EXPECT_EQ(r.db.Str("select sql from sqlite_master where name='tbModbusDat'"),
              "CREATE TABLE tbModbusDat(LID INTEGER PRIMARY KEY,DID INTEGER,SID INTEGER,"
              "Fld VARCHAR(64),Val INTEGER)");
    EXPECT_EQ(r.h->ChkDb(r.item), 1);
    EXPECT_EQ(r.db.Str("select SID||','||Type||','||Port||','||Addr||','||State from tbModbus"),
              "7,4608,3,1,-1");
    EXPECT_EQ(r.db.Int("select count(*) from tbSMBrief where SID=7"), 1);

    CSMModbus* h = r.h.get();
    h->SetDb(nullptr, 0);
    EXPECT_EQ(h->ChkDb(r.item), 0);
}

TEST(EngineValues, DataValVarEvalAndTheSummary) {
    Rig r;
    ASSERT_NE(r.Make(kTH), nullptr);
    r.h->ChkDb(r.item);
    r.slave.SetHolding(0, 253);
    r.slave.SetHolding(1, 45);
    ASSERT_EQ(r.Poll(), 1);
    EXPECT_EQ(r.h->DataVal(1), 253);
    EXPECT_EQ(r.h->DataVal(2), 45);
    for (int fld : {3, 0, -1}) EXPECT_EQ(r.h->DataVal(fld), -1) << fld;

    char buf[32] = ".Temp";
    EXPECT_EQ(r.h->VarEval(buf), 3);
    EXPECT_STREQ(buf, "253");
    char unknown[32] = ".Nope";
    EXPECT_EQ(r.h->VarEval(unknown), -1);
    EXPECT_STREQ(unknown, ".Nope");

    int bits = 0;
    EXPECT_EQ(r.h->DataUpd(0, &bits, nullptr, -1, nullptr), 1);
    EXPECT_EQ(r.db.Str("select Brief||'/'||St from tbSMBrief where SID=7"), "T=25.3 H=45/0");
}

TEST(EngineValues, NoValueBeforeAPollOrAfterAFailedOne) {
    Rig r;
    ASSERT_NE(r.Make(kTH), nullptr);
    EXPECT_EQ(r.h->DataVal(1), -1);
    r.slave.SetHolding(0, 253);
    ASSERT_EQ(r.Poll(), 1);
    r.slave.SetFault(qxsim::ModbusFault::Silence);
    EXPECT_EQ(r.Poll(), 0);
    EXPECT_EQ(r.h->DataVal(1), -1);  // [vals] was emptied by the failed poll
}

TEST(EngineStore, StateSnapAndCurrentRow) {
    struct Case {
        int flags;
        bool bits;
        int snap;
        int state, snapId;
    } cases[] = {
        {0, false, 5, 2, 0},   // no alarm bits: no answer
        {0, true, 5, 0, 0},    // normal
        {1, true, 5, 1, 0},    // alarm
        {16, true, 5, 0, 5},   // SnapID taken
        {17, false, 9, 1, 9},  // the host's alarm flag wins over no answer
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make(kTH), nullptr);
        r.h->ChkDb(r.item);
        r.db.Run("insert into tbSubSysDetail(SID,Type,State) values(7,4608,-5)");
        r.h->DoItem(r.item, 0);
        int bits = 0, snap = c.snap;
        EXPECT_EQ(r.h->DataUpd(c.flags, c.bits ? &bits : nullptr, &snap, -1, nullptr), 1);
        EXPECT_EQ(r.db.Int("select State from tbModbus where SID=7"), c.state) << c.flags;
        EXPECT_EQ(r.db.Int("select SnapID from tbModbus where SID=7"), c.snapId) << c.flags;
        EXPECT_EQ(r.db.Int("select State from tbSubSysDetail where SID=7"), c.state) << c.flags;
    }
}

TEST(EngineStore, DetailRowsCurrentAndHistory) {
    Rig r;
    ASSERT_NE(r.Make(kTH), nullptr);
    r.h->ChkDb(r.item);
    r.slave.SetHolding(0, 253);
    r.slave.SetHolding(1, 45);
    int bits = 0;
    for (int poll = 0; poll < 2; poll++) {
        ASSERT_EQ(r.Poll(), 1);
        EXPECT_EQ(r.h->DataUpd(0, &bits, nullptr, -1, &r.hist), 1);
    }
    // Main: one set of DID-0 rows, rewritten every poll.
    EXPECT_EQ(r.db.Int("select count(*) from tbModbusDat"), 2);
    EXPECT_EQ(r.db.Str("select group_concat(Fld||'='||Val||'/'||DID||'/'||SID) from "
                       "(select * from tbModbusDat order by Fld)"),
              "V40001=253/0/7,V40002=45/0/7");
    // History: one device row and one set of detail rows per call, carrying its id.
    EXPECT_EQ(r.hist.Int("select count(*) from tbModbus"), 2);
    EXPECT_EQ(r.hist.Str("select SID||','||Type||','||Port||','||Addr||','||State from tbModbus "
                         "order by DID limit 1"),
              "7,4608,3,1,0");
    EXPECT_EQ(r.hist.Int("select count(*) from tbModbusDat"), 4);
    EXPECT_EQ(r.hist.Int("select count(*) from tbModbusDat d join tbModbus m on m.DID=d.DID"), 4);
    EXPECT_EQ(r.hist.Int("select count(distinct DID) from tbModbusDat"), 2);
}

TEST(EngineStore, FailedHistoryInsertFailsTheCall) {
    Rig r;
    ASSERT_NE(r.Make(kTH), nullptr);
    r.h->SetDb(&r.db, 0);
    r.h->SetDb(nullptr, 1);
    r.h->ChkDb(r.item);  // the history database gets no tables
    ASSERT_EQ(r.Poll(), 1);
    int bits = 0;
    EXPECT_EQ(r.h->DataUpd(0, &bits, nullptr, -1, &r.hist), 0);
    EXPECT_EQ(r.h->DataUpd(0, &bits, nullptr, -1, nullptr), 1);
}

TEST(EngineStore, ValueTextsAndKeysGoInSafely) {
    Rig r;
    ASSERT_NE(r.Make(std::string(kTH) + "[vals]\nempty=\nq'k=1\ntext=a'b\n"), nullptr);
    r.h->ChkDb(r.item);
    r.h->DoItem(r.item, 0);  // no poll: the file's own [vals] entries are stored
    int bits = 0;
    EXPECT_EQ(r.h->DataUpd(0, &bits, nullptr, -1, nullptr), 1);
    EXPECT_EQ(r.db.Str("select ifnull(Val,'<null>') from tbModbusDat where Fld='Vempty'"), "<null>");
    EXPECT_EQ(r.db.Int("select Val from tbModbusDat where Fld='Vq''k'"), 1);
    EXPECT_EQ(r.db.Str("select Val from tbModbusDat where Fld='Vtext'"), "a'b");
}

TEST(EngineStore, SummaryWithQuotesAndOverlongSummary) {
    Rig r;
    std::string def = kTH;
    def.replace(def.find("brief="), 6, "brief=it's ");
    ASSERT_NE(r.Make(def), nullptr);
    r.h->ChkDb(r.item);
    r.slave.SetHolding(0, 253);
    ASSERT_EQ(r.Poll(), 1);
    int bits = 0;
    EXPECT_EQ(r.h->DataUpd(0, &bits, nullptr, -1, nullptr), 1);
    EXPECT_EQ(r.db.Str("select Brief from tbSMBrief where SID=7"), "it's T=25.3 H=0");

    Rig r2;
    ASSERT_NE(r2.Make("[comm]\nbrief=" + std::string(CSMEngine::kMaxBrief, 'b') + "\n"), nullptr);
    r2.h->ChkDb(r2.item);
    r2.h->DoItem(r2.item, 0);
    EXPECT_EQ(r2.h->DataUpd(0, &bits, nullptr, -1, nullptr), 1);
    EXPECT_EQ(r2.db.Str("select ifnull(Brief,'<null>') from tbSMBrief where SID=7"), "<null>");
}

TEST(EngineStore, NeitherDatabase) {
    Rig r;
    ASSERT_NE(r.Make(kTH), nullptr);
    r.h->SetDb(nullptr, 0);
    r.h->DoItem(r.item, 0);
    EXPECT_EQ(r.h->DataUpd(0, nullptr, nullptr, -1, nullptr), 1);
}

}  // namespace
