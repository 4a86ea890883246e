#include "io/card.h"

#include <string.h>

#include <string>

uint8_t (*open_port)(uint8_t, uint32_t) = nullptr;
int (*send_data)(const uint8_t*, uint32_t) = nullptr;
int (*recv_data)(uint8_t*, uint32_t, uint32_t*) = nullptr;
uint8_t (*close_port)(uint8_t) = nullptr;
uint8_t (*set_timeout)(uint32_t, uint32_t) = nullptr;
uint8_t (*purge_port)(uint8_t) = nullptr;

namespace qx {
namespace rmt {

namespace {

const uint8_t kStart = 0xAA;
const uint8_t kEnd = 0x55;

// What a command's reply must carry and what is taken from it.
enum Use : uint8_t {
    kNothing,  // no data is used
    kStatus,   // the first data byte
    kFour,     // 4 data bytes
    kTwenty,   // 20 data bytes
};

struct Rule {
    uint8_t cmd;
    Use use;
    int16_t header;   // -1: any; else the reply must begin AA 00 <header>
    int16_t lengthCap;  // -1: as announced; else the announced length is cut to it
};

const Rule kRules[] = {
    {0x01, kFour, -1, -1},   {0x02, kFour, -1, 4},      {0x03, kNothing, -1, -1},
    {0x04, kNothing, -1, -1}, {0x05, kNothing, 0, -1},  {0x06, kStatus, 1, -1},
    {0x07, kTwenty, -1, -1}, {0x10, kNothing, -1, -1},  {0x11, kStatus, -1, -1},
    {0x12, kStatus, -1, -1}, {0x13, kNothing, -1, 0},   {0x14, kStatus, -1, -1},
    {0x15, kStatus, -1, -1}, {0x20, kNothing, -1, -1},  {0x21, kNothing, -1, -1},
    {0x31, kNothing, -1, -1}, {0x32, kNothing, -1, -1}, {0x33, kFour, -1, -1},
};

const Rule* RuleOf(uint8_t cmd) {
    for (const Rule& r : kRules)
        if (r.cmd == cmd) return &r;
    return nullptr;
}

size_t Wanted(Use u) {
    switch (u) {
    case kStatus: return 1;
    case kFour: return 4;
    case kTwenty: return 20;
    default: return 0;
    }
}

uint8_t Xor(uint8_t start, const uint8_t* p, size_t n) {
    uint8_t x = start;
    for (size_t i = 0; i < n; i++) x ^= p[i];
    return x;
}

// One command exchange: purge, request, reply header, reply body, checks; the data the
// command uses into out (Wanted bytes). 0 success, 1 failure (out untouched).
int Exchange(uint8_t cmd, const uint8_t* data, size_t len, uint8_t* out) {
    const Rule* rule = RuleOf(cmd);
    if (!rule || !purge_port || !send_data || !recv_data) return 1;
    if (len && !data) return 1;
    uint8_t frame[kMaxData + 6];
    size_t n = Frame(cmd, data, len, frame, sizeof frame);
    if (!n) return 1;
    purge_port(0);
    // A write that fails shows as a missing reply.
    send_data(frame, (uint32_t)n);

    uint8_t buf[kReplyBuf];
    uint32_t got = 0;
    if (recv_data(buf, 3, &got) != 0 || got != 3) return 1;
    if (rule->header >= 0 && (buf[0] != kStart || buf[1] != 0 || buf[2] != rule->header)) return 1;
    size_t l = (size_t)buf[1] << 8 | buf[2];
    if (rule->lengthCap >= 0 && l > (size_t)rule->lengthCap) l = (size_t)rule->lengthCap;
    // The announced length comes from the device: more than the buffer holds is a bad reply,
    // and nothing more is read.
    if (l > kMaxReply) return 1;
    got = 0;
    if (recv_data(buf, (uint32_t)(l + 3), &got) != 0 || got != l + 3) return 1;
    if (buf[0] != cmd || buf[l + 2] != kEnd || buf[l + 1] != Xor(0, buf, l + 1)) return 1;
    // A reply with fewer data bytes than the command takes would hand out its own check and
    // end bytes as data.
    size_t want = Wanted(rule->use);
    if (l < want) return 1;
    if (want && out) memcpy(out, buf + 1, want);
    return 0;
}

int Command(uint8_t cmd) { return Exchange(cmd, nullptr, 0, nullptr); }

int Text(uint8_t cmd, const char* text) {
    if (!text) return 1;
    return Exchange(cmd, reinterpret_cast<const uint8_t*>(text), strlen(text) + 1, nullptr);
}

// A command whose status byte must be 0.
int StatusZero(uint8_t cmd, const uint8_t* data, size_t len) {
    uint8_t status = 0xFF;
    if (Exchange(cmd, data, len, &status) != 0) return 1;
    return status == 0 ? 0 : 1;
}

}  // namespace

size_t Frame(uint8_t cmd, const uint8_t* data, size_t len, uint8_t* out, size_t outSize) {
    if (len > kMaxData || !out || outSize < len + 6 || (len && !data)) return 0;
    out[0] = kStart;
    out[1] = (uint8_t)(len >> 8);
    out[2] = (uint8_t)len;
    out[3] = cmd;
    if (len) memcpy(out + 4, data, len);
    out[4 + len] = Xor(cmd, data, len);
    out[5 + len] = kEnd;
    return len + 6;
}

}  // namespace rmt
}  // namespace qx

