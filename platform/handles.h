// The Windows handle kinds, declared without <windows.h>; closing lives in handles_win.cpp.
#pragma once

#include "platform/handle.h"

struct HKEY__;
struct HINSTANCE__;
struct SC_HANDLE__;
struct HICON__;
struct HMENU__;
struct HDC__;

namespace tavrelo {

struct KernelHandlePolicy { // NULL-invalid HANDLE (threads, processes, events, mutexes)
    using Type = void*;
    static constexpr Type invalid() noexcept { return nullptr; }
    static void close(Type handle) noexcept;
};
struct FileHandlePolicy { // INVALID_HANDLE_VALUE-invalid HANDLE (files, pipes)
    using Type = void*;
    static Type invalid() noexcept { return reinterpret_cast<Type>(static_cast<long long>(-1)); }
    static void close(Type handle) noexcept;
};
struct LocalMemoryPolicy { // memory the system allocated for the caller with LocalAlloc
    using Type = void*;
    static constexpr Type invalid() noexcept { return nullptr; }
    static void close(Type memory) noexcept;
};
struct RegistryKeyPolicy {
    using Type = HKEY__*;
    static constexpr Type invalid() noexcept { return nullptr; }
    static void close(Type handle) noexcept;
};
struct ServiceHandlePolicy {
    using Type = SC_HANDLE__*;
    static constexpr Type invalid() noexcept { return nullptr; }
    static void close(Type handle) noexcept;
};
struct ModulePolicy {
    using Type = HINSTANCE__*;
    static constexpr Type invalid() noexcept { return nullptr; }
    static void close(Type handle) noexcept;
};
struct IconPolicy {
    using Type = HICON__*;
    static constexpr Type invalid() noexcept { return nullptr; }
    static void close(Type handle) noexcept;
};
struct MenuPolicy {
    using Type = HMENU__*;
    static constexpr Type invalid() noexcept { return nullptr; }
    static void close(Type handle) noexcept;
};
struct GdiObjectPolicy { // bitmaps, brushes, pens (HGDIOBJ), not selected into a DC when closed
    using Type = void*;
    static constexpr Type invalid() noexcept { return nullptr; }
    static void close(Type handle) noexcept;
};
struct HeldMutexPolicy { // a mutex this thread owns: released, then closed
    using Type = void*;
    static constexpr Type invalid() noexcept { return nullptr; }
    static void close(Type handle) noexcept;
};
struct OpenSecurityPolicy { // security attributes built by openToAllSecurity
    using Type = void*;
    static constexpr Type invalid() noexcept { return nullptr; }
    static void close(Type attributes) noexcept;
};
struct FindSearchPolicy { // a FindFirstFileW search, INVALID_HANDLE_VALUE-invalid
    using Type = void*;
    static Type invalid() noexcept { return reinterpret_cast<Type>(static_cast<long long>(-1)); }
    static void close(Type handle) noexcept;
};
struct MemoryDcPolicy { // a DC made with CreateCompatibleDC
    using Type = HDC__*;
    static constexpr Type invalid() noexcept { return nullptr; }
    static void close(Type handle) noexcept;
};

using KernelHandle = UniqueHandle<KernelHandlePolicy>;
using FileHandle = UniqueHandle<FileHandlePolicy>;
using LocalMemory = UniqueHandle<LocalMemoryPolicy>;
using RegistryKey = UniqueHandle<RegistryKeyPolicy>;
using ServiceHandle = UniqueHandle<ServiceHandlePolicy>;
using ModuleHandle = UniqueHandle<ModulePolicy>;
using IconHandle = UniqueHandle<IconPolicy>;
using MenuHandle = UniqueHandle<MenuPolicy>;
using GdiObject = UniqueHandle<GdiObjectPolicy>;
using MemoryDc = UniqueHandle<MemoryDcPolicy>;
using FindSearch = UniqueHandle<FindSearchPolicy>;
using HeldMutex = UniqueHandle<HeldMutexPolicy>;
using OpenSecurity = UniqueHandle<OpenSecurityPolicy>;

} // namespace tavrelo
