#pragma once
// The serial touch panel's frames, written by both panel handlers (DGus 0xB00, Diwen 0xB01):
// A5 5A, the count of the bytes that follow, then the panel command. Nothing is read back.
//
//   variable  A5 5A 05 82 vpH vpL valueH valueL
//   page      A5 5A 04 80 03 pageH pageL
//   clock     A5 5A 0A 80 1F 5A rtc[0] .. rtc[6]
#include <stdint.h>

class ISerBase;

// Seven bytes of date and time, sent to the panel as they are.
struct DIWEN_RTC_DATA {
    uint8_t b[7];
};

namespace qx {
namespace diwen {

// Each answers 1 when the whole frame was written to ser; 0 for a null or closed channel or a
// short write.
int SetData(ISerBase* ser, uint16_t vp, uint16_t value);
int SetDisplay(ISerBase* ser, uint16_t page);
int SetRtc(ISerBase* ser, const DIWEN_RTC_DATA& rtc);
// Open(null) on the channel: 0 without one, else 1.
int Init(ISerBase* ser);

// Where the two panel classes differ in taking a channel over.
struct Trait {
    bool closePrevious;  // the previous channel is closed when another one comes
};

// Makes ser the class's panel channel (handler), closing the previous one when the trait says.
void TakeOver(ISerBase*& handler, const Trait& t, ISerBase* ser);

// The panel commands of DoFunc: a null or closed channel gives 0; the channel is taken over;
// then 1 variable (vp = the low 16 bits of buf's value, value = those of len), 2 clock (the 7
// bytes at buf; none: 0), 3 page (the low 16 bits of len). 1 when the frame was written.
int DoFunc(ISerBase*& handler, const Trait& t, ISerBase* ser, int cmd, void* buf, int len);

// What the two panel classes have class-wide: the panel's channel (the last DoFunc's), the single
// object of GetInstance, and the write functions on that channel. C is the class, and the trait
// says how it takes a channel over.
//   class CSMAlmDiwen : public CSMBase, public qx::diwen::Panel<CSMAlmDiwen, kDiwenTrait> { ... };
template <class C, const Trait& T>
struct Panel {
    static ISerBase* m_pHandler;
    static C* m_pInstance;

    static int diwen_set_data(uint16_t vp, uint16_t value) { return SetData(m_pHandler, vp, value); }
    static int diwen_set_display(uint16_t page) { return SetDisplay(m_pHandler, page); }
    static int diwen_set_rtc(DIWEN_RTC_DATA rtc) { return SetRtc(m_pHandler, rtc); }
    static int diwen_init() { return Init(m_pHandler); }
    static void InitHandler(ISerBase* ser) { TakeOver(m_pHandler, T, ser); }
    static C* GetInstance() {
        if (!m_pInstance) m_pInstance = new C();
        return m_pInstance;
    }
    static void FreeInstance() {
        delete m_pInstance;
        m_pInstance = nullptr;
    }
    static int PanelFunc(ISerBase* ser, int cmd, void* buf, int len) {
        return DoFunc(m_pHandler, T, ser, cmd, buf, len);
    }
};
template <class C, const Trait& T>
ISerBase* Panel<C, T>::m_pHandler = nullptr;
template <class C, const Trait& T>
C* Panel<C, T>::m_pInstance = nullptr;

// The DGus panel leaves the previous channel open; the Diwen panel closes it.
extern const Trait kDGus;
extern const Trait kDiwen;

}  // namespace diwen
}  // namespace qx
