#include <windows.h>
#include <shellapi.h>

#include "launcher/launcher.h"
#include "platform/handles.h"
#include "platform/win_text.h"

namespace tavrelo {

// Quoted as CommandLineToArgvW and the C runtime read it back: backslashes count only before a
// double quote, so those runs (and the run before the closing quote) are doubled. '*' and '?'
// are quoted too, so a runtime that expands wildcards leaves them alone.
void appendQuotedArgument(Text& line, TextView argument) {
    if (!argument.empty() && argument.find_first_of(u" \t\n\v\"*?") == TextView::npos) {
        line.append(argument);
        return;
    }
    line.push_back(u'"');
    std::size_t backslashes = 0;
    for (char16_t c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
        backslashes = 0;
        line.push_back(c);
    }
    line.append(2 * backslashes, u'\\');
    line.push_back(u'"');
}

std::vector<Text> parseArgumentLine(TextView line) {
    // The system's own parser; the first word follows the program-name rules, so give it one.
    const Text full = Text(u"x ") + Text(line);
    int count = 0;
    const LocalMemory memory(CommandLineToArgvW(wc(full), &count));
    std::vector<Text> arguments;
    if (!memory) return arguments;
    const auto* words = static_cast<wchar_t* const*>(memory.get());
    for (int i = 1; i < count; ++i) arguments.emplace_back(tc(words[i]));
    return arguments;
}

} // namespace tavrelo
