// The service-control natives that read: configuration, status, names, failure actions and the
// listings of services. Arrays hold decimal text for numbers; a failed query gives null (false
// for the delayed-start predicate), never an exception.
#include <windows.h>

#include <vector>

#include "natives/natives.h"
#include "natives/service_access.h"
#include "platform/win_text.h"
#include "service/service.h"

namespace tavrelo {

namespace {

constexpr std::size_t kNameBuffer = 4096;

// An aligned buffer for the variable-length records the manager fills.
using Record = std::vector<unsigned long long>;

// The record of a query asked twice: for its size, then into a buffer of that size. Empty on
// failure.
template <class Query> Record readRecord(Query query) {
    DWORD needed = 0;
    if (!query(nullptr, 0, &needed)) {
        const DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER && error != ERROR_MORE_DATA) return {};
    }
    Record buffer((needed + sizeof(unsigned long long) - 1) / sizeof(unsigned long long) + 1);
    const auto size = static_cast<DWORD>(buffer.size() * sizeof(unsigned long long));
    if (!query(reinterpret_cast<unsigned char*>(buffer.data()), size, &needed)) return {};
    return buffer;
}

Record config2(ScHandle service, DWORD level) {
    return readRecord([&](unsigned char* buffer, DWORD size, DWORD* needed) {
        return serviceManagerApi().queryServiceConfig2(service, level, buffer, size, needed) != 0;
    });
}

Record config(ScHandle service) {
    return readRecord([&](unsigned char* buffer, DWORD size, DWORD* needed) {
        return serviceManagerApi().queryServiceConfig(service, buffer, size, needed) != 0;
    });
}

template <class T> const T& as(const Record& record) { return *reinterpret_cast<const T*>(record.data()); }

Text textOf(const wchar_t* text) { return text ? Text(tc(text)) : Text(); }
Text number(DWORD value) { return fromInt(static_cast<int>(value)); }

// A multi-string ("a\0b\0\0") as "a/b".
Text joinedNames(const wchar_t* names) {
    Text joined;
    for (const wchar_t* name = names; name && *name; name += wcslen(name) + 1) {
        if (!joined.empty()) joined += u'/';
        joined += tc(name);
    }
    return joined;
}

// A String[][] of the rows; null when it cannot be made.
jobjectArray newStringTable(JNIEnv* env, const std::vector<std::vector<Text>>& rows) noexcept {
    if (rows.size() > 0x7FFFFFFF) return nullptr;
    const LocalRef<jclass> rowClass(env->FindClass("[Ljava/lang/String;"));
    LocalRef<jobjectArray> table(
        rowClass ? env->NewObjectArray(static_cast<jsize>(rows.size()), rowClass.get(), nullptr) : nullptr);
    for (std::size_t i = 0; table && i < rows.size(); ++i) {
        const LocalRef<jobjectArray> row(newStringArray(env, rows[i]));
        if (!row) return nullptr;
        env->SetObjectArrayElement(table.get(), static_cast<jsize>(i), row.get());
    }
    if (env->ExceptionCheck()) {
        env->ExceptionClear();
        return nullptr;
    }
    return table.release();
}

// One listed service: name, display name and state; with the details also its type, the
// controls it accepts, its start type, delayed start and description. A service whose
// configuration cannot be read keeps its row (start type -1, not delayed, no description), so
// the listing is never cut short.
std::vector<Text> listedRow(ScHandle manager, const ENUM_SERVICE_STATUSW& entry, bool details) {
    std::vector<Text> row{textOf(entry.lpServiceName), textOf(entry.lpDisplayName),
                          number(entry.ServiceStatus.dwCurrentState)};
    if (!details) return row;
    row.push_back(number(entry.ServiceStatus.dwServiceType));
    row.push_back(number(entry.ServiceStatus.dwControlsAccepted));
    Text startType = u"-1", delayed = u"0", description;
    if (ScmHandle service{serviceManagerApi().openService(manager, entry.lpServiceName, SERVICE_QUERY_CONFIG)}) {
        if (const Record record = config(service.get()); !record.empty())
            startType = number(as<QUERY_SERVICE_CONFIGW>(record).dwStartType);
        if (const Record record = config2(service.get(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO); !record.empty())
            delayed = as<SERVICE_DELAYED_AUTO_START_INFO>(record).fDelayedAutostart ? u"1" : u"0";
        if (const Record record = config2(service.get(), SERVICE_CONFIG_DESCRIPTION); !record.empty())
            description = textOf(as<SERVICE_DESCRIPTIONW>(record).lpDescription);
    }
    row.push_back(std::move(startType));
    row.push_back(std::move(delayed));
    row.push_back(std::move(description));
    return row;
}

// Lists through `list(buffer, size, needed, returned)`, which answers ERROR_MORE_DATA while
// entries remain (going on from where it stopped when it keeps a resume handle). False on
// failure.
template <class List>
bool listServices(ScHandle manager, bool details, std::vector<std::vector<Text>>& rows, List list) {
    DWORD needed = 0, returned = 0;
    if (list(nullptr, 0, &needed, &returned)) return true; // nothing to list
    if (GetLastError() != ERROR_MORE_DATA) return false;
    Record buffer;
    for (int round = 0; round < 1000; ++round) {
        const std::size_t words = (needed + sizeof(unsigned long long) - 1) / sizeof(unsigned long long);
        if (words > buffer.size()) buffer.resize(words);
        const auto size = static_cast<DWORD>(buffer.size() * sizeof(unsigned long long));
        returned = 0;
        const bool done = list(buffer.data(), size, &needed, &returned);
        if (!done && GetLastError() != ERROR_MORE_DATA) return false;
        const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data());
        for (DWORD i = 0; i < returned; ++i)
            rows.push_back(listedRow(manager, entries[i], details));
        if (done) return true;
    }
    return false;
}

jstring stringOrNull(JNIEnv* env, const std::optional<Text>& text) noexcept {
    return text ? newString(env, text->data(), text->size()) : nullptr;
}

// A name looked up on a manager opened only to connect.
template <class Lookup> jstring nameLookup(JNIEnv* env, const Text& given, Lookup lookup) noexcept {
    try {
        ScmHandle manager(serviceManagerApi().openSCManager(nullptr, nullptr, SC_MANAGER_CONNECT));
        if (!manager) return nullptr;
        std::vector<wchar_t> buffer(kNameBuffer, L'\0');
        DWORD size = static_cast<DWORD>(buffer.size());
        if (!lookup(manager.get(), wc(given), buffer.data(), &size)) return nullptr;
        buffer.back() = L'\0';
        return stringOrNull(env, Text(tc(buffer.data())));
    } catch (...) {
        return nullptr;
    }
}

} // namespace

