// The factory table: which handler class serves a device type code.
//
// A code's category is its bits 8 to 15 (code & 0xFF00). Within a category the exact codes are
// tried first, compared on the whole 32-bit value, then the category's default class serves
// every other code. A default class reports one fixed code of its category, so all the codes
// it serves share one registered handler. The generic engines serve whole categories through
// their own factories, which build a handler from the code's definition file.
#include "factory/SMFactory.h"

#include <stdint.h>

#include "SMManager.h"
#include "aircon/SMAirc.h"
#include "aircon/SMAircDAS.h"
#include "aircon/SMAircLcpDx.h"
#include "aircon/SMAircMitsubishi.h"
#include "aircon/SMCanatal.h"
#include "aircon/SMCyberDelta.h"
#include "aircon/SMCyberEvoDx.h"
#include "aircon/SMCyberHSTXX.h"
#include "aircon/SMCyberHaiRuiFu.h"
#include "aircon/SMCyberHiross.h"
#include "aircon/SMCyberJADC0110.h"
#include "aircon/SMCyberK200.h"
#include "aircon/SMCyberMatrix.h"
#include "aircon/SMCyberPeX.h"
#include "aircon/SMCyberRDAx.h"
#include "aircon/SMCyberSCA.h"
#include "aircon/SMCyberStation.h"
#include "aircon/SMCyberSunrise.h"
#include "aircon/SMDme3000.h"
#include "aircon/SMEmerson.h"
#include "aircon/SMLineGI.h"
#include "aircon/SMLineGT.h"
#include "aircon/SMPlcQSM50.h"
#include "aircon/SMSnmpCyberPex.h"
#include "aircon/SMStulzC7000.h"
#include "aircon/SMTEMaster.h"
#include "engines/SMEngine.h"
#include "engines/SMSnmpDemo.h"
#include "engines/SMSnmpSvr.h"
#include "io/SMAlm3000.h"
#include "io/SMAlmDiwen.h"
#include "io/SMAlmDo.h"
#include "io/SMAlmGsm.h"
#include "io/SMAlmPTW75.h"
#include "io/SMAlmSMT120.h"
#include "io/SMCXV6V8.h"
#include "io/SMCamera.h"
#include "io/SMCamera3ge.h"
#include "io/SMCardA.h"
#include "io/SMCardK.h"
#include "io/SMCardT.h"
#include "io/SMCardW.h"
#include "io/SMDGusMonitor.h"
#include "io/SMDio.h"
#include "io/SMDioAd5Da5.h"
#include "io/SMDioAd5Da5Ivc.h"
#include "io/SMDioAdBle_Huawei.h"
#include "io/SMDioFd220.h"
#include "io/SMDioKW7.h"
#include "io/SMDioMlan7vxpxj.h"
#include "io/SMDioPd2206.h"
#include "io/SMDioRd230.h"
#include "io/SMDioW7017_Huawei.h"
#include "io/SMDioW70XX.h"
#include "io/SMEnvir.h"
#include "io/SMEnvirPm.h"
#include "io/SMLeak.h"
#include "io/SMNetPing.h"
#include "io/SMOnOff.h"
#include "io/SMRS485reader.h"
#include "power/SMADU1000.h"
#include "power/SMBatt100.h"
#include "power/SMBattBod800.h"
#include "power/SMBattBodEB90.h"
#include "power/SMBattRTVS.h"
#include "power/SMDb100.h"
#include "power/SMElec.h"
#include "power/SMFBJK002G3S.h"
#include "power/SMHC311A.h"
#include "power/SMHgm6300.h"
#include "power/SMPowSCADA.h"
#include "power/SMTransf.h"
#include "ups/SMSnmpUpsIta0510k.h"
#include "ups/SMSnmpUpsIta1620k.h"
#include "ups/SMSnmpUpsMgG5000.h"
#include "ups/SMSnmpUpsPowerNet.h"
#include "ups/SMSnmpUpsPowerNet3.h"
#include "ups/SMSnmpUpsWebpow.h"
#include "ups/SMSnmpUpsZh20kl.h"
#include "ups/SMUPS9EModbus.h"
#include "ups/SMUps.h"
#include "ups/SMUpsAHP.h"
#include "ups/SMUpsAPM150.h"
#include "ups/SMUpsApcMegGalaxy5000.h"
#include "ups/SMUpsEast.h"
#include "ups/SMUpsEdxRt6.h"
#include "ups/SMUpsEmerson.h"
#include "ups/SMUpsGX.h"
#include "ups/SMUpsGXE.h"
#include "ups/SMUpsGXGD.h"
#include "ups/SMUpsHR7000.h"
#include "ups/SMUpsHTxx.h"
#include "ups/SMUpsHipulseUSeries.h"
#include "ups/SMUpsIII.h"
#include "ups/SMUpsIPGuard.h"
#include "ups/SMUpsITrustAdapt.h"
#include "ups/SMUpsLink.h"
#include "ups/SMUpsNMYG.h"
#include "ups/SMUpsSANTAK.h"
#include "ups/SMUpsSentry.h"
#include "ups/SMUpsSmart.h"
#include "ups/SMUpsSymmetra.h"

