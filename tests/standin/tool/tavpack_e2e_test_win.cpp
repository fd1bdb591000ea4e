// The resource tool end to end: the Linux build (run by wine as a Unix program) and the Windows
// build pack copies of the real console launcher from the same sources; both copies hold the
// same resources, and the packed launcher runs with its embedded configuration.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>
#include <tuple>

#include "demo_app.h"
#include "harness/box_driver.h"
#include "platform/os.h"
#include "platform/win_text.h"
#include "resources/resources.h"
#include "resources/scramble.h"
#include "test_language.h"
#include "test_process.h"
#include "tool/pe_resources.h"
#include "tool/tool.h"

#include <shlobj.h>

namespace tavrelo::standin::test {
namespace {

constexpr char kScenario[] = "class demo.App\n  method main ([Ljava/lang/String;)V\n";

std::string unixPath(TextView path) {
    using Convert = char*(CDECL*)(const wchar_t*);
    const auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = convert ? convert(wc(Text(path))) : nullptr;
    std::string out = unix ? unix : "";
    if (unix) HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

// Runs the Linux tool through the shell. Wine starts Unix programs without a process handle to
// wait on, so the script leaves its status in a file, which is waited for.
ProcessResult runLinuxTool(const tavrelo::test::TempDir& dir, const std::vector<std::string>& arguments) {
    ProcessResult result;
    const char* tool = std::getenv("TAVRELO_LINUX_TOOL");
    std::string script = std::string("'") + (tool ? tool : "") + "'";
    for (const std::string& argument : arguments) script += " '" + argument + "'";
    const std::string base = unixPath(dir.path()) + "/linux-tool";
    script += " >'" + base + ".out' 2>'" + base + ".err'; echo $? >'" + base + ".tmp'; mv '" + base + ".tmp' '" +
              base + ".status'\n";
    Text command = u"sh " + fromUtf8(base) + u".sh";
    std::string status;
    if (!os::writeFile(dir / u"linux-tool.sh", script)) return result;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    result.started = CreateProcessW(L"Z:\\bin\\sh", wc(command.data()), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                    &startup, &info);
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
    result.timedOut = !tavrelo::test::waitUntil([&] { return os::readFile(dir / u"linux-tool.status", status); }, 60000);
    result.exitCode = static_cast<unsigned long>(std::atol(status.c_str()));
    (void)os::readFile(dir / u"linux-tool.out", result.out);
    (void)os::readFile(dir / u"linux-tool.err", result.err);
    (void)os::deleteFile(dir / u"linux-tool.status");
    return result;
}

std::string fileBytes(TextView path) {
    std::string bytes;
    EXPECT_TRUE(os::readFile(path, bytes)) << toUtf8(path);
    return bytes;
}

std::vector<PeResource> resourcesOf(TextView path) {
    std::vector<PeResource> resources;
    EXPECT_EQ(readPeResources(fileBytes(path), resources), PeStatus::Read) << toUtf8(path);
    std::sort(resources.begin(), resources.end(), [](const PeResource& a, const PeResource& b) {
        return std::tie(a.type.name, a.type.id, a.name.name, a.name.id, a.language) <
               std::tie(b.type.name, b.type.id, b.name.name, b.name.id, b.language);
    });
    return resources;
}

const PeResource* find(const std::vector<PeResource>& resources, TextView type, int typeId, int id) {
    for (const PeResource& r : resources)
        if (r.type.name == type && r.type.id == typeId && r.name.id == id) return &r;
    return nullptr;
}

std::string unscrambled(std::string bytes) {
    unscrambleBytes(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size());
    return bytes;
}

class ToolEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("TAVRELO_LINUX_TOOL") || unixPath(u"C:\\").empty())
            GTEST_SKIP() << "the Linux tool or wine's Unix paths are not at hand";
        // Three images: two from the launchers' own icon file and a PNG-compressed 256-pixel one.
        const std::string own = fileBytes(appsDirectory() + u"\\..\\..\\..\\apps\\common\\tavrelo.ico");
        ASSERT_GT(own.size(), 6u + 9 * 16);
        std::string directory("\0\0\1\0\3\0", 6), images;
        const std::string png = fileBytes(appsDirectory() + u"\\..\\..\\..\\tests\\standin\\tool\\icon256.png");
        const std::size_t first = 6 + 3 * 16;
        for (int i : {0, 4}) {
            const std::string entry = own.substr(6 + 16 * i, 16);
            const auto at = [&](int k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(entry[k])) << (8 * (k % 4)); };
            const std::uint32_t size = at(8) | at(9) | at(10) | at(11), offset = at(12) | at(13) | at(14) | at(15);
            directory += entry.substr(0, 8) + le32(size) + le32(static_cast<std::uint32_t>(first + images.size()));
            images += own.substr(offset, size);
        }
        directory += std::string("\0\0\0\0\1\0\x20\0", 8) + le32(static_cast<std::uint32_t>(png.size())) +
                     le32(static_cast<std::uint32_t>(first + images.size()));
        images += png;
        icon = app.dir.write(u"in/Demo.ico", directory + images);
        splash = app.dir.write(u"in/splash.png", png);
        properties = app.dir.write(u"in/Demo.properties", "MainClass=demo.App\r\nPersonalOptions=-Dsource=embedded\r\n");
        jars[0] = app.dir.write(u"in/lib.jar", "PK first archive");
        jars[1] = app.dir.write(u"in/more.jar", "PK second");
    }
    static std::string le32(std::uint32_t v) {
        return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
    }
    Text copy(TextView relative, TextView build = u"Tavrelo_console.exe") {
        const Text path = app.dir / relative;
        EXPECT_TRUE(installLauncher(path, build));
        return path;
    }

    DemoApp app{kScenario, u"Tavrelo_console.exe", "PersonalOptions=-Dsource=beside\r\n"};
    Text icon, splash, properties, jars[2];
};

