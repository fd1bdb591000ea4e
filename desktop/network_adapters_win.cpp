// The system's adapter list, read with GetAdaptersInfo when iphlpapi.dll has it.
#include <windows.h>

#include <iptypes.h>

#include <cstring>

#include "desktop/network_adapters.h"
#include "platform/os.h"
#include "platform/system.h"

namespace tavrelo {

namespace {

using GetAdaptersInfoFunction = ULONG(WINAPI*)(PIP_ADAPTER_INFO, PULONG);
constexpr ULONG kFirstBufferBytes = 704;
constexpr std::size_t kTextLimit = 255; // bytes kept of a name or description

// Whole records, so the list the system writes into it is aligned as it expects.
std::vector<IP_ADAPTER_INFO> adapterBuffer;

void sizeBuffer(ULONG bytes) { adapterBuffer.resize((bytes + sizeof(IP_ADAPTER_INFO) - 1) / sizeof(IP_ADAPTER_INFO)); }

template <std::size_t N> std::string_view field(const char (&text)[N], std::size_t limit = N) noexcept {
    return std::string_view(text, strnlen(text, std::min(N, limit)));
}

AdapterRecord recordOf(const IP_ADAPTER_INFO& adapter) {
    AdapterRecord record;
    record.name = os::ansiToText(field(adapter.AdapterName, kTextLimit));
    record.description = os::ansiToText(field(adapter.Description, kTextLimit));
    record.type = static_cast<std::int32_t>(adapter.Type);
    record.ip = parseDottedAddress(field(adapter.IpAddressList.IpAddress.String));
    record.gateway = parseDottedAddress(field(adapter.GatewayList.IpAddress.String));
    record.mask = parseDottedAddress(field(adapter.IpAddressList.IpMask.String));
    return record;
}

} // namespace

std::optional<std::vector<AdapterRecord>> readNetworkAdapters() noexcept {
    static const auto getAdaptersInfo = loadFunctionAs<GetAdaptersInfoFunction>(u"iphlpapi.dll", "GetAdaptersInfo");
    if (!getAdaptersInfo) return std::nullopt;
    try {
        if (adapterBuffer.empty()) sizeBuffer(kFirstBufferBytes);
        ULONG bytes = static_cast<ULONG>(adapterBuffer.size() * sizeof(IP_ADAPTER_INFO));
        ULONG result = getAdaptersInfo(adapterBuffer.data(), &bytes);
        if (result == ERROR_BUFFER_OVERFLOW) {
            sizeBuffer(bytes);
            result = getAdaptersInfo(adapterBuffer.data(), &bytes);
        }
        std::vector<AdapterRecord> list;
        if (result == ERROR_NO_DATA) return list;
        if (result != ERROR_SUCCESS) return std::nullopt;
        for (const IP_ADAPTER_INFO* adapter = adapterBuffer.data(); adapter; adapter = adapter->Next)
            list.push_back(recordOf(*adapter));
        return list;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace tavrelo
