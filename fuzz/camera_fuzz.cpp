// The serial cameras polled through a scripted channel answered by the fuzz input: the JPEG
// camera's poll (frame, length, picture burst) and set-up, and the 3GE camera's header and
// streamed picture; then their values and stored rows. Pictures go under a board root of
// the process's own.
// Input: the case (0 camera poll, 1 camera set-up, 2 3GE poll), the point (FuzzRig.h Point),
// then the channel's script.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "FuzzRig.h"
#include "io/SMCamera.h"
#include "io/SMCamera3ge.h"

namespace {

std::string g_folder;

// The name is always a terminated text of the block; a failed poll keeps the last one.
void CheckName(const qx::cam::Picture& pic, const std::string& before, int got) {
    if (!memchr(pic.name, 0, sizeof(pic.name))) __builtin_trap();
    if (!got && before != pic.name) __builtin_trap();
}

// A picture file written by a good poll holds exactly the bytes the handler says it stored.
void CheckFile(const qx::cam::Picture& pic, long expected) {
    struct stat st;
    if (stat((g_folder + pic.name).c_str(), &st) != 0) __builtin_trap();
    if ((long)st.st_size != expected) __builtin_trap();
}

template <class T>
void Poll(qxfuzz::Input& in, int what) {
    T h;
    tagSMItem item = qxfuzz::Point(in, h.GetType());
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);
    qxfuzz::Host host(h, item);
    for (int poll = 0; poll < 2 && (poll == 0 || ch.StepsLeft() > 0); poll++) {
        qx::cam::Picture& pic = *static_cast<qx::cam::Picture*>(h.Data());
        const std::string before = pic.name;
        int got = what == 1 ? h.DoFunc(&ch, item.Addr, 0, nullptr, 0) : h.DataGet(&ch, item.Addr, 0);
        qxfuzz::Trace(what == 1 ? "DoFunc" : "DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "camera");
        if (what != 1) {
            CheckName(pic, before, got);
            if (got) CheckFile(pic, pic.len);
        }
        qxfuzz::Trace("len", h.DataVal(1));
        int bits[1] = {0};
        host.Store(h, poll ? 0x11 : 0, got ? bits : nullptr);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char tmpl[] = "/tmp/qxcamfuzzXXXXXX";
    const char* root = mkdtemp(tmpl);
    if (!root) abort();
    std::string p = root;
    for (const char* part : {"/NandFlash", "/www", "/wwwpub", "/images"}) mkdir((p += part).c_str(), 0755);
    g_folder = p + "/";
    setenv("QX_ROOT", root, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 140000) return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    switch (in.Int(0, 2)) {
    case 0: Poll<CSMCamera>(in, 0); break;
    case 1: Poll<CSMCamera>(in, 1); break;
    default: Poll<SMCamera3ge>(in, 2); break;
    }
    return 0;
}
