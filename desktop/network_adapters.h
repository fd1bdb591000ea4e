// The network-adapter poll's memory: which adapters were seen with which addresses, and what
// each tick reports to `notifyEvent` (code 1025). Portable, so the host can drive sequences.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace tavrelo {

// Four parts of a dotted address, as "%d.%d.%d.%d" reads them (parts it cannot read stay 0).
using Address = std::array<std::int32_t, 4>;
[[nodiscard]] Address parseDottedAddress(std::string_view text) noexcept;

// One adapter as the system lists it: its first address, gateway and mask.
struct AdapterRecord {
    Text name;        // the adapter's identifier, compared without regard to ASCII case
    Text description; // what the user sees, passed to the application
    std::int32_t type = 0;
    Address ip{}, gateway{}, mask{};
};

// What one report carries: state 0 lost (or its address gone), 1 present without an address
// or gateway, 2 configured; and [type, ip1..4, gw1..4, mask1..4].
struct AdapterReport {
    int state = 0;
    Text description;
    std::array<std::int32_t, 13> values{};
};

// The known adapters, sorted by name. One owner (the event window's thread).
class AdapterTable {
  public:
    // The reports for one tick's list, in order: changed or new adapters in the list's order,
    // then the adapters that went away (each reported lost once).
    [[nodiscard]] std::vector<AdapterReport> update(const std::vector<AdapterRecord>& list);

  private:
    enum State : int { kNoAddress = -1, kAddressed = 0, kUnseen = 1 };
    struct Known {
        AdapterRecord record;
        int state = kNoAddress;
    };
    std::vector<Known> known_;
};

// Sends a tick's reports to the application. An absent list (the system could not say) sends
// nothing and leaves the table as it was: a passing failure is not every adapter lost.
void reportNetworkAdapters(AdapterTable& table, const std::optional<std::vector<AdapterRecord>>& list) noexcept;

// Windows builds: the system's adapter list now (empty when there is none), absent when it
// cannot be read. The buffer is kept between calls, so a tick normally makes one call.
// One caller thread at a time.
[[nodiscard]] std::optional<std::vector<AdapterRecord>> readNetworkAdapters() noexcept;

} // namespace tavrelo