TEST_F(ToolEndToEnd, BothToolsPackTheSameResourcesAndTheLauncherRunsWithThem) {
    const Text linuxCopy = copy(u"linux/Demo_console.exe"), windowsCopy = copy(u"windows/Demo_console.exe");
    const Text applets[] = {copy(u"linux/Demo.cpl", u"Tavrelo.cpl"), copy(u"windows/Demo.cpl", u"Tavrelo.cpl")};
    const Text savers[] = {copy(u"linux/Demo.scr", u"Tavrelo.scr"), copy(u"windows/Demo.scr", u"Tavrelo.scr")};
    const ProcessResult linux = runLinuxTool(
        app.dir, {"-run", "-info", "-exe=" + unixPath(linuxCopy), "-cpl=" + unixPath(applets[0]), "-scr=" + unixPath(savers[0]),
                  "-ico=" + unixPath(icon), "-img=" + unixPath(splash),
                  "-prp=" + unixPath(properties), "-jar=" + unixPath(jars[0]), "-jar=" + unixPath(jars[1]), "-admin"});
    ASSERT_FALSE(linux.timedOut);
    EXPECT_EQ(linux.exitCode, 0u) << linux.err;
    EXPECT_EQ(linux.err, "");
    EXPECT_NE(linux.out.find("have been successfully integrated into :\n* " + unixPath(linuxCopy)), std::string::npos)
        << linux.out;

    BoxDriver driver({IDOK});
    const ProcessResult windows = runProcess(
        appsDirectory() + u"\\Tavpack.exe",
        u"-run -info \"-exe=" + windowsCopy + u"\" -cpl=" + applets[1] + u" -scr=" + savers[1] + u" -ico=" + icon + u" -img=" + splash + u" -prp=" + properties +
            u" -jar=" + jars[0] + u" -jar=" + jars[1] + u" -admin",
        app.dir.path(), 30000, &driver);
    EXPECT_EQ(windows.exitCode, 0u);
    ASSERT_EQ(driver.boxes().size(), 1u);
    EXPECT_EQ(driver.boxes()[0].caption, u"Tavpack");
    EXPECT_NE(driver.boxes()[0].text.find(u"* " + windowsCopy), Text::npos);

    // The same resources, type, name, language and bytes, from either tool, in all three copies;
    // each copy's delivered images gave way to the file's three, and the applet and screen saver
    // carry the icon, configuration and archives of the executable, without its image.
    const std::vector<PeResource> packed = resourcesOf(linuxCopy);
    for (const auto& [linuxFile, windowsFile] : {std::pair(linuxCopy, windowsCopy), std::pair(applets[0], applets[1]),
                                                 std::pair(savers[0], savers[1])}) {
        const std::vector<PeResource> built = resourcesOf(linuxFile), reference = resourcesOf(windowsFile);
        ASSERT_EQ(built.size(), reference.size()) << toUtf8(linuxFile);
        std::vector<int> iconIds;
        for (std::size_t i = 0; i < built.size(); ++i) {
            EXPECT_EQ(std::tie(built[i].type.name, built[i].type.id, built[i].name.id, built[i].language),
                      std::tie(reference[i].type.name, reference[i].type.id, reference[i].name.id, reference[i].language));
            EXPECT_EQ(built[i].bytes, reference[i].bytes) << toUtf8(built[i].type.name) << built[i].type.id << "/" << built[i].name.id;
            if (built[i].type.id == 3) iconIds.push_back(built[i].name.id);
        }
        EXPECT_EQ(iconIds, (std::vector<int>{1, 2, 3})) << toUtf8(linuxFile);
        for (const auto& [type, typeId, id] : {std::tuple(u"", 14, 1), std::tuple(u"BIN", 0, 1), std::tuple(u"BIN", 0, 10002)}) {
            ASSERT_TRUE(find(built, type, typeId, id) && find(packed, type, typeId, id)) << toUtf8(linuxFile) << " " << id;
            EXPECT_EQ(find(built, type, typeId, id)->bytes, find(packed, type, typeId, id)->bytes);
        }
        EXPECT_EQ(find(built, u"BIN", 0, 1001) != nullptr, linuxFile == linuxCopy);
    }
    ASSERT_TRUE(find(packed, u"", 24, 1));
    EXPECT_EQ(find(packed, u"", 14, 1)->bytes.size(), 6u + 3 * 14);

    // The system's own icon loader picks each of the file's sizes from the packed group, and
    // decodes the compressed 256-pixel image to its colour.
    HMODULE module = LoadLibraryExW(wc(windowsCopy), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module);
    auto* group = static_cast<BYTE*>(LockResource(LoadResource(module, FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON))));
    for (const auto& [size, id] : {std::pair(48, 1), std::pair(32, 2), std::pair(256, 3)}) {
        EXPECT_EQ(LookupIconIdFromDirectoryEx(group, TRUE, size, size, LR_DEFAULTCOLOR), id);
        HICON image = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
        ICONINFO info{};
        BITMAP bitmap{};
        ASSERT_TRUE(image && GetIconInfo(image, &info) && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap)) << size;
        EXPECT_EQ(std::pair(bitmap.bmWidth, bitmap.bmHeight), std::pair(LONG{size}, LONG{size}));
        if (size == 256) {
            HDC memory = CreateCompatibleDC(nullptr);
            HGDIOBJ old = SelectObject(memory, info.hbmColor);
            EXPECT_EQ(GetPixel(memory, 128, 128), RGB(0x20, 0x80, 0xC0));
            SelectObject(memory, old);
            DeleteDC(memory);
        }
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(image);
    }
    FreeLibrary(module);
    EXPECT_EQ(find(packed, u"", 24, 1)->bytes, fileBytes(appsDirectory() + u"\\..\\..\\..\\tool\\resources\\manifest_administrator.xml"));
    EXPECT_EQ(find(packed, u"BIN", 0, 1001)->bytes, fileBytes(splash));
    EXPECT_EQ(unscrambled(find(packed, u"BIN", 0, 10001)->bytes), "PK first archive");
    EXPECT_EQ(unscrambled(find(packed, u"BIN", 0, 10002)->bytes), "PK second");
    EXPECT_EQ(unscrambledText(find(packed, u"BIN", 0, 1)->bytes.data(), find(packed, u"BIN", 0, 1)->bytes.size()),
              u"MainClass=demo.App\nPersonalOptions=-Dsource=embedded\n");
    EXPECT_EQ(peString(packed, kDeliveryNameString), u"Tavrelo_console.exe");

    // The header's checksum is the file's, as the system computes it.
    using CheckSum = void*(WINAPI*)(void*, DWORD, DWORD*, DWORD*);
    const auto checkSum = reinterpret_cast<CheckSum>(reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"imagehlp.dll"), "CheckSumMappedFile")));
    std::string bytes = fileBytes(linuxCopy);
    DWORD stored = 0, computed = 0;
    ASSERT_TRUE(checkSum && checkSum(bytes.data(), static_cast<DWORD>(bytes.size()), &stored, &computed));
    EXPECT_EQ(stored, computed);

    // The copy packed on Linux runs: its embedded options win over the file beside it.
    ASSERT_TRUE(CopyFileW(wc(linuxCopy), wc(app.launcher), FALSE));
    const ProcessResult run = app.run();
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    std::vector<std::string> options;
    for (const LogLine& line : app.log().find("option")) options.push_back(line.details);
    EXPECT_NE(std::find(options.begin(), options.end(), "-Dsource=embedded"), options.end()) << app.log().text();
    EXPECT_EQ(std::find(options.begin(), options.end(), "-Dsource=beside"), options.end());
}

