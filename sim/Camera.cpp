#include "Camera.h"

#include <string.h>

namespace qxsim {

Bytes SamplePicture(size_t n, uint32_t seed) {
    if (n < 4) n = 4;
    Bytes p(n);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; i++) {
        x = x * 1103515245u + 12345u;
        p[i] = (uint8_t)(x >> 16);
    }
    p[0] = 0xFF;
    p[1] = 0xD8;
    p[n - 2] = 0xFF;
    p[n - 1] = 0xD9;
    return p;
}

// ---------------------------------------------------------------- JPEG camera

namespace {
const uint8_t kAskReset[] = {0x56, 0x00, 0x26, 0x00};
const uint8_t kAskFrameSetUp[] = {0x56, 0x00, 0x36, 0x01, 0x03};
const uint8_t kAskFrameStop[] = {0x56, 0x00, 0x36, 0x01, 0x00};
const uint8_t kAskLength[] = {0x56, 0x00, 0x34, 0x01, 0x00};
const uint8_t kAskSetting1[] = {0x56, 0x00, 0x31, 0x05, 0x01, 0x01, 0x12, 0x04, 0x80};
const uint8_t kAskSetting2[] = {0x56, 0x00, 0x31, 0x05, 0x04, 0x01, 0x00, 0x19, 0x11};
const uint8_t kPictureHead[] = {0x56, 0x00, 0x32, 0x0C, 0x00, 0x0A};

template <size_t N>
bool Is(const Bytes& r, const uint8_t (&want)[N]) {
    return r.size() == N && memcmp(r.data(), want, N) == 0;
}
}  // namespace

JpegCamera::JpegCamera() : m_picture(SamplePicture(3000, 1)) {}

void JpegCamera::SetPicture(const Bytes& picture) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_picture = picture;
}
Bytes JpegCamera::Picture() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_picture;
}
void JpegCamera::SetAnnouncedLength(long length) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_announced = length;
}
void JpegCamera::SetInitEnd(bool initEnd) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_initEnd = initEnd;
}
void JpegCamera::SetCut(size_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cut = bytes;
}
void JpegCamera::SetTurnRoundZero(bool on) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_turnRoundZero = on;
}
void JpegCamera::Override(Step step, const Bytes& reply, int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_override[step] = reply;
    m_overrideCount[step] = count;
}
void JpegCamera::ClearOverrides() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int& c : m_overrideCount) c = 0;
}
int JpegCamera::Count(Step step) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_count[step];
}

Bytes JpegCamera::Answer(const Bytes& r) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Step step;
    if (Is(r, kAskReset))
        step = kReset;
    else if (Is(r, kAskFrameSetUp))
        step = kFrameSetUp;
    else if (Is(r, kAskFrameStop))
        step = kFrameStop;
    else if (Is(r, kAskLength))
        step = kLength;
    else if (Is(r, kAskSetting1))
        step = kSetting1;
    else if (Is(r, kAskSetting2))
        step = kSetting2;
    else if (r.size() == 16 && memcmp(r.data(), kPictureHead, sizeof(kPictureHead)) == 0)
        step = kPicture;
    else
        return Bytes();
    m_count[step]++;
    if (m_overrideCount[step] != 0) {
        if (m_overrideCount[step] > 0) m_overrideCount[step]--;
        return m_override[step];
    }
    switch (step) {
    case kReset: return Hex("76 00 26 00");
    case kFrameSetUp: return m_initEnd ? Text("Init end\r\n") : Hex("76 00 36 00 00");
    case kFrameStop: return Hex("76 00 36 00 00");
    case kSetting1:
    case kSetting2: return Hex("76 00 31 00 00");
    case kLength: {
        long n = m_announced >= 0 ? m_announced : (long)m_picture.size();
        Bytes a = Hex("76 00 34 00 04");
        a.push_back((uint8_t)(n >> 24));
        a.push_back((uint8_t)(n >> 16));
        a.push_back((uint8_t)(n >> 8));
        a.push_back((uint8_t)n);
        return a;
    }
    case kPicture: {
        Bytes a = Hex("76 00 32 00 00");
        a.insert(a.end(), m_picture.begin(), m_picture.end());
        const Bytes tail = Hex("76 00 32 00 00");
        a.insert(a.end(), tail.begin(), tail.end());
        if (m_cut && m_cut < a.size()) a.resize(m_cut);
        return a;
    }
    default: return Bytes();
    }
}

Responder JpegCamera::AsResponder() {
    return [this](const Bytes& request, Fault, Reply& reply) {
        reply.data = Answer(request);
        if (reply.data.empty()) return false;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_turnRoundZero) reply.data.insert(reply.data.begin(), 0x00);
        return true;
    };
}

void ServeCamera(Device& dev, JpegCamera& cam) {
    dev.SetFramer([](const uint8_t* data, size_t size) -> size_t {
        if (size == 0) return 0;
        if (data[0] != 0x56) return 1;  // not the start of a request: dropped
        if (size < 4) return 0;
        size_t n = 4 + (size_t)data[3];
        return size >= n ? n : 0;
    });
    dev.SetResponder(cam.AsResponder());
}

// ---------------------------------------------------------------- 3GE camera

Camera3ge::Camera3ge() : m_picture(SamplePicture(2000, 2)) {}

void Camera3ge::SetPicture(const Bytes& picture) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_picture = picture;
}
void Camera3ge::SetAnnouncedLength(long length) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_announced = length;
}
void Camera3ge::SetHeaders(const Bytes& first, const Bytes& second) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_first = first;
    m_second = second;
}
int Camera3ge::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

Bytes Camera3ge::Answer(const Bytes& request) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (request != Text("UG3#")) return Bytes();
    m_requests++;
    Bytes a = m_first.empty() ? Text("UG#") : m_first;
    long n = m_announced >= 0 ? m_announced : (long)m_picture.size();
    Bytes up = m_second;
    if (up.empty()) up = {'U', 'P', (uint8_t)n, (uint8_t)(n >> 8)};
    a.insert(a.end(), up.begin(), up.end());
    a.push_back(0x00);  // the byte after the header, which the handler passes over
    a.insert(a.end(), m_picture.begin(), m_picture.end());
    return a;
}

Responder Camera3ge::AsResponder() {
    return [this](const Bytes& request, Fault fault, Reply& reply) {
        reply.data = Answer(request);
        if (reply.data.empty()) return false;
        if (fault == Fault::BadCheck) {
            reply.data[2] = '$';
            reply.faultDone = true;
        } else if (fault == Fault::Short) {
            reply.data.resize(5);  // "UG#UP": the length never comes
            reply.faultDone = true;
        }
        return true;
    };
}

void ServeCamera3ge(Device& dev, Camera3ge& cam) {
    dev.SetFramer(FrameByTerminator('#'));
    dev.SetResponder(cam.AsResponder());
}

}  // namespace qxsim
