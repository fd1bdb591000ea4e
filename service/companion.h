// The service's side of its user-interface companion: the control signals it sends.
#pragma once

namespace tavrelo {

// Asks the companion of the service to add its tray icon again (a session logon was seen).
// Blocks the calling thread while the exchange lasts; fails silently where no companion listens.
void sendTrayReAdd() noexcept;

// The companion's side: hands a display change seen in the user's session to its service, whose
// application hears of it as if its own window had received it. Desktop thread; fails silently
// where the service does not listen.
void relayDisplayChange(unsigned long long wParam, long long lParam) noexcept;

} // namespace tavrelo