TEST_F(ToolEndToEnd, RefusalsLeaveTheTargetUnchangedAndEndWithAFailureStatus) {
    const Text target = copy(u"target/Demo_console.exe");
    const std::string original = fileBytes(target);
    const Text fakeBmp = app.dir.write(u"in/fake.bmp", fileBytes(splash));
    const Text otherJpeg = app.dir.write(u"in/photo.jpg", std::string("\xFF\xD8\xFF\xE2", 4) + std::string(60, '\0'));
    struct Case {
        std::vector<std::string> arguments;
        unsigned long status;
        const char* message;
    };
    const Case cases[] = {
        {{"-run", "-info", "-exe=" + unixPath(target), "-img=" + unixPath(fakeBmp)}, 1, "fake.bmp\" isn't an image file"},
        {{"-run", "-info", "-exe=" + unixPath(target), "-img=" + unixPath(otherJpeg)}, 1, "photo.jpg\" isn't an image file"},
        {{"-run", "-ico=" + unixPath(icon)}, 2, "Target files not specified"},
        {{"-run", "-exe=" + unixPath(target)}, 2, "Source files not specified"},
        {{"-exe=" + unixPath(target), "-ico=" + unixPath(icon)}, 2, "-run"},
    };
    for (const Case& c : cases) {
        const ProcessResult r = runLinuxTool(app.dir, c.arguments);
        EXPECT_EQ(r.exitCode, c.status) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << c.message; // no summary of nothing written
        EXPECT_EQ(fileBytes(target), original) << c.message;
    }

    // A target whose delivery name differs only in case is no launcher.
    std::string renamed = original;
    std::vector<PeResource> resources;
    ASSERT_EQ(readPeResources(renamed, resources), PeStatus::Read);
    for (PeResource& r : resources)
        if (r.type.id == 6 && r.name.id == stringBlockOf(kDeliveryNameString))
            r.bytes = stringBlockBytes({u"", u"", u"", u"", u"", u"", u"", u"", u"tavrelo_console.exe"});
    ASSERT_EQ(replacePeResources(renamed, resources), PeWriteStatus::Written);
    ASSERT_TRUE(os::writeFile(target, renamed));
    const ProcessResult r = runLinuxTool(app.dir, {"-run", "-exe=" + unixPath(target), "-ico=" + unixPath(icon)});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(r.err.find("This executable file is not Tavrelo"), std::string::npos) << r.err;
    EXPECT_EQ(fileBytes(target), renamed);

    // A target held as a running program holds its file (read, shared for reading only): "-info"
    // waits for it, then says so; nothing is written.
    ASSERT_TRUE(os::writeFile(target, original));
    HANDLE held = CreateFileW(wc(target), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    BoxDriver driver({IDOK});
    const ProcessResult windows = runProcess(appsDirectory() + u"\\Tavpack.exe",
                                             u"-run -info -exe=" + target + u" -ico=" + icon, app.dir.path(), 30000, &driver);
    CloseHandle(held);
    EXPECT_EQ(windows.exitCode, 1u);
    ASSERT_EQ(driver.boxes().size(), 1u); // and no summary, since nothing was written
    EXPECT_EQ(driver.boxes()[0].text, u"This file is already open :\n\n" + target);
    EXPECT_EQ(fileBytes(target), original);
}

TEST_F(ToolEndToEnd, TheDialogFillsItsRowsFromTheArgumentsAndOkWritesTheCheckedOnes) {
    const Text target = copy(u"dialog/Demo_console.exe");
    ProcessResult result;
    std::thread tool([&] { result = runProcess(appsDirectory() + u"\\Tavpack.exe", u"\"" + icon + u"\" " + target, app.dir.path()); });
    HWND dialog = nullptr;
    // The dialog is shown once its rows are filled.
    tavrelo::test::waitUntil([&] {
        dialog = FindWindowW(L"#32770", L"Tavrelo : Files Integration");
        return dialog && IsWindowVisible(dialog);
    }, 20000);
    auto text = [&](int id) {
        wchar_t buffer[2048] = {};
        GetDlgItemTextW(dialog, id, buffer, 2048);
        return Text(tc(buffer));
    };
    auto enabled = [&](int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; };
    auto click = [&](int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); };
    if (dialog) {
        EXPECT_EQ(text(1013), icon);
        EXPECT_EQ(text(1015), target);
        EXPECT_EQ(text(1029), u"");
        EXPECT_EQ(IsDlgButtonChecked(dialog, 1001), UINT{BST_CHECKED});
        EXPECT_EQ(IsDlgButtonChecked(dialog, 1004), UINT{BST_CHECKED});
        EXPECT_FALSE(enabled(1026)); // no image: its row stays off
        EXPECT_TRUE(enabled(IDOK));
        click(1004); // no target left: OK is off, and so is "Run as Admin"
        EXPECT_FALSE(enabled(IDOK));
        EXPECT_FALSE(enabled(1007));
        click(1001); // the executable alone (a manifest) is enough
        click(1004);
        EXPECT_TRUE(enabled(IDOK));
        click(1001);
        // The properties row's pick button: its Open dialog filled in as a user would.
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(1019, BN_CLICKED), 0);
        HWND open = nullptr;
        tavrelo::test::waitUntil([&] {
            for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w; w = FindWindowExW(nullptr, w, L"#32770", nullptr))
                if (GetWindow(w, GW_OWNER) == dialog && IsWindowVisible(w)) open = w;
            return open != nullptr;
        }, 20000);
        EXPECT_TRUE(open);
        SetDlgItemTextW(open, 0x47C, wc(properties));
        PostMessageW(open, WM_COMMAND, IDOK, 0);
        tavrelo::test::waitUntil([&] { return text(1014) == properties; }, 20000);
        EXPECT_EQ(text(1014), properties);
        EXPECT_EQ(IsDlgButtonChecked(dialog, 1002), UINT{BST_CHECKED});
        click(IDOK);
    }
    tool.join();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(result.exitCode, 0u) << result.err;
    const std::vector<PeResource> packed = resourcesOf(target);
    ASSERT_TRUE(find(packed, u"", 14, 1) && find(packed, u"", 24, 1));
    EXPECT_EQ(find(packed, u"", 14, 1)->bytes.size(), 6u + 3 * 14);
    EXPECT_EQ(find(packed, u"", 24, 1)->bytes, fileBytes(appsDirectory() + u"\\..\\..\\..\\tool\\resources\\manifest_invoker.xml"));
    ASSERT_TRUE(find(packed, u"BIN", 0, 1));
    EXPECT_EQ(unscrambledText(find(packed, u"BIN", 0, 1)->bytes.data(), find(packed, u"BIN", 0, 1)->bytes.size()),
              u"MainClass=demo.App\nPersonalOptions=-Dsource=embedded\n");
}

