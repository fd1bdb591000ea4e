#include "launcher/java_runtime.h"
#include "launcher/launcher.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

bool isPropertyOption(TextView word) noexcept {
    return word.size() >= 2 && word[0] == u'-' && (word[1] == u'D' || word[1] == u'd');
}

// Trimmed, and without a pair of enclosing double quotes.
Text finished(TextView option) {
    TextView text = trimView(option);
    if (!text.empty() && text.front() == u'"') {
        text.remove_prefix(1);
        if (!text.empty() && text.back() == u'"') text.remove_suffix(1);
    }
    return Text(text);
}

void addOption(VmOptionSet& set, TextView option) {
    const Text text = finished(option);
    // The VM refuses an empty option outright; an empty word (a lone "") is nothing to pass.
    if (text.empty()) return;
    set.options.push_back(os::textToAnsi(text));
}

} // namespace

VmOptionSet buildVmOptions(TextView optionString, TextView classPath, TextView launcherDirectory,
                           TextView classPathOption) {
    VmOptionSet set;
    std::vector<Text> words = splitWords(optionString);
    // A stable insertion sort (option lists are short): of two spellings that differ only in
    // case, the one written first is kept.
    for (std::size_t i = 1; i < words.size(); ++i)
        for (std::size_t j = i; j > 0 && compareIgnoreCase(words[j], words[j - 1]) < 0; --j)
            words[j].swap(words[j - 1]);
    const Text* previous = nullptr;
    for (const Text& word : words) {
        if (previous && equalsIgnoreCase(word, *previous)) continue;
        previous = &word;
        // The VM reads its options in the system's narrow encoding, which cannot carry every
        // character: such properties are set through Java once the VM runs.
        if (isPropertyOption(word) && !isAscii(word)) {
            set.keptBack.push_back(word.substr(2));
            continue;
        }
        addOption(set, word);
    }
    addOption(set, os::ansiToText(fixedOption(FixedOption::ClassPath)) + Text(classPath));
    addOption(set, os::ansiToText(fixedOption(FixedOption::LauncherDirectory)) + vmPathForm(launcherDirectory));
    addOption(set, classPathOption);
    addOption(set, os::ansiToText(fixedOption(FixedOption::NoSystemAssertions)));
    return set;
}

} // namespace tavrelo
