#include <windows.h>

#include "platform/handles.h"
#include "platform/win_text.h"
#include "resources/resources.h"
#include "tool/tool.h"

namespace tavrelo {

namespace {

constexpr int kDeliveryNameBuffer = 1024;
constexpr std::size_t kMostIconNames = 1023;
constexpr int kAdministratorTemplate = 109;
constexpr int kInvokerTemplate = 110;

ModuleHandle loadAsData(TextView file) {
    return ModuleHandle(LoadLibraryExW(wc(cstr(file)), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

BOOL CALLBACK collectIconName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) {
    auto& names = *reinterpret_cast<std::vector<int>*>(context);
    // The launchers' icons are numbered; a named one is left where it is.
    if (IS_INTRESOURCE(name)) names.push_back(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    return names.size() < kMostIconNames;
}

// The system's words for the failure, or a plain text naming the file where it gave none (some
// systems fail an update with no error code at all).
Text failureText(TextView file, DWORD code) {
    Text text = code != 0 && code != ERROR_INVALID_LEVEL ? systemErrorText(code) : Text();
    if (text.empty()) text = u"\"" + Text(file) + u"\" can't be updated.";
    return text;
}

} // namespace

std::optional<Text> deliveryNameOf(TextView file) {
    const ModuleHandle module = loadAsData(file);
    if (!module) return std::nullopt;
    wchar_t buffer[kDeliveryNameBuffer] = {};
    const int length = LoadStringW(module.get(), kDeliveryNameString, buffer, kDeliveryNameBuffer);
    return Text(tc(buffer), length > 0 ? static_cast<std::size_t>(length) : 0);
}

bool canOpenExclusively(TextView file) {
    const FileHandle handle(
        CreateFileW(wc(cstr(file)), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(handle);
}

bool applyTargetUpdate(const TargetUpdate& update, Text& reason) {
    const Text& path = update.target.path;
    std::vector<int> icons;
    bool enumerated = false, hasGroup = false;
    if (update.replaceIcons) {
        if (const ModuleHandle module = loadAsData(path)) {
            enumerated = EnumResourceNamesW(module.get(), MAKEINTRESOURCEW(kIconResource.number), collectIconName,
                                            reinterpret_cast<LONG_PTR>(&icons)) ||
                         !icons.empty();
            hasGroup = FindResourceW(module.get(), MAKEINTRESOURCEW(kLauncherIconGroup),
                                     MAKEINTRESOURCEW(kIconGroupResource.number)) != nullptr;
        }
    }
    ResourceUpdate resources(path);
    if (!resources.valid()) {
        reason = failureText(path, GetLastError());
        return false;
    }
    bool ok = true;
    if (enumerated) {
        for (int id : icons) ok = ok && resources.remove(kIconResource, id);
        if (hasGroup) ok = ok && resources.remove(kIconGroupResource, kLauncherIconGroup);
    }
    for (const ResourceWrite& write : update.writes) ok = ok && resources.put(write.type, write.id, write.bytes);
    SetLastError(0);
    if (ok && resources.commit()) return true;
    // An update dropped here leaves the file as it was.
    reason = failureText(path, GetLastError());
    return false;
}

std::string manifestTemplate(bool admin) {
    const int id = admin ? kAdministratorTemplate : kInvokerTemplate;
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), wc(kBinType));
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return {};
    return std::string(static_cast<const char*>(data), SizeofResource(nullptr, found));
}

} // namespace tavrelo
