#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "platform/handles.h"
#include "platform/win_text.h"
#include "resources/resource_writer.h"
#include "resources/resources.h"
#include "test_programs.h"
#include "test_support.h"

namespace tavrelo {
namespace {

using test::TempDir;

// A launcher file loaded the way the resource tool and the install actions read one.
ModuleHandle loadAsData(TextView file) {
    return ModuleHandle(LoadLibraryExW(wc(cstr(file)), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

const wchar_t* typeOf(ResourceType type) { return type.name ? wc(type.name) : MAKEINTRESOURCEW(type.number); }

// The resource's bytes; absent when the module has no such resource.
std::optional<std::string> resourceBytes(HMODULE module, ResourceType type, int id) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), typeOf(type));
    if (!found) return std::nullopt;
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return std::string();
    return std::string(static_cast<const char*>(data), size);
}

// Every resource of the module as "TYPE/ID/LANGUAGE", numbered types and identifiers as "#n".
struct Inventory {
    std::set<std::string> found;
    std::string type, name;
};

std::string resourceLabel(LPCWSTR value) {
    return IS_INTRESOURCE(value) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(value))
                                 : toUtf8(TextView(tc(value)));
}

BOOL CALLBACK inventoryLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context) {
    auto& inventory = *reinterpret_cast<Inventory*>(context);
    inventory.found.insert(inventory.type + "/" + inventory.name + "/" + std::to_string(language));
    return TRUE;
}

BOOL CALLBACK inventoryName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR context) {
    reinterpret_cast<Inventory*>(context)->name = resourceLabel(name);
    EnumResourceLanguagesW(module, type, name, inventoryLanguage, context);
    return TRUE;
}

BOOL CALLBACK inventoryType(HMODULE module, LPWSTR type, LONG_PTR context) {
    reinterpret_cast<Inventory*>(context)->type = resourceLabel(type);
    EnumResourceNamesW(module, type, inventoryName, context);
    return TRUE;
}

std::set<std::string> resourceInventory(HMODULE module) {
    Inventory inventory;
    EnumResourceTypesW(module, inventoryType, reinterpret_cast<LONG_PTR>(&inventory));
    return inventory.found;
}

Text loadString(HMODULE module, int id) {
    wchar_t buffer[1024] = {};
    const int n = LoadStringW(module, static_cast<UINT>(id), buffer, 1024);
    return Text(tc(buffer), n > 0 ? static_cast<std::size_t>(n) : 0);
}

#pragma pack(push, 2)
struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)


// ---- What every delivered launcher carries ------------------------------------------------------

