#include <gtest/gtest.h>

#include "platform/messages.h"
#include "test_language.h"

namespace tavrelo {
namespace {

// The table as the product's messages read, written out independently of the code.
const char16_t* const kExpected[kMessageCount][4] = {
    {u"This executable file is not complet", u"Ce fichier exécutable est incomplet.", u"Can't continue", u"Impossible de continuer"},
    {u"Java %s isn't installed !\n\nDo you want to install it ?", u"Java %s n'est pas installé !\n\nVoulez-vous l'installer ?", u"Java Runtime Environment (JRE)", u"Java Runtime Environment (JRE)"},
    {u"Icon not found", u"Icone introuvable", u".ICO", u".ICO"},
    {u".EXE file not found", u"Fichier .EXE introuvable", u".EXE", u".EXE"},
    {u"\"%s\" isn't an icon file", u"\"%s\" n'est pas une icone", u".ICO", u".ICO"},
    {u"Can't run the JVM", u"Impossible de lancer la JVM", u"JVM", u"JVM"},
    {u"Can't find main class \"%S\"", u"Classe principale \"%S\" introuvable", u"JVM", u"JVM"},
    {u"Can't find class \"%S\"", u"Classe \"%S\" introuvable", u"JVM", u"JVM"},
    {u"Can't find main method", u"Méthode \"main\" introuvable", u"JVM", u"JVM"},
    {u"Do you want to install this program as Windows service ?", u"Voulez-vous installer l'application en tant que service Windows ?", u"Windows Service", u"Service Windows"},
    {u"The service has created, do you want to start it ?", u"Le service est créé, voulez-vous le lancer ?", u"Windows Service", u"Service Windows"},
    {u"The service has already installed.\nDo you want to delete it ?", u"Le service est déjà installé.\nVoulez-vous le supprimer ?", u"Windows Service", u"Service Windows"},
    {u"You don't have privileges to install a service", u"Vous n'avez pas les droits pour installer un service", u"Windows Service", u"Service Windows"},
    {u"Do you want to install this program as ControlPanel ?", u"Voulez-vous installer l'application en tant que ControlPanel ?", u"Control Panel", u"Control Panel"},
    {u"The ControlPanel has already installed.\nDo you want to delete it ?", u"Le ControlPanel est déjà installé.\nVoulez-vous le supprimer ?", u"Control Panel", u"Control Panel"},
    {u"%dx%d (%d colors)", u"%dx%d (%d couleurs)", u"", u""},
    {u"This file contains %d icon(s) :\n\n%s", u"Ce fichier contient %d icone(s) :\n\n%s", u".ICO", u".ICO"},
    {u"The icon file %s was not found", u"Le fichier d'icone %s est introuvable", u".ICO", u".ICO"},
    {u"\"%s\" isn't an image file", u"\"%s\" n'est pas un fichier image", u"Image", u"Image"},
    {u"Integration of image\n\t%s\nto\n\t%s\n\nas startup screen", u"Intégration de l'image\n\t%s\nvers\n\t%s\n\nen tant qu'écran de démarrage", u"Image", u"Image"},
    {u"This file contains the properties :\n\n%s", u"Ce fichier contient les properties :\n\n%s", u".PROPERTIES", u".PROPERTIES"},
    {u"This executable file is not Tavrelo", u"Ce fichier exécutable n'est pas Tavrelo.", u"Tavrelo", u"Tavrelo"},
    {u"This image has the format :\n\n%dx%d (%d bits)", u"Cette image a le format :\n\n%dx%d (%d bits)", u"Image", u"Image"},
    {u"Target files not specified", u"Fichiers destinations non spécifiés", u"Tavpack", u"Tavpack"},
    {u"Source files not specified", u"Fichiers sources non spécifiés", u"Tavpack", u"Tavpack"},
    {u"This file is already open :\n\n%s", u"Ce fichier est déjà ouvert :\n\n%s", u"Tavpack", u"Tavpack"},
    {u"You must rename Tavrelo with the same name of your main .CLASS or .JAR\n\nPlease consult the documentation at ", u"Vous devez renommer Tavrelo selon le nom de votre .CLASS ou .JAR principal.\n\nVeuillez consulter la documentation à ", u"Tavrelo", u"Tavrelo"},
    {u"These files :\n%s\nhave been successfully integrated into :\n%s", u"Ces fichiers :\n\n%s\nont été correctement intégrés dans :\n\n%s", u"Tavpack", u"Tavpack"},
    {u"Do you want to install this program as ScreenSaver ?", u"Voulez-vous installer l'application en tant que ScreenSaver ?", u"ScreenSaver", u"ScreenSaver"},
    {u"The ScreenSaver has already installed.\nDo you want to delete it ?", u"Le ScreenSaver est déjà installé.\nVoulez-vous le supprimer ?", u"ScreenSaver", u"ScreenSaver"},
    {u"The ScreenSaver can't run :\nyou must declare the \"scrsvPaint()\" method", u"Le ScreenSaver ne peut pas se lancer :\nvous devez déclarer la méthode \"scrsvPaint()\"", u"ScreenSaver", u"ScreenSaver"},
    {u"The JVM used is intended for %s\nBut this executable is %s.", u"La JVM utilisée est prévue pour une architecture %s\nMais cet exécutable est en %s.", u"JVM", u"JVM"},
};

TEST(MessageTable, EveryEntryInBothLanguages) {
    for (int i = 0; i < kMessageCount; ++i) {
        const MessageEntry* entry = messageEntry(i);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(TextView(entry->english), TextView(kExpected[i][0])) << i;
        EXPECT_EQ(TextView(entry->french), TextView(kExpected[i][1])) << i;
        EXPECT_EQ(TextView(entry->captionEnglish), TextView(kExpected[i][2])) << i;
        EXPECT_EQ(TextView(entry->captionFrench), TextView(kExpected[i][3])) << i;
    }
    EXPECT_EQ(messageEntry(-1), nullptr);
    EXPECT_EQ(messageEntry(kMessageCount), nullptr);
}

TEST(BuildMessage, LanguageFollowsTheCountrySetting) {
    test::ScopedLanguage french(true);
    ASSERT_TRUE(isFrench());
    auto message = buildMessage(1, {u"1.6"});
    ASSERT_TRUE(message);
    EXPECT_EQ(message->text, u"Java 1.6 n'est pas installé !\n\nVoulez-vous l'installer ?");
    EXPECT_EQ(message->caption, u"Java Runtime Environment (JRE)");
    EXPECT_EQ(buildMessage(9)->caption, u"Service Windows");
    {
        test::ScopedLanguage english(false);
        EXPECT_FALSE(isFrench());
        EXPECT_EQ(buildMessage(9)->caption, u"Windows Service");
        EXPECT_EQ(buildMessage(1, {u"1.6"})->text, u"Java 1.6 isn't installed !\n\nDo you want to install it ?");
    }
    EXPECT_FALSE(buildMessage(-1));
}

TEST(BuildMessage, FormatsWideNarrowAndNumbers) {
    test::ScopedLanguage english(false);
    EXPECT_EQ(buildMessage(6, {"demo.App"})->text, u"Can't find main class \"demo.App\"");
    EXPECT_EQ(buildMessage(15, {48, 32, 256})->text, u"48x32 (256 colors)");
    EXPECT_EQ(buildMessage(31, {u"x86", u"x64"})->text, u"The JVM used is intended for x86\nBut this executable is x64.");
    EXPECT_EQ(buildMessage(26)->text.substr(TextView(kExpected[26][0]).size()), TextView(kDocumentationAddress));
    EXPECT_EQ(formatText(u"100%% %d%s", {-5}), u"100% -5");
    // Error codes are shown as Windows shows them: 32-bit unsigned, whatever the argument's width.
    EXPECT_EQ(formatText(u"%x %u %d", {-1, -1, -1}), u"ffffffff 4294967295 -1");
    EXPECT_EQ(formatText(u"0x%x (%u)", {0x80070005UL, 0x80070005UL}), u"0x80070005 (2147942405)");
    EXPECT_EQ(formatText(u"%x %u", {0x1234567890LL, 0x1234567890LL}), u"34567890 878082192");
    EXPECT_EQ(formatText(u"%x", {0}), u"0");
}

TEST(BuildMessage, LongTextsAreCutNotOverflowed) {
    test::ScopedLanguage english(false);
    const Text huge(5000, u'x');
    const auto message = buildMessage(20, {huge});
    ASSERT_TRUE(message);
    EXPECT_EQ(message->text.size(), 2047u);
    EXPECT_EQ(message->text.substr(0, 10), u"This file ");
}

struct Recorded {
    Text caption, text;
    unsigned style = 0;
    int calls = 0;
};
Recorded recorded;
int answer = kAnswerNo;

int recordingPresenter(TextView caption, TextView text, unsigned style) {
    recorded.caption = Text(caption);
    recorded.text = Text(text);
    recorded.style = style;
    ++recorded.calls;
    return answer;
}

class Presenter : public ::testing::Test {
protected:
    void SetUp() override {
        recorded = {};
        previous_ = setMessagePresenter(&recordingPresenter);
    }
    void TearDown() override { setMessagePresenter(previous_); }
    MessagePresenter previous_ = nullptr;
    test::ScopedLanguage english_{false};
};

TEST_F(Presenter, ShowMessageIsTopmostAndTrueOnlyForYes) {
    answer = kAnswerYes;
    EXPECT_TRUE(showMessage(9, kBoxYesNo | kBoxQuestion));
    EXPECT_EQ(recorded.style, kBoxYesNo | kBoxQuestion | kBoxTopmost);
    EXPECT_EQ(recorded.caption, u"Windows Service");
    answer = kAnswerNo;
    EXPECT_FALSE(showMessage(9, kBoxYesNo | kBoxQuestion));
    answer = kAnswerOk;
    EXPECT_FALSE(showMessage(5, kBoxOk));
    EXPECT_EQ(recorded.text, u"Can't run the JVM");
    EXPECT_FALSE(showMessage(99, kBoxOk));
    EXPECT_EQ(recorded.calls, 3);
    answer = kAnswerYes;
    EXPECT_TRUE(askYesNo(u"Caption", u"Question?", kBoxYesNo));
    EXPECT_EQ(recorded.text, u"Question?");
}

TEST_F(Presenter, SystemErrorsUseTheSystemTextUnderSystem) {
    showSystemError(0);
    EXPECT_EQ(recorded.calls, 0);
    showSystemError(5);
    ASSERT_EQ(recorded.calls, 1);
    EXPECT_EQ(recorded.caption, u"System");
    EXPECT_EQ(recorded.text, test::systemTextOf(5));
    EXPECT_FALSE(recorded.text.empty());
    EXPECT_EQ(systemErrorText(2), test::systemTextOf(2));
    EXPECT_NE(systemErrorText(2), systemErrorText(5));
    EXPECT_EQ(recorded.style, kBoxWarning | kBoxTopmost);
    EXPECT_EQ(systemErrorText(5, 4).size(), 3u);
}

} // namespace
} // namespace tavrelo
