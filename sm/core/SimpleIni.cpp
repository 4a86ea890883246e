#include "SimpleIni.h"

#include <stdio.h>
#include <string.h>

#include <fstream>

SimpleIni::KeyMap SimpleIni::s_noKeys;

namespace {

// Spaces and tabs only.
std::string Trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return std::string();
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// Appends one line to a description block.
void AddDescLine(std::string& desc, const std::string& line)
{
    if (!desc.empty())
        desc += '\n';
    desc += line;
}

// Each line of a description as "#" + text.
void WriteDesc(std::ostream& os, const std::string& desc)
{
    size_t start = 0;
    for (;;) {
        size_t nl = desc.find('\n', start);
        os << '#' << desc.substr(start, nl == std::string::npos ? std::string::npos : nl - start)
           << '\n';
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
}

}  // namespace

SimpleIni::SimpleIni(const std::string& path)
{
    if (!path.empty() && !Load(path))
        throw std::string("Unable to open the file ") + path + " in read mode.";
}

SimpleIni::~SimpleIni()
{
    Free();
}

bool SimpleIni::Load(const std::string& path)
{
    Free();
    m_path = path;
    std::ifstream in(path.c_str(), std::ios::in | std::ios::binary);
    if (!in.is_open())
        return false;

    std::string section;  // lines before the first header belong to ""
    std::string pending;  // description waiting for the next section or key
    std::string line;
    while (std::getline(in, line)) {
        // One trailing control character goes (the CR of a CR LF file).
        if (!line.empty() && (unsigned char)line.back() < 0x20)
            line.pop_back();
        if (line.empty())
            continue;

        if (line[0] == '[') {
            size_t close = line.find(']');
            section = Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            if (!pending.empty()) {
                m_desc[section][""] = pending;
                pending.clear();
            }
            continue;
        }

        // The earlier of the first ';' and the first '#' starts the comment.
        size_t mark = line.find_first_of(";#");
        std::string comment;
        if (mark == 0) {
            AddDescLine(pending, line.substr(1));
            continue;
        }
        if (mark != std::string::npos) {
            comment = line.substr(mark + 1);
            line.erase(mark);
        }

        std::string key, value;
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            key = Trim(line);
        } else {
            key = Trim(line.substr(0, eq));
            value = Trim(line.substr(eq + 1));
        }
        IniLine& entry = m_sections[section][key];
        entry.value = value;
        entry.comment = comment;
        if (!pending.empty()) {
            m_desc[section][key] = pending;
            pending.clear();
        }
    }
    return true;
}

bool SimpleIni::Save()
{
    return SaveAs(m_path);
}

bool SimpleIni::SaveAs(const std::string& path)
{
    std::ofstream out(path.c_str(), std::ios::out | std::ios::trunc | std::ios::binary);
    if (!out.is_open())
        return false;
    bool first = true;
    for (const auto& sec : m_sections) {
        if (!first)
            out << '\n';
        first = false;
        auto descs = m_desc.find(sec.first);
        if (descs != m_desc.end()) {
            auto d = descs->second.find("");
            if (d != descs->second.end())
                WriteDesc(out, d->second);
        }
        if (!sec.first.empty())
            out << '[' << sec.first << "]\n";
        for (const auto& kv : sec.second) {
            if (descs != m_desc.end()) {
                auto d = descs->second.find(kv.first);
                if (d != descs->second.end())
                    WriteDesc(out, d->second);
            }
            if (!kv.first.empty())
                out << kv.first << '=' << kv.second.value;
            if (!kv.second.comment.empty())
                out << (kv.first.empty() ? "#" : "\t;") << kv.second.comment;
            out << '\n';
        }
    }
    out.close();
    return !out.fail();
}

void SimpleIni::Free()
{
    m_sections.clear();
}

std::string SimpleIni::GetValue(const std::string& section, const std::string& key,
                                const std::string& def) const
{
    auto s = m_sections.find(section);
    if (s == m_sections.end())
        return def;
    auto k = s->second.find(key);
    return k == s->second.end() ? def : k->second.value;
}

void SimpleIni::SetValue(const std::string& section, const std::string& key,
                         const std::string& value)
{
    m_sections[section][key].value = value;
}

std::string SimpleIni::GetComment(const std::string& section, const std::string& key) const
{
    auto s = m_sections.find(section);
    if (s == m_sections.end())
        return std::string();
    auto k = s->second.find(key);
    return k == s->second.end() ? std::string() : k->second.comment;
}

void SimpleIni::SetComment(const std::string& section, const std::string& key,
                           const std::string& comment)
{
    m_sections[section][key].comment = comment;
}

void SimpleIni::DeleteKey(const std::string& section, const std::string& key)
{
    KeyMap& keys = m_sections[section];
    if (key == "#all")
        keys.clear();
    else
        keys.erase(key);
}

SimpleIni::KeyIterator SimpleIni::beginKey(const std::string& section)
{
    auto s = m_sections.find(section);
    return s == m_sections.end() ? s_noKeys.end() : s->second.begin();
}

SimpleIni::KeyIterator SimpleIni::endKey(const std::string& section)
{
    auto s = m_sections.find(section);
    return s == m_sections.end() ? s_noKeys.end() : s->second.end();
}

bool SimpleIni::ReadInteger(const std::string& text, long long* out)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\v' || text[i] == '\f'))
        i++;
    bool neg = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        neg = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9')
        return false;
    const long long kLimit = 1LL << 40;  // beyond any int; stops growing here
    long long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; i++)
        if (v < kLimit)
            v = v * 10 + (text[i] - '0');
    *out = neg ? -v : v;
    return true;
}

namespace {

const size_t kMaxValueChars = 15;
const int kMaxFields = 9999;  // a bound on [flds] "cnt" from the file

void Expand(std::string& text, size_t size, SimpleIni& ini)
{
    int count = ini.GetValue<int>(SEC_FLDS, "cnt", 0);
    if (count > kMaxFields)
        count = kMaxFields;
    for (int n = 1; n <= count; n++) {
        char mark[24];
        snprintf(mark, sizeof mark, "%%%d%%", n);
        size_t at = text.find(mark);
        if (at == std::string::npos)
            continue;
        std::string num = std::to_string(n);
        std::string name = ini.GetValue(SEC_FLDS, num, "");
        if (name.empty())
            continue;
        std::string scale = ini.GetValue(SEC_FLDSVAL, num, "1");
        std::string value = ini.GetValue(SEC_VALS, name, "");
        long long v;
        if (!value.empty() && scale != "1" && SimpleIni::ReadInteger(value, &v)) {
            double factor = scale == "10" ? 0.1 : scale == "100" ? 0.01
                          : scale == "1000" ? 0.001 : scale == "10000" ? 0.0001 : 0.0;
            if (factor != 0.0) {
                char buf[64];
                snprintf(buf, sizeof buf, "%.1f", (double)v * factor);
                value = buf;
            }
        }
        if (value.size() > kMaxValueChars)
            value.resize(kMaxValueChars);
        size_t markLen = strlen(mark);
        if (text.size() - markLen + value.size() + 1 > size)
            continue;
        text.replace(at, markLen, value);
    }
}

}  // namespace

void VarByIni(char* text, SimpleIni& ini)
{
    if (!text)
        return;
    std::string s(text);
    Expand(s, (size_t)-1, ini);
    memcpy(text, s.c_str(), s.size() + 1);
}

void VarByIni(char* text, size_t size, SimpleIni& ini)
{
    if (!text || size == 0)
        return;
    std::string s(text, strnlen(text, size - 1));
    Expand(s, size, ini);
    memcpy(text, s.c_str(), s.size() + 1);
}
