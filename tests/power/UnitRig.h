#pragma once
// A handler of the power family polled against a simulated Modbus unit, and the check of what
// a failure at each read of a poll keeps.
#include <stdint.h>

#include <string>
#include <vector>

#include "HostLimits.h"
#include "ModbusSlave.h"
#include "TestRig.h"

namespace powertest {

using qxsim::ModbusFault;

// A handler whose channel is answered by a simulated unit. PollFailing(k, fault): the
// request numbered k (0-based) of the poll meets the fault.
template <class H>
struct UnitRig : iotest::Rig<H> {
    UnitRig(int sid, int type) : iotest::Rig<H>(sid, type) {
        this->ch.SetResponder([this](const qxtest::Bytes& req) {
            if (m_req++ == m_failAt) slave.FaultOnce(m_fault);
            return slave.HandleRtu(req.data(), req.size()).bytes;
        });
    }
    int PollOk(int wait = 0) {
        m_req = 0;
        m_failAt = -1;
        return this->Poll(wait);
    }
    int PollFailing(int at, ModbusFault f) {
        m_req = 0;
        m_failAt = at;
        m_fault = f;
        return this->Poll(0);
    }
    std::vector<std::string> Sent() const {
        std::vector<std::string> out;
        for (const auto& w : this->ch.Written()) out.push_back(qxtest::Hex(w));
        return out;
    }
    int Upd(int* bits, int flags = 0) {
        return this->h.DataUpd(flags, bits, nullptr, -1, &this->hist);
    }
    // A poll as the reference host makes it: DataGet, the limits of the type's own definition
    // rows checked on the fields (qxhost::CheckLimits), DataUpd with the alarm bits and flag
    // bit 0 when a field is out of limits. The fields out of limits as the host names them,
    // "NAME(FIELD)" comma-separated ("" none), or "no answer".
    std::string HostPoll() {
        if (PollOk() != 1) {
            Upd(nullptr);
            return "no answer";
        }
        std::vector<int32_t> bits;
        const std::string out = OutOfLimits(this->h, this->db, this->item.Get().Type, bits);
        EXPECT_EQ(1, Upd(bits.data(), out.empty() ? 0 : 1));
        return out;
    }

    qxsim::ModbusSlave slave{1};
    int m_req = 0, m_failAt = -1;
    ModbusFault m_fault = ModbusFault::None;
};

// The faults a read meets: no answer, a bad CRC, an exception, a byte count that does not
// match the request.
const ModbusFault kFaults[] = {ModbusFault::Silence, ModbusFault::BadCrc, ModbusFault::Exception,
                               ModbusFault::WrongCount};

// What a failure at read k keeps: the reads before it give the new poll's values; the reads
// from k on give 0 (a unit that clears its values once its first read answered), the last
// poll's values (a unit that never clears), and a failure at the first read keeps everything.
enum class Keep { ClearAfterFirst, LastPoll };

template <class H>
void FailEachRead(int type, void (*lay)(qxsim::ModbusSlave&, int generation),
                  const std::vector<int>& probe, Keep keep) {
    for (size_t k = 0; k < probe.size(); k++) {
        for (ModbusFault fault : kFaults) {
            UnitRig<H> r(5, type);
            lay(r.slave, 1);
            ASSERT_EQ(1, r.PollOk());
            std::vector<int> old;
            for (int f : probe) old.push_back(r.h.DataVal(f));
            lay(r.slave, 2);
            std::vector<int> fresh;
            {
                UnitRig<H> n(5, type);
                lay(n.slave, 2);
                ASSERT_EQ(1, n.PollOk());
                for (int f : probe) fresh.push_back(n.h.DataVal(f));
            }
            const size_t sent = r.ch.Written().size();
            EXPECT_EQ(0, r.PollFailing((int)k, fault)) << k << " " << (int)fault;
            for (size_t j = 0; j < probe.size(); j++) {
                int want = k == 0 ? old[j] : j < k ? fresh[j] : keep == Keep::LastPoll ? old[j] : 0;
                EXPECT_EQ(want, r.h.DataVal(probe[j]))
                    << "read " << k << " fault " << (int)fault << " field " << probe[j];
            }
            EXPECT_EQ(sent + k + 1, r.ch.Written().size()) << "the poll stops at the failure";
        }
    }
}

}  // namespace powertest
