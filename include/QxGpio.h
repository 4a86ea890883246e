#pragma once
// The board's GPIO device, "/dev/gpio", and its stand-in for machines without one. Every
// GPIO access of both plug-ins goes through here.
//
// The device: a `read` of a 4-byte line record (line number in, level out, native byte
// order) samples a line; `ioctl` request 1 sets an output line and request 0 clears it, with
// the line number as the argument.
//
// The stand-in is chosen at run time: when the environment variable QX_GPIO_SIM names a file,
// Open opens that file instead of the device. The file holds a `SimImage` (made by
// `SimCreate`): the level of every line, set by a test for the inputs and by the requests for
// the outputs, a log of the requests, and switches that make reads or requests fail. Since
// the stand-in is a plain file, its descriptor is a real one, and both plug-ins, loaded
// apart, see the same lines. Everything here is inline, so either plug-in carries it.
#include <errno.h>
#include <fcntl.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qxgpio {

// Output requests of the device.
enum : unsigned long { REQ_CLEAR = 0, REQ_SET = 1 };

struct LineRecord {
    uint16_t line;   // filled in by the caller
    uint16_t value;  // filled in by the driver; only the low byte is the level
};
static_assert(sizeof(LineRecord) == 4, "the device exchanges 4-byte records");

constexpr const char* kDevicePath = "/dev/gpio";
constexpr const char* kSimVariable = "QX_GPIO_SIM";
constexpr int kSimLines = 64;
constexpr int kSimLog = 64;

struct SimImage {
    char magic[8];                  // "QXGPIO1"
    uint16_t level[kSimLines];      // level of each line
    uint32_t requests;              // requests made so far
    uint32_t log[kSimLog][2];       // request and line of the last kSimLog requests
    uint32_t failReads;             // non-zero: every sample fails
    uint32_t failRequests;          // non-zero: every request fails
};

namespace detail {
inline bool IsSim(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}
template <typename T>
inline bool SimGet(int fd, size_t offset, T* value) {
    return pread(fd, value, sizeof(T), (off_t)offset) == (ssize_t)sizeof(T);
}
template <typename T>
inline bool SimPut(int fd, size_t offset, const T& value) {
    return pwrite(fd, &value, sizeof(T), (off_t)offset) == (ssize_t)sizeof(T);
}
}  // namespace detail

// Opens the device read-only (or the stand-in, when chosen). A descriptor, or -1.
inline int Open() {
    const char* sim = getenv(kSimVariable);
    if (sim && sim[0]) return open(sim, O_RDWR | O_CLOEXEC);
    return open(kDevicePath, O_RDONLY | O_CLOEXEC);
}

// Samples a line into *level (the low byte of the record's value). False when the device
// read fails: a failed read is never a sample of 0.
inline bool ReadLine(int fd, uint16_t line, uint8_t* level) {
    if (fd < 0 || !level) return false;
    if (detail::IsSim(fd)) {
        uint32_t fail = 0;
        uint16_t v = 0;
        if (line >= kSimLines || !detail::SimGet(fd, offsetof(SimImage, failReads), &fail) || fail ||
            !detail::SimGet(fd, offsetof(SimImage, level) + line * sizeof(uint16_t), &v))
            return false;
        *level = (uint8_t)(v & 0xFF);
        return true;
    }
    LineRecord rec = {line, 0};
    ssize_t r;
    do {
        r = read(fd, &rec, sizeof(rec));
    } while (r < 0 && errno == EINTR);
    if (r < 0) return false;
    *level = (uint8_t)(rec.value & 0xFF);
    return true;
}

// Makes an output request (REQ_SET or REQ_CLEAR) for a line. False when it fails.
inline bool Request(int fd, unsigned long request, unsigned long line) {
    if (fd < 0) return false;
    if (detail::IsSim(fd)) {
        uint32_t fail = 0, count = 0;
        if (line >= (unsigned long)kSimLines || request > REQ_SET ||
            !detail::SimGet(fd, offsetof(SimImage, failRequests), &fail) || fail ||
            !detail::SimGet(fd, offsetof(SimImage, requests), &count))
            return false;
        uint32_t entry[2] = {(uint32_t)request, (uint32_t)line};
        return detail::SimPut(fd, offsetof(SimImage, level) + line * sizeof(uint16_t),
                              (uint16_t)(request == REQ_SET ? 1 : 0)) &&
               detail::SimPut(fd, offsetof(SimImage, log) + (count % kSimLog) * sizeof(entry), entry) &&
               detail::SimPut(fd, offsetof(SimImage, requests), count + 1);
    }
    return ioctl(fd, request, line) != -1;
}

// ---------------------------------------------------------------- the stand-in, for tests

// Writes a fresh stand-in (every line low, no requests) to path. False on failure.
inline bool SimCreate(const char* path) {
    SimImage image;
    memset(&image, 0, sizeof(image));
    memcpy(image.magic, "QXGPIO1", 8);
    int fd = open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = write(fd, &image, sizeof(image)) == (ssize_t)sizeof(image);
    close(fd);
    return ok;
}

// Chooses the stand-in at path for every later Open (null: the device again).
inline void SimUse(const char* path) {
    if (path)
        setenv(kSimVariable, path, 1);
    else
        unsetenv(kSimVariable);
}

// Reads or changes the stand-in at path as a whole.
inline bool SimLoad(const char* path, SimImage* image) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = read(fd, image, sizeof(*image)) == (ssize_t)sizeof(*image);
    close(fd);
    return ok;
}
inline bool SimStore(const char* path, const SimImage& image) {
    int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = write(fd, &image, sizeof(image)) == (ssize_t)sizeof(image);
    close(fd);
    return ok;
}

}  // namespace qxgpio
