// The object pump between a service and its companion in the user's session (Windows builds).
// Each side binds its three methods (query, supply, delivery) and serves its own endpoint; the
// senders keep probing the other side, so either process may start first.
#pragma once

#include <cstdint>

#include "platform/text.h"
#include "service/companion.h"

namespace tavrelo {

// Service process: serves endpoint 1 and sends the application's objects towards endpoint 2;
// display changes relayed by the companion are dispatched as this process's own events.
void startServicePump(TextView directory, TextView applicationName) noexcept;
// Companion: serves endpoint 2 and sends towards endpoint 1; false when endpoint 2 could not be
// served.
[[nodiscard]] bool startCompanionPump(TextView directory, TextView applicationName) noexcept;
// Service process: the quit control (after STOP and SHUTDOWN) and the re-add-icon control (a
// session logon) for the companion; each blocks its thread for at least 500 ms; nothing before
// the pump started.
void sendQuit() noexcept;
// sendTrayReAdd: service/companion.h.
// Companion: a display change relayed to the service; 1 when it was delivered.
int forwardDisplayChange(std::uintptr_t wParam, std::intptr_t lParam) noexcept;
// Stops both endpoints' listeners and senders of this process.
void stopServicePump() noexcept;

} // namespace tavrelo
