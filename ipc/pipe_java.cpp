#include "bridge/bridge.h"
#include "ipc/pipes.h"
#include "launcher/java_runtime.h"

namespace tavrelo {

void useJavaPipeHooks() noexcept {
    PipeProcessHooks hooks = pipeProcessHooks();
    hooks.threadEnding = releaseJavaThread;
    hooks.quit = [] { exitJava(); };
    setPipeProcessHooks(hooks);
}

} // namespace tavrelo