jobjectArray JNICALL scmEnumServices(JNIEnv* env, jclass, jint type, jint state, jboolean details) noexcept {
    try {
        ScmHandle manager(serviceManagerApi().openSCManager(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
        if (!manager) return nullptr;
        std::vector<std::vector<Text>> rows;
        DWORD resume = 0;
        const bool listed = listServices(
            manager.get(), details != JNI_FALSE, rows, [&](void* buffer, DWORD size, DWORD* needed, DWORD* returned) {
                return serviceManagerApi().enumServicesStatus(manager.get(), static_cast<DWORD>(type),
                                                              static_cast<DWORD>(state), buffer, size, needed, returned,
                                                              &resume) != 0;
            });
        return listed ? newStringTable(env, rows) : nullptr;
    } catch (...) {
        return nullptr;
    }
}

jobjectArray JNICALL scmEnumDependentServices(JNIEnv* env, jclass, jstring name, jint state,
                                              jboolean details) noexcept {
    try {
        const OpenedService opened = openNamedService(env, name, SC_MANAGER_CONNECT, SERVICE_ENUMERATE_DEPENDENTS);
        if (opened.error) return nullptr;
        std::vector<std::vector<Text>> rows;
        // Without a resume handle a second round lists everything again: only the last counts.
        const bool listed = listServices(opened.manager.get(), details != JNI_FALSE, rows,
                                         [&](void* buffer, DWORD size, DWORD* needed, DWORD* returned) {
                                             rows.clear();
                                             return serviceManagerApi().enumDependentServices(
                                                        opened.service.get(), static_cast<DWORD>(state), buffer, size,
                                                        needed, returned) != 0;
                                         });
        return listed ? newStringTable(env, rows) : nullptr;
    } catch (...) {
        return nullptr;
    }
}

jobjectArray JNICALL scmQueryConfig(JNIEnv* env, jclass, jstring name) noexcept {
    try {
        const OpenedService opened = openNamedService(env, name, SC_MANAGER_CONNECT, SERVICE_QUERY_CONFIG);
        if (opened.error) return nullptr;
        const Record record = config(opened.service.get());
        if (record.empty()) return nullptr;
        const auto& c = as<QUERY_SERVICE_CONFIGW>(record);
        return newStringArray(env, {textOf(c.lpDisplayName), textOf(c.lpBinaryPathName), joinedNames(c.lpDependencies),
                                    textOf(c.lpServiceStartName), number(c.dwServiceType), number(c.dwStartType)});
    } catch (...) {
        return nullptr;
    }
}

jstring JNICALL scmGetDescription(JNIEnv* env, jclass, jstring name) noexcept {
    try {
        const OpenedService opened = openNamedService(env, name, SC_MANAGER_CONNECT, SERVICE_QUERY_CONFIG);
        if (opened.error) return nullptr;
        const Record record = config2(opened.service.get(), SERVICE_CONFIG_DESCRIPTION);
        if (record.empty()) return nullptr;
        return stringOrNull(env, textOf(as<SERVICE_DESCRIPTIONW>(record).lpDescription));
    } catch (...) {
        return nullptr;
    }
}

jstring JNICALL scmGetNameSvc(JNIEnv* env, jclass, jstring displayName) noexcept {
    bool failed = false;
    std::optional<Text> display = javaArgument(env, displayName, failed);
    if (failed || !display || display->find(u'\0') != Text::npos) return nullptr;
    return nameLookup(env, *display, [](ScHandle manager, const wchar_t* text, wchar_t* buffer, DWORD* size) {
        return serviceManagerApi().getServiceKeyName(manager, text, buffer, size) != 0;
    });
}

jstring JNICALL scmGetNameLong(JNIEnv* env, jclass, jstring name) noexcept {
    Text serviceName;
    if (serviceNameOf(env, name, serviceName) != 0) return nullptr;
    return nameLookup(env, serviceName, [](ScHandle manager, const wchar_t* text, wchar_t* buffer, DWORD* size) {
        return serviceManagerApi().getServiceDisplayName(manager, text, buffer, size) != 0;
    });
}

jobjectArray JNICALL scmGetFailures(JNIEnv* env, jclass, jstring name) noexcept {
    try {
        const OpenedService opened = openNamedService(env, name, SC_MANAGER_CONNECT, SERVICE_QUERY_CONFIG);
        if (opened.error) return nullptr;
        const Record record = config2(opened.service.get(), SERVICE_CONFIG_FAILURE_ACTIONS);
        if (record.empty()) return nullptr;
        const auto& failures = as<SERVICE_FAILURE_ACTIONSW>(record);
        std::vector<FailureAction> actions;
        for (DWORD i = 0; failures.lpsaActions && i < failures.cActions; ++i)
            actions.push_back({static_cast<int>(failures.lpsaActions[i].Type), failures.lpsaActions[i].Delay});
        const FailureActionText text = reverseForm(actions);
        return newStringArray(env, {text.types, text.delays, textOf(failures.lpCommand), textOf(failures.lpRebootMsg),
                                    number(failures.dwResetPeriod)});
    } catch (...) {
        return nullptr;
    }
}

jboolean JNICALL scmIsDelayedAutoStart(JNIEnv* env, jclass, jstring name) noexcept {
    try {
        const OpenedService opened = openNamedService(env, name, SC_MANAGER_CONNECT, SERVICE_QUERY_CONFIG);
        if (opened.error) return JNI_FALSE;
        const Record record = config2(opened.service.get(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO);
        return !record.empty() && as<SERVICE_DELAYED_AUTO_START_INFO>(record).fDelayedAutostart ? JNI_TRUE : JNI_FALSE;
    } catch (...) {
        return JNI_FALSE;
    }
}

jobjectArray JNICALL scmQueryStatus(JNIEnv* env, jclass, jstring name) noexcept {
    try {
        const OpenedService opened = openNamedService(env, name, SC_MANAGER_CONNECT, SERVICE_QUERY_STATUS);
        if (opened.error) return nullptr;
        SERVICE_STATUS_PROCESS status{};
        DWORD needed = 0;
        if (!serviceManagerApi().queryServiceStatusEx(opened.service.get(), SC_STATUS_PROCESS_INFO,
                                                      reinterpret_cast<unsigned char*>(&status), sizeof status,
                                                      &needed))
            return nullptr;
        return newStringArray(env, {number(status.dwCurrentState), number(status.dwServiceType),
                                    number(status.dwControlsAccepted), number(status.dwProcessId)});
    } catch (...) {
        return nullptr;
    }
}

} // namespace tavrelo