using qx::rmt::Command;
using qx::rmt::Exchange;

int rmt_ctrl_init(void) {
    if (!open_port) return 1;
    open_port(0, 115200);
    return 0;
}

int rmt_get_device_id(uint8_t* out) { return out ? Exchange(0x01, nullptr, 0, out) : 1; }
int rmt_get_status(uint8_t* out) { return out ? Exchange(0x02, nullptr, 0, out) : 1; }
int rmt_clr_tts_text(void) { return Command(0x03); }
int rmt_set_tts_text(const char* text) { return qx::rmt::Text(0x04, text); }
int rmt_set_snapshot(const char* text) { return qx::rmt::Text(0x05, text); }
int rmt_get_sig_qty(uint8_t* out) { return out ? Exchange(0x06, nullptr, 0, out) : 1; }
int rmt_get_rmt_req(uint8_t* out) { return out ? Exchange(0x07, nullptr, 0, out) : 1; }
int rmt_reset_gsm(void) { return Command(0x10); }

int rmt_send_sms(const char* phone, const char* text, uint8_t* status) {
    if (!phone || !text || !status) return 1;
    std::string data(phone, strlen(phone) + 1);
    data.append(text, strlen(text) + 1);
    if (data.size() > qx::rmt::kMaxData) return 1;
    return Exchange(0x11, reinterpret_cast<const uint8_t*>(data.data()), data.size(), status);
}

int rmt_upload_pic(const uint8_t* data, uint32_t len) {
    if (!data && len) return 1;
    return Exchange(0x13, data, len, nullptr);
}

int rmt_send_mms(const char* text, const uint8_t* data, uint32_t len) {
    // Everything that would be refused later is refused before the upload starts.
    if (!text || (!data && len) || strlen(text) + 1 > qx::rmt::kMaxData) return 1;
    if (qx::rmt::StatusZero(0x12, nullptr, 0) != 0) return 1;
    for (uint32_t at = 0; at < len; at += qx::rmt::kMmsPiece) {
        uint32_t piece = len - at < qx::rmt::kMmsPiece ? len - at : qx::rmt::kMmsPiece;
        if (rmt_upload_pic(data + at, piece) != 0) return 1;
    }
    if (qx::rmt::StatusZero(0x14, nullptr, 0) != 0) return 1;
    return qx::rmt::StatusZero(0x15, reinterpret_cast<const uint8_t*>(text), strlen(text) + 1);
}

int rmt_reset_pstn(void) { return Command(0x20); }

int rmt_pstn_dial(const char* number, const char* text) {
    if (!number || !text || strlen(number) + 1 > qx::rmt::kMaxData) return 1;
    int rc = rmt_set_tts_text(text);
    if (rc != 0) return rc;
    return qx::rmt::Text(0x21, number);
}

int rmt_tts_local(const char* text) {
    if (rmt_set_tts_text(text) != 0) return 1;
    return Command(0x31);
}

int rmt_ctrl_relay(uint8_t relay, uint8_t on) {
    const uint8_t data[2] = {relay, on};
    return Exchange(0x32, data, 2, nullptr);
}

int rmt_read_io(uint8_t* out) { return out ? Exchange(0x33, nullptr, 0, out) : 1; }
