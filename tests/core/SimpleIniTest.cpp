// The INI document of the engines: loading, comments and descriptions, saving in the same
// shape, typed values, and the placeholder expansion of summary texts.
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "SimpleIni.h"
#include "gtest/gtest.h"

namespace {

class Ini : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tmp = getenv("TMPDIR");
        std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/qxini.XXXXXX";
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back('\0');
        ASSERT_NE(mkdtemp(buf.data()), nullptr);
        dir = buf.data();
    }
    void TearDown() override
    {
        for (const std::string& f : files)
            unlink(f.c_str());
        rmdir(dir.c_str());
    }
    std::string Write(const std::string& content, const char* name = "t.ini")
    {
        std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        files.push_back(path);
        return path;
    }
    std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string Path(const char* name)
    {
        std::string p = dir + "/" + name;
        files.push_back(p);
        return p;
    }

    std::string dir;
    std::vector<std::string> files;
};

std::vector<std::string> Keys(SimpleIni& ini, const std::string& section)
{
    std::vector<std::string> keys;
    for (auto it = ini.beginKey(section); it != ini.endKey(section); ++it)
        keys.push_back(it->first);
    return keys;
}

std::vector<std::string> Sections(SimpleIni& ini)
{
    std::vector<std::string> names;
    for (auto it = ini.beginSection(); it != ini.endSection(); ++it)
        names.push_back(it->first);
    return names;
}

