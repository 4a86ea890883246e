#pragma once
// The serial cameras: the JPEG camera of command words 56 00 / 76 00 and the 3GE camera of
// the "UG3#" snapshot. Each answers from a picture the test sets (a made-up JPEG by default)
// and can be told to misbehave at one step.
//
//   qxsim::JpegCamera cam;
//   cam.SetPicture(qxsim::SamplePicture(4000, 7));
//   qxsim::PtySim pty;
//   qxsim::ServeCamera(pty, cam);
//   pty.Start();
#include <stddef.h>
#include <stdint.h>

#include <mutex>

#include "SimDevice.h"

namespace qxsim {

// A made-up JPEG picture of n bytes (at least 4): FF D8, bytes of a seeded sequence (zero
// bytes among them, as in any real picture), FF D9.
Bytes SamplePicture(size_t n, uint32_t seed);

class JpegCamera {
public:
    // The requests the camera knows.
    enum Step { kReset, kFrameSetUp, kFrameStop, kLength, kPicture, kSetting1, kSetting2, kSteps };

    JpegCamera();

    void SetPicture(const Bytes& picture);
    Bytes Picture() const;
    // The length announced by the length reply (-1: the picture's own). 65536 and above
    // set the reply's bytes 5 and 6, as a camera with a too large picture would.
    void SetAnnouncedLength(long length);
    // The frame set-up is answered with the start-up text "Init end" instead of 76 00 36 00 00.
    void SetInitEnd(bool initEnd);
    // The picture reply is cut after this many bytes (header included; 0: whole).
    void SetCut(size_t bytes);
    // Every answer sent on a device (AsResponder) starts with one 0x00, the noise of an RS-485
    // driver turning round, which the serial channel drops.
    void SetTurnRoundZero(bool on);
    // The next `count` answers to `step` are `reply` (empty: no answer; count < 0: all).
    void Override(Step step, const Bytes& reply, int count = 1);
    void ClearOverrides();

    // How many requests of each step came.
    int Count(Step step) const;

    // The answer to one request (empty: none).
    Bytes Answer(const Bytes& request);
    Responder AsResponder();

private:
    mutable std::mutex m_mutex;
    Bytes m_picture;
    long m_announced = -1;
    bool m_initEnd = false;
    size_t m_cut = 0;
    bool m_turnRoundZero = false;
    Bytes m_override[kSteps];
    int m_overrideCount[kSteps] = {};
    int m_count[kSteps] = {};
};

// Requests are 4 bytes and the count in byte 3; bytes that cannot start one are dropped.
void ServeCamera(Device& dev, JpegCamera& cam);

class Camera3ge {
public:
    Camera3ge();

    void SetPicture(const Bytes& picture);
    // The length announced in the "UP" header (-1: the picture's own); the picture itself is
    // sent as it is, so an announced length above or below its size gives more or fewer bytes
    // than announced.
    void SetAnnouncedLength(long length);
    // The first header ("UG#") and the second ("UP" LL LH) as sent; empty: the right ones.
    void SetHeaders(const Bytes& first, const Bytes& second);
    int Requests() const;

    Bytes Answer(const Bytes& request);
    // A bad check (there is none) spoils the first header, the rest follows as usual; a short
    // answer stops in the second header.
    Responder AsResponder();

private:
    mutable std::mutex m_mutex;
    Bytes m_picture;
    long m_announced = -1;
    Bytes m_first, m_second;
    int m_requests = 0;
};

// Requests end with '#'.
void ServeCamera3ge(Device& dev, Camera3ge& cam);

}  // namespace qxsim
