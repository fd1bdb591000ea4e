#include <windows.h>

#include "platform/handles.h"
#include "platform/win_text.h"
#include "resources/resource_writer.h"
#include "resources/resources.h"

namespace tavrelo {

namespace {

using Change = ResourceUpdate::Change;

const wchar_t* typeOf(const Change& change) noexcept {
    return change.typeName.empty() ? MAKEINTRESOURCEW(change.typeNumber) : wc(change.typeName);
}

Change changeOf(ResourceType type, int id) {
    Change change;
    if (type.name) change.typeName = type.name;
    else change.typeNumber = type.number;
    change.id = id;
    return change;
}

bool sameResource(const Change& a, const Change& b) noexcept {
    return a.id == b.id && a.typeNumber == b.typeNumber && equalsIgnoreCase(a.typeName, b.typeName);
}

// ---- Reading every resource of a file, for a rewrite. -------------------------------------------

struct Existing {
    Change change;
    WORD language = 0;
};

struct Reading {
    std::vector<Existing> found;
    Change current;
    bool complete = true;
};

BOOL CALLBACK readLanguage(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR context) {
    auto& reading = *reinterpret_cast<Reading*>(context);
    HRSRC found = FindResourceExW(module, type, name, language);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) {
        reading.complete = false;
        return FALSE;
    }
    Existing existing{reading.current, language};
    existing.change.bytes.assign(static_cast<const char*>(data), SizeofResource(module, found));
    reading.found.push_back(std::move(existing));
    return TRUE;
}

BOOL CALLBACK readName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR context) {
    auto& reading = *reinterpret_cast<Reading*>(context);
    // Resources of this system are numbered; a named one could not be written back as it was.
    if (!IS_INTRESOURCE(name)) {
        reading.complete = false;
        return FALSE;
    }
    reading.current.id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    EnumResourceLanguagesW(module, type, name, readLanguage, context);
    return reading.complete;
}

BOOL CALLBACK readType(HMODULE module, LPWSTR type, LONG_PTR context) {
    auto& reading = *reinterpret_cast<Reading*>(context);
    reading.current = Change();
    if (IS_INTRESOURCE(type)) reading.current.typeNumber = static_cast<int>(reinterpret_cast<ULONG_PTR>(type));
    else reading.current.typeName = tc(type);
    EnumResourceNamesW(module, type, readName, context);
    return reading.complete;
}

bool readResources(TextView file, std::vector<Existing>& found) {
    ModuleHandle module(LoadLibraryExW(wc(cstr(file)), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return false;
    Reading reading;
    // A file without any resource makes the enumeration fail with nothing read: that is complete.
    EnumResourceTypesW(module.get(), readType, reinterpret_cast<LONG_PTR>(&reading));
    found = std::move(reading.found);
    return reading.complete;
}

} // namespace

ResourceUpdate::ResourceUpdate(TextView file) noexcept {
    try {
        file_ = Text(file);
        handle_ = BeginUpdateResourceW(wc(file_), FALSE);
    } catch (...) {
        handle_ = nullptr;
    }
}

ResourceUpdate::~ResourceUpdate() {
    if (handle_) EndUpdateResourceW(handle_, TRUE);
}

bool ResourceUpdate::put(ResourceType type, int id, std::string_view bytes) noexcept {
    if (!handle_ || bytes.size() > 0xFFFFFFFFu) return false;
    try {
        Change change = changeOf(type, id);
        change.bytes.assign(bytes);
        // UpdateResourceW takes no pointer to const, but it only reads the data.
        if (!UpdateResourceW(handle_, typeOf(change), MAKEINTRESOURCEW(id), 0, change.bytes.data(),
                             static_cast<DWORD>(change.bytes.size())))
            return false;
        std::erase_if(changes_, [&](const Change& earlier) { return sameResource(earlier, change); });
        changes_.push_back(std::move(change));
        return true;
    } catch (...) {
        return false;
    }
}

bool ResourceUpdate::remove(ResourceType type, int id) noexcept {
    if (!handle_) return false;
    try {
        Change change = changeOf(type, id);
        change.removal = true;
        if (!UpdateResourceW(handle_, typeOf(change), MAKEINTRESOURCEW(id), 0, nullptr, 0)) return false;
        std::erase_if(changes_, [&](const Change& earlier) { return sameResource(earlier, change); });
        changes_.push_back(std::move(change));
        removals_ = true;
        return true;
    } catch (...) {
        return false;
    }
}

bool ResourceUpdate::commit() noexcept {
    if (!handle_) return false;
    HANDLE update = handle_;
    handle_ = nullptr;
    if (!removals_) return EndUpdateResourceW(update, FALSE) != 0;
    // Some systems' resource updates bring removed resources back from the file when they keep
    // the existing ones; a removal is therefore made by writing every kept resource anew.
    EndUpdateResourceW(update, TRUE);
    return rewriteKeptResources();
}

bool ResourceUpdate::rewriteKeptResources() noexcept {
    try {
        std::vector<Existing> existing;
        if (!readResources(file_, existing)) return false;
        HANDLE update = BeginUpdateResourceW(wc(file_), TRUE);
        if (!update) return false;
        bool ok = true;
        for (Existing& kept : existing) {
            bool changed = false;
            if (kept.language == 0)
                for (const Change& change : changes_) changed = changed || sameResource(change, kept.change);
            if (changed) continue;
            ok = ok && UpdateResourceW(update, typeOf(kept.change), MAKEINTRESOURCEW(kept.change.id), kept.language,
                                       kept.change.bytes.data(), static_cast<DWORD>(kept.change.bytes.size()));
        }
        for (Change& change : changes_)
            if (!change.removal)
                ok = ok && UpdateResourceW(update, typeOf(change), MAKEINTRESOURCEW(change.id), 0, change.bytes.data(),
                                           static_cast<DWORD>(change.bytes.size()));
        return EndUpdateResourceW(update, ok ? FALSE : TRUE) != 0 && ok;
    } catch (...) {
        return false;
    }
}

bool putScrambledText(ResourceUpdate& update, int id, TextView text) noexcept {
    try {
        return update.put(kBinResource, id, scrambledTextBytes(text));
    } catch (...) {
        return false;
    }
}

bool writeScrambledText(TextView file, int id, TextView text) noexcept {
    ResourceUpdate update(file);
    return putScrambledText(update, id, text) && update.commit();
}

} // namespace tavrelo