TEST_F(ToolEndToEnd, AFrenchUserGetsTheFrenchDialogAndCancelWritesNothing) {
    const Text target = copy(u"french/Demo_console.exe");
    const std::string original = fileBytes(target);
    tavrelo::test::ScopedLanguage french(true);
    ProcessResult result;
    std::thread tool([&] { result = runProcess(appsDirectory() + u"\\Tavpack.exe", u"-exe=" + target + u" -ico=" + icon, app.dir.path()); });
    HWND dialog = nullptr;
    tavrelo::test::waitUntil([&] {
        dialog = FindWindowW(L"#32770", L"Tavrelo : Int\u00e9gration des fichiers");
        return dialog && IsWindowVisible(dialog);
    }, 20000);
    wchar_t cancel[64] = {};
    if (dialog) {
        GetDlgItemTextW(dialog, IDCANCEL, cancel, 64);
        SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    }
    tool.join();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(Text(tc(cancel)), u"Annuler");
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(fileBytes(target), original);
}

// Files dropped on the dialog fill their rows as arguments do, and the information buttons
// describe what was taken. Drops do not cross processes here: the dialog runs in this one.
TEST_F(ToolEndToEnd, DroppedFilesFillTheirRowsAndTheInformationButtonsDescribeThem) {
    const Text target = copy(u"drop/Demo_console.exe"), fakeBmp = app.dir.write(u"in/fake.bmp", fileBytes(splash));
    IntegrationJob job;
    LoadedSources sources;
    bool accepted = false;
    std::atomic<DWORD> thread{0};
    std::thread shown([&] {
        thread = GetCurrentThreadId();
        accepted = runDialog(job, sources);
    });
    HWND dialog = nullptr;
    tavrelo::test::waitUntil([&] {
        dialog = FindWindowW(L"#32770", L"Tavrelo : Files Integration");
        return dialog && IsWindowVisible(dialog) && GetWindowThreadProcessId(dialog, nullptr) == thread;
    }, 20000);
    // The next box the dialog's thread shows: caption and text, closed with OK.
    const auto box = [&] {
        HWND found = nullptr;
        tavrelo::test::waitUntil([&] {
            for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w; w = FindWindowExW(nullptr, w, L"#32770", nullptr))
                if (w != dialog && IsWindowVisible(w) && GetWindowThreadProcessId(w, nullptr) == thread) found = w;
            return found != nullptr;
        }, 20000);
        wchar_t caption[256] = {}, text[2048] = {};
        GetWindowTextW(found, caption, 256);
        GetDlgItemTextW(found, 0xFFFF, text, 2048);
        PostMessageW(found, WM_COMMAND, IDOK, 0);
        tavrelo::test::waitUntil([&] { return !IsWindow(found); }, 20000);
        return Text(tc(caption)) + u"|" + tc(text);
    };
    const auto text = [&](int id) {
        wchar_t buffer[2048] = {};
        GetDlgItemTextW(dialog, id, buffer, 2048);
        return Text(tc(buffer));
    };
    if (dialog) {
        Text list;
        for (const Text& file : {fakeBmp, icon, properties, target}) list += file + u'\0';
        HGLOBAL dropped = GlobalAlloc(GHND, sizeof(DROPFILES) + (list.size() + 1) * sizeof(char16_t));
        auto* files = static_cast<DROPFILES*>(GlobalLock(dropped));
        files->pFiles = sizeof(DROPFILES);
        files->fWide = TRUE;
        std::copy(list.begin(), list.end(), reinterpret_cast<char16_t*>(files + 1));
        GlobalUnlock(dropped);
        PostMessageW(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(dropped), 0);
        EXPECT_EQ(box(), u"Image|\"" + fakeBmp + u"\" isn't an image file"); // refused: its row stays empty
        tavrelo::test::waitUntil([&] { return text(1015) == target; }, 20000);
        EXPECT_EQ(text(1029) + u"|" + text(1013) + u"|" + text(1014) + u"|" + text(1015), u"|" + icon + u"|" + properties + u"|" + target);
        for (int check : {1001, 1002, 1004}) EXPECT_EQ(IsDlgButtonChecked(dialog, check), UINT{BST_CHECKED}) << check;
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
        PostMessageW(dialog, WM_COMMAND, 1016, 0);
        EXPECT_EQ(box(), u"Demo.ico|This file contains 3 icon(s) :\n\n\t48x48 (16 colors)\t\n\t32x32 (256 colors)\t\n"
                         u"\t256x256 (16777216 colors)\t\n");
        PostMessageW(dialog, WM_COMMAND, 1017, 0);
        EXPECT_EQ(box(), u"Demo.properties|This file contains the properties :\n\n"
                         u"MainClass=demo.App\nPersonalOptions=-Dsource=embedded\n");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
    shown.join();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(std::tie(job.iconSource, job.propertiesSource, job.exeTarget), std::tie(icon, properties, target));
    EXPECT_FALSE(job.imageSource);
}