TEST_F(Ini, FiveLineDocumentLoadsAndSavesInItsShape)
{
    std::string path = Write("; head\n[s]\na = 1 ;note\nb\n#x=2\n");
    SimpleIni ini;
    ASSERT_TRUE(ini.Load(path));
    EXPECT_EQ(Sections(ini), std::vector<std::string>{"s"});
    EXPECT_EQ(Keys(ini, "s"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(ini.GetValue("s", "a", "?"), "1");
    EXPECT_EQ(ini.GetComment("s", "a"), "note");
    EXPECT_EQ(ini.GetValue("s", "b", "?"), "");
    EXPECT_EQ(ini.GetComment("s", "b"), "");
    EXPECT_EQ(ini.Descriptions().at("s").at(""), " head");
    EXPECT_EQ(ini.Descriptions().at("s").count("a"), 0u);
    EXPECT_EQ(ini.Descriptions().at("s").count("b"), 0u);
    EXPECT_EQ(ini.Path(), path);

    std::string out = Path("out.ini");
    ASSERT_TRUE(ini.SaveAs(out));
    EXPECT_EQ(Read(out), "# head\n[s]\na=1\t;note\nb=\n");
}

TEST_F(Ini, EntryLines)
{
    struct Case {
        const char* line;
        const char* key;
        const char* value;
        const char* comment;
    } cases[] = {
        {"k=v#c;d", "k", "v", "c;d"},      // the earlier mark counts
        {"k=v;c#d", "k", "v", "c#d"},
        {"k=v ; c ", "k", "v", " c "},     // the comment keeps its blanks
        {" k \t= v w \t", "k", "v w", ""},
        {"k=a=b", "k", "a=b", ""},
        {"k", "k", "", ""},
        {"=v", "", "v", ""},
        {"k=v\r", "k", "v", ""},           // CR LF
        {"k=v\r\r", "k", "v\r", ""},       // only the last control character goes
    };
    for (const Case& c : cases) {
        SimpleIni ini;
        ASSERT_TRUE(ini.Load(Write(std::string("[t]\n") + c.line + "\n")));
        EXPECT_EQ(Keys(ini, "t"), std::vector<std::string>{c.key}) << c.line;
        EXPECT_EQ(ini.GetValue("t", c.key, "?"), c.value) << c.line;
        EXPECT_EQ(ini.GetComment("t", c.key), c.comment) << c.line;
    }
}

TEST_F(Ini, SectionHeaders)
{
    struct Case {
        const char* header;
        const char* name;
    } cases[] = {
        {"[ s1 ]x", "s1"},   // text after the bracket is ignored
        {"[abc", "abc"},     // no closing bracket: the rest of the line
        {"[\ta b\t]", "a b"},
        {"[comm]\r", "comm"},
        {"[]", ""},
    };
    for (const Case& c : cases) {
        SimpleIni ini;
        ASSERT_TRUE(ini.Load(Write(std::string(c.header) + "\nk=1\n")));
        EXPECT_EQ(Sections(ini), std::vector<std::string>{c.name}) << c.header;
        EXPECT_EQ(ini.GetValue(c.name, "k", "?"), "1") << c.header;
    }
}

TEST_F(Ini, DescriptionsBelongToTheNextSectionOrKey)
{
    std::string text =
        "top=0\n"
        "#about s\n"
        ";second line\n"
        "[s]\n"
        "\n"
        "# about k\n"
        "k=1\n"
        "[r]\n"
        "x=2#tail\n"
        "#orphan\n";
    SimpleIni ini;
    ASSERT_TRUE(ini.Load(Write(text)));
    EXPECT_EQ(Sections(ini), (std::vector<std::string>{"", "r", "s"}));
    EXPECT_EQ(ini.GetValue("", "top", "?"), "0");
    EXPECT_EQ(ini.Descriptions().at("s").at(""), "about s\nsecond line");
    EXPECT_EQ(ini.Descriptions().at("s").at("k"), " about k");
    EXPECT_EQ(ini.GetComment("r", "x"), "tail");

    std::string out = Path("out.ini");
    ASSERT_TRUE(ini.SaveAs(out));
    EXPECT_EQ(Read(out),
              "top=0\n"
              "\n"
              "[r]\n"
              "x=2\t;tail\n"
              "\n"
              "#about s\n"
              "#second line\n"
              "[s]\n"
              "# about k\n"
              "k=1\n");

    // What was saved loads back to the same document.
    SimpleIni again;
    ASSERT_TRUE(again.Load(out));
    EXPECT_EQ(Sections(again), Sections(ini));
    EXPECT_EQ(again.GetComment("r", "x"), "tail");
    EXPECT_EQ(again.Descriptions(), ini.Descriptions());
}

TEST_F(Ini, EmptyKeyWithCommentIsSavedAsAComment)
{
    SimpleIni ini;
    ini.SetComment("s", "", "note");
    ini.SetValue("s", "k", "v");
    std::string out = Path("out.ini");
    ASSERT_TRUE(ini.SaveAs(out));
    EXPECT_EQ(Read(out), "[s]\n#note\nk=v\n");
}

TEST_F(Ini, KeysAreOrderedAsBytes)
{
    SimpleIni ini;
    for (const char* k : {"b", "a", "B", "\xC0", "10", "9"})
        ini.SetValue("s", k, "1");
    EXPECT_EQ(Keys(ini, "s"), (std::vector<std::string>{"10", "9", "B", "a", "b", "\xC0"}));
    EXPECT_TRUE(ini.beginKey("missing") == ini.endKey("missing"));
    EXPECT_EQ(Sections(ini), std::vector<std::string>{"s"});
}

TEST_F(Ini, ValuesAndComments)
{
    SimpleIni ini;
    ini.SetComment("s", "k", "c");
    ini.SetValue("s", "k", "v");
    EXPECT_EQ(ini.GetValue("s", "k", "?"), "v");
    EXPECT_EQ(ini.GetComment("s", "k"), "c");
    ini.SetComment("s", "k", "d");
    EXPECT_EQ(ini.GetValue("s", "k", "?"), "v");
    EXPECT_EQ(ini.GetValue("s", "missing", "dflt"), "dflt");
    EXPECT_EQ(ini.GetValue("nosuch", "k", "dflt"), "dflt");
    EXPECT_EQ(ini.GetComment("nosuch", "k"), "");

    ini.SetValue<int>("n", "i", -42);
    char text64[64] = "text of 64";
    char text1[1] = "";
    ini.SetValue("n", "t", text64);
    ini.SetValue("n", "e", text1);
    EXPECT_EQ(ini.GetValue("n", "i", "?"), "-42");
    EXPECT_EQ(ini.GetValue("n", "t", "?"), "text of 64");
    EXPECT_EQ(ini.GetValue("n", "e", "?"), "");
}

TEST_F(Ini, IntegerValues)
{
    struct Case {
        const char* value;  // nullptr: no key
        int expect;
    } cases[] = {
        {nullptr, 7},
        {"42abc", 42},
        {" -7", -7},
        {"+3", 3},
        {";", 7},           // the text that stands for a missing key
        {"abc", 7},         // no number at all
        {"", 7},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
    };
    for (const Case& c : cases) {
        SimpleIni ini;
        if (c.value)
            ini.SetValue("s", "k", std::string(c.value));
        EXPECT_EQ(ini.GetValue<int>("s", "k", 7), c.expect) << (c.value ? c.value : "(none)");
    }
}

TEST_F(Ini, DeleteKey)
{
    SimpleIni ini;
    ini.SetValue("s", "a", "1");
    ini.SetValue("s", "b", "2");
    ini.SetValue("t", "a", "3");
    ini.DeleteKey("s", "a");
    EXPECT_EQ(Keys(ini, "s"), std::vector<std::string>{"b"});
    ini.DeleteKey("s", "#all");
    EXPECT_TRUE(Keys(ini, "s").empty());
    EXPECT_EQ(ini.GetValue("t", "a", "?"), "3");
    ini.DeleteKey("new", "x");
    EXPECT_EQ(Sections(ini), (std::vector<std::string>{"new", "s", "t"}));
}

TEST_F(Ini, FilesThatCannotBeOpened)
{
    std::string missing = dir + "/none.ini";
    try {
        SimpleIni ini(missing);
        ADD_FAILURE() << "no exception";
    } catch (const std::string& text) {
        EXPECT_EQ(text, "Unable to open the file " + missing + " in read mode.");
    }

    SimpleIni ini(Write("[s]\nk=1\n#d\n[t]\n"));
    EXPECT_EQ(ini.GetValue("s", "k", "?"), "1");
    EXPECT_EQ(ini.Descriptions().at("t").at(""), "d");
    EXPECT_FALSE(ini.Load(missing));
    EXPECT_TRUE(Sections(ini).empty());
    EXPECT_EQ(ini.Path(), missing);
    EXPECT_EQ(ini.Descriptions().at("t").at(""), "d");  // descriptions stay
    EXPECT_FALSE(ini.SaveAs(dir + "/no/such/dir.ini"));
}

TEST_F(Ini, SaveWritesToTheLoadedPath)
{
    std::string path = Write("[s]\nk = 1\n");
    SimpleIni ini(path);
    ini.SetValue("s", "j", "2");
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(Read(path), "[s]\nj=2\nk=1\n");
}

// ------------------------------------------------------------------ VarByIni
SimpleIni Fields(int cnt, const std::vector<std::vector<std::string>>& fields)
{
    // fields: {number, name, scale or "", value or ""}
    SimpleIni ini;
    ini.SetValue<int>(SEC_FLDS, "cnt", cnt);
    for (const auto& f : fields) {
        if (!f[1].empty())
            ini.SetValue(SEC_FLDS, f[0], f[1]);
        if (!f[2].empty())
            ini.SetValue(SEC_FLDSVAL, f[0], f[2]);
        if (!f[3].empty())
            ini.SetValue(SEC_VALS, f[1], f[3]);
    }
    return ini;
}

TEST(VarByIni, Expansion)
{
    struct Case {
        const char* name;
        const char* text;
        int cnt;
        std::vector<std::vector<std::string>> fields;
        const char* result;
    } cases[] = {
        {"scaled and plain", "T=%1% H=%2%", 2, {{"1", "t", "10", "253"}, {"2", "h", "", "45"}}, "T=25.3 H=45"},
        {"hundredths keep one decimal", "%1%", 1, {{"1", "v", "100", "253"}}, "2.5"},
        {"thousandths", "%1%", 1, {{"1", "v", "1000", "-2500"}}, "-2.5"},
        {"ten-thousandths", "%1%", 1, {{"1", "v", "10000", "123456"}}, "12.3"},
        {"another scale leaves the value", "%1%", 1, {{"1", "v", "7", "253"}}, "253"},
        {"a text is not scaled", "%1%", 1, {{"1", "v", "10", "on"}}, "on"},
        {"a field without a name stays", "a%1%b", 1, {{"1", "", "", ""}}, "a%1%b"},
        {"a field without a value empties", "a%1%b", 1, {{"1", "v", "", ""}}, "ab"},
        {"beyond cnt stays", "%1% %2%", 1, {{"1", "a", "", "x"}, {"2", "b", "", "y"}}, "x %2%"},
        {"only the first occurrence", "%1%-%1%", 1, {{"1", "a", "", "x"}}, "x-%1%"},
        {"values are cut to 15 characters", "[%1%]", 1, {{"1", "a", "", "0123456789abcdefXYZ"}},
         "[0123456789abcde]"},
    };
    for (const Case& c : cases) {
        SimpleIni ini = Fields(c.cnt, c.fields);
        char text[128];
        snprintf(text, sizeof text, "%s", c.text);
        VarByIni(text, ini);
        EXPECT_STREQ(text, c.result) << c.name;
    }
}

TEST(VarByIni, TwelveFields)
{
    std::vector<std::vector<std::string>> fields;
    for (int n = 1; n <= 12; n++)
        fields.push_back({std::to_string(n), "f" + std::to_string(n), "", "v" + std::to_string(n)});
    SimpleIni ini = Fields(12, fields);
    char text[128] = "a=%1% k=%11% l=%12% b=%2%";
    VarByIni(text, ini);
    EXPECT_STREQ(text, "a=v1 k=v11 l=v12 b=v2");
}

TEST(VarByIni, BoundedFormNeverOverflows)
{
    SimpleIni ini = Fields(2, {{"1", "a", "", "0123456789"}, {"2", "b", "", "xy"}});
    char text[16] = "%1%|%2%";  // 7 characters
    // With %1% the text would need 15 bytes: only %2% fits in 12.
    VarByIni(text, 12, ini);
    EXPECT_STREQ(text, "%1%|xy");
    char whole[32] = "%1%|%2%";
    VarByIni(whole, sizeof whole, ini);
    EXPECT_STREQ(whole, "0123456789|xy");
}

}  // namespace
