#include <algorithm>

#include "launcher/launcher.h"

namespace tavrelo {

namespace {

bool isSeparatingBlank(char16_t c) noexcept { return c == u' ' || c == u'\t' || c == u'\n'; }

// Words of these characters mean the same to a shell unquoted; anything else goes in single
// quotes, where only the single quote itself needs leaving and re-entering the quotes.
bool isPlain(char16_t c) noexcept {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           TextView(u"_@%+=:,./-").find(c) != TextView::npos;
}

} // namespace

void appendQuotedArgument(Text& line, TextView argument) {
    bool plain = !argument.empty();
    for (char16_t c : argument) plain = plain && isPlain(c);
    if (plain) {
        line.append(argument);
        return;
    }
    line.push_back(u'\'');
    for (char16_t c : argument) {
        if (c == u'\'')
            line.append(u"'\\''");
        else
            line.push_back(c);
    }
    line.push_back(u'\'');
}

// The shell's quoting without its expansions: the line is never handed to a shell here.
std::vector<Text> parseArgumentLine(TextView line) {
    std::vector<Text> arguments;
    Text word;
    bool inWord = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char16_t c = line[i];
        if (isSeparatingBlank(c)) {
            if (inWord) arguments.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        if (c == u'\\' && i + 1 < line.size() && line[i + 1] == u'\n') { // a line continues
            ++i;
            continue;
        }
        inWord = true;
        if (c == u'\'') {
            const std::size_t close = std::min(line.find(u'\'', i + 1), line.size());
            word.append(line.substr(i + 1, close - i - 1));
            i = close;
        } else if (c == u'"') {
            for (++i; i < line.size() && line[i] != u'"'; ++i) {
                // Inside double quotes a backslash keeps only these characters from their meaning.
                if (line[i] == u'\\' && i + 1 < line.size() && TextView(u"\\\"$`").find(line[i + 1]) != TextView::npos)
                    ++i;
                word.push_back(line[i]);
            }
        } else if (c == u'\\' && i + 1 < line.size()) {
            word.push_back(line[++i]);
        } else {
            word.push_back(c);
        }
    }
    if (inWord) arguments.push_back(std::move(word));
    return arguments;
}

} // namespace tavrelo
