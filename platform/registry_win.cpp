#include <windows.h>

#include "platform/handles.h"
#include "platform/registry.h"
#include "platform/win_text.h"

namespace tavrelo {

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunOnceKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

bool isTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ || type == REG_LINK; }

// Stored text need not be terminated, nor even hold whole units: callers read it as C strings.
void terminateText(RegistryValue& value) {
    if (!isTextType(value.type)) return;
    std::string& data = value.data;
    if (data.size() % 2 != 0) data.push_back('\0');
    const std::size_t wanted = value.type == REG_MULTI_SZ ? 2 : 1;
    std::size_t present = 0; // NUL units already at the end
    for (std::size_t at = data.size(); present < wanted && at >= 2 && data[at - 1] == 0 && data[at - 2] == 0;
         at -= 2)
        ++present;
    data.append((wanted - present) * 2, '\0');
}

void convertValue(RegistryValue& value) {
    if (value.type == REG_DWORD_BIG_ENDIAN) {
        std::swap(value.data[0], value.data[3]);
        std::swap(value.data[1], value.data[2]);
        value.type = REG_DWORD;
    } else if (value.type == REG_LINK) {
        value.type = REG_SZ;
    } else if (value.type == REG_EXPAND_SZ) {
        Text raw(reinterpret_cast<const char16_t*>(value.data.data()), value.data.size() / 2);
        raw = Text(raw.c_str()); // up to the first NUL
        wchar_t expanded[16384];
        const DWORD n = ExpandEnvironmentStringsW(wc(raw), expanded, 16384);
        if (n != 0 && n <= 16384) {
            value.data.assign(reinterpret_cast<const char*>(expanded), n * 2);
            value.size = value.data.size();
            value.type = REG_SZ;
        }
    }
}

} // namespace

std::optional<RegistryValue> regReadValue(RegistryRoot root, TextView key, TextView name, bool convert) {
    RegistryKey opened;
    if (RegOpenKeyW(root, wc(cstr(key)), opened.receive()) != ERROR_SUCCESS) return std::nullopt;
    const Text valueName(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(opened.get(), wc(valueName), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return std::nullopt;
    // Stored data is not trusted to keep its size between the two queries: the second query's
    // size is the truth (terminators are seen to afterwards).
    std::string data(size, '\0');
    DWORD got = size;
    LSTATUS status = RegQueryValueExW(opened.get(), wc(valueName), nullptr, &type,
                                      reinterpret_cast<BYTE*>(data.data()), &got);
    if (status == ERROR_MORE_DATA) {
        data.assign(got, '\0');
        status = RegQueryValueExW(opened.get(), wc(valueName), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                                  &got);
    }
    if (status != ERROR_SUCCESS || got == 0) return std::nullopt;
    data.resize(got);
    if ((type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN) && got < 4) return std::nullopt;
    if (type == REG_QWORD && got < 8) return std::nullopt;
    RegistryValue value{std::move(data), got, type};
    if (convert) convertValue(value);
    terminateText(value);
    return value;
}

std::optional<Text> regReadText(RegistryRoot root, TextView key, TextView name) {
    const auto value = regReadValue(root, key, name, true);
    if (!value || !isTextType(value->type)) return std::nullopt;
    Text text(reinterpret_cast<const char16_t*>(value->data.data()), value->data.size() / 2);
    return Text(text.c_str());
}

std::optional<Text> regReadString(TextView key, TextView name) { return regReadText(HKEY_LOCAL_MACHINE, key, name); }

long regValueType(RegistryRoot root, TextView key, TextView name) {
    RegistryKey opened;
    if (RegOpenKeyW(root, wc(cstr(key)), opened.receive()) != ERROR_SUCCESS) return -1;
    DWORD type = 0;
    if (RegQueryValueExW(opened.get(), wc(cstr(name)), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) return -1;
    return static_cast<long>(type);
}

bool regCreateKey(RegistryRoot root, TextView key) {
    RegistryKey created;
    return RegCreateKeyW(root, wc(cstr(key)), created.receive()) == ERROR_SUCCESS;
}

bool regWriteValue(RegistryRoot root, TextView key, TextView name, unsigned long type, const void* data,
                   unsigned long size) {
    if (!regCreateKey(root, key)) return false;
    RegistryKey opened;
    if (RegOpenKeyW(root, wc(cstr(key)), opened.receive()) != ERROR_SUCCESS) return false;
    return RegSetValueExW(opened.get(), wc(cstr(name)), 0, type, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
}

bool regWriteString(RegistryRoot root, TextView key, TextView name, TextView text) {
    const Text value(text);
    return regWriteValue(root, key, name, REG_SZ, value.c_str(), static_cast<unsigned long>((value.size() + 1) * 2));
}

bool regDeleteKey(RegistryRoot root, TextView key) { return RegDeleteKeyW(root, wc(cstr(key))) == ERROR_SUCCESS; }

bool regDeleteValue(RegistryRoot root, TextView key, TextView name) {
    RegistryKey opened;
    if (RegOpenKeyExW(root, wc(cstr(key)), 0, KEY_SET_VALUE, opened.receive()) != ERROR_SUCCESS) return false;
    return RegDeleteValueW(opened.get(), wc(cstr(name))) == ERROR_SUCCESS;
}

namespace {

long enumerate(RegistryRoot root, TextView key, RegistryVisitor visit, void* context, bool values) {
    RegistryKey opened;
    if (RegOpenKeyExW(root, wc(cstr(key)), 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, opened.receive()) !=
        ERROR_SUCCESS)
        return -1;
    DWORD index = 0;
    for (;; ++index) {
        wchar_t name[1024];
        DWORD length = 1024;
        const LSTATUS status =
            values ? RegEnumValueW(opened.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr)
                   : RegEnumKeyExW(opened.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) break;
        if (visit) visit(TextView(tc(name), length), index, context);
    }
    return static_cast<long>(index);
}

bool setRunValue(const wchar_t* key, TextView name, TextView command) {
    (void)regDeleteValue(HKEY_CURRENT_USER, tc(key), name); // absent is fine
    return regWriteString(HKEY_CURRENT_USER, tc(key), name, command);
}

} // namespace

long regEnumKeys(RegistryRoot root, TextView key, RegistryVisitor visit, void* context) {
    return enumerate(root, key, visit, context, false);
}

long regEnumValues(RegistryRoot root, TextView key, RegistryVisitor visit, void* context) {
    return enumerate(root, key, visit, context, true);
}

bool setControlPanelCategory(TextView appletName, std::uint32_t category) {
    return regWriteValue(HKEY_LOCAL_MACHINE,
                         u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Extended "
                         u"Properties\\System.ControlPanel.Category",
                         appletName, REG_DWORD, &category, sizeof category);
}

bool setUserRunEntry(TextView name, TextView command) { return setRunValue(kRunKey, name, command); }
bool setUserRunOnceEntry(TextView name, TextView command) { return setRunValue(kRunOnceKey, name, command); }
bool deleteUserRunEntry(TextView name) { return regDeleteValue(HKEY_CURRENT_USER, tc(kRunKey), name); }
bool deleteUserRunOnceEntry(TextView name) { return regDeleteValue(HKEY_CURRENT_USER, tc(kRunOnceKey), name); }

} // namespace tavrelo
