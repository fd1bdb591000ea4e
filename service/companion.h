// The service's side of its user-interface companion: the control signals it sends.
#pragma once

namespace tavrelo {

// Asks the companion of the service to add its tray icon again (a session logon was seen).
// Blocks the calling thread while the exchange lasts; fails silently where no companion listens.
void sendTrayReAdd() noexcept;

} // namespace tavrelo
