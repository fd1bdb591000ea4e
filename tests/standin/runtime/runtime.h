// Operations shared by the JNI function table, the built-in JDK classes and the scenario runner.
// Functions named ...Locked expect the caller to hold the VM lock (VmGuard); the others take it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/model.h"

namespace tavrelo::standin {

// The VM lock, counted per thread so that code which must not run under it can check.
class VmGuard {
public:
    VmGuard();
    ~VmGuard();
    VmGuard(const VmGuard&) = delete;
    VmGuard& operator=(const VmGuard&) = delete;
    static int depth();
};

// ---- The log (one line per event; see README.md) ------------------------------------------------
void setLogDirectory(const std::wstring& directory);
void logLine(std::string_view kind, std::string_view details);
void logError(std::string_view details);
[[nodiscard]] std::string utf8(std::u16string_view text);
[[nodiscard]] std::u16string utf16(std::string_view text);
[[nodiscard]] std::string quoted(std::u16string_view text);
[[nodiscard]] std::string hexBytes(std::string_view bytes);

// ---- Classes ------------------------------------------------------------------------------------
// Names of the JDK's packages: an unknown class there is the launcher's mistake, not a missing
// application class.
[[nodiscard]] bool isJdkName(std::string_view internal);
[[nodiscard]] Klass* findClassLocked(std::string_view internal); // arrays are made on demand
[[nodiscard]] Klass* classOfDescriptorLocked(std::string_view descriptor);
[[nodiscard]] Ref mirrorLocked(Klass* klass);
void defineJdkClasses();
// Builds the scenario's classes; mistakes go to the log.
void defineScenarioClasses();
Method* addMethod(Klass* klass, std::string name, std::string signature, bool isStatic, Handler handler);

// ---- Objects ------------------------------------------------------------------------------------
[[nodiscard]] Ref newStringLocked(std::u16string text);
[[nodiscard]] Ref newArrayLocked(Klass* arrayClass, std::size_t length);
[[nodiscard]] Ref newPlainLocked(Klass* klass);
[[nodiscard]] Ref newThrowableLocked(std::string_view klass, std::u16string message, bool hasMessage);
[[nodiscard]] const std::u16string* stringText(const Ref& object); // null when not a String
// Whether a value may be passed where `descriptor` is expected.
[[nodiscard]] bool fitsLocked(const Value& value, std::string_view descriptor);
[[nodiscard]] bool isInstanceLocked(const Ref& object, const Klass* klass);
[[nodiscard]] std::string renderLocked(const Value& value);
[[nodiscard]] std::string renderArgsLocked(const std::vector<Value>& args);

// ---- References ---------------------------------------------------------------------------------
[[nodiscard]] jobject newLocalLocked(JavaThread* thread, Ref object);
[[nodiscard]] jobject newGlobalLocked(Ref object, char kind);
// The object behind a reference; logs an error (naming `function`) for a reference that is not
// one, is deleted, or belongs to another thread. `ok` tells them apart from null.
[[nodiscard]] Ref resolveLocked(jobject handle, const char* function, bool* ok = nullptr);
// 'L', 'G', 'W', or 0 for something that is no live reference.
[[nodiscard]] char refKindLocked(jobject handle);
void deleteRefLocked(jobject handle, char kind, const char* function);
void pushFrameLocked(JavaThread* thread);
void popFrameLocked(JavaThread* thread);
void releaseAllLocalsLocked(JavaThread* thread);

// ---- Threads ------------------------------------------------------------------------------------
// The Java thread running on the calling OS thread (attached or scripted), or null.
[[nodiscard]] JavaThread* currentThreadLocked();
[[nodiscard]] std::string threadLabel();
[[nodiscard]] JavaThread* newThreadLocked(std::string name, bool daemon, bool scripted);
[[nodiscard]] Ref threadMirrorLocked(JavaThread* thread);
// Starts a scenario thread that stays alive for `milliseconds`.
void startScriptedThread(const std::string& name, long long milliseconds, bool daemon);

// ---- Exceptions ---------------------------------------------------------------------------------
void throwLocked(JavaThread* thread, std::string_view klass, std::u16string message);

// ---- Calls --------------------------------------------------------------------------------------
struct Call {
    JavaThread* thread = nullptr;
    Method* method = nullptr;
    Ref self;
    std::vector<Value> args;

    // Sets a pending exception and gives the zero value of the method's result.
    Value raise(std::string_view exceptionClass, std::u16string message = {});
    [[nodiscard]] PlainObject* plain() const;
    [[nodiscard]] long intArg(std::size_t i) const;
    [[nodiscard]] bool boolArg(std::size_t i) const;
    [[nodiscard]] long long longArg(std::size_t i) const;
    [[nodiscard]] const Ref& objArg(std::size_t i) const;
    [[nodiscard]] const std::u16string* stringArg(std::size_t i) const;
};

// Runs a method (built-in, scripted or registered native) on the calling thread. Called without
// the VM lock. The caller has resolved virtual dispatch and checked the arguments.
Value invokeMethod(JavaThread* thread, Method* method, Ref self, std::vector<Value> args);
// Handlers that may block (sleeping, waiting, ending the process) run without the VM lock.
[[nodiscard]] bool isBlockingHandler(Handler handler);
// Ends the process as System.exit does: the exit hook first, then the process.
[[noreturn]] void exitVm(long status);
// Writes the class list the options ask for at the VM's end (exit or destruction).
void writeClassList();
Value runScript(JavaThread* thread, Method* method, std::vector<Value>& args);
Value callNative(JavaThread* thread, Method* method, std::vector<Value>& args);

// The built-in JDK behaviour that the scenario's values use.
[[nodiscard]] Ref makeImageLocked(int width, int height, std::uint32_t argb);
[[nodiscard]] Ref newJdkObjectLocked(Klass* klass); // no-argument construction
void fillRectLocked(const Ref& graphics, int x, int y, int w, int h, std::uint32_t argb);
// The serialized form of an object after the stream header; false when it is not serializable.
[[nodiscard]] bool serializeLocked(const Ref& object, std::string& content);
[[nodiscard]] Ref deserializeLocked(std::string_view content);
[[nodiscard]] std::string objectLabelContent(std::string_view label);

// The JNI function table and the invocation interface.
[[nodiscard]] const JNINativeInterface_* functionTable();
[[nodiscard]] const JNIInvokeInterface_* invokeTable();

} // namespace tavrelo::standin
