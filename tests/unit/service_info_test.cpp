#include <gtest/gtest.h>

#include "service/service.h"

namespace tavrelo {
namespace {

TEST(ServiceInfo, ShortArraysNullsAndOddValuesTakeTheDefaults) {
    const ServiceInfo none = parseServiceInfo({});
    EXPECT_FALSE(none.displayName);
    EXPECT_FALSE(none.description);
    EXPECT_TRUE(none.autoStart);
    EXPECT_FALSE(none.acceptsStop);
    EXPECT_EQ(none.resetPeriod, 0);
    EXPECT_FALSE(none.delayedStart);

    // Null elements are absent; only "1" and "true" in any case are true.
    const ServiceInfo odd = parseServiceInfo(
        {u"Demo", std::nullopt, u"yes", u"TRUE", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
         u"-7", std::nullopt, u"1"});
    EXPECT_EQ(odd.displayName, u"Demo");
    EXPECT_FALSE(odd.description);
    EXPECT_FALSE(odd.autoStart);
    EXPECT_TRUE(odd.acceptsStop);
    EXPECT_EQ(odd.resetPeriod, -1);
    EXPECT_TRUE(odd.delayedStart);

    EXPECT_EQ(parseServiceInfo({u"", u"", u"", u"", u"", u"", u"", u"", u"", u"soon"}).resetPeriod, 0);
    EXPECT_EQ(parseServiceInfo({u"", u"", u"", u"", u"", u"", u"", u"", u"", u"86400"}).resetPeriod, 86400);
}

ServiceInfo withFailure(const char16_t* program, const char16_t* arguments, const char16_t* types,
                        const char16_t* delays) {
    ServiceInfo info;
    info.failureProgram = program;
    info.failureArguments = arguments;
    info.actionTypes = types;
    info.actionDelays = delays;
    return info;
}

TEST(FailureActions, WordsDelaysTheRunActionAndPadding) {
    // RESTART alone: padded with NONE to three.
    const auto restart = failureActions(withFailure(u"", u"", u"restart", u"60"));
    EXPECT_EQ(restart, (std::vector<FailureAction>{{kFailureRestart, 60000}, {kFailureNone, 0}, {kFailureNone, 0}}));

    // A command without RUN gets one; empty words add nothing; missing delays are 0.
    const ServiceInfo info = withFailure(u"C:/Tools/notify.exe", u"/quiet now", u"RESTART//REBOOT/bogus", u"60/120");
    EXPECT_EQ(failureCommand(info), u"\"C:\\Tools\\notify.exe\" /quiet now");
    const auto actions = failureActions(info);
    EXPECT_EQ(actions, (std::vector<FailureAction>{{kFailureRestart, 60000},
                                                   {kFailureReboot, 120000},
                                                   {kFailureNone, 0},
                                                   {kFailureRun, 0},
                                                   {kFailureNone, 0}}));
    // The reverse form reads the same way back.
    const FailureActionText text = reverseForm(actions);
    EXPECT_EQ(text.types, u"RESTART/REBOOT/NONE/RUN/NONE");
    EXPECT_EQ(text.delays, u"60/120/0/0/0");
    const auto again = failureActions(withFailure(u"", u"", text.types.c_str(), text.delays.c_str()));
    EXPECT_EQ(reverseForm(again).types, u"RESTART/REBOOT/NONE/RUN/NONE/NONE");

    EXPECT_EQ(failureActions(withFailure(u"x.exe", u"", u"run", u"")),
              (std::vector<FailureAction>{{kFailureRun, 0}, {kFailureNone, 0}, {kFailureNone, 0}}));
    // A program already in quotes is used as written; no program, no command and no actions.
    EXPECT_EQ(failureCommand(withFailure(u"\"C:\\a b\\run.exe\"", u"", u"", u"")), u"\"C:\\a b\\run.exe\" ");
    EXPECT_TRUE(failureActions(withFailure(u"", u"x", u"", u"5")).empty());
    EXPECT_TRUE(failureCommand(withFailure(u"", u"x", u"", u"")).empty());
}

TEST(ServiceRegistration, DependenciesCommandLineAndStopTimeout) {
    EXPECT_EQ(dependencyList(u"RpcSs/PlugPlay"), Text(u"RpcSs\0PlugPlay\0\0", 16));
    // An empty name would end the list early.
    EXPECT_EQ(dependencyList(u"/RpcSs//Tcpip/"), Text(u"RpcSs\0Tcpip\0\0", 13));
    EXPECT_EQ(dependencyList(u""), Text());
    // A name holding a NUL would end the list or name another service: it is left out.
    EXPECT_EQ(dependencyList(Text(u"A\0\0B/Tcpip/C\0D", 14)), Text(u"Tcpip\0\0", 7));
    EXPECT_EQ(serviceCommandLine(u"C:\\Apps\\Demo", u"Demo"), u"\"C:\\Apps\\Demo\\Demo.exe\" __RunService__");
    EXPECT_EQ(serviceCommandLine(Text(3000, u'x'), u"Demo").size(), kServiceCommandLineLimit - 1);
    EXPECT_EQ(stopTimeoutFrom(u""), kDefaultStopTimeoutMs);
    EXPECT_EQ(stopTimeoutFrom(u"-Xmx1g -Dtavrelo.serviceStopTimeout=3"), 3000u);
    EXPECT_EQ(stopTimeoutFrom(u"-Dtavrelo.serviceStopTimeout=0"), 1000u);
    EXPECT_EQ(stopTimeoutFrom(u"-Dx=-Dtavrelo.serviceStopTimeout=3"), kDefaultStopTimeoutMs);
    EXPECT_EQ(companionMutexName(u"Demo"), u"Local\\Tavrelo_SVC_UI__Demo");
}

} // namespace
} // namespace tavrelo
