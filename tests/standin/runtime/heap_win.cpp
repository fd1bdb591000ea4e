// Objects, classes, references and threads of the stand-in runtime.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "runtime/runtime.h"

namespace tavrelo::standin {

namespace {
thread_local int lockDepth = 0;
std::atomic<std::uint64_t> objectCounter{0};
constexpr std::size_t kLocalLeakThreshold = 1000;

std::size_t primitiveSize(char type) {
    switch (type) {
    case 'Z': case 'B': return 1;
    case 'C': case 'S': return 2;
    case 'I': case 'F': return 4;
    case 'J': case 'D': return 8;
    default: return 0;
    }
}

const char* kindName(char kind) {
    return kind == 'L' ? "local" : kind == 'G' ? "global" : kind == 'W' ? "weak global" : "unknown";
}

jobject encode(std::size_t index, char kind) {
    const std::uintptr_t tag = kind == 'L' ? 1 : kind == 'G' ? 2 : 3;
    return reinterpret_cast<jobject>(((static_cast<std::uintptr_t>(index) + 1) << 4) | tag);
}

bool decode(jobject handle, std::size_t& index, char& kind) {
    const auto v = reinterpret_cast<std::uintptr_t>(handle);
    const std::uintptr_t tag = v & 15;
    if (tag < 1 || tag > 3 || (v >> 4) == 0) return false;
    index = (v >> 4) - 1;
    kind = tag == 1 ? 'L' : tag == 2 ? 'G' : 'W';
    return index < vm().refs.size() && vm().refs[index].kind == kind;
}

std::string pointerText(const void* p) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%p", p);
    return buffer;
}
} // namespace

Vm& vm() {
    static Vm* instance = new Vm; // lives as long as the process: threads may outlive static destructors
    return *instance;
}

VmGuard::VmGuard() {
    vm().lock.lock();
    ++lockDepth;
}
VmGuard::~VmGuard() {
    --lockDepth;
    vm().lock.unlock();
}
int VmGuard::depth() {
    return lockDepth;
}

Object::Object(Klass* k) : klass(k), id(++objectCounter) {}

ArrayObject::ArrayObject(Klass* k, char element, std::size_t length) : Object(k), elementType(element) {
    if (element == 'L') elements.resize(length);
    else data.resize(length * primitiveSize(element));
}
std::size_t ArrayObject::elementSize() const {
    return primitiveSize(elementType);
}
std::size_t ArrayObject::length() const {
    return elementType == 'L' ? elements.size() : data.size() / primitiveSize(elementType);
}

Value zeroValue(std::string_view descriptor) {
    Value v;
    v.type = descriptor.empty() ? 'V' : (descriptor[0] == '[' ? 'L' : descriptor[0]);
    return v;
}

long long integral(const Value& value) {
    switch (value.type) {
    case 'Z': return value.prim.z ? 1 : 0;
    case 'B': return value.prim.b;
    case 'C': return value.prim.c;
    case 'S': return value.prim.s;
    case 'I': return value.prim.i;
    case 'J': return value.prim.j;
    case 'F': return static_cast<long long>(value.prim.f);
    case 'D': return static_cast<long long>(value.prim.d);
    default: return 0;
    }
}

// ---- Classes ------------------------------------------------------------------------------------

bool Klass::isSubclassOf(const Klass* other) const {
    if (!other) return false;
    if (this == other || other->name == "java/lang/Object") return true;
    if (isArray()) {
        if (other->name == "java/lang/Cloneable" || other->name == "java/io/Serializable") return true;
        if (!other->isArray()) return false;
        if (!component || !other->component) return name == other->name;
        return component->isSubclassOf(other->component);
    }
    if (super && super->isSubclassOf(other)) return true;
    for (const Klass* i : interfaces)
        if (i->isSubclassOf(other)) return true;
    return false;
}

Method* Klass::declared(std::string_view n, std::string_view sig) const {
    for (const auto& m : methods)
        if (m->name == n && m->signature == sig) return m.get();
    return nullptr;
}

Method* Klass::find(std::string_view n, std::string_view sig, bool wantStatic) const {
    if (Method* m = declared(n, sig)) return m;
    if (n == "<init>" || n == "<clinit>") return nullptr;
    for (const Klass* k = super; k; k = k->super)
        if (Method* m = k->declared(n, sig)) return m;
    if (wantStatic) return nullptr;
    for (const Klass* k = this; k; k = k->super)
        for (const Klass* i : k->interfaces)
            if (Method* m = i->find(n, sig, false)) return m;
    return nullptr;
}

