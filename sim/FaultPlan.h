#pragma once
// The faults a simulated device is told to make: a queue of one-shot faults, each taken by
// one exchange in order, and behind it a standing fault for every exchange after. The owner
// holds its own lock around every call.
#include <vector>

namespace qxsim {

template <class Kind>
class FaultPlan {
public:
    struct Planned {
        Kind kind;
        int param;  // the fault's parameter, -1 for its default
    };

    void Set(Kind kind, int param) { m_standing = {kind, param}; }
    void Once(Kind kind, int param) { m_once.push_back({kind, param}); }
    void Clear() {
        m_standing = {Kind::None, -1};
        m_once.clear();
    }
    // The fault of the next exchange.
    Planned Next() {
        if (m_once.empty()) return m_standing;
        Planned p = m_once.front();
        m_once.erase(m_once.begin());
        return p;
    }

private:
    Planned m_standing{Kind::None, -1};
    std::vector<Planned> m_once;
};

}  // namespace qxsim