void expectDeliveredResources(TextView file, TextView deliveryName) {
    SCOPED_TRACE(toUtf8(deliveryName));
    ModuleHandle module = loadAsData(file);
    ASSERT_TRUE(module);
    const HMODULE m = module.get();

    std::set<std::string> expected = {"BIN/#1/0", "#6/#63/0", "#14/#1/0", "#24/#1/0"};
    // A DLL's manifest is number 2 (US English); its number 1 has no trust section.
    const bool applet = deliveryName.ends_with(u".cpl");
    if (applet) expected.insert("#24/#2/1033");
    for (int icon = 1; icon <= 9; ++icon) expected.insert("#3/#" + std::to_string(icon) + "/0");
    EXPECT_EQ(resourceInventory(m), expected); // language 0 throughout, and no version resource

    EXPECT_EQ(resourceBytes(m, kBinResource, kBinConfiguration), std::string(1, '\0'));
    EXPECT_EQ(embeddedConfigurationText(m), u"");

    EXPECT_EQ(loadString(m, kDeliveryNameString), deliveryName);
    std::vector<Text> block(8, Text());
    block.emplace_back(deliveryName);
    EXPECT_EQ(resourceBytes(m, kStringResource, stringBlockOf(kDeliveryNameString)), stringBlockBytes(block));

    const auto group = resourceBytes(m, kIconGroupResource, kLauncherIconGroup);
    ASSERT_TRUE(group);
    ASSERT_EQ(group->size(), 6 + 9 * sizeof(GroupEntry));
    EXPECT_EQ(group->substr(0, 6), std::string("\0\0\1\0\x09\0", 6));
    const int sizes[] = {48, 32, 16};
    const int bits[] = {4, 8, 24};
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i + 1);
        GroupEntry entry;
        memcpy(&entry, group->data() + 6 + i * sizeof(GroupEntry), sizeof entry);
        const int size = sizes[i % 3], bitCount = bits[i / 3];
        EXPECT_EQ(entry.width, size);
        EXPECT_EQ(entry.height, size);
        EXPECT_EQ(entry.colours, bitCount == 4 ? 16 : 0);
        EXPECT_EQ(entry.planes, 1);
        EXPECT_EQ(entry.bitCount, bitCount);
        EXPECT_EQ(entry.id, i + 1);
        const auto image = resourceBytes(m, kIconResource, i + 1);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), entry.bytes);
        BITMAPINFOHEADER header;
        ASSERT_GE(image->size(), sizeof header);
        memcpy(&header, image->data(), sizeof header);
        EXPECT_EQ(header.biWidth, size);
        EXPECT_EQ(header.biHeight, 2 * size);
        EXPECT_EQ(header.biBitCount, bitCount);
        HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(const_cast<char*>(image->data())),
                                              static_cast<DWORD>(image->size()), TRUE, 0x00030000, size, size, 0);
        EXPECT_NE(icon, nullptr);
        if (icon) DestroyIcon(icon);
    }

    if (applet) {
        const auto plain = resourceBytes(m, kManifestResource, kLauncherManifest);
        ASSERT_TRUE(plain);
        EXPECT_EQ(plain->find("trustInfo"), std::string::npos);
        EXPECT_NE(plain->find("name=\"Tavrelo\" version=\"3.2.0.0\""), std::string::npos);
    }
    const auto manifest = resourceBytes(m, kManifestResource, applet ? 2 : kLauncherManifest);
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->find_first_of("\r\n"), std::string::npos) << "one line";
    EXPECT_NE(manifest->find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos);
    EXPECT_NE(manifest->find("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">"), std::string::npos);
    EXPECT_NE(manifest->find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest->find("name=\"Tavrelo\" version=\"3.2.0.0\""), std::string::npos);
    EXPECT_EQ(manifest->find("requireAdministrator"), std::string::npos);
}

TEST(DeliveredResources, ConsoleLauncher) {
    Text console;
    TAVRELO_REQUIRE_LAUNCHER(console, u"Tavrelo_console.exe");
    expectDeliveredResources(console, u"Tavrelo_console.exe");
}

TEST(DeliveredResources, WindowLauncher) {
    Text window;
    TAVRELO_REQUIRE_LAUNCHER(window, u"Tavrelo.exe");
    expectDeliveredResources(window, u"Tavrelo.exe");
}

TEST(DeliveredResources, ScreenSaverAndApplet) {
    Text saver, applet;
    TAVRELO_REQUIRE_LAUNCHER(saver, u"Tavrelo.scr");
    expectDeliveredResources(saver, u"Tavrelo.scr");
    TAVRELO_REQUIRE_LAUNCHER(applet, u"Tavrelo.cpl");
    expectDeliveredResources(applet, u"Tavrelo.cpl");
}

// ---- Resources written into a copy, read back through the module --------------------------------

class LauncherCopy : public ::testing::Test {
protected:
    void SetUp() override {
        TAVRELO_REQUIRE_LAUNCHER(console, u"Tavrelo_console.exe");
        copy = app / u"Demo_console.exe";
        ASSERT_TRUE(test::copyFile(console, copy));
        (void)app.write(u"Demo.properties", "MainClass=file.Main\r\nMainArgs=from-file\r\nJREversion=1.8\r\n"
                                             "Display_BoxInstall=0\r\n");
    }

    Configuration loadThrough(TextView file) {
        ModuleHandle module = loadAsData(file);
        EXPECT_TRUE(module);
        Configuration config;
        loadConfiguration(config, app.path(), u"Demo", module.get());
        return config;
    }

    TempDir app;
    Text console, copy;
};

TEST_F(LauncherCopy, EmbeddedKeysWinOverThePropertiesFileUpToTheFirstEmptyLine) {
    // Line feeds only, as the resource tool stores a properties text it has read.
    ASSERT_TRUE(writeScrambledText(copy, kBinConfiguration,
                                   u"\n  MainClass=embedded.Main\nPersonalOptions=-Dsource=embedded\n\n"
                                   u"MainArgs=after-the-gap\nRunType=2\n"));
    const Configuration config = loadThrough(copy);
    EXPECT_EQ(*config.get(kMainClass), u"embedded.Main");
    EXPECT_EQ(*config.get(kPersonalOptions), u"-Dsource=embedded");
    EXPECT_EQ(*config.get(kMainArgs), u"from-file"); // after the empty line: not taken
    EXPECT_FALSE(config.has(kRunType));
    EXPECT_EQ(*config.get(kJreVersion), u"1.8"); // not in the embedded text: the file's value stays

    // The stored bytes do not show the text.
    ModuleHandle module = loadAsData(copy);
    const auto stored = resourceBytes(module.get(), kBinResource, kBinConfiguration);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->find(test::utf16leBytes(u"MainClass", false)), std::string::npos);
}

TEST_F(LauncherCopy, DeliveredPlaceholderLeavesThePropertiesFileAlone) {
    const Configuration config = loadThrough(copy);
    EXPECT_EQ(*config.get(kMainClass), u"file.Main");
    EXPECT_EQ(*config.get(kMainArgs), u"from-file");
    ModuleHandle module = loadAsData(copy);
    EXPECT_EQ(loadString(module.get(), kDeliveryNameString), u"Tavrelo_console.exe"); // the name stays
}

