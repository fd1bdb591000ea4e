// The shortcut sets of the run types that can be driven from the command line.
#include "launcher/launcher.h"
#include "service/service.h"

namespace tavrelo {

std::vector<Shortcut> shortcutSet(int runType, const ShortcutFacts& facts, bool everything) {
    std::vector<Shortcut> set;
    switch (runType) {
    case kRunService:
        // A service that accepts stop gets both controls; one that does not start by itself gets
        // its start.
        if (everything || facts.acceptsStop) set.push_back({u"stop", u"-stopService"});
        if (everything || facts.acceptsStop || !facts.autoStart) set.push_back({u"start", u"-startService"});
        if (everything || facts.companion) set.push_back({u"runUI", u"-startServiceUI"});
        set.push_back({u"install", u"-installService"});
        set.push_back({u"delete", u"-deleteService"});
        break;
    case kRunApplet:
        set.push_back({u"install", u"-installCPL"});
        set.push_back({u"delete", u"-deleteCPL"});
        break;
    case kRunScreenSaver:
        if (everything || facts.screenSaverConfig) set.push_back({u"config", u"-configSCR"});
        set.push_back({u"install", u"-installSCR"});
        set.push_back({u"delete", u"-deleteSCR"});
        break;
    default:
        break;
    }
    return set;
}

Text shortcutFileName(TextView applicationName, TextView word) {
    Text name(applicationName);
    name += u" - ";
    name += word;
    name += u".lnk";
    return name;
}

} // namespace tavrelo
