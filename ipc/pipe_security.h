// The security attributes of served pipes (Windows builds only).
#pragma once

#include "ipc/pipes.h"

namespace tavrelo {

// What interactive users may do on a service pipe: read and write, but not create instances
// (FILE_CREATE_PIPE_INSTANCE, which is part of generic write), so no user can put a server of
// their own behind the service's name.
inline constexpr unsigned long kInteractivePipeRights = 0x0012019B; // FILE_GENERIC_READ|WRITE minus 0x4

// SECURITY_ATTRIBUTES for the given access, with handles that are not inherited, owned for the
// life of the pipe; empty when a step failed.
[[nodiscard]] PipeAttributes createPipeSecurity(PipeAccess access) noexcept;

} // namespace tavrelo