std::string Klass::javaName() const {
    std::string out = name;
    if (!isArray())
        for (char& c : out)
            if (c == '/') c = '.';
    return out;
}

bool isJdkName(std::string_view internal) {
    for (std::string_view prefix : {"java/", "javax/", "sun/", "jdk/", "com/sun/", "org/w3c/", "org/xml/"})
        if (internal.substr(0, prefix.size()) == prefix) return true;
    return false;
}

Klass* findClassLocked(std::string_view internal) {
    auto& classes = vm().classes;
    if (auto it = classes.find(internal); it != classes.end()) return it->second.get();
    if (internal.size() < 2 || internal[0] != '[' || !isDescriptor(internal, false)) return nullptr;
    Klass* component = nullptr;
    const std::string_view inner = internal.substr(1);
    if (inner[0] == 'L') {
        component = findClassLocked(inner.substr(1, inner.size() - 2));
        if (!component) return nullptr;
    } else if (inner[0] == '[') {
        component = findClassLocked(inner);
        if (!component) return nullptr;
    }
    auto klass = std::make_unique<Klass>();
    klass->name = std::string(internal);
    klass->jdk = true;
    klass->serializable = true;
    klass->super = findClassLocked("java/lang/Object");
    klass->component = component;
    Klass* raw = klass.get();
    classes.emplace(raw->name, std::move(klass));
    return raw;
}

Klass* classOfDescriptorLocked(std::string_view descriptor) {
    if (descriptor.empty()) return nullptr;
    if (descriptor[0] == 'L' && descriptor.back() == ';')
        return findClassLocked(descriptor.substr(1, descriptor.size() - 2));
    if (descriptor[0] == '[') return findClassLocked(descriptor);
    return nullptr;
}

Ref mirrorLocked(Klass* klass) {
    if (!klass) return {};
    if (!klass->mirror) klass->mirror = std::make_shared<ClassObject>(findClassLocked("java/lang/Class"), klass);
    return klass->mirror;
}

Method* addMethod(Klass* klass, std::string name, std::string signature, bool isStatic, Handler handler) {
    auto m = std::make_unique<Method>();
    m->owner = klass;
    m->name = std::move(name);
    m->signature = std::move(signature);
    m->isStatic = isStatic;
    m->handler = handler;
    if (!splitSignature(m->signature, m->params, m->result))
        logError("internal: bad built-in signature " + klass->name + "." + m->name + m->signature);
    Method* raw = m.get();
    klass->methods.push_back(std::move(m));
    return raw;
}

void defineScenarioClasses() {
    Vm& v = vm();
    Klass* object = findClassLocked("java/lang/Object");
    for (const ScriptClass& sc : v.scenario.classes) {
        if (isJdkName(sc.name)) {
            logError("scenario line " + std::to_string(sc.line) + ": " + sc.name + " is in a JDK package");
            continue;
        }
        auto klass = std::make_unique<Klass>();
        klass->name = sc.name;
        klass->super = object;
        v.classes.emplace(sc.name, std::move(klass));
    }
    for (const ScriptClass& sc : v.scenario.classes) {
        Klass* klass = findClassLocked(sc.name);
        if (!klass || klass->jdk) continue;
        if (!sc.super.empty()) {
            Klass* super = findClassLocked(sc.super);
            if (!super) logError("scenario line " + std::to_string(sc.line) + ": unknown superclass " + sc.super);
            else klass->super = super;
        }
        for (const ScriptMethod& sm : sc.methods) {
            Method* m = addMethod(klass, sm.name, sm.signature, true, nullptr);
            m->isNative = sm.isNative;
            m->script = &sm;
        }
    }
    // Every class a scenario signature names must exist, or its values could not be checked.
    for (const ScriptClass& sc : v.scenario.classes)
        for (const ScriptMethod& sm : sc.methods) {
            std::vector<std::string> params;
            std::string result;
            if (!splitSignature(sm.signature, params, result)) continue;
            params.push_back(result);
            for (const std::string& d : params) {
                std::size_t i = 0;
                while (i < d.size() && d[i] == '[') ++i;
                if (i < d.size() && d[i] == 'L' && !classOfDescriptorLocked(d.substr(i)))
                    logError("scenario line " + std::to_string(sm.line) + ": " + sm.name + sm.signature +
                             " names a class that is neither built in nor declared: " + d.substr(i));
            }
        }
}

