// The one place that includes <windows.h>: everything Win32 goes through this header so that the
// macros below are set once and the same way everywhere.
#pragma once
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#include <windows.h>
// The program calls the ANSI functions by their full names; these macros would rename its own
// functions of the same names (Fs::CopyFile and its kin).
#undef CopyFile
#undef MoveFile
#undef DeleteFile
#endif
