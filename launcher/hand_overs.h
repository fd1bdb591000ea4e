// What the launch sequence hands to the feature subsystems, in the order it calls them. Each
// function is defined by its subsystem; until a subsystem exists, a placeholder_*.cpp file of
// the launcher defines its functions as doing nothing (delete that file when the real ones
// arrive).
#pragma once

#include <string>

#include "launcher/launcher.h"
#include "platform/text.h"

namespace tavrelo {

// Single instance: true when a running instance took this start's arguments over.
[[nodiscard]] bool askRunningInstance(TextView launcherDirectory, TextView baseName,
                                      const std::vector<Text>& programArguments);
// True when the application must end now (status 0): another instance took over.
[[nodiscard]] bool startSingleInstance(TextView launcherDirectory, TextView baseName, const std::string& mainClass,
                                       bool takenOver);

// Splash screen: true when one was shown; the follow-up thread closes it.
[[nodiscard]] bool startSplashScreen();
void startSplashFollowUp();
// Launch thread, after letting go of Java and before the VM's end: has the splash test at once
// whether the application still lives and gives it a short while to close (its threads call
// Java until then). Returns at once without a splash.
void awaitSplashEnd();

// The main class when the configuration does not name it (archive manifests, class files); empty
// when nothing was found.
[[nodiscard]] std::string resolveMainClass(TextView configuredMainClass, TextView classPath, TextView baseName);

// Natives and feature interfaces bound for the main class.
void registerRegistryNatives(const std::string& mainClass);
void registerServiceControlNatives(const std::string& mainClass);
void registerSystemNatives(const std::string& mainClass);
void bindAdminSections(const std::string& mainClass);
// 1 tray, 2 system events or session restore, 4 screen-saver window (combined).
[[nodiscard]] int desktopFeatures(const std::string& mainClass, int serviceSubMode);
void startDesktopThread(int desktopFeatureSet, const std::string& mainClass);
// Launch thread, after letting go of Java and before the VM's end: gives the desktop thread a
// short while to notice that the application ended and to close its windows (and the tray's
// balloon poller its Java call) while the VM still runs. Returns at once without the thread.
void awaitDesktopThreadEnd();
// The same for the natives' own threads that watch the application (the screen-saver keeper, the
// shutdown-blocking window): each may call Java while it looks, which must end before the VM does.
void awaitNativeThreadsEnd();

// Run-type detection: each binds its interface; true when the application defines the methods
// that make it a service, or paints a screen saver.
[[nodiscard]] bool bindServiceInterface(const std::string& mainClass);
void bindControlPanelInterface(const std::string& mainClass);
[[nodiscard]] bool bindScreenSaverInterface(const std::string& mainClass);
[[nodiscard]] bool hasScreenSaverConfig();

// Shortcuts of the run type: its set written in the current directory; the whole set deleted
// from the launcher directory. Nothing for run type 0 (and on Linux).
void createRunTypeShortcut(int runType);
void deleteRunTypeShortcut(int runType);

// Launch modes other than the ordinary run; each returns the exit status.
[[nodiscard]] int runServiceSide(int desktopFeatureSet);
[[nodiscard]] int runApplet(int desktopFeatureSet, const std::string& mainClass);
[[nodiscard]] int runScreenSaver(int desktopFeatureSet, const std::string& mainClass);

// The command-line actions of a run type; each returns the exit status, or kGoOnToMain when the
// application's main runs instead (a service application on a system without services).
inline constexpr int kGoOnToMain = -1;
[[nodiscard]] int runServiceActions(const CommandLineActions* actions);
[[nodiscard]] int runControlPanelActions(const CommandLineActions* actions);
[[nodiscard]] int runScreenSaverActions(const CommandLineActions* actions);

// Session restore after a logon.
void restoreSession(TextView restoreName);

// Administrator sections: the elevated restart's handling, and an elevated section process's
// service (until the section is finished).
void runElevatedRestartSections();
void serveAdminSection();
// Launch thread, before the VM's end: gives the threads that report an elevated copy's end a
// short while to make their last call into Java.
void awaitAdminSectionsEnd();

// The console control handler of the system-event feature, installed once the VM exists.
void installConsoleHandler();

} // namespace tavrelo
