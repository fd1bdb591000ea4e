// The scenario format and the file formats the stand-in reads, without a VM.
#include <gtest/gtest.h>

#include "runtime/formats.h"
#include "runtime/scenario.h"

namespace tavrelo::standin {
namespace {

std::string errorsOf(const Scenario& s) {
    std::string out;
    for (const std::string& e : s.errors) out += e + "\n";
    return out;
}

TEST(ScenarioParser, ReadsClassesMethodsStatementsAndValues) {
    const Scenario s = parseScenario(R"(# comment line
class demo.App extends java.lang.Object   # trailing comment
  native systemIsAdmin ()Z
  method main ([Ljava/lang/String;)V
    print "a # is kept \"quoted\"\n\u00e9"
    invoke systemIsAdmin
    start AWT-EventQueue-0 2000 daemon
    sleep 10
    exit -3
  method rows (I)[[Ljava/lang/String;
    return sequence [ ["a" "b"] [] ] null [["c"]]
  method data ()Ljava/lang/Object;
    return blob aced00057400017a
class demo.App_TaskbarManagement
  method paint (Ljava/awt/Graphics2D;II)V
    fill 1 2 3 4 0xFF00FF00
)");
    ASSERT_EQ(s.errors, std::vector<std::string>{}) << errorsOf(s);
    ASSERT_EQ(s.classes.size(), 2u);
    const ScriptClass& app = s.classes[0];
    EXPECT_EQ(app.name, "demo/App");
    EXPECT_EQ(app.super, "java/lang/Object");
    ASSERT_EQ(app.methods.size(), 4u);
    EXPECT_TRUE(app.methods[0].isNative);

    const auto& main = app.methods[1].body;
    ASSERT_EQ(main.size(), 5u);
    EXPECT_EQ(main[0].text, u"a # is kept \"quoted\"\n\u00e9");
    EXPECT_EQ(main[1].kind, Statement::Kind::Invoke);
    EXPECT_EQ(main[1].target, "demo/App");
    EXPECT_EQ(main[1].signature, "()Z");
    EXPECT_EQ(main[2].target, "AWT-EventQueue-0");
    EXPECT_TRUE(main[2].daemon);
    EXPECT_EQ(main[2].number, 2000);
    EXPECT_EQ(main[4].kind, Statement::Kind::Exit);
    EXPECT_EQ(main[4].number, -3);

    const Statement& rows = app.methods[2].body[0];
    ASSERT_EQ(rows.kind, Statement::Kind::Sequence);
    ASSERT_EQ(rows.values.size(), 3u);
    EXPECT_EQ(rows.values[0].items.size(), 2u);
    EXPECT_EQ(rows.values[0].items[0].items[1].text, u"b");
    EXPECT_TRUE(rows.values[0].items[1].items.empty());
    EXPECT_EQ(rows.values[1].kind, ScriptValue::Kind::Null);
    EXPECT_EQ(app.methods[3].body[0].values[0].name, std::string("\xAC\xED\x00\x05\x74\x00\x01z", 8));

    const Statement& fill = s.classes[1].methods[0].body[0];
    EXPECT_EQ(fill.x + fill.y + fill.w + fill.h, 10);
    EXPECT_EQ(fill.argb, 0xFF00FF00u);
}

TEST(ScenarioParser, ReportsEachMistakeWithItsLineAndKeepsTheRest) {
    const Scenario s = parseScenario(R"(    print "outside"
class a.B
  method ok ()I
    return 1
  method bad (I
  method v ()V
    return 1
  method text ()Ljava/lang/String;
    return 5
  method open ()V
    print "not closed
    print "bad \q escape"
    start worker soon
    fill 0 0 1 1 FF000000
    invoke nothing
    invoke ok 1
  method list ()[I
    return [1 "x"]
    return sequence
class a.B
)");
    const std::string all = errorsOf(s);
    for (const char* expected : {"line 1: a statement outside a method",
                                 "line 5: '(I' is not a method signature",
                                 "line 7: a void method returns no value",
                                 "line 9: this value does not fit type Ljava/lang/String;",
                                 "line 11: a quoted text is not closed",
                                 "line 12: unknown escape \\q",
                                 "line 13: write: start <thread name> <milliseconds> [daemon]",
                                 "line 14: fill needs a method with a java.awt.Graphics parameter",
                                 "line 15: invoke names no method of the scenario: a/B.nothing",
                                 "line 16: ok()I takes 0 arguments, not 1",
                                 "line 18: this value does not fit type I",
                                 "line 19: 'return sequence' needs at least one value",
                                 "line 20: class a.B is declared twice"})
        EXPECT_NE(all.find(expected), std::string::npos) << expected << "\nin:\n" << all;
    ASSERT_FALSE(s.classes.empty());
    EXPECT_EQ(s.classes[0].methods[0].body.size(), 1u); // "ok" kept its statement
}

TEST(ScenarioParser, SignaturesAreCheckedAsTheJvmReadsThem) {
    std::vector<std::string> params;
    std::string result;
    ASSERT_TRUE(splitSignature("(IZ[Ljava/lang/String;[[BJ)Ljava/lang/Object;", params, result));
    EXPECT_EQ(params, (std::vector<std::string>{"I", "Z", "[Ljava/lang/String;", "[[B", "J"}));
    EXPECT_EQ(result, "Ljava/lang/Object;");
    for (const char* bad : {"", "()", "(I", "(Q)V", "(Ljava.lang.String;)V", "(L;)V", "()VV", "I)V"})
        EXPECT_FALSE(splitSignature(bad, params, result)) << bad;
    EXPECT_TRUE(isDescriptor("V", true));
    EXPECT_FALSE(isDescriptor("V", false));
    EXPECT_EQ(internalName("a.b.C"), "a/b/C");
}

TEST(StandinFormats, ManifestMainSectionWithContinuationLines) {
    const auto attributes = manifestMainAttributes(
        "Manifest-Version: 1.0\r\nMain-Class: com.example.VeryLong\r\n Name\r\nClass-Path: a.jar\r\n\r\nName: x\r\nMain-Class: no\r\n");
    ASSERT_EQ(attributes.size(), 3u);
    EXPECT_EQ(attributes[1].first, "Main-Class");
    EXPECT_EQ(attributes[1].second, "com.example.VeryLongName");
}

TEST(StandinFormats, ImageSizesFromTheirHeaders) {
    int w = 0, h = 0;
    std::vector<std::uint32_t> pixels;
    EXPECT_TRUE(decodeImage(std::string("GIF89a\x20\x01\x10\x00", 10), w, h, pixels));
    EXPECT_EQ(w, 288);
    EXPECT_EQ(h, 16);
    // A JPEG: SOI, an APP0 segment, then SOF0 with height 100 and width 300.
    const std::string jpeg("\xFF\xD8\xFF\xE0\x00\x04\x00\x00\xFF\xC0\x00\x0B\x08\x00\x64\x01\x2C\x01\x01\x11\x00", 21);
    EXPECT_TRUE(decodeImage(jpeg, w, h, pixels));
    EXPECT_EQ(w, 300);
    EXPECT_EQ(h, 100);
    EXPECT_EQ(pixels.size(), 30000u);
    // A top-down 32-bit bitmap (negative height) keeps its first row first.
    std::string bmp("BM", 2);
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    put32(62);
    put32(0);
    put32(54);
    put32(40);
    put32(1);
    put32(static_cast<std::uint32_t>(-2));
    bmp += std::string("\x01\x00\x20\x00", 4);
    for (int i = 0; i < 6; ++i) put32(0);
    bmp += std::string("\x01\x02\x03\x00\x04\x05\x06\x00", 8);
    ASSERT_TRUE(decodeImage(bmp, w, h, pixels));
    EXPECT_EQ(pixels, (std::vector<std::uint32_t>{0xFF030201u, 0xFF060504u}));
    EXPECT_FALSE(decodeImage("plain text, not an image", w, h, pixels));
    EXPECT_FALSE(decodeImage(std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\0\0\0\0\0", 24), w, h, pixels));
}

TEST(StandinFormats, BrokenArchivesAreRefused) {
    std::vector<ArchiveEntry> entries;
    std::string error;
    EXPECT_FALSE(readArchive("PK but nothing else", entries, error));
    EXPECT_EQ(error, "zip END header not found");
    // An end record that points at no central directory.
    std::string bad(22, '\0');
    bad[0] = 'P', bad[1] = 'K', bad[2] = 5, bad[3] = 6, bad[10] = 1, bad[16] = 3;
    EXPECT_FALSE(readArchive(bad, entries, error));
    EXPECT_EQ(error, "invalid CEN header");
    std::string out;
    EXPECT_FALSE(inflate("\xFF\xFF\xFF", out));
}

} // namespace
} // namespace tavrelo::standin
