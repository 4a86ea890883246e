#pragma once
// The INI document of the generic engines: sections of keys with values and end-of-line
// comments, plus comment blocks (descriptions) kept above sections and keys so that a file
// is written back in the same shape. Not related to the INI library the channel library
// links against: only the name is shared.
#include <stddef.h>

#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>

// Section names the engines use.
constexpr const char SEC_COMM[] = "comm";
constexpr const char SEC_FLDS[] = "flds";
constexpr const char SEC_VALS[] = "vals";
constexpr const char SEC_FLDSDEF[] = "flds.def";
constexpr const char SEC_FLDSVAL[] = "flds.val";

// One entry: its value and its end-of-line comment.
struct IniLine {
    std::string value;
    std::string comment;
};

class SimpleIni {
public:
    // Names and keys compare as byte strings: case-sensitive, ascending.
    typedef std::map<std::string, IniLine> KeyMap;
    typedef std::map<std::string, KeyMap> SectionMap;
    typedef std::map<std::string, std::map<std::string, std::string>> DescMap;
    // Iterators over all sections and over one section's keys; *it is the (name, entry) pair.
    typedef SectionMap::iterator SectionIterator;
    typedef KeyMap::iterator KeyIterator;

    // Loads the file when a path is given; throws the std::string "Unable to open the file
    // <path> in read mode." when that fails.
    explicit SimpleIni(const std::string& path = std::string());
    ~SimpleIni();

    // Clears the sections (not the descriptions) and remembers the path, then reads the file;
    // false when it cannot be opened.
    bool Load(const std::string& path);
    bool Save();
    // Writes every section in name order and its keys in key order; false when the file
    // cannot be opened for writing.
    bool SaveAs(const std::string& path);
    void Free();

    std::string GetValue(const std::string& section, const std::string& key,
                         const std::string& def) const;
    void SetValue(const std::string& section, const std::string& key, const std::string& value);
    std::string GetComment(const std::string& section, const std::string& key) const;
    void SetComment(const std::string& section, const std::string& key,
                    const std::string& comment);
    // The key "#all" empties the section; another key is removed. The section is created.
    void DeleteKey(const std::string& section, const std::string& key);

    SectionIterator beginSection() { return m_sections.begin(); }
    SectionIterator endSection() { return m_sections.end(); }
    // Equal iterators for a missing section.
    KeyIterator beginKey(const std::string& section);
    KeyIterator endKey(const std::string& section);

    // Integer value: the decimal number at the start of the value (leading blanks, an
    // optional sign, digits), def when the key is missing, its value is exactly ";" or it
    // does not start with a number. Numbers beyond the type's range are clamped.
    template <typename T, typename std::enable_if<std::is_integral<T>::value, int>::type = 0>
    T GetValue(const std::string& section, const std::string& key, T def) const
    {
        long long v;
        if (!ReadInteger(GetValue(section, key, ";"), &v))
            return def;
        if (v < (long long)std::numeric_limits<T>::min())
            return std::numeric_limits<T>::min();
        if (v > (long long)std::numeric_limits<T>::max())
            return std::numeric_limits<T>::max();
        return (T)v;
    }
    // Stores the value formatted as a stream writes it (an integer in decimal, a character
    // array as its text).
    template <typename T>
    void SetValue(const std::string& section, const std::string& key, const T& value)
    {
        std::ostringstream os;
        os << value;
        SetValue(section, key, os.str());
    }

    // The leading decimal integer of text; false when there is none.
    static bool ReadInteger(const std::string& text, long long* out);

    const std::string& Path() const { return m_path; }
    const DescMap& Descriptions() const { return m_desc; }

private:
    static KeyMap s_noKeys;

    SectionMap m_sections;
    DescMap m_desc;
    std::string m_path;
};

// Expands the placeholders %1% .. %n% (n = [flds] "cnt") of text in place: the first
// occurrence of %n% becomes the value in [vals] of the field named by [flds] key n, scaled
// by its divisor in [flds.val] ("10", "100", "1000", "10000": one decimal). A placeholder
// whose field has no name stays. Values are cut to 15 characters, so the text grows by at
// most 12 characters per placeholder; the form with size never lets it exceed size bytes
// with its terminator (a replacement that would not fit is left out).
void VarByIni(char* text, SimpleIni& ini);
void VarByIni(char* text, size_t size, SimpleIni& ini);
