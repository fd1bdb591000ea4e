// The stand-in runtime's object model: classes, methods, objects, references, threads and the
// one process-wide virtual machine. Test support only: it implements the part of JNI that the
// launcher uses and reports every misuse it can see in its log.
#pragma once

#include <jni.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/scenario.h"

namespace tavrelo::standin {

struct Klass;
struct Method;
struct Object;
struct JavaThread;
using Ref = std::shared_ptr<Object>;

// A value as Java sees it: the first letter of its type descriptor ('L' for every reference,
// arrays included; 'V' for no value) with the primitive or the object.
struct Value {
    char type = 'V';
    jvalue prim{};
    Ref object;

    static Value none() { return {}; }
    static Value ofInt(long v) {
        Value r;
        r.type = 'I';
        r.prim.i = v;
        return r;
    }
    static Value ofLong(long long v) {
        Value r;
        r.type = 'J';
        r.prim.j = v;
        return r;
    }
    static Value ofBoolean(bool v) {
        Value r;
        r.type = 'Z';
        r.prim.z = v ? JNI_TRUE : JNI_FALSE;
        return r;
    }
    static Value ofObject(Ref object) {
        Value r;
        r.type = 'L';
        r.object = std::move(object);
        return r;
    }
};

// The zero value of a type descriptor ("I", "Ljava/lang/String;", "V"...).
Value zeroValue(std::string_view descriptor);
// Integral content of a primitive value widened to 64 bits (booleans 0 or 1).
long long integral(const Value& value);

// ---- Objects ----------------------------------------------------------------------------------

struct Object {
    explicit Object(Klass* k);
    virtual ~Object() = default;
    Klass* klass;
    std::uint64_t id;
};

struct StringObject : Object {
    StringObject(Klass* k, std::u16string t) : Object(k), text(std::move(t)) {}
    std::u16string text;
};

struct ArrayObject : Object {
    ArrayObject(Klass* k, char element, std::size_t length);
    char elementType;                 // 'Z' 'B' 'C' 'S' 'I' 'J' 'F' 'D', or 'L' for references
    std::vector<unsigned char> data;  // primitive elements, packed
    std::vector<Ref> elements;        // reference elements
    [[nodiscard]] std::size_t length() const;
    [[nodiscard]] std::size_t elementSize() const;
};

struct ClassObject : Object {
    ClassObject(Klass* k, Klass* r) : Object(k), represented(r) {}
    Klass* represented;
};

struct ThrowableObject : Object {
    ThrowableObject(Klass* k, std::u16string m, bool has) : Object(k), message(std::move(m)), hasMessage(has) {}
    std::u16string message;
    bool hasMessage;
};

struct ThreadObject : Object {
    ThreadObject(Klass* k, std::shared_ptr<JavaThread> t) : Object(k), thread(std::move(t)) {}
    std::shared_ptr<JavaThread> thread;
};

// An application object known only by its serialized form (the bytes after the stream header).
struct BlobObject : Object {
    BlobObject(Klass* k, std::string c) : Object(k), content(std::move(c)) {}
    std::string content;
};

// Every other JDK object: a bag of what the launcher's few uses of streams, archives, AWT and
// Swing need (named values, held items, bytes, pixels).
struct PlainObject : Object {
    using Object::Object;
    std::map<std::string, Value> fields;
    std::vector<Ref> items;
    std::string bytes;
    std::size_t position = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // ARGB, row by row
};

// ---- Classes and methods ----------------------------------------------------------------------

struct Call;
using Handler = Value (*)(Call& call);

struct Method {
    Klass* owner = nullptr;
    std::string name;
    std::string signature;
    bool isStatic = false;
    bool isNative = false;
    std::vector<std::string> params; // descriptors
    std::string result;              // descriptor
    Handler handler = nullptr;       // built-in JDK behaviour
    const ScriptMethod* script = nullptr;
    std::atomic<void*> nativeCode{nullptr};
    std::atomic<std::size_t> sequenceAt{0};
    std::atomic<long> calls{0}; // how often it was called (scenario methods)
};

struct StaticField {
    Klass* owner = nullptr;
    std::string name;
    std::string descriptor;
    Value value;
};

struct Klass {
    std::string name; // internal form: java/lang/String, [I, [Ljava/lang/String;
    Klass* super = nullptr;
    std::vector<Klass*> interfaces;
    bool jdk = false;
    bool isInterface = false;
    bool serializable = false;
    Klass* component = nullptr; // arrays
    std::vector<std::unique_ptr<Method>> methods;
    std::vector<std::unique_ptr<StaticField>> fields;
    Ref mirror; // its java.lang.Class object

    [[nodiscard]] bool isArray() const { return !name.empty() && name[0] == '['; }
    [[nodiscard]] bool isSubclassOf(const Klass* other) const;
    [[nodiscard]] Method* declared(std::string_view n, std::string_view sig) const;
    // Searches this class, its superclasses and, for instance methods, its interfaces.
    [[nodiscard]] Method* find(std::string_view n, std::string_view sig, bool wantStatic) const;
    [[nodiscard]] std::string javaName() const; // with dots
};

// ---- Threads ----------------------------------------------------------------------------------

// The JNIEnv handed to one thread; the owner is found back from the pointer.
struct EnvBlock {
    JNIEnv_ jni;
    JavaThread* owner;
};

struct JavaThread {
    EnvBlock env{};
    unsigned long osId = 0;
    std::string name;
    bool daemon = false;
    bool scripted = false;             // a thread started by the scenario, not a native thread
    std::atomic<bool> alive{true};
    std::atomic<bool> attached{false}; // a native thread attached through the invocation interface
    Ref pending;                       // the pending exception
    Ref mirror;                        // its java.lang.Thread object
    std::vector<std::vector<std::size_t>> frames{1}; // local references per frame
    std::size_t liveLocals = 0;
    bool leakReported = false;
    int javaDepth = 0;    // > 0 while a native called from Java runs on it
    int pushedFrames = 0; // PushLocalFrame calls not yet popped
};

// ---- The virtual machine ----------------------------------------------------------------------

enum class VmState { None, Running, Destroyed };

struct RefSlot {
    Ref object;
    char kind = 0; // 'L' local, 'G' global, 'W' weak global
    bool live = false;
    JavaThread* owner = nullptr;
};

struct Pin {
    Ref object;
    std::size_t bytes = 0;
    bool utf = false;
};

struct Vm {
    std::recursive_mutex lock;
    VmState state = VmState::None;
    JavaVM_ javaVm{};
    jint version = 0;
    std::vector<std::string> options;
    std::map<std::u16string, std::u16string> properties;
    void(JNICALL* exitHook)(jint) = nullptr;
    void(JNICALL* abortHook)() = nullptr;
    std::map<std::string, std::unique_ptr<Klass>, std::less<>> classes;
    std::vector<std::shared_ptr<JavaThread>> threads;
    std::map<unsigned long, JavaThread*> attached;
    std::vector<RefSlot> refs;
    std::map<const void*, Pin> pins;
    int threadNumber = 0;
    Scenario scenario;
    std::atomic<bool> exiting{false};
};

Vm& vm();
using VmLock = std::lock_guard<std::recursive_mutex>;

} // namespace tavrelo::standin
