#include <process.h>
#include <windows.h>

#include "launcher/java_runtime.h"
#include "platform/system.h"
#include "platform/win_text.h"

namespace tavrelo {

bool startBrowser(TextView browser, TextView page) {
    const Text program(browser);
    // The C runtime joins the arguments as they are: a page with spaces must be quoted here.
    Text argument(page);
    if (argument.find(u' ') != Text::npos) argument = u"\"" + argument + u"\"";
    return _wspawnlp(_P_NOWAIT, wc(program), L"iexplore", wc(argument), nullptr) != -1;
}

bool openWebPage(TextView page) { return shellExecute(u"open", page, u"", u""); }

} // namespace tavrelo
