#include "desktop/network_adapters.h"

#include <algorithm>

#include "desktop/desktop.h"

namespace tavrelo {

namespace {

bool hasAddress(const Address& address) noexcept {
    return std::any_of(address.begin(), address.end(), [](std::int32_t part) { return part != 0; });
}

bool sameRecord(const AdapterRecord& a, const AdapterRecord& b) noexcept {
    return equalsIgnoreCase(a.description, b.description) && a.type == b.type && a.ip == b.ip &&
           a.gateway == b.gateway && a.mask == b.mask;
}

AdapterReport reportOf(const AdapterRecord& record, int state) {
    AdapterReport report;
    report.state = state;
    report.description = record.description;
    report.values[0] = record.type;
    for (std::size_t i = 0; i < 4; ++i) {
        report.values[1 + i] = record.ip[i];
        report.values[5 + i] = record.gateway[i];
        report.values[9 + i] = record.mask[i];
    }
    return report;
}

} // namespace

Address parseDottedAddress(std::string_view text) noexcept {
    Address parts{};
    std::size_t at = 0;
    for (std::size_t part = 0; part < parts.size(); ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') break;
            ++at;
        }
        bool negative = false;
        if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
        const std::size_t digits = at;
        std::int64_t value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            value = std::min<std::int64_t>(value * 10 + (text[at] - '0'), INT32_MAX);
            ++at;
        }
        if (at == digits) break;
        parts[part] = static_cast<std::int32_t>(negative ? -value : value);
    }
    return parts;
}

std::vector<AdapterReport> AdapterTable::update(const std::vector<AdapterRecord>& list) {
    std::vector<AdapterReport> reports;
    for (Known& known : known_)
        if (known.state == kAddressed) known.state = kUnseen;

    for (const AdapterRecord& record : list) {
        auto at = std::lower_bound(known_.begin(), known_.end(), record.name, [](const Known& known, const Text& name) {
            return compareIgnoreCase(known.record.name, name) < 0;
        });
        const bool found = at != known_.end() && equalsIgnoreCase(at->record.name, record.name);
        if (!found || !sameRecord(at->record, record)) {
            const bool addressGone = found && hasAddress(at->record.ip) && !hasAddress(record.ip);
            const int state = addressGone ? 0 : (!hasAddress(record.ip) || !hasAddress(record.gateway)) ? 1 : 2;
            reports.push_back(reportOf(record, state));
            if (found)
                at->record = record;
            else
                at = known_.insert(at, Known{record, kNoAddress});
        }
        at->state = hasAddress(record.ip) ? kAddressed : kNoAddress;
    }

    for (Known& known : known_) {
        if (known.state != kUnseen) continue;
        reports.push_back(reportOf(known.record, 0));
        known.record.ip = known.record.gateway = known.record.mask = Address{};
        known.state = kNoAddress;
    }
    return reports;
}

void reportNetworkAdapters(AdapterTable& table, const std::optional<std::vector<AdapterRecord>>& list) noexcept {
    if (!list) return;
    try {
        for (const AdapterReport& report : table.update(*list)) {
            SystemEvent event;
            event.code = kEventNetworkAdapter;
            event.wParam = report.state;
            event.text = report.description;
            event.ints.assign(report.values.begin(), report.values.end());
            (void)notifyEvent(event);
        }
    } catch (...) {
        // Out of memory: this tick reports nothing more; the next one compares again.
    }
}

} // namespace tavrelo
