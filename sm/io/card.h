#pragma once
// The remote alarm module's request/reply link: one function per module command, and six
// function pointers through which they reach a serial channel. The alarm unit 3000 handler
// binds the pointers to the channel of the point it serves; a host may bind them and call the
// functions as well. Every function answers 0 for success and 1 for any failure.
//
// Frame, both ways: AA, data length L (2 bytes, high first), command, L data bytes, XOR of
// the command and the data, 55. A request carries at most 508 data bytes; a reply at most 29
// (its buffer is 32 bytes).
#include <stddef.h>
#include <stdint.h>

#include "QxExport.h"

extern "C" {

// The transport: null until someone binds them.
QX_EXPORT extern uint8_t (*open_port)(uint8_t port, uint32_t baud);
QX_EXPORT extern int (*send_data)(const uint8_t* buf, uint32_t len);                 // 0: all written
QX_EXPORT extern int (*recv_data)(uint8_t* buf, uint32_t len, uint32_t* got);        // 0: success
QX_EXPORT extern uint8_t (*close_port)(uint8_t port);
QX_EXPORT extern uint8_t (*set_timeout)(uint32_t perByte, uint32_t total);
QX_EXPORT extern uint8_t (*purge_port)(uint8_t port);

QX_EXPORT int rmt_ctrl_init(void);
QX_EXPORT int rmt_get_device_id(uint8_t* out);      // 4 bytes
QX_EXPORT int rmt_get_status(uint8_t* out);         // 4 bytes
QX_EXPORT int rmt_get_rmt_req(uint8_t* out);        // 20 bytes
QX_EXPORT int rmt_clr_tts_text(void);
QX_EXPORT int rmt_set_tts_text(const char* text);
QX_EXPORT int rmt_set_snapshot(const char* text);
QX_EXPORT int rmt_get_sig_qty(uint8_t* out);        // 1 byte
QX_EXPORT int rmt_reset_gsm(void);
QX_EXPORT int rmt_send_sms(const char* phone, const char* text, uint8_t* status);
QX_EXPORT int rmt_send_mms(const char* text, const uint8_t* data, uint32_t len);
QX_EXPORT int rmt_reset_pstn(void);
QX_EXPORT int rmt_pstn_dial(const char* number, const char* text);
QX_EXPORT int rmt_tts_local(const char* text);
QX_EXPORT int rmt_ctrl_relay(uint8_t relay, uint8_t on);
QX_EXPORT int rmt_read_io(uint8_t* out);            // 4 bytes

}  // extern "C"

// One piece of an upload (the C++ symbol a host binds).
QX_EXPORT int rmt_upload_pic(const uint8_t* data, uint32_t len);

namespace qx {
namespace rmt {

const size_t kMaxData = 508;   // data bytes of a request
const size_t kReplyBuf = 32;   // the reply buffer
const size_t kMaxReply = kReplyBuf - 3;  // data bytes of a reply
const uint32_t kMmsPiece = 256;

// The request frame of a command into out (at least len + 6 bytes); its length, 0 when the
// data does not fit a frame.
size_t Frame(uint8_t cmd, const uint8_t* data, size_t len, uint8_t* out, size_t outSize);

}  // namespace rmt
}  // namespace qx