// The delivered tool is 32-bit, which these machines cannot run: its file is read instead.
TEST(ToolFile, TheDeliveredToolIsA32BitWindowProgramWithItsTemplatesIconManifestAndVersion) {
    std::string file;
    if (!os::readFile(appsDirectory() + u"\\..\\..\\win32\\apps\\Tavpack.exe", file))
        GTEST_SKIP() << "the 32-bit tree was not built";
    const auto at16 = [&](std::size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(file[at]) | static_cast<unsigned char>(file[at + 1]) << 8); };
    const std::size_t pe = at16(0x3C);
    EXPECT_EQ(at16(pe + 4), 0x14Cu);       // i386
    EXPECT_EQ(at16(pe + 24 + 68), 2u);     // window subsystem
    std::vector<PeResource> resources;
    ASSERT_EQ(readPeResources(file, resources), PeStatus::Read);
    const Text root = appsDirectory() + u"\\..\\..\\..\\tool\\resources\\";
    ASSERT_TRUE(find(resources, u"BIN", 0, 109) && find(resources, u"BIN", 0, 110));
    EXPECT_EQ(find(resources, u"BIN", 0, 109)->bytes, fileBytes(root + u"manifest_administrator.xml"));
    EXPECT_EQ(find(resources, u"BIN", 0, 109)->bytes.size(), 908u);
    EXPECT_EQ(find(resources, u"BIN", 0, 110)->bytes.size(), 897u);
    EXPECT_TRUE(find(resources, u"", 14, 1) && find(resources, u"", 24, 1));
    ASSERT_TRUE(find(resources, u"", 5, 104) && find(resources, u"", 5, 106)); // the dialog in French and English
    EXPECT_EQ(find(resources, u"", 5, 104)->language, 0x40C);
    EXPECT_EQ(find(resources, u"", 5, 106)->language, 0x409);
    const PeResource* version = find(resources, u"", 16, 1);
    ASSERT_TRUE(version);
    EXPECT_EQ(version->language, 0x40C);
    std::string wide;
    for (char c : std::string("  Tavpack")) wide += {c, '\0'};
    EXPECT_NE(version->bytes.find(wide), std::string::npos);
}

} // namespace
} // namespace tavrelo::standin::test
