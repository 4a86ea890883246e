#pragma once
// The AT exchange of the modem handlers (GSM, CDMA, the text-command unit): write a command,
// wait a fixed time, read what the modem has answered, and look at it as text.
//
//   qx::at::Reply r;
//   if (qx::at::Exchange(ser, "ATZ\r", 100, r) <= 0 || !r.Has("OK")) return 0;
//   if (!qx::at::Expect(ser, "ATE0\r", 100, "OK")) return 0;
//
// A reply holds the bytes one Read returned, terminated within its own buffer, so it can be
// searched as text; bytes after an embedded NUL are still searched. Every parser here reads
// only the bytes that came: an odd or short reply is a failed step, never a value.
#include <stddef.h>
#include <stdint.h>

#include <string>

class ISerBase;

namespace qx {
namespace at {

// Bytes read per reply by default, and the most a reply holds.
const int kReplyDefault = 128;
const int kReplyMax = 256;

class Reply {
public:
    Reply() { Clear(); }
    void Clear();
    // One Read of up to max bytes (capped to kReplyMax) with the given time-out argument.
    // Returns the channel's result; the reply keeps the bytes read (none on 0 or -1).
    int Read(ISerBase* ser, int max, int timeout = 0);

    int Len() const { return m_len; }
    bool Got() const { return m_len > 0; }
    const char* Text() const { return m_buf; }
    const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(m_buf); }
    // Offset of the first occurrence of marker among the bytes read, -1 when absent (or no
    // bytes came).
    int Find(const char* marker, int from = 0) const;
    bool Has(const char* marker) const { return Find(marker) >= 0; }
    // The reply is exactly these bytes.
    bool Is(const char* bytes, int n) const;

private:
    char m_buf[kReplyMax + 1];
    int m_len;
};

// How a command goes to the channel: Write(buf, len), or Write(text) for the dialogues that
// write text (the same bytes; a channel may tell them apart).
enum Form { kBytes, kText };

// Writes the command. True only when the channel reports every byte written (a result of 0 or
// less, or a short write, is a command not sent).
bool Send(ISerBase* ser, const char* cmd, int len = -1, Form form = kBytes);

// One exchange: Send, wait waitMs, one Read of up to max bytes into r (cleared first) with the
// time-out argument. Returns the bytes read (0 none), or -1 when the channel is null, closed
// or the command was not written (no read then).
int Exchange(ISerBase* ser, const char* cmd, int waitMs, Reply& r, int max = kReplyDefault,
             Form form = kBytes, int timeout = 0, int len = -1);

// An exchange that needs a reply containing marker (null: any reply at all).
bool Expect(ISerBase* ser, const char* cmd, int waitMs, const char* marker,
            int max = kReplyDefault, Form form = kBytes);

// The signal value of a "+CSQ: <rssi>,<ber>" reply as the initialisation reads it: the text
// between the first ':' and the first ',' after it, blanks skipped, must be a decimal number.
// Returns false (value untouched) when the reply has no ':' or ',' there, or no number.
bool CsqValue(const Reply& r, int* value);

// The decimal number right after the first occurrence of marker (blanks skipped). False when
// the marker is absent or no digit follows it.
bool NumberAfter(const Reply& r, const char* marker, int* value);

// The text between the first two double quotes at or after offset from. False when there is no
// such pair among the bytes read.
bool Quoted(const Reply& r, int from, std::string* out);

// The form the modem handlers keep a number in: "86" put in front when the text does not
// begin with it. A null text gives "".
std::string With86(const char* number);

// A destination number from the host in the form the modem handlers keep and send it: the
// digits of the international number, country code first (sent with the international type of
// address). A leading '+' marks a number already in that form: it is dropped and nothing is
// put in front ("+8613912345678" -> "8613912345678", "+447785016005" -> "447785016005"); any
// other number goes through With86. False, with out emptied, for a null or empty number, a
// lone '+', or any character other than a decimal digit after the optional '+' (a '+' inside,
// a blank, a dash): such a number is never sent.
bool International(const char* number, std::string* out);

}  // namespace at
}  // namespace qx
