// Zero-cost views between char16_t and wchar_t, for _win.cpp files only (wchar_t is 16-bit there).
#pragma once

#include "platform/text.h"

#ifdef _WIN32
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wchar_t is UTF-16");

namespace tavrelo {

inline const wchar_t* wc(const char16_t* text) noexcept { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* wc(char16_t* text) noexcept { return reinterpret_cast<wchar_t*>(text); }
inline const wchar_t* wc(const Text& text) noexcept { return wc(text.c_str()); }
inline const char16_t* tc(const wchar_t* text) noexcept { return reinterpret_cast<const char16_t*>(text); }
inline char16_t* tc(wchar_t* text) noexcept { return reinterpret_cast<char16_t*>(text); }
// A NUL-terminated copy of a view, for calls that need a C string.
inline Text cstr(TextView text) { return Text(text); }

} // namespace tavrelo
#endif
