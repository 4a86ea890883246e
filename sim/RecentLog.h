#pragma once
// What a simulated device records of the requests it received, for tests to read, kept
// bounded for a simulator left running: the latest `kKept` entries, oldest first, and the
// count of all ever added. The owner holds its own lock around every call.
//
//   qxsim::RecentLog<uint8_t> ids;
//   ids.Add(0x31);
//   std::vector<uint8_t> seen = ids.Items();
#include <stddef.h>

#include <deque>
#include <vector>

namespace qxsim {

template <class T, size_t Kept = 512>
class RecentLog {
public:
    static constexpr size_t kKept = Kept;

    void Add(const T& item) {
        if (m_items.size() >= kKept) m_items.pop_front();
        m_items.push_back(item);
        m_total++;
    }
    std::vector<T> Items() const { return std::vector<T>(m_items.begin(), m_items.end()); }
    size_t Size() const { return m_items.size(); }
    size_t Total() const { return m_total; }
    bool Empty() const { return m_items.empty(); }
    const T& Last() const { return m_items.back(); }
    void Clear() {
        m_items.clear();
        m_total = 0;
    }

private:
    std::deque<T> m_items;
    size_t m_total = 0;
};

}  // namespace qxsim