// ---- Objects ------------------------------------------------------------------------------------

Ref newStringLocked(std::u16string text) {
    return std::make_shared<StringObject>(findClassLocked("java/lang/String"), std::move(text));
}

Ref newArrayLocked(Klass* arrayClass, std::size_t length) {
    if (!arrayClass || !arrayClass->isArray()) return {};
    const char element = arrayClass->name[1] == '[' || arrayClass->name[1] == 'L' ? 'L' : arrayClass->name[1];
    return std::make_shared<ArrayObject>(arrayClass, element, length);
}

Ref newPlainLocked(Klass* klass) {
    return std::make_shared<PlainObject>(klass);
}

Ref newThrowableLocked(std::string_view klassName, std::u16string message, bool hasMessage) {
    Klass* klass = findClassLocked(klassName);
    Klass* throwable = findClassLocked("java/lang/Throwable");
    if (!klass || !klass->isSubclassOf(throwable)) {
        logError("internal: " + std::string(klassName) + " is not a throwable class");
        klass = findClassLocked("java/lang/Error");
    }
    return std::make_shared<ThrowableObject>(klass, std::move(message), hasMessage);
}

const std::u16string* stringText(const Ref& object) {
    const auto* s = dynamic_cast<const StringObject*>(object.get());
    return s ? &s->text : nullptr;
}

bool isInstanceLocked(const Ref& object, const Klass* klass) {
    return object && object->klass && object->klass->isSubclassOf(klass);
}

bool fitsLocked(const Value& value, std::string_view descriptor) {
    if (descriptor.empty()) return false;
    const char t = descriptor[0];
    if (t != 'L' && t != '[') return value.type == t;
    if (value.type != 'L') return false;
    if (!value.object) return true;
    Klass* klass = classOfDescriptorLocked(descriptor);
    if (!klass) {
        logError("internal: no class for descriptor " + std::string(descriptor));
        return true;
    }
    return isInstanceLocked(value.object, klass);
}

std::string renderLocked(const Value& value) {
    switch (value.type) {
    case 'V': return "void";
    case 'Z': return value.prim.z ? "true" : "false";
    case 'F': case 'D': {
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, "%g", value.type == 'F' ? value.prim.f : value.prim.d);
        return buffer;
    }
    case 'L': break;
    default: return std::to_string(integral(value));
    }
    const Ref& o = value.object;
    if (!o) return "null";
    if (const auto* s = stringText(o)) return quoted(*s);
    if (const auto* a = dynamic_cast<const ArrayObject*>(o.get())) {
        std::string out;
        if (a->elementType == 'B') {
            const std::string_view bytes(reinterpret_cast<const char*>(a->data.data()), a->data.size());
            if (bytes.size() <= 256) return "bytes:" + hexBytes(bytes);
            return "bytes:" + hexBytes(bytes.substr(0, 256)) + "...(" + std::to_string(bytes.size()) + " bytes)";
        }
        const std::size_t n = a->length();
        const std::size_t shown = n > 64 ? 64 : n;
        out = "[";
        for (std::size_t i = 0; i < shown; ++i) {
            if (i) out += ", ";
            if (a->elementType == 'L') {
                out += renderLocked(Value::ofObject(a->elements[i]));
            } else {
                Value e;
                e.type = a->elementType;
                std::memcpy(&e.prim, a->data.data() + i * a->elementSize(), a->elementSize());
                out += renderLocked(e);
            }
        }
        if (shown < n) out += ", ...(" + std::to_string(n) + " elements)";
        return out + "]";
    }
    if (const auto* c = dynamic_cast<const ClassObject*>(o.get())) return "class " + c->represented->javaName();
    if (const auto* t = dynamic_cast<const ThrowableObject*>(o.get()))
        return o->klass->javaName() + (t->hasMessage ? ": " + utf8(t->message) : "");
    if (const auto* t = dynamic_cast<const ThreadObject*>(o.get())) return "thread " + quoted(utf16(t->thread->name));
    if (const auto* b = dynamic_cast<const BlobObject*>(o.get())) {
        const std::string& c = b->content;
        if (c.size() >= 2 && static_cast<unsigned char>(c[0]) == 0x77 &&
            static_cast<unsigned char>(c[1]) == c.size() - 2)
            return "object " + c.substr(2);
        return "blob:aced0005" + hexBytes(c);
    }
    std::string out = "<" + o->klass->javaName() + "#" + std::to_string(o->id);
    if (const auto* p = dynamic_cast<const PlainObject*>(o.get())) {
        if (p->width || p->height) out += " " + std::to_string(p->width) + "x" + std::to_string(p->height);
        if (auto it = p->fields.find("time"); it != p->fields.end()) out += " time=" + renderLocked(it->second);
        if (auto it = p->fields.find("argb"); it != p->fields.end()) {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, " %08lx", static_cast<unsigned long>(integral(it->second)));
            out += buffer;
        }
    }
    return out + ">";
}

