#pragma once
// The Windows API for the implementation files in this folder. Include it after the platform/
// headers: the system's macros (WM_TIMER, FD_READ, REG_SZ, WSAEINTR ...) would otherwise rename
// the constants those headers declare. Here the macros stand for the same numbers.

#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>

// PostMessage is PostMessageA or PostMessageW to the system; the platform has a function of
// that name.
#undef PostMessage
