#pragma once
// Offsets of the UPS records' int32 fields for the request tables of the SNMP UPS drivers
// (engines/SnmpPoll.h).
#include <stddef.h>

#include "engines/SnmpPoll.h"
#include "ups/SMUpsBase.h"
#include "ups/SMUpsTbUps.h"

// A field of the three-phase record, and its phases 1..3.
#define SNMP_EX(f) qx::SnmpAt(offsetof(UpsExRecord, f))
#define SNMP_EX3(f) {SNMP_EX(f##1), SNMP_EX(f##2), SNMP_EX(f##3)}
// A field of the single-phase tbUps record.
#define SNMP_TB(f) qx::SnmpAt(offsetof(TbUpsRecord, f))
