#include <gtest/gtest.h>

#include "desktop/single_instance.h"
#include "ipc/pipes.h"
#include "platform/os.h"

namespace tavrelo {
namespace {

Text session() {
    const Text login = os::loginSession();
    return login.empty() ? Text() : Text(u"_") + login;
}

TEST(PipeNames, ServicePipesCarryNumberAAndThePathPart) {
    EXPECT_EQ(buildPipeName(kServiceUi1Pipe, u"C:\\Apps\\Demo", u"Demo", false, 0, -1),
              u"\\\\.\\pipe\\Tavrelo_ServiceUI1_0(C$$Apps$Demo$Demo)");
    EXPECT_EQ(buildPipeName(kServiceUi2Pipe, u"C:\\Apps\\Demo", u"Demo", false, 0, -1),
              u"\\\\.\\pipe\\Tavrelo_ServiceUI2_0(C$$Apps$Demo$Demo)");
    EXPECT_EQ(buildPipeName(kServiceUi1Pipe, u"C:\\Apps", u"", false, -1, -1),
              u"\\\\.\\pipe\\Tavrelo_ServiceUI1(C$$Apps)")
        << "without a name the path part is the directory alone";
}

TEST(PipeNames, AdministratorPipesCarryProcessAndThreadNumbers) {
    EXPECT_EQ(buildPipeName(kRunAsAdminPipe, u"", u"", false, 4242, -1), u"\\\\.\\pipe\\Tavrelo_RunAsAdmin_4242");
    EXPECT_EQ(buildPipeName(kRunAsAdminPipe, u"", u"", false, 4242, 3), u"\\\\.\\pipe\\Tavrelo_RunAsAdmin_4242_3");
    EXPECT_EQ(buildPipeName(kThreadAsAdmin1Pipe, u"", u"", false, -1, 2), u"\\\\.\\pipe\\Tavrelo_ThreadAsAdmin1_2");
    EXPECT_EQ(buildPipeName(kThreadAsAdmin2Pipe, u"", u"", false, 0, 0), u"\\\\.\\pipe\\Tavrelo_ThreadAsAdmin2_0_0");
}

TEST(PipeNames, SingleInstanceNameHoldsTheSessionDirectoryAndBaseName) {
    EXPECT_EQ(oneInstancePipeName(u"C:\\Apps\\Demo", u"Demo"),
              Text(u"\\\\.\\pipe\\Tavrelo_OneInstance") + session() + u"(C$$Apps$Demo$Demo)");
    EXPECT_EQ(buildPipeName(kOneInstancePipe, u"D:\\x", u"App", true, 5, -1),
              Text(u"\\\\.\\pipe\\Tavrelo_OneInstance") + session() + u"_5(D$$x$App)");
#ifndef _WIN32
    EXPECT_EQ(oneInstancePipeName(u"/opt/apps/demo", u"Demo"),
              Text(u"\\\\.\\pipe\\Tavrelo_OneInstance") + session() + u"($opt$apps$demo$Demo)");
#endif
}

TEST(PipeNames, OverlongNamesAreShortenedByAStableRule) {
    Text directory = u"C:";
    while (directory.size() < 300)
        directory += u"\\Program Files\\Some Vendor";
    const Text name = buildPipeName(kOneInstancePipe, directory, u"Demo", false, -1, -1);
    EXPECT_EQ(name.size(), kPipeNameLimit);
    EXPECT_EQ(name, buildPipeName(kOneInstancePipe, directory, u"Demo", false, -1, -1)) << "stable";
    const Text start = u"\\\\.\\pipe\\Tavrelo_OneInstance(C$$Program Files$Some Vendor$Program Files";
    EXPECT_EQ(name.substr(0, start.size()), start);
    EXPECT_EQ(name[kPipeNameLimit - 18], u'#');
    EXPECT_EQ(name.back(), u')');
    EXPECT_NE(name, buildPipeName(kOneInstancePipe, directory, u"Other", false, -1, -1))
        << "names that differ only in their lost tail still differ";

    // Exactly at the limit nothing changes; one unit more is shortened.
    const Text base = u"\\\\.\\pipe\\Tavrelo_OneInstance";
    const Text fits(kPipeNameLimit - base.size() - 2, u'x');
    EXPECT_EQ(buildPipeName(base, fits, u"", false, -1, -1), base + u"(" + fits + u")");
    const Text longer = buildPipeName(base, fits + u"y", u"", false, -1, -1);
    EXPECT_EQ(longer.size(), kPipeNameLimit);
    EXPECT_EQ(longer[kPipeNameLimit - 18], u'#');
}

} // namespace
} // namespace tavrelo
