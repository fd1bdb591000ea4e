#include "launcher/launcher.h"

namespace tavrelo {

std::vector<Text> splitWordsAt(TextView text, char16_t separator) {
    std::vector<Text> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == separator) ++i;
        if (i >= text.size()) break;
        const std::size_t start = i;
        bool quoted = false;
        for (; i < text.size(); ++i) {
            if (text[i] == u'"') quoted = !quoted;
            else if (text[i] == separator && !quoted) break;
        }
        Text word(text.substr(start, i - start));
        if (!word.empty() && word.front() == u'"') {
            word.erase(0, 1);
            if (!word.empty() && word.back() == u'"') word.pop_back();
        }
        words.push_back(std::move(word));
    }
    if (!words.empty() && !words.back().empty() && words.back().back() == u'"') words.back().pop_back();
    return words;
}

std::vector<Text> splitWords(TextView text) { return splitWordsAt(text, u' '); }

} // namespace tavrelo