std::string renderArgsLocked(const std::vector<Value>& args) {
    std::string out = "(";
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i) out += ", ";
        out += renderLocked(args[i]);
    }
    return out + ")";
}

// ---- References ---------------------------------------------------------------------------------

jobject newLocalLocked(JavaThread* thread, Ref object) {
    if (!object) return nullptr;
    if (!thread) {
        logError("internal: a local reference without a thread");
        return nullptr;
    }
    Vm& v = vm();
    v.refs.push_back({std::move(object), 'L', true, thread});
    const std::size_t index = v.refs.size() - 1;
    thread->frames.back().push_back(index);
    if (++thread->liveLocals > kLocalLeakThreshold && !thread->leakReported) {
        thread->leakReported = true;
        logError("thread " + quoted(utf16(thread->name)) + " holds more than " + std::to_string(kLocalLeakThreshold) +
                 " local references: they are not being deleted");
    }
    return encode(index, 'L');
}

jobject newGlobalLocked(Ref object, char kind) {
    if (!object) return nullptr;
    Vm& v = vm();
    v.refs.push_back({std::move(object), kind, true, nullptr});
    return encode(v.refs.size() - 1, kind);
}

Ref resolveLocked(jobject handle, const char* function, bool* ok) {
    if (ok) *ok = true;
    if (!handle) return {};
    std::size_t index = 0;
    char kind = 0;
    if (!decode(handle, index, kind)) {
        logError(std::string(function) + ": " + pointerText(handle) + " is not a JNI reference");
        if (ok) *ok = false;
        return {};
    }
    RefSlot& slot = vm().refs[index];
    if (!slot.live) {
        logError(std::string(function) + ": uses a deleted " + kindName(kind) + " reference");
        if (ok) *ok = false;
        return {};
    }
    if (kind == 'L' && slot.owner != currentThreadLocked())
        logError(std::string(function) + ": uses a local reference of thread " + quoted(utf16(slot.owner->name)) +
                 " on another thread");
    return slot.object;
}

char refKindLocked(jobject handle) {
    std::size_t index = 0;
    char kind = 0;
    if (!handle || !decode(handle, index, kind) || !vm().refs[index].live) return 0;
    return kind;
}

void deleteRefLocked(jobject handle, char kind, const char* function) {
    if (!handle) return;
    std::size_t index = 0;
    char actual = 0;
    if (!decode(handle, index, actual)) {
        logError(std::string(function) + ": " + pointerText(handle) + " is not a JNI reference");
        return;
    }
    RefSlot& slot = vm().refs[index];
    if (actual != kind) {
        logError(std::string(function) + ": deletes a " + kindName(actual) + " reference");
        return;
    }
    if (!slot.live) {
        logError(std::string(function) + ": deletes a " + kindName(kind) + " reference that is already deleted");
        return;
    }
    if (kind == 'L' && slot.owner != currentThreadLocked()) {
        logError(std::string(function) + ": deletes a local reference of another thread");
        return;
    }
    slot.live = false;
    slot.object.reset();
    if (kind == 'L' && slot.owner->liveLocals > 0) --slot.owner->liveLocals;
}

void pushFrameLocked(JavaThread* thread) {
    thread->frames.emplace_back();
}