TEST_F(LauncherCopy, UpdatesKeepTheOtherResourcesAndTheProgramStillRuns) {
    ASSERT_TRUE(writeScrambledText(copy, kBinScreenSaverSource, u"C:\\App\\Demo.scr"));
    {
        ResourceUpdate update(copy);
        ASSERT_TRUE(update.valid());
        ASSERT_TRUE(update.put(kBinResource, kBinSplashImage, std::string("GIF89a\0\1", 8)));
        ASSERT_TRUE(update.put(kStringResource, stringBlockOf(1), stringBlockBytes({u"", u"Demo Saver", u""})));
        ASSERT_TRUE(update.commit());
    }
    {
        ModuleHandle module = loadAsData(copy);
        ASSERT_TRUE(module);
        const HMODULE m = module.get();
        EXPECT_EQ(embeddedScreenSaverSource(m), u"C:\\App\\Demo.scr");
        EXPECT_EQ(resourceBytes(m, kBinResource, kBinSplashImage), std::string("GIF89a\0\1", 8));
        EXPECT_EQ(loadString(m, 1), u"Demo Saver");
        EXPECT_EQ(loadString(m, 0), u"");
        EXPECT_EQ(resourceBytes(m, kStringResource, 1)->size(), 2u * (10 + 3));
        EXPECT_EQ(loadString(m, kDeliveryNameString), u"Tavrelo_console.exe");
        EXPECT_EQ(resourceBytes(m, kBinResource, kBinConfiguration), std::string(1, '\0'));
        EXPECT_TRUE(resourceBytes(m, kIconGroupResource, kLauncherIconGroup));
    }
    // Removals; the last change of a resource wins; an update given up before its commit.
    {
        ResourceUpdate update(copy);
        ASSERT_TRUE(update.remove(kBinResource, kBinSplashImage));
        ASSERT_TRUE(update.put(kBinResource, kBinFirstArchive, "archive"));
        ASSERT_TRUE(update.remove(kBinResource, kBinFirstArchive));
        ASSERT_TRUE(update.remove(kBinResource, kBinAppletName));
        ASSERT_TRUE(update.put(kBinResource, kBinAppletName, test::utf16leBytes(Text(u"Demo", 5), false)));
        ASSERT_TRUE(update.commit());
    }
    {
        ResourceUpdate abandoned(copy);
        ASSERT_TRUE(abandoned.put(kBinResource, kBinSplashImage, "not kept"));
    }
    {
        ModuleHandle module = loadAsData(copy);
        ASSERT_TRUE(module);
        const HMODULE m = module.get();
        EXPECT_FALSE(resourceBytes(m, kBinResource, kBinSplashImage));
        EXPECT_FALSE(resourceBytes(m, kBinResource, kBinFirstArchive));
        EXPECT_EQ(resourceBytes(m, kBinResource, kBinAppletName), test::utf16leBytes(Text(u"Demo", 5), false));
        EXPECT_EQ(embeddedScreenSaverSource(m), u"C:\\App\\Demo.scr");
        EXPECT_EQ(loadString(m, 1), u"Demo Saver");
        EXPECT_EQ(loadString(m, kDeliveryNameString), u"Tavrelo_console.exe");
        EXPECT_EQ(resourceInventory(m).size(), 16u); // BIN 1, 2, 100; two string blocks; ten icon entries; manifest
    }
    const test::ProgramRun run = test::runProgram(copy, u"", app.path());
    ASSERT_TRUE(run.started);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
}

TEST(ResourceUpdate, FilesThatCannotBeUpdatedAreRefused) {
    TempDir dir;
    ResourceUpdate missing(dir / u"missing.exe");
    EXPECT_FALSE(missing.valid());
    EXPECT_FALSE(missing.put(kBinResource, 1, "x"));
    EXPECT_FALSE(missing.commit());
    EXPECT_FALSE(writeScrambledText(dir / u"missing.exe", kBinConfiguration, u"MainClass=x"));
    const Text notAProgram = dir.write(u"notes.exe", "just some text, not a program");
    EXPECT_FALSE(writeScrambledText(notAProgram, kBinConfiguration, u"MainClass=x"));
}

TEST(EmbeddedText, NoModuleNoText) {
    EXPECT_EQ(embeddedConfigurationText(nullptr), u"");
    EXPECT_EQ(embeddedScreenSaverSource(nullptr), u"");
    // The test program itself carries no "BIN" resources.
    EXPECT_EQ(embeddedConfigurationText(GetModuleHandleW(nullptr)), u"");
}

} // namespace
} // namespace tavrelo
