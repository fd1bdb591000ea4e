// The log every test reads: one line per event, appended (several processes of one test may
// share it, so each line is one append-mode write).
#include <windows.h>

#include <cstdio>

#include "runtime/runtime.h"

namespace tavrelo::standin {

namespace {
std::wstring& logPath() {
    static std::wstring path;
    return path;
}
} // namespace

void setLogDirectory(const std::wstring& directory) {
    // Benchmarks measure the launcher, not the log's file writes: TAVRELO_STANDIN_LOG=off.
    wchar_t setting[8] = {};
    if (GetEnvironmentVariableW(L"TAVRELO_STANDIN_LOG", setting, 8) == 3 && std::wstring(setting) == L"off") {
        logPath().clear();
        return;
    }
    logPath() = directory + L"\\standin.log";
}

std::string utf8(std::u16string_view text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(text.data()),
                                         static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(text.data()), static_cast<int>(text.size()),
                        out.data(), size, nullptr, nullptr);
    return out;
}

std::u16string utf16(std::string_view text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(out.data()),
                        size);
    return out;
}

std::string quoted(std::u16string_view text) {
    std::u16string escaped;
    for (char16_t c : text) {
        switch (c) {
        case u'"': escaped += u"\\\""; break;
        case u'\\': escaped += u"\\\\"; break;
        case u'\n': escaped += u"\\n"; break;
        case u'\r': escaped += u"\\r"; break;
        case u'\t': escaped += u"\\t"; break;
        default:
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
                for (const char* p = buffer; *p; ++p) escaped.push_back(static_cast<char16_t>(*p));
            } else {
                escaped.push_back(c);
            }
        }
    }
    return "\"" + utf8(escaped) + "\"";
}

std::string hexBytes(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (char b : bytes) {
        const auto v = static_cast<unsigned char>(b);
        out.push_back(digits[v >> 4]);
        out.push_back(digits[v & 15]);
    }
    return out;
}

void logLine(std::string_view kind, std::string_view details) {
    if (logPath().empty()) return;
    std::string line = std::to_string(GetCurrentProcessId()) + ":" + std::to_string(GetCurrentThreadId()) + " [" +
                       threadLabel() + "] " + std::string(kind);
    if (!details.empty()) {
        line.push_back(' ');
        for (char c : details) {
            if (c == '\n') line += "\\n";
            else if (c == '\r') line += "\\r";
            else line.push_back(c);
        }
    }
    line.push_back('\n');
    HANDLE file = CreateFileW(logPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

void logError(std::string_view details) {
    logLine("error", details);
}

} // namespace tavrelo::standin