namespace {

using Creator = ISMBase* (*)(int code);

template <class T>
ISMBase* New(int)
{
    return new T;
}

constexpr int32_t kCategoryMask = 0xFF00;

struct FactoryRow {
    int32_t category;
    bool anyOther;  // serves every code of the category that no exact row names
    int32_t code;   // the exact code, when !anyOther
    Creator create;
};

constexpr FactoryRow Exact(int32_t code, Creator create)
{
    return {code & kCategoryMask, false, code, create};
}

constexpr FactoryRow Other(int32_t category, Creator create)
{
    return {category, true, 0, create};
}

const FactoryRow kFactory[] = {
    // 0x0100 power plant
    Exact(0x103, New<CSMTransf>),
    Exact(0x104, New<CSMPowSCADA>),
    Exact(0x105, New<CSMFBJK002G3S>),
    Exact(0x106, New<CSMHC311A>),
    Exact(0x107, New<CSMHgm6300>),
    Other(0x100, New<CSMElec>),

    // 0x0200 switch inputs
    Other(0x200, New<CSMOnOff>),

    // 0x0300 UPS
    Exact(0x301, New<CSMUpsEmerson>),
    Exact(0x303, New<CSMUpsSmart>),
    Exact(0x304, New<CSMUpsSANTAK>),
    Exact(0x305, New<CSMUpsIPGuard>),
    Exact(0x306, New<CSMUpsEast>),
    Exact(0x307, New<CSMUpsSymmetra>),
    Exact(0x308, New<CSMUpsEdxRt6>),
    Exact(0x309, New<CSMUpsIII>),
    Exact(0x30A, New<CSMUpsSentry>),
    Exact(0x30B, New<CSMUpsHR7000>),
    Exact(0x30C, New<CSMUpsGX>),
    Exact(0x30D, New<CSMUpsAPM150>),
    Exact(0x30E, New<CSMUpsNMYG>),
    Exact(0x30F, New<CSMUpsLink>),
    Exact(0x310, New<CSMUpsGXGD>),
    Exact(0x311, New<CSMUpsITrustAdapt>),
    Exact(0x312, New<CSMUPS9EModbus>),
    Exact(0x313, New<CSMUpsAHP>),
    Exact(0x314, New<CSMUpsGXE>),
    Exact(0x315, New<CSMUpsHTxx>),
    Exact(0x318, New<CSMUpsApcMegGalaxy5000>),
    Exact(0x31A, New<CSMUpsHipulseUSeries>),
    Exact(0x31B, New<CSMSnmpUpsPowerNet>),
    Exact(0x31E, New<CSMSnmpUpsIta0510k>),
    Exact(0x323, New<CSMSnmpUpsZh20kl>),
    Exact(0x324, New<CSMSnmpUpsMgG5000>),
    Exact(0x327, New<CSMSnmpUpsIta1620k>),
    Exact(0x328, New<CSMSnmpUpsPowerNet3>),
    Exact(0x32C, New<CSMSnmpUpsWebpow>),
    Other(0x300, New<CSMUps>),

    // 0x0400 batteries
    Exact(0x400, New<CSMDb100>),
    Exact(0x401, New<CSMADU1000>),
    Exact(0x402, New<CSMBatt100>),
    Exact(0x403, New<CSMBattRTVS>),
    Exact(0x404, New<CSMBattBod800>),
    Exact(0x405, New<CSMBattBodEB90>),

    // 0x0500 temperature and humidity
    Exact(0x502, New<CSMEnvirPm>),
    Other(0x500, New<CSMEnvir>),

    // 0x0600 leak
    Other(0x600, New<CSMLeak>),

    // 0x0700 comfort air-conditioners
    Exact(0x701, New<CSMAircDAS>),
    Exact(0x702, New<CSMAircLcpDx>),
    Exact(0x705, New<CSMAircMitsubishi>),
    Other(0x700, New<CSMAirc>),

    // 0x0800 precision air-conditioners
    Exact(0x801, New<CSMEmerson>),
    Exact(0x802, New<CSMStulzC7000>),
    Exact(0x805, New<CSMLineGT>),
    Exact(0x806, New<CSMLineGI>),
    Exact(0x807, New<CSMCanatal>),
    Exact(0x808, New<CSMCyberPeX>),
    Exact(0x809, New<CSMDme3000>),
    Exact(0x80A, New<CSMCyberMatrix>),
    Exact(0x80B, New<CSMCyberStation>),
    Exact(0x80C, New<CSMTEMaster>),
    Exact(0x80D, New<CSMCyberHiross>),
    Exact(0x80E, New<CSMCyberEvoDx>),
    Exact(0x80F, New<CSMCyberRDAx>),
    Exact(0x810, New<CSMCyberSunrise>),
    Exact(0x812, New<CSMCyberK200>),
    Exact(0x815, New<CSMCyberHaiRuiFu>),
    Exact(0x819, New<CSMCyberHSTXX>),
    Exact(0x81B, New<CSMCyberSCA>),
    Exact(0x81C, New<CSMCyberJADC0110>),
    Exact(0x81E, New<CSMCyberDelta>),
    Exact(0x831, New<CSMSnmpCyberPex>),
    Other(0x800, New<CSMPlcQSM50>),  // reports 0x804, not 0x800

    // 0x0900 DIO modules
    Exact(0x902, New<CSMDioFd220>),
    Exact(0x903, New<CSMDioPd2206>),
    Exact(0x904, New<CSMDioW70XX>),
    Exact(0x905, New<CSMDioAd5Da5>),
    Exact(0x906, New<CSMDioRd230>),
    Exact(0x907, New<CSMDioKW7>),
    Exact(0x909, New<CSMDioMlan7vxpxj>),
    Exact(0x90A, New<CSMDioAd5Da5Ivc>),
    Exact(0x90B, New<CSMDioW7017_Huawei>),
    Exact(0x90C, New<CSMDioAdBle_Huawei>),
    Other(0x900, New<CSMDio>),

    // 0x0A00 alarm outputs
    Exact(0xA00, New<CSMAlm3000>),
    Exact(0xA01, New<CSMAlmGsm>),
    Exact(0xA02, New<CSMAlmDo>),
    Exact(0xA08, New<CSMAlmSMT120>),
    Exact(0xA09, New<CSMAlmPTW75>),

    // 0x0B00 display and alarm panels
    Exact(0xB00, New<CSMDGusMonitor>),
    Exact(0xB01, New<CSMAlmDiwen>),

    // 0x0C00 cameras
    Exact(0xC00, New<CSMCamera>),
    Exact(0xC01, New<SMCamera3ge>),

    // 0x0D00 door, card and reachability
    Exact(0xD01, New<CSMCardK>),
    Exact(0xD02, New<CSMCardT>),
    Exact(0xD03, New<CSMCardW>),
    Exact(0xD04, New<CSMCXV6V8>),
    Exact(0xD05, New<CSMRS485reader>),
    Exact(0xD07, New<CSMNetPing>),
    Other(0xD00, New<CSMCardA>),

    // 0x0E00 server monitor
    Exact(0xE10, New<CSMSnmpSvr>),

    // 0x0F00 demonstration
    Exact(0xF00, New<CSMSnmpDemo>),

    // 0x1000 to 0x1700 generic engines: every code, from its definition file
    Other(0x1000, NewSnmpHandler),
    Other(0x1100, NewSnmpHandler),
    Other(0x1200, NewModbusHandler),
    Other(0x1300, NewModbusHandler),
    Other(0x1400, NewYdt1363Handler),
    Other(0x1500, NewYdt1363Handler),
    Other(0x1600, NewNormalHandler),
    Other(0x1700, NewNormalHandler),

    // 0x0000 and 0x1800 to 0xFF00: nothing
};

}  // namespace

ISMBase* SMFactoryNew(int code)
{
    const int32_t category = code & kCategoryMask;
    const FactoryRow* other = nullptr;
    for (const FactoryRow& row : kFactory) {
        if (row.category != category)
            continue;
        if (row.anyOther)
            other = &row;
        else if (row.code == code)
            return row.create(code);
    }
    return other ? other->create(code) : nullptr;
}

ISMBase* (*const CSMManager::m_pFactory)(int code) = SMFactoryNew;
