// The one header the programs include for the platform.
//
// On the target it is the toolchain's <windows.h>; the input-method-manager
// functions it declares are defined by our start-up code (imm_late.cpp), which
// binds IMM32.DLL at run time. On the host it is the simulated platform's own
// declaration of the same subset of Win32.
#ifndef QIV_PLATFORM_WIN32_H
#define QIV_PLATFORM_WIN32_H

#if defined(QIV_SIM)
#include "sim/win32_api.h"
#else
#define WIN32_LEAN_AND_MEAN
#define NOMCX
#define NOSERVICE
#include <windows.h>
#include <imm.h>
#endif

#endif
