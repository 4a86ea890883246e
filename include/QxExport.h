// Export marker of the two plug-ins: everything else is built hidden.
#pragma once
#define QX_EXPORT __attribute__((visibility("default")))
#define QX_EXPORT_C extern "C" __attribute__((visibility("default")))
