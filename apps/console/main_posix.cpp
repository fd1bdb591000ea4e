// Tavrelo_console: the Linux build of the console launcher.
#include <vector>

#include "launcher/launcher.h"

int main(int argc, char** argv) {
    std::vector<tavrelo::Text> texts;
    texts.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) texts.push_back(tavrelo::fromUtf8(argv[i] ? argv[i] : ""));
    std::vector<const char16_t*> arguments;
    for (const auto& text : texts) arguments.push_back(text.c_str());
    return tavrelo::runEntry(argc, arguments.data(), nullptr, tavrelo::EntryOptions{});
}
