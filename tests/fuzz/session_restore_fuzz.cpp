// A restarted run's saved argument line: the arguments file it finds in the temporary directory.
#include <unistd.h>

#include "desktop/session_restore.h"
#include "fuzz.h"
#include "platform/os.h"

using namespace tavrelo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Text identifier = u"Fuzz__" + fromInt(os::processId());
    const Text file = restoreArgumentsFile(identifier);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(os::writeFile(file, bytes));

    std::vector<Text> arguments{u"__Tavrelo_restore=" + identifier, u"kept?"};
    Text line = u"before";
    const std::optional<Text> id = takeRestoreArgument(arguments, line, u"fuzz");
    // The restore is taken and its file consumed, whatever the file held.
    FUZZ_CHECK(id == identifier && !os::pathExists(file));
    // A damaged file (odd size, or no NUL ending it) gives no arguments; a sound one its text up
    // to the first NUL.
    const Text units = fuzz::unitsOf(data, size);
    const bool sound = size % 2 == 0 && !units.empty() && units.back() == u'\0';
    FUZZ_CHECK(sound || (line.empty() && arguments.empty()));
    if (sound) FUZZ_CHECK(line == trim(TextView(units.c_str())) && line.find(u'\0') == Text::npos);
    for (const Text& argument : arguments) FUZZ_CHECK(argument.size() <= line.size());
    return 0;
}
