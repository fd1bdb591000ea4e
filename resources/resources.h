// The launcher's own resources and the hand-over of dropped files to the resource tool.
#pragma once

#include "platform/text.h"

namespace tavrelo {

// Non-zero when the program arguments (after the program name) are files to hand to the
// resource tool beside the launcher.
[[nodiscard]] int checkIntegrationRequest(int count, const char16_t* const* arguments);
// Starts the resource tool on the launcher with those files, without waiting; returns 0.
[[nodiscard]] int startResourceTool(int count, const char16_t* const* arguments);

} // namespace tavrelo
