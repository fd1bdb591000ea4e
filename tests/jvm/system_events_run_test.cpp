// What the application's notifyEvent receives from the network-adapter poll and the session
// watch, against the real JVM in this process.
#include <gtest/gtest.h>

#include "bridge/bridge.h"
#include "desktop/desktop.h"
#include "desktop/network_adapters.h"
#include "desktop/session_watch.h"
#include "jvm_support.h"

namespace tavrelo::test {
namespace {

std::string takeCalls() {
    const LocalRef<jstring> calls =
        localAs<jstring>(callMethodObject("fixture.Events", nullptr, "takeCalls", "java.lang.String", nullptr));
    return toUtf8(fromJavaString(calls.get()));
}

AdapterRecord adapter(const char16_t* name, const char16_t* description, int type, const char* ip, const char* gateway,
                      const char* mask) {
    return {name, description, type, parseDottedAddress(ip), parseDottedAddress(gateway), parseDottedAddress(mask)};
}

class SystemEventsInJava : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureJavaVm();
        ASSERT_TRUE(bindSystemEvents("fixture.Events"));
        (void)takeCalls();
    }
};

TEST_F(SystemEventsInJava, AdapterPollReportsNewChangedAndLostAdaptersOnce) {
    AdapterTable table;
    const AdapterRecord wired = adapter(u"{A1}", u"Wired", 6, "192.168.1.20", "192.168.1.1", "255.255.255.0");
    const AdapterRecord wireless = adapter(u"{B2}", u"Wireless", 71, "10.0.0.5", "0.0.0.0", "255.0.0.0");
    reportNetworkAdapters(table, std::vector{wired, wireless});
    EXPECT_EQ(takeCalls(), "1025 2 0 \"Wired\" [6, 192, 168, 1, 20, 192, 168, 1, 1, 255, 255, 255, 0] []\n"
                           "1025 1 0 \"Wireless\" [71, 10, 0, 0, 5, 0, 0, 0, 0, 255, 0, 0, 0] []\n");

    // A list the system could not give is no news; the same list again neither (names and
    // descriptions compare without regard to case).
    reportNetworkAdapters(table, std::nullopt);
    AdapterRecord wiredAgain = wired;
    wiredAgain.name = u"{a1}";
    wiredAgain.description = u"WIRED";
    reportNetworkAdapters(table, std::vector{wireless, wiredAgain});
    EXPECT_EQ(takeCalls(), "");

    // Cable out: the address is gone.
    reportNetworkAdapters(table, std::vector{adapter(u"{A1}", u"Wired", 6, "0.0.0.0", "0.0.0.0", "0.0.0.0"), wireless});
    EXPECT_EQ(takeCalls(), "1025 0 0 \"Wired\" [6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0] []\n");

    // The wireless adapter goes away: lost once, with what was known of it.
    reportNetworkAdapters(table, std::vector<AdapterRecord>{});
    reportNetworkAdapters(table, std::vector<AdapterRecord>{});
    EXPECT_EQ(takeCalls(), "1025 0 0 \"Wireless\" [71, 10, 0, 0, 5, 0, 0, 0, 0, 255, 0, 0, 0] []\n");
}

TEST_F(SystemEventsInJava, SessionChangesPassTheRememberedUserAndSkipTheReconnectionUnlock) {
    constexpr unsigned kConnect = 1, kDisconnect = 2, kLogon = 5, kLock = 7, kUnlock = 8;
    clearSessionUsers();
    deliverSessionChange(kLogon, 1, u"HOST\\ann");
    deliverSessionChange(kDisconnect, 1, u""); // the user is no longer found: the remembered one
    deliverSessionChange(kUnlock, 1, u"HOST\\ann");
    deliverSessionChange(kConnect, 1, u"HOST\\bob");
    deliverSessionChange(kUnlock, 1, u"");
    // Sessions from 1000 on are not remembered, nor marked.
    deliverSessionChange(kDisconnect, 1000, u"HOST\\cy");
    deliverSessionChange(kUnlock, 1000, u"HOST\\cy");
    deliverSessionChange(kLock, 4294967295u, u"");
    EXPECT_EQ(takeCalls(), "689 5 1 \"HOST\\ann\" [] []\n"
                           "689 2 1 \"HOST\\ann\" [] []\n"
                           "689 1 1 \"HOST\\bob\" [] []\n"
                           "689 8 1 \"HOST\\bob\" [] []\n"
                           "689 2 1000 \"HOST\\cy\" [] []\n"
                           "689 8 1000 \"HOST\\cy\" [] []\n"
                           "689 7 -1 \"\" [] []\n");

    constexpr unsigned long kInteractive = 2, kNetwork = 3, kRemote = 10;
    const std::vector<LogonRecord> logons{{1, kInteractive, u"HOST\\ann"},
                                          {1, kInteractive, u"HOST\\ann"},
                                          {1, kNetwork, u"HOST\\svc"},
                                          {2, kRemote, u"HOST\\bob"}};
    EXPECT_EQ(sessionUser(logons, 2), u"HOST\\bob");
    EXPECT_EQ(sessionUser(logons, 3), u"");
    reportLoggedOnUsers(logons, u"HOST\\bob");
    EXPECT_EQ(takeCalls(), "689 0 1 \"HOST\\ann\" [0] []\n"
                           "689 0 2 \"HOST\\bob\" [1] []\n");
}

} // namespace
} // namespace tavrelo::test