void popFrameLocked(JavaThread* thread) {
    if (thread->frames.empty()) return;
    for (std::size_t index : thread->frames.back()) {
        RefSlot& slot = vm().refs[index];
        if (!slot.live) continue;
        slot.live = false;
        slot.object.reset();
        if (thread->liveLocals > 0) --thread->liveLocals;
    }
    thread->frames.pop_back();
    if (thread->frames.empty()) thread->frames.emplace_back();
}

void releaseAllLocalsLocked(JavaThread* thread) {
    while (thread->frames.size() > 1) popFrameLocked(thread);
    popFrameLocked(thread);
}

// ---- Threads ------------------------------------------------------------------------------------

JavaThread* currentThreadLocked() {
    Vm& v = vm();
    const unsigned long id = GetCurrentThreadId();
    if (auto it = v.attached.find(id); it != v.attached.end()) return it->second;
    for (const auto& t : v.threads)
        if (t->scripted && t->alive && t->osId == id) return t.get();
    return nullptr;
}

std::string threadLabel() {
    VmGuard guard;
    const JavaThread* t = currentThreadLocked();
    return t ? t->name : "native";
}

JavaThread* newThreadLocked(std::string name, bool daemon, bool scripted) {
    Vm& v = vm();
    auto t = std::make_shared<JavaThread>();
    t->env.jni.functions = functionTable();
    t->env.owner = t.get();
    t->name = name.empty() ? "Thread-" + std::to_string(v.threadNumber++) : std::move(name);
    t->daemon = daemon;
    t->scripted = scripted;
    v.threads.push_back(t);
    return t.get();
}

Ref threadMirrorLocked(JavaThread* thread) {
    if (!thread) return {};
    if (!thread->mirror) {
        for (const auto& t : vm().threads)
            if (t.get() == thread)
                thread->mirror = std::make_shared<ThreadObject>(findClassLocked("java/lang/Thread"), t);
    }
    return thread->mirror;
}

namespace {
struct ScriptedThreadStart {
    JavaThread* thread;
    long long milliseconds;
};

DWORD WINAPI scriptedThreadMain(void* raw) {
    auto* start = static_cast<ScriptedThreadStart*>(raw);
    JavaThread* thread = start->thread;
    const long long ms = start->milliseconds;
    delete start;
    Sleep(static_cast<DWORD>(ms));
    logLine("thread-end", quoted(utf16(thread->name)));
    thread->alive = false;
    return 0;
}
} // namespace

void startScriptedThread(const std::string& name, long long milliseconds, bool daemon) {
    JavaThread* thread = nullptr;
    {
        VmGuard guard;
        thread = newThreadLocked(name, daemon, true);
    }
    logLine("thread-start", quoted(utf16(thread->name)) + " for " + std::to_string(milliseconds) + " ms" +
                                (daemon ? " daemon" : ""));
    DWORD id = 0;
    // The thread is created suspended so that its identifier is known before it can log.
    HANDLE handle = CreateThread(nullptr, 0, &scriptedThreadMain, new ScriptedThreadStart{thread, milliseconds},
                                 CREATE_SUSPENDED, &id);
    if (!handle) {
        logError("could not start thread " + name);
        thread->alive = false;
        return;
    }
    {
        VmGuard guard;
        thread->osId = id;
    }
    ResumeThread(handle);
    CloseHandle(handle);
}

void throwLocked(JavaThread* thread, std::string_view klass, std::u16string message) {
    if (thread) thread->pending = newThrowableLocked(klass, std::move(message), true);
}

// ---- Calls --------------------------------------------------------------------------------------

Value Call::raise(std::string_view exceptionClass, std::u16string message) {
    VmGuard guard;
    throwLocked(thread, exceptionClass, std::move(message));
    return zeroValue(method->result);
}

PlainObject* Call::plain() const {
    return dynamic_cast<PlainObject*>(self.get());
}

long Call::intArg(std::size_t i) const {
    return i < args.size() ? static_cast<long>(integral(args[i])) : 0;
}
bool Call::boolArg(std::size_t i) const {
    return i < args.size() && integral(args[i]) != 0;
}
long long Call::longArg(std::size_t i) const {
    return i < args.size() ? integral(args[i]) : 0;
}
const Ref& Call::objArg(std::size_t i) const {
    static const Ref none;
    return i < args.size() ? args[i].object : none;
}
const std::u16string* Call::stringArg(std::size_t i) const {
    return stringText(objArg(i));
}

} // namespace tavrelo::standin
