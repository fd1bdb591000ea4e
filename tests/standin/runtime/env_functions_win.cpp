// The JNIEnv function table. Each function checks how it is called (right thread, live
// references, no pending exception, matching method kind and types) and logs every misuse as an
// error, then behaves as the JVM does. Functions the launcher has no use for log an error.
#include <windows.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

#include "runtime/runtime.h"

namespace tavrelo::standin {

namespace {

// ---- Entry checks -------------------------------------------------------------------------------

JavaThread* enter(JNIEnv* env, const char* function, bool exceptionSafe = false) {
    if (!env) {
        logError(std::string(function) + ": called with a null JNIEnv");
        return nullptr;
    }
    auto* block = reinterpret_cast<EnvBlock*>(env);
    if (block->jni.functions != functionTable()) {
        logError(std::string(function) + ": called with something that is not a JNIEnv");
        return nullptr;
    }
    JavaThread* thread = block->owner;
    VmGuard guard;
    if (vm().state != VmState::Running) {
        logError(std::string(function) + ": called " +
                 (vm().state == VmState::Destroyed ? "after DestroyJavaVM" : "before the VM exists"));
        return nullptr;
    }
    if (!thread->attached && !thread->scripted) {
        logError(std::string(function) + ": the JNIEnv of thread " + quoted(utf16(thread->name)) +
                 " is used after it detached");
        return nullptr;
    }
    if (thread->osId != GetCurrentThreadId())
        logError(std::string(function) + ": the JNIEnv of thread " + quoted(utf16(thread->name)) +
                 " is used on another thread");
    if (!exceptionSafe && thread->pending)
        logError(std::string(function) + ": called while an exception is pending (" +
                 renderLocked(Value::ofObject(thread->pending)) + ")");
    return thread;
}

Klass* classArgLocked(jclass clazz, const char* function) {
    bool ok = true;
    Ref r = resolveLocked(clazz, function, &ok);
    auto* c = dynamic_cast<ClassObject*>(r.get());
    if (!c && ok) logError(std::string(function) + ": " + (r ? renderLocked(Value::ofObject(r)) : "null") + " is not a class");
    return c ? c->represented : nullptr;
}

std::set<const void*>& knownIds() {
    static std::set<const void*> ids;
    return ids;
}
Method* methodArg(jmethodID id, const char* function) {
    if (!id || !knownIds().count(id)) {
        logError(std::string(function) + ": " + (id ? "not a method ID of this VM" : "a null method ID"));
        return nullptr;
    }
    return reinterpret_cast<Method*>(id);
}
jmethodID idOf(Method* m) {
    knownIds().insert(m);
    return reinterpret_cast<jmethodID>(m);
}

std::string describe(const Method* m) {
    return m->owner->javaName() + "." + m->name + m->signature;
}

char letterOf(const std::string& descriptor) {
    return descriptor[0] == '[' ? 'L' : descriptor[0];
}

// ---- Arguments ----------------------------------------------------------------------------------

struct ArgSource {
    va_list* list = nullptr;
    const jvalue* array = nullptr;
};

Value readArgLocked(ArgSource& source, const std::string& descriptor, const char* function, bool& ok) {
    Value v;
    v.type = letterOf(descriptor);
    jobject handle = nullptr;
    if (source.array) {
        const jvalue raw = *source.array++;
        if (v.type == 'L') handle = raw.l;
        else v.prim = raw;
    } else {
        switch (v.type) {
        case 'Z': v.prim.z = static_cast<jboolean>(va_arg(*source.list, int)); break;
        case 'B': v.prim.b = static_cast<jbyte>(va_arg(*source.list, int)); break;
        case 'C': v.prim.c = static_cast<jchar>(va_arg(*source.list, int)); break;
        case 'S': v.prim.s = static_cast<jshort>(va_arg(*source.list, int)); break;
        case 'I': v.prim.i = static_cast<jint>(va_arg(*source.list, int)); break;
        case 'J': v.prim.j = va_arg(*source.list, jlong); break;
        case 'F': v.prim.f = static_cast<jfloat>(va_arg(*source.list, double)); break;
        case 'D': v.prim.d = va_arg(*source.list, double); break;
        default: handle = va_arg(*source.list, jobject); break;
        }
    }
    if (v.type == 'L') {
        bool resolved = true;
        v.object = resolveLocked(handle, function, &resolved);
        ok = ok && resolved;
    }
    return v;
}

// ---- Calls --------------------------------------------------------------------------------------

enum class CallKind { Static, Virtual, Nonvirtual };

Value callMethod(JNIEnv* env, const char* function, CallKind kind, char expected, jobject target, jclass nonvirtualClass,
                 jmethodID id, ArgSource source) {
    JavaThread* thread = enter(env, function);
    if (!thread) return Value::none();
    Method* method = nullptr;
    Ref self;
    std::vector<Value> args;
    {
        VmGuard guard;
        method = methodArg(id, function);
        if (!method) return Value::none();
        if (letterOf(method->result) != expected)
            logError(std::string(function) + ": " + describe(method) + " returns " + method->result +
                     ", called through the function for " + std::string(1, expected));
        if (method->name == "<init>") logError(std::string(function) + ": calls a constructor; use NewObject");
        if (kind == CallKind::Static) {
            Klass* klass = classArgLocked(static_cast<jclass>(target), function);
            if (!klass) return zeroValue(method->result); // already reported
            if (!method->isStatic) logError(std::string(function) + ": " + describe(method) + " is not static");
            if (!klass->isSubclassOf(method->owner))
                logError(std::string(function) + ": " + describe(method) + " called on class " + klass->javaName());
        } else {
            bool ok = true;
            self = resolveLocked(target, function, &ok);
            if (method->isStatic) logError(std::string(function) + ": " + describe(method) + " is static");
            if (!self) {
                if (ok) logError(std::string(function) + ": " + describe(method) + " called on a null object");
                throwLocked(thread, "java/lang/NullPointerException", {});
                return zeroValue(method->result);
            }
            if (!self->klass->isSubclassOf(method->owner)) {
                logError(std::string(function) + ": " + describe(method) + " called on a " + self->klass->javaName());
                throwLocked(thread, "java/lang/IncompatibleClassChangeError", {});
                return zeroValue(method->result);
            }
            if (kind == CallKind::Virtual) {
                if (Method* actual = self->klass->find(method->name, method->signature, false)) method = actual;
            } else {
                (void)classArgLocked(nonvirtualClass, function);
            }
        }
        bool ok = true;
        for (std::size_t i = 0; i < method->params.size(); ++i) {
            Value v = readArgLocked(source, method->params[i], function, ok);
            if (!fitsLocked(v, method->params[i]))
                logError(std::string(function) + ": argument " + std::to_string(i + 1) + " of " + describe(method) +
                         " is " + renderLocked(v) + ", not a " + method->params[i]);
            args.push_back(std::move(v));
        }
    }
    return invokeMethod(thread, method, self, std::move(args));
}

JavaThread* ownerOf(JNIEnv* env) {
    return reinterpret_cast<EnvBlock*>(env)->owner;
}

jobject toObject(JNIEnv* env, const Value& v) {
    if (!v.object) return nullptr;
    VmGuard guard;
    return newLocalLocked(ownerOf(env), v.object);
}
jboolean toBoolean(JNIEnv*, const Value& v) {
    return v.prim.z;
}
jbyte toByte(JNIEnv*, const Value& v) {
    return v.prim.b;
}
jchar toChar(JNIEnv*, const Value& v) {
    return v.prim.c;
}
jshort toShort(JNIEnv*, const Value& v) {
    return v.prim.s;
}
jint toInt(JNIEnv*, const Value& v) {
    return v.prim.i;
}
jlong toLong(JNIEnv*, const Value& v) {
    return v.prim.j;
}
jfloat toFloat(JNIEnv*, const Value& v) {
    return v.prim.f;
}
jdouble toDouble(JNIEnv*, const Value& v) {
    return v.prim.d;
}
void toVoid(JNIEnv*, const Value&) {}

#define STANDIN_CALLS(Type, jtype, letter, convert)                                                                   \
    jtype JNICALL Call##Type##MethodV(JNIEnv* env, jobject obj, jmethodID id, va_list list) {                        \
        va_list copy;                                                                                                 \
        va_copy(copy, list);                                                                                          \
        const Value r = callMethod(env, "Call" #Type "MethodV", CallKind::Virtual, letter, obj, nullptr, id,         \
                                   ArgSource{&copy, nullptr});                                                        \
        va_end(copy);                                                                                                 \
        return convert(env, r);                                                                                       \
    }                                                                                                                 \
    jtype JNICALL Call##Type##Method(JNIEnv* env, jobject obj, jmethodID id, ...) {                                   \
        va_list list;                                                                                                 \
        va_start(list, id);                                                                                           \
        const Value r = callMethod(env, "Call" #Type "Method", CallKind::Virtual, letter, obj, nullptr, id,          \
                                   ArgSource{&list, nullptr});                                                        \
        va_end(list);                                                                                                 \
        return convert(env, r);                                                                                       \
    }                                                                                                                 \
    jtype JNICALL Call##Type##MethodA(JNIEnv* env, jobject obj, jmethodID id, const jvalue* values) {                \
        const Value r = callMethod(env, "Call" #Type "MethodA", CallKind::Virtual, letter, obj, nullptr, id,         \
                                   ArgSource{nullptr, values});                                                       \
        return convert(env, r);                                                                                       \
    }                                                                                                                 \
    jtype JNICALL CallNonvirtual##Type##MethodV(JNIEnv* env, jobject obj, jclass clazz, jmethodID id, va_list list) { \
        va_list copy;                                                                                                 \
        va_copy(copy, list);                                                                                          \
        const Value r = callMethod(env, "CallNonvirtual" #Type "MethodV", CallKind::Nonvirtual, letter, obj, clazz,  \
                                   id, ArgSource{&copy, nullptr});                                                    \
        va_end(copy);                                                                                                 \
        return convert(env, r);                                                                                       \
    }                                                                                                                 \
    jtype JNICALL CallNonvirtual##Type##Method(JNIEnv* env, jobject obj, jclass clazz, jmethodID id, ...) {           \
        va_list list;                                                                                                 \
        va_start(list, id);                                                                                           \
        const Value r = callMethod(env, "CallNonvirtual" #Type "Method", CallKind::Nonvirtual, letter, obj, clazz,   \
                                   id, ArgSource{&list, nullptr});                                                    \
        va_end(list);                                                                                                 \
        return convert(env, r);                                                                                       \
    }                                                                                                                 \
    jtype JNICALL CallNonvirtual##Type##MethodA(JNIEnv* env, jobject obj, jclass clazz, jmethodID id,                \
                                                const jvalue* values) {                                               \
        const Value r = callMethod(env, "CallNonvirtual" #Type "MethodA", CallKind::Nonvirtual, letter, obj, clazz,  \
                                   id, ArgSource{nullptr, values});                                                   \
        return convert(env, r);                                                                                       \
    }                                                                                                                 \
    jtype JNICALL CallStatic##Type##MethodV(JNIEnv* env, jclass clazz, jmethodID id, va_list list) {                 \
        va_list copy;                                                                                                 \
        va_copy(copy, list);                                                                                          \
        const Value r = callMethod(env, "CallStatic" #Type "MethodV", CallKind::Static, letter, clazz, nullptr, id,  \
                                   ArgSource{&copy, nullptr});                                                        \
        va_end(copy);                                                                                                 \
        return convert(env, r);                                                                                       \
    }                                                                                                                 \
    jtype JNICALL CallStatic##Type##Method(JNIEnv* env, jclass clazz, jmethodID id, ...) {                            \
        va_list list;                                                                                                 \
        va_start(list, id);                                                                                           \
        const Value r = callMethod(env, "CallStatic" #Type "Method", CallKind::Static, letter, clazz, nullptr, id,   \
                                   ArgSource{&list, nullptr});                                                        \
        va_end(list);                                                                                                 \
        return convert(env, r);                                                                                       \
    }                                                                                                                 \
    jtype JNICALL CallStatic##Type##MethodA(JNIEnv* env, jclass clazz, jmethodID id, const jvalue* values) {         \
        const Value r = callMethod(env, "CallStatic" #Type "MethodA", CallKind::Static, letter, clazz, nullptr, id,  \
                                   ArgSource{nullptr, values});                                                       \
        return convert(env, r);                                                                                       \
    }

STANDIN_CALLS(Object, jobject, 'L', toObject)
STANDIN_CALLS(Boolean, jboolean, 'Z', toBoolean)
STANDIN_CALLS(Byte, jbyte, 'B', toByte)
STANDIN_CALLS(Char, jchar, 'C', toChar)
STANDIN_CALLS(Short, jshort, 'S', toShort)
STANDIN_CALLS(Int, jint, 'I', toInt)
STANDIN_CALLS(Long, jlong, 'J', toLong)
STANDIN_CALLS(Float, jfloat, 'F', toFloat)
STANDIN_CALLS(Double, jdouble, 'D', toDouble)
STANDIN_CALLS(Void, void, 'V', toVoid)

// ---- Classes, methods and fields ----------------------------------------------------------------

jint JNICALL GetVersion(JNIEnv* env) {
    if (!enter(env, "GetVersion")) return 0;
    return 0x000a0000;
}

jclass JNICALL FindClass(JNIEnv* env, const char* name) {
    JavaThread* thread = enter(env, "FindClass");
    if (!thread) return nullptr;
    VmGuard guard;
    if (!name) {
        logError("FindClass: a null name");
        throwLocked(thread, "java/lang/NoClassDefFoundError", {});
        return nullptr;
    }
    const std::string_view n(name);
    if (n.find('.') != std::string_view::npos) {
        logError("FindClass: \"" + std::string(n) + "\" is written with dots; JNI class names use slashes");
        throwLocked(thread, "java/lang/NoClassDefFoundError", utf16(n));
        return nullptr;
    }
    if (Klass* klass = findClassLocked(n)) return static_cast<jclass>(newLocalLocked(thread, mirrorLocked(klass)));
    throwLocked(thread, "java/lang/NoClassDefFoundError", utf16(n));
    if (isJdkName(n)) logError("FindClass: " + std::string(n) + " is not a JDK class the stand-in knows");
    else logLine("class-missing", std::string(n));
    return nullptr;
}

jmethodID lookupMethod(JNIEnv* env, const char* function, jclass clazz, const char* name, const char* sig, bool wantStatic) {
    JavaThread* thread = enter(env, function);
    if (!thread) return nullptr;
    VmGuard guard;
    Klass* klass = classArgLocked(clazz, function);
    if (!klass) return nullptr;
    if (!name || !sig) {
        logError(std::string(function) + ": a null name or signature");
        throwLocked(thread, "java/lang/NoSuchMethodError", {});
        return nullptr;
    }
    const std::string what = klass->javaName() + "." + name + sig;
    std::vector<std::string> params;
    std::string result;
    if (!splitSignature(sig, params, result)) {
        logError(std::string(function) + ": " + what + ": the signature is malformed");
        throwLocked(thread, "java/lang/NoSuchMethodError", utf16(name));
        return nullptr;
    }
    Method* m = klass->find(name, sig, wantStatic);
    if (m && m->isStatic == wantStatic) return idOf(m);
    throwLocked(thread, "java/lang/NoSuchMethodError", utf16(name));
    if (m) {
        logError(std::string(function) + ": " + what + " is " + (m->isStatic ? "static" : "an instance method"));
        return nullptr;
    }
    // Same name, other signature: the caller's signature is wrong (or the scenario's).
    std::string others;
    for (const Klass* k = klass; k; k = k->super)
        for (const auto& candidate : k->methods)
            if (candidate->name == name) others += (others.empty() ? "" : ", ") + candidate->name + candidate->signature;
    if (!others.empty())
        logError(std::string(function) + ": " + what + " does not exist; " + klass->javaName() + " has " + others);
    else if (klass->jdk)
        logError(std::string(function) + ": " + what + " is not a JDK method the stand-in knows");
    else
        logLine("method-missing", what);
    return nullptr;
}

jmethodID JNICALL GetMethodID(JNIEnv* env, jclass clazz, const char* name, const char* sig) {
    return lookupMethod(env, "GetMethodID", clazz, name, sig, false);
}
jmethodID JNICALL GetStaticMethodID(JNIEnv* env, jclass clazz, const char* name, const char* sig) {
    return lookupMethod(env, "GetStaticMethodID", clazz, name, sig, true);
}

jfieldID JNICALL GetStaticFieldID(JNIEnv* env, jclass clazz, const char* name, const char* sig) {
    JavaThread* thread = enter(env, "GetStaticFieldID");
    if (!thread) return nullptr;
    VmGuard guard;
    Klass* klass = classArgLocked(clazz, "GetStaticFieldID");
    if (!klass || !name || !sig) return nullptr;
    for (const Klass* k = klass; k; k = k->super)
        for (const auto& f : k->fields)
            if (f->name == name && f->descriptor == sig) {
                knownIds().insert(f.get());
                return reinterpret_cast<jfieldID>(f.get());
            }
    throwLocked(thread, "java/lang/NoSuchFieldError", utf16(name));
    const std::string what = klass->javaName() + "." + name + " " + sig;
    if (klass->jdk) logError("GetStaticFieldID: " + what + " is not a JDK field the stand-in knows");
    else logLine("field-missing", what);
    return nullptr;
}

Value staticField(JNIEnv* env, const char* function, jclass clazz, jfieldID id, char expected) {
    if (!enter(env, function)) return Value::none();
    VmGuard guard;
    (void)classArgLocked(clazz, function);
    if (!id || !knownIds().count(id)) {
        logError(std::string(function) + ": not a field ID of this VM");
        return Value::none();
    }
    const auto* f = reinterpret_cast<const StaticField*>(id);
    if (letterOf(f->descriptor) != expected)
        logError(std::string(function) + ": the field " + f->owner->javaName() + "." + f->name + " is a " + f->descriptor);
    return f->value;
}
jobject JNICALL GetStaticObjectField(JNIEnv* env, jclass clazz, jfieldID id) {
    return toObject(env, staticField(env, "GetStaticObjectField", clazz, id, 'L'));
}
jboolean JNICALL GetStaticBooleanField(JNIEnv* env, jclass clazz, jfieldID id) {
    return staticField(env, "GetStaticBooleanField", clazz, id, 'Z').prim.z;
}
jbyte JNICALL GetStaticByteField(JNIEnv* env, jclass clazz, jfieldID id) {
    return staticField(env, "GetStaticByteField", clazz, id, 'B').prim.b;
}
jchar JNICALL GetStaticCharField(JNIEnv* env, jclass clazz, jfieldID id) {
    return staticField(env, "GetStaticCharField", clazz, id, 'C').prim.c;
}
jshort JNICALL GetStaticShortField(JNIEnv* env, jclass clazz, jfieldID id) {
    return staticField(env, "GetStaticShortField", clazz, id, 'S').prim.s;
}
jint JNICALL GetStaticIntField(JNIEnv* env, jclass clazz, jfieldID id) {
    return staticField(env, "GetStaticIntField", clazz, id, 'I').prim.i;
}
jlong JNICALL GetStaticLongField(JNIEnv* env, jclass clazz, jfieldID id) {
    return staticField(env, "GetStaticLongField", clazz, id, 'J').prim.j;
}
jfloat JNICALL GetStaticFloatField(JNIEnv* env, jclass clazz, jfieldID id) {
    return staticField(env, "GetStaticFloatField", clazz, id, 'F').prim.f;
}
jdouble JNICALL GetStaticDoubleField(JNIEnv* env, jclass clazz, jfieldID id) {
    return staticField(env, "GetStaticDoubleField", clazz, id, 'D').prim.d;
}

jclass JNICALL GetSuperclass(JNIEnv* env, jclass clazz) {
    JavaThread* thread = enter(env, "GetSuperclass");
    if (!thread) return nullptr;
    VmGuard guard;
    Klass* klass = classArgLocked(clazz, "GetSuperclass");
    if (!klass || klass->isInterface || !klass->super) return nullptr;
    return static_cast<jclass>(newLocalLocked(thread, mirrorLocked(klass->super)));
}

jboolean JNICALL IsAssignableFrom(JNIEnv* env, jclass from, jclass to) {
    if (!enter(env, "IsAssignableFrom")) return JNI_FALSE;
    VmGuard guard;
    Klass* a = classArgLocked(from, "IsAssignableFrom");
    Klass* b = classArgLocked(to, "IsAssignableFrom");
    return a && b && a->isSubclassOf(b) ? JNI_TRUE : JNI_FALSE;
}

jint JNICALL RegisterNatives(JNIEnv* env, jclass clazz, const JNINativeMethod* methods, jint count) {
    JavaThread* thread = enter(env, "RegisterNatives");
    if (!thread) return JNI_ERR;
    VmGuard guard;
    Klass* klass = classArgLocked(clazz, "RegisterNatives");
    if (!klass) return JNI_ERR;
    if (count < 0 || (count > 0 && !methods)) {
        logError("RegisterNatives: a bad method table");
        return JNI_ERR;
    }
    for (jint i = 0; i < count; ++i) {
        const JNINativeMethod& entry = methods[i];
        if (!entry.name || !entry.signature || !entry.fnPtr) {
            logError("RegisterNatives: an entry without name, signature or function");
            throwLocked(thread, "java/lang/NoSuchMethodError", {});
            return JNI_ERR;
        }
        const std::string what = klass->javaName() + "." + entry.name + entry.signature;
        Method* m = klass->declared(entry.name, entry.signature);
        if (!m || !m->isNative) {
            logError("RegisterNatives: " + what + (m ? " is not declared native" : " is not declared"));
            throwLocked(thread, "java/lang/NoSuchMethodError", utf16(entry.name));
            return JNI_ERR;
        }
        m->nativeCode = entry.fnPtr;
        logLine("register", what);
    }
    return JNI_OK;
}

jint JNICALL UnregisterNatives(JNIEnv* env, jclass clazz) {
    if (!enter(env, "UnregisterNatives")) return JNI_ERR;
    VmGuard guard;
    Klass* klass = classArgLocked(clazz, "UnregisterNatives");
    if (!klass) return JNI_ERR;
    for (auto& m : klass->methods) m->nativeCode = nullptr;
    logLine("unregister", klass->javaName());
    return JNI_OK;
}

// ---- Objects and references ---------------------------------------------------------------------

jobject newObject(JNIEnv* env, const char* function, jclass clazz, jmethodID id, ArgSource source) {
    JavaThread* thread = enter(env, function);
    if (!thread) return nullptr;
    Method* method = nullptr;
    Ref object;
    std::vector<Value> args;
    {
        VmGuard guard;
        Klass* klass = classArgLocked(clazz, function);
        method = methodArg(id, function);
        if (!klass || !method) return nullptr;
        if (method->name != "<init>" || method->owner != klass) {
            logError(std::string(function) + ": " + describe(method) + " is not a constructor of " + klass->javaName());
            return nullptr;
        }
        if (klass->isInterface) {
            throwLocked(thread, "java/lang/InstantiationException", utf16(klass->javaName()));
            return nullptr;
        }
        if (!klass->jdk) {
            logError(std::string(function) + ": application classes have no instances in the stand-in");
            return nullptr;
        }
        if (klass->isSubclassOf(findClassLocked("java/lang/Throwable")))
            object = std::make_shared<ThrowableObject>(klass, u"", false);
        else if (klass->name == "java/lang/String")
            object = newStringLocked(u"");
        else if (klass->name == "java/lang/Thread" || klass->name == "java/lang/Class") {
            logError(std::string(function) + ": the stand-in does not construct " + klass->javaName());
            return nullptr;
        } else
            object = newPlainLocked(klass);
        bool ok = true;
        for (std::size_t i = 0; i < method->params.size(); ++i) {
            Value v = readArgLocked(source, method->params[i], function, ok);
            if (!fitsLocked(v, method->params[i]))
                logError(std::string(function) + ": argument " + std::to_string(i + 1) + " of " + describe(method) +
                         " is " + renderLocked(v) + ", not a " + method->params[i]);
            args.push_back(std::move(v));
        }
    }
    (void)invokeMethod(thread, method, object, std::move(args));
    VmGuard guard;
    if (thread->pending) return nullptr;
    return newLocalLocked(thread, object);
}

jobject JNICALL NewObjectV(JNIEnv* env, jclass clazz, jmethodID id, va_list list) {
    va_list copy;
    va_copy(copy, list);
    jobject r = newObject(env, "NewObjectV", clazz, id, ArgSource{&copy, nullptr});
    va_end(copy);
    return r;
}
jobject JNICALL NewObject(JNIEnv* env, jclass clazz, jmethodID id, ...) {
    va_list list;
    va_start(list, id);
    jobject r = newObject(env, "NewObject", clazz, id, ArgSource{&list, nullptr});
    va_end(list);
    return r;
}
jobject JNICALL NewObjectA(JNIEnv* env, jclass clazz, jmethodID id, const jvalue* values) {
    return newObject(env, "NewObjectA", clazz, id, ArgSource{nullptr, values});
}

jclass JNICALL GetObjectClass(JNIEnv* env, jobject obj) {
    JavaThread* thread = enter(env, "GetObjectClass");
    if (!thread) return nullptr;
    VmGuard guard;
    Ref r = resolveLocked(obj, "GetObjectClass");
    if (!r) {
        logError("GetObjectClass: a null object");
        return nullptr;
    }
    return static_cast<jclass>(newLocalLocked(thread, mirrorLocked(r->klass)));
}

jboolean JNICALL IsInstanceOf(JNIEnv* env, jobject obj, jclass clazz) {
    if (!enter(env, "IsInstanceOf")) return JNI_FALSE;
    VmGuard guard;
    Ref r = resolveLocked(obj, "IsInstanceOf");
    Klass* klass = classArgLocked(clazz, "IsInstanceOf");
    return !r || (klass && isInstanceLocked(r, klass)) ? JNI_TRUE : JNI_FALSE;
}

jboolean JNICALL IsSameObject(JNIEnv* env, jobject a, jobject b) {
    if (!enter(env, "IsSameObject")) return JNI_FALSE;
    VmGuard guard;
    return resolveLocked(a, "IsSameObject") == resolveLocked(b, "IsSameObject") ? JNI_TRUE : JNI_FALSE;
}

jobject JNICALL NewGlobalRef(JNIEnv* env, jobject obj) {
    if (!enter(env, "NewGlobalRef")) return nullptr;
    VmGuard guard;
    return newGlobalLocked(resolveLocked(obj, "NewGlobalRef"), 'G');
}
jweak JNICALL NewWeakGlobalRef(JNIEnv* env, jobject obj) {
    if (!enter(env, "NewWeakGlobalRef")) return nullptr;
    VmGuard guard;
    return newGlobalLocked(resolveLocked(obj, "NewWeakGlobalRef"), 'W');
}
jobject JNICALL NewLocalRef(JNIEnv* env, jobject obj) {
    JavaThread* thread = enter(env, "NewLocalRef");
    if (!thread) return nullptr;
    VmGuard guard;
    return newLocalLocked(thread, resolveLocked(obj, "NewLocalRef"));
}
void JNICALL DeleteGlobalRef(JNIEnv* env, jobject obj) {
    if (!enter(env, "DeleteGlobalRef", true)) return;
    VmGuard guard;
    deleteRefLocked(obj, 'G', "DeleteGlobalRef");
}
void JNICALL DeleteWeakGlobalRef(JNIEnv* env, jweak obj) {
    if (!enter(env, "DeleteWeakGlobalRef", true)) return;
    VmGuard guard;
    deleteRefLocked(obj, 'W', "DeleteWeakGlobalRef");
}
void JNICALL DeleteLocalRef(JNIEnv* env, jobject obj) {
    if (!enter(env, "DeleteLocalRef", true)) return;
    VmGuard guard;
    deleteRefLocked(obj, 'L', "DeleteLocalRef");
}
jint JNICALL PushLocalFrame(JNIEnv* env, jint capacity) {
    JavaThread* thread = enter(env, "PushLocalFrame", true);
    if (!thread) return JNI_ERR;
    if (capacity < 0) {
        logError("PushLocalFrame: a negative capacity");
        return JNI_ERR;
    }
    VmGuard guard;
    pushFrameLocked(thread);
    ++thread->pushedFrames;
    return JNI_OK;
}
jobject JNICALL PopLocalFrame(JNIEnv* env, jobject result) {
    JavaThread* thread = enter(env, "PopLocalFrame", true);
    if (!thread) return nullptr;
    VmGuard guard;
    Ref kept = resolveLocked(result, "PopLocalFrame");
    if (thread->pushedFrames == 0) {
        logError("PopLocalFrame: no frame was pushed");
        return nullptr;
    }
    --thread->pushedFrames;
    popFrameLocked(thread);
    return newLocalLocked(thread, kept);
}
jint JNICALL EnsureLocalCapacity(JNIEnv* env, jint capacity) {
    if (!enter(env, "EnsureLocalCapacity")) return JNI_ERR;
    return capacity < 0 ? JNI_ERR : JNI_OK;
}
jobjectRefType JNICALL GetObjectRefType(JNIEnv* env, jobject obj) {
    if (!enter(env, "GetObjectRefType")) return JNIInvalidRefType;
    VmGuard guard;
    switch (refKindLocked(obj)) {
    case 'L': return JNILocalRefType;
    case 'G': return JNIGlobalRefType;
    case 'W': return JNIWeakGlobalRefType;
    default: return JNIInvalidRefType;
    }
}
jint JNICALL MonitorEnter(JNIEnv* env, jobject) {
    return enter(env, "MonitorEnter") ? JNI_OK : JNI_ERR;
}
jint JNICALL MonitorExit(JNIEnv* env, jobject) {
    return enter(env, "MonitorExit", true) ? JNI_OK : JNI_ERR;
}
jint JNICALL GetJavaVM(JNIEnv* env, JavaVM** out) {
    if (!enter(env, "GetJavaVM") || !out) return JNI_ERR;
    *out = &vm().javaVm;
    return JNI_OK;
}

// ---- Exceptions ---------------------------------------------------------------------------------

jint JNICALL Throw(JNIEnv* env, jthrowable obj) {
    JavaThread* thread = enter(env, "Throw");
    if (!thread) return JNI_ERR;
    VmGuard guard;
    Ref r = resolveLocked(obj, "Throw");
    if (!r || !isInstanceLocked(r, findClassLocked("java/lang/Throwable"))) {
        logError("Throw: " + renderLocked(Value::ofObject(r)) + " is not a throwable");
        return JNI_ERR;
    }
    thread->pending = r;
    return JNI_OK;
}

std::u16string fromModifiedUtf8(const char* bytes) {
    std::u16string out;
    for (const auto* p = reinterpret_cast<const unsigned char*>(bytes); *p;) {
        if (*p < 0x80) {
            out.push_back(*p++);
        } else if ((*p >> 5) == 6 && p[1]) {
            out.push_back(static_cast<char16_t>(((p[0] & 0x1F) << 6) | (p[1] & 0x3F)));
            p += 2;
        } else if ((*p >> 4) == 14 && p[1] && p[2]) {
            out.push_back(static_cast<char16_t>(((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F)));
            p += 3;
        } else {
            out.push_back(u'\xFFFD');
            ++p;
        }
    }
    return out;
}

std::string toModifiedUtf8(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c != 0 && c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

jint JNICALL ThrowNew(JNIEnv* env, jclass clazz, const char* message) {
    JavaThread* thread = enter(env, "ThrowNew");
    if (!thread) return JNI_ERR;
    VmGuard guard;
    Klass* klass = classArgLocked(clazz, "ThrowNew");
    if (!klass || !klass->isSubclassOf(findClassLocked("java/lang/Throwable"))) {
        logError("ThrowNew: not a throwable class");
        return JNI_ERR;
    }
    thread->pending = std::make_shared<ThrowableObject>(klass, message ? fromModifiedUtf8(message) : u"", message != nullptr);
    return JNI_OK;
}
jthrowable JNICALL ExceptionOccurred(JNIEnv* env) {
    JavaThread* thread = enter(env, "ExceptionOccurred", true);
    if (!thread) return nullptr;
    VmGuard guard;
    return static_cast<jthrowable>(newLocalLocked(thread, thread->pending));
}
void JNICALL ExceptionDescribe(JNIEnv* env) {
    JavaThread* thread = enter(env, "ExceptionDescribe", true);
    if (!thread) return;
    std::string text;
    {
        VmGuard guard;
        if (!thread->pending) return;
        const std::string what = renderLocked(Value::ofObject(thread->pending));
        thread->pending.reset();
        logLine("describe", what);
        text = "Exception in thread \"" + thread->name + "\" " + what + "\r\n\tat (stand-in runtime)\r\n";
    }
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
void JNICALL ExceptionClear(JNIEnv* env) {
    JavaThread* thread = enter(env, "ExceptionClear", true);
    if (!thread) return;
    VmGuard guard;
    thread->pending.reset();
}
jboolean JNICALL ExceptionCheck(JNIEnv* env) {
    JavaThread* thread = enter(env, "ExceptionCheck", true);
    if (!thread) return JNI_FALSE;
    VmGuard guard;
    return thread->pending ? JNI_TRUE : JNI_FALSE;
}
void JNICALL FatalError(JNIEnv* env, const char* message) {
    (void)enter(env, "FatalError", true);
    const std::string text = std::string("FATAL ERROR in native method: ") + (message ? message : "") + "\r\n";
    logError(text.substr(0, text.size() - 2));
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (vm().abortHook) vm().abortHook();
    ExitProcess(1);
}

// ---- Strings ------------------------------------------------------------------------------------

const std::u16string* stringArgLocked(jstring s, const char* function, Ref& holder) {
    bool ok = true;
    holder = resolveLocked(s, function, &ok);
    const auto* text = stringText(holder);
    if (!text && ok) logError(std::string(function) + ": " + renderLocked(Value::ofObject(holder)) + " is not a string");
    return text;
}

jstring JNICALL NewString(JNIEnv* env, const jchar* chars, jsize length) {
    JavaThread* thread = enter(env, "NewString");
    if (!thread) return nullptr;
    if (length < 0 || (length > 0 && !chars)) {
        logError("NewString: a negative length or null characters");
        return nullptr;
    }
    VmGuard guard;
    return static_cast<jstring>(newLocalLocked(
        thread, newStringLocked(std::u16string(reinterpret_cast<const char16_t*>(chars), static_cast<std::size_t>(length)))));
}
jstring JNICALL NewStringUTF(JNIEnv* env, const char* bytes) {
    JavaThread* thread = enter(env, "NewStringUTF");
    if (!thread || !bytes) return nullptr;
    VmGuard guard;
    return static_cast<jstring>(newLocalLocked(thread, newStringLocked(fromModifiedUtf8(bytes))));
}
jsize JNICALL GetStringLength(JNIEnv* env, jstring s) {
    if (!enter(env, "GetStringLength")) return 0;
    VmGuard guard;
    Ref holder;
    const auto* text = stringArgLocked(s, "GetStringLength", holder);
    return text ? static_cast<jsize>(text->size()) : 0;
}
jsize JNICALL GetStringUTFLength(JNIEnv* env, jstring s) {
    if (!enter(env, "GetStringUTFLength")) return 0;
    VmGuard guard;
    Ref holder;
    const auto* text = stringArgLocked(s, "GetStringUTFLength", holder);
    return text ? static_cast<jsize>(toModifiedUtf8(*text).size()) : 0;
}

// The copy has no terminating NUL (JNI does not promise one): the two units after the text
// are U+FFFF, so a caller that relies on a terminator shows it.
const jchar* stringChars(JNIEnv* env, const char* function, jstring s, jboolean* isCopy) {
    if (!enter(env, function)) return nullptr;
    VmGuard guard;
    Ref holder;
    const auto* text = stringArgLocked(s, function, holder);
    if (!text) return nullptr;
    auto* copy = static_cast<jchar*>(std::malloc((text->size() + 2) * sizeof(jchar)));
    if (!text->empty()) std::memcpy(copy, text->data(), text->size() * sizeof(jchar));
    copy[text->size()] = 0xFFFF;
    copy[text->size() + 1] = 0xFFFF;
    vm().pins[copy] = Pin{holder, text->size() * sizeof(jchar), false};
    if (isCopy) *isCopy = JNI_TRUE;
    return copy;
}
void releaseChars(JNIEnv* env, const char* function, jstring s, const void* chars, bool utf) {
    if (!enter(env, function, true)) return;
    VmGuard guard;
    Ref holder = resolveLocked(s, function);
    auto it = vm().pins.find(chars);
    if (it == vm().pins.end() || it->second.utf != utf) {
        logError(std::string(function) + ": the characters were not obtained from " +
                 (utf ? "GetStringUTFChars" : "GetStringChars"));
        return;
    }
    if (it->second.object != holder) logError(std::string(function) + ": the characters belong to another string");
    vm().pins.erase(it);
    std::free(const_cast<void*>(chars));
}
const jchar* JNICALL GetStringChars(JNIEnv* env, jstring s, jboolean* isCopy) {
    return stringChars(env, "GetStringChars", s, isCopy);
}
void JNICALL ReleaseStringChars(JNIEnv* env, jstring s, const jchar* chars) {
    releaseChars(env, "ReleaseStringChars", s, chars, false);
}
const jchar* JNICALL GetStringCritical(JNIEnv* env, jstring s, jboolean* isCopy) {
    return stringChars(env, "GetStringCritical", s, isCopy);
}
void JNICALL ReleaseStringCritical(JNIEnv* env, jstring s, const jchar* chars) {
    releaseChars(env, "ReleaseStringCritical", s, chars, false);
}
const char* JNICALL GetStringUTFChars(JNIEnv* env, jstring s, jboolean* isCopy) {
    if (!enter(env, "GetStringUTFChars")) return nullptr;
    VmGuard guard;
    Ref holder;
    const auto* text = stringArgLocked(s, "GetStringUTFChars", holder);
    if (!text) return nullptr;
    const std::string bytes = toModifiedUtf8(*text);
    auto* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
    std::memcpy(copy, bytes.c_str(), bytes.size() + 1);
    vm().pins[copy] = Pin{holder, bytes.size(), true};
    if (isCopy) *isCopy = JNI_TRUE;
    return copy;
}
void JNICALL ReleaseStringUTFChars(JNIEnv* env, jstring s, const char* chars) {
    releaseChars(env, "ReleaseStringUTFChars", s, chars, true);
}
void JNICALL GetStringRegion(JNIEnv* env, jstring s, jsize start, jsize length, jchar* buffer) {
    JavaThread* thread = enter(env, "GetStringRegion");
    if (!thread) return;
    VmGuard guard;
    Ref holder;
    const auto* text = stringArgLocked(s, "GetStringRegion", holder);
    if (!text) return;
    if (start < 0 || length < 0 || static_cast<std::size_t>(start) + static_cast<std::size_t>(length) > text->size()) {
        throwLocked(thread, "java/lang/StringIndexOutOfBoundsException", {});
        return;
    }
    if (length > 0) std::memcpy(buffer, text->data() + start, static_cast<std::size_t>(length) * sizeof(jchar));
}
void JNICALL GetStringUTFRegion(JNIEnv* env, jstring s, jsize start, jsize length, char* buffer) {
    JavaThread* thread = enter(env, "GetStringUTFRegion");
    if (!thread) return;
    VmGuard guard;
    Ref holder;
    const auto* text = stringArgLocked(s, "GetStringUTFRegion", holder);
    if (!text) return;
    if (start < 0 || length < 0 || static_cast<std::size_t>(start) + static_cast<std::size_t>(length) > text->size()) {
        throwLocked(thread, "java/lang/StringIndexOutOfBoundsException", {});
        return;
    }
    const std::string bytes =
        toModifiedUtf8(std::u16string_view(*text).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length)));
    std::memcpy(buffer, bytes.c_str(), bytes.size() + 1);
}

// ---- Arrays -------------------------------------------------------------------------------------

ArrayObject* arrayArgLocked(jarray a, const char* function, char element, Ref& holder) {
    bool ok = true;
    holder = resolveLocked(a, function, &ok);
    auto* array = dynamic_cast<ArrayObject*>(holder.get());
    if (!array) {
        if (ok) logError(std::string(function) + ": " + renderLocked(Value::ofObject(holder)) + " is not an array");
        return nullptr;
    }
    if (element && array->elementType != element) {
        logError(std::string(function) + ": the array is a " + array->klass->javaName());
        return nullptr;
    }
    return array;
}

bool inBounds(const ArrayObject* a, jsize start, jsize length) {
    return start >= 0 && length >= 0 && static_cast<std::size_t>(start) + static_cast<std::size_t>(length) <= a->length();
}

std::u16string outOfBounds(long index, std::size_t length) {
    return utf16("Index " + std::to_string(index) + " out of bounds for length " + std::to_string(length));
}

jsize JNICALL GetArrayLength(JNIEnv* env, jarray a) {
    if (!enter(env, "GetArrayLength")) return 0;
    VmGuard guard;
    Ref holder;
    ArrayObject* array = arrayArgLocked(a, "GetArrayLength", 0, holder);
    return array ? static_cast<jsize>(array->length()) : 0;
}

jobjectArray JNICALL NewObjectArray(JNIEnv* env, jsize length, jclass elementClass, jobject initial) {
    JavaThread* thread = enter(env, "NewObjectArray");
    if (!thread) return nullptr;
    VmGuard guard;
    Klass* element = classArgLocked(elementClass, "NewObjectArray");
    if (!element) return nullptr;
    if (length < 0) {
        throwLocked(thread, "java/lang/NegativeArraySizeException", utf16(std::to_string(length)));
        return nullptr;
    }
    const std::string name = element->isArray() ? "[" + element->name : "[L" + element->name + ";";
    Ref array = newArrayLocked(findClassLocked(name), static_cast<std::size_t>(length));
    Ref init = resolveLocked(initial, "NewObjectArray");
    if (init && !isInstanceLocked(init, element)) logError("NewObjectArray: the initial element does not fit the array");
    for (Ref& e : static_cast<ArrayObject*>(array.get())->elements) e = init;
    return static_cast<jobjectArray>(newLocalLocked(thread, array));
}

jobject JNICALL GetObjectArrayElement(JNIEnv* env, jobjectArray a, jsize index) {
    JavaThread* thread = enter(env, "GetObjectArrayElement");
    if (!thread) return nullptr;
    VmGuard guard;
    Ref holder;
    ArrayObject* array = arrayArgLocked(a, "GetObjectArrayElement", 'L', holder);
    if (!array) return nullptr;
    if (!inBounds(array, index, 1)) {
        throwLocked(thread, "java/lang/ArrayIndexOutOfBoundsException", outOfBounds(index, array->length()));
        return nullptr;
    }
    return newLocalLocked(thread, array->elements[static_cast<std::size_t>(index)]);
}

void JNICALL SetObjectArrayElement(JNIEnv* env, jobjectArray a, jsize index, jobject value) {
    JavaThread* thread = enter(env, "SetObjectArrayElement");
    if (!thread) return;
    VmGuard guard;
    Ref holder;
    ArrayObject* array = arrayArgLocked(a, "SetObjectArrayElement", 'L', holder);
    if (!array) return;
    if (!inBounds(array, index, 1)) {
        throwLocked(thread, "java/lang/ArrayIndexOutOfBoundsException", outOfBounds(index, array->length()));
        return;
    }
    Ref v = resolveLocked(value, "SetObjectArrayElement");
    if (v && array->klass->component && !isInstanceLocked(v, array->klass->component)) {
        throwLocked(thread, "java/lang/ArrayStoreException", utf16(v->klass->javaName()));
        return;
    }
    array->elements[static_cast<std::size_t>(index)] = v;
}

jarray newPrimitiveArray(JNIEnv* env, const char* function, const char* name, jsize length) {
    JavaThread* thread = enter(env, function);
    if (!thread) return nullptr;
    VmGuard guard;
    if (length < 0) {
        throwLocked(thread, "java/lang/NegativeArraySizeException", utf16(std::to_string(length)));
        return nullptr;
    }
    return static_cast<jarray>(newLocalLocked(thread, newArrayLocked(findClassLocked(name), static_cast<std::size_t>(length))));
}

void* arrayElements(JNIEnv* env, const char* function, jarray a, char element, jboolean* isCopy) {
    if (!enter(env, function)) return nullptr;
    VmGuard guard;
    Ref holder;
    ArrayObject* array = arrayArgLocked(a, function, element, holder);
    if (!array) return nullptr;
    if (array->elementType == 'L') {
        logError(std::string(function) + ": the array holds references");
        return nullptr;
    }
    void* copy = std::malloc(array->data.empty() ? 1 : array->data.size());
    if (!array->data.empty()) std::memcpy(copy, array->data.data(), array->data.size());
    vm().pins[copy] = Pin{holder, array->data.size(), false};
    if (isCopy) *isCopy = JNI_TRUE;
    return copy;
}

void releaseArrayElements(JNIEnv* env, const char* function, jarray a, void* elements, jint mode) {
    if (!enter(env, function, true)) return;
    VmGuard guard;
    Ref holder = resolveLocked(a, function);
    auto it = vm().pins.find(elements);
    if (it == vm().pins.end() || it->second.utf) {
        logError(std::string(function) + ": the elements were not obtained from this array");
        return;
    }
    if (it->second.object != holder) logError(std::string(function) + ": the elements belong to another array");
    auto* array = dynamic_cast<ArrayObject*>(it->second.object.get());
    if (mode != JNI_ABORT && array && !array->data.empty())
        std::memcpy(array->data.data(), elements, array->data.size());
    if (mode == JNI_COMMIT) return;
    if (mode != 0 && mode != JNI_ABORT) logError(std::string(function) + ": an unknown mode " + std::to_string(mode));
    vm().pins.erase(it);
    std::free(elements);
}

void arrayRegion(JNIEnv* env, const char* function, jarray a, char element, jsize start, jsize length, void* buffer,
                 bool write) {
    JavaThread* thread = enter(env, function);
    if (!thread) return;
    VmGuard guard;
    Ref holder;
    ArrayObject* array = arrayArgLocked(a, function, element, holder);
    if (!array) return;
    if (!inBounds(array, start, length)) {
        throwLocked(thread, "java/lang/ArrayIndexOutOfBoundsException",
                    utf16("Array region " + std::to_string(start) + ".." + std::to_string(static_cast<long long>(start) + length) +
                          " out of bounds for length " + std::to_string(array->length())));
        return;
    }
    const std::size_t size = array->elementSize();
    unsigned char* at = array->data.data() + static_cast<std::size_t>(start) * size;
    if (length == 0) return;
    if (!buffer) {
        logError(std::string(function) + ": a null buffer");
        return;
    }
    if (write) std::memcpy(at, buffer, static_cast<std::size_t>(length) * size);
    else std::memcpy(buffer, at, static_cast<std::size_t>(length) * size);
}

#define STANDIN_ARRAYS(Type, jtype, letter, name)                                                                  \
    jtype##Array JNICALL New##Type##Array(JNIEnv* env, jsize length) {                                             \
        return static_cast<jtype##Array>(newPrimitiveArray(env, "New" #Type "Array", name, length));               \
    }                                                                                                              \
    jtype* JNICALL Get##Type##ArrayElements(JNIEnv* env, jtype##Array a, jboolean* isCopy) {                       \
        return static_cast<jtype*>(arrayElements(env, "Get" #Type "ArrayElements", a, letter, isCopy));            \
    }                                                                                                              \
    void JNICALL Release##Type##ArrayElements(JNIEnv* env, jtype##Array a, jtype* elements, jint mode) {           \
        releaseArrayElements(env, "Release" #Type "ArrayElements", a, elements, mode);                             \
    }                                                                                                              \
    void JNICALL Get##Type##ArrayRegion(JNIEnv* env, jtype##Array a, jsize start, jsize length, jtype* buffer) {   \
        arrayRegion(env, "Get" #Type "ArrayRegion", a, letter, start, length, buffer, false);                      \
    }                                                                                                              \
    void JNICALL Set##Type##ArrayRegion(JNIEnv* env, jtype##Array a, jsize start, jsize length,                    \
                                        const jtype* buffer) {                                                     \
        arrayRegion(env, "Set" #Type "ArrayRegion", a, letter, start, length, const_cast<jtype*>(buffer), true);   \
    }

STANDIN_ARRAYS(Boolean, jboolean, 'Z', "[Z")
STANDIN_ARRAYS(Byte, jbyte, 'B', "[B")
STANDIN_ARRAYS(Char, jchar, 'C', "[C")
STANDIN_ARRAYS(Short, jshort, 'S', "[S")
STANDIN_ARRAYS(Int, jint, 'I', "[I")
STANDIN_ARRAYS(Long, jlong, 'J', "[J")
STANDIN_ARRAYS(Float, jfloat, 'F', "[F")
STANDIN_ARRAYS(Double, jdouble, 'D', "[D")

void* JNICALL GetPrimitiveArrayCritical(JNIEnv* env, jarray a, jboolean* isCopy) {
    return arrayElements(env, "GetPrimitiveArrayCritical", a, 0, isCopy);
}
void JNICALL ReleasePrimitiveArrayCritical(JNIEnv* env, jarray a, void* elements, jint mode) {
    releaseArrayElements(env, "ReleasePrimitiveArrayCritical", a, elements, mode);
}

// ---- Functions the launcher has no business calling -----------------------------------------------

constexpr const char* kFunctionNames[] = {
#include "runtime/jni_function_names.inc"
};
constexpr std::size_t kSlots = sizeof(kFunctionNames) / sizeof(kFunctionNames[0]);

template <std::size_t Index>
void* JNICALL unsupported(JNIEnv* env) {
    (void)enter(env, kFunctionNames[Index], true);
    logError(std::string(kFunctionNames[Index]) + ": the stand-in does not provide this JNI function");
    return nullptr;
}

template <std::size_t... Index>
void fillUnsupported(void** slots, std::index_sequence<Index...>) {
    ((slots[Index] = reinterpret_cast<void*>(&unsupported<Index>)), ...);
}

JNINativeInterface_ buildTable() {
    static_assert(sizeof(JNINativeInterface_) == kSlots * sizeof(void*), "one name per slot of the table");
    JNINativeInterface_ t{};
    void* slots[kSlots] = {};
    fillUnsupported(slots, std::make_index_sequence<kSlots>{});
    for (std::size_t i = 0; i < 4; ++i) slots[i] = nullptr; // the reserved slots
    std::memcpy(static_cast<void*>(&t), slots, sizeof t);

    t.GetVersion = &GetVersion;
    t.FindClass = &FindClass;
    t.GetSuperclass = &GetSuperclass;
    t.IsAssignableFrom = &IsAssignableFrom;
    t.Throw = &Throw;
    t.ThrowNew = &ThrowNew;
    t.ExceptionOccurred = &ExceptionOccurred;
    t.ExceptionDescribe = &ExceptionDescribe;
    t.ExceptionClear = &ExceptionClear;
    t.FatalError = &FatalError;
    t.PushLocalFrame = &PushLocalFrame;
    t.PopLocalFrame = &PopLocalFrame;
    t.NewGlobalRef = &NewGlobalRef;
    t.DeleteGlobalRef = &DeleteGlobalRef;
    t.DeleteLocalRef = &DeleteLocalRef;
    t.IsSameObject = &IsSameObject;
    t.NewLocalRef = &NewLocalRef;
    t.EnsureLocalCapacity = &EnsureLocalCapacity;
    t.NewObject = &NewObject;
    t.NewObjectV = &NewObjectV;
    t.NewObjectA = &NewObjectA;
    t.GetObjectClass = &GetObjectClass;
    t.IsInstanceOf = &IsInstanceOf;
    t.GetMethodID = &GetMethodID;
    t.GetStaticMethodID = &GetStaticMethodID;
#define STANDIN_SET_CALLS(Type)                                                                                      \
    t.Call##Type##Method = &Call##Type##Method;                                                                      \
    t.Call##Type##MethodV = &Call##Type##MethodV;                                                                    \
    t.Call##Type##MethodA = &Call##Type##MethodA;                                                                    \
    t.CallNonvirtual##Type##Method = &CallNonvirtual##Type##Method;                                                  \
    t.CallNonvirtual##Type##MethodV = &CallNonvirtual##Type##MethodV;                                                \
    t.CallNonvirtual##Type##MethodA = &CallNonvirtual##Type##MethodA;                                                \
    t.CallStatic##Type##Method = &CallStatic##Type##Method;                                                          \
    t.CallStatic##Type##MethodV = &CallStatic##Type##MethodV;                                                        \
    t.CallStatic##Type##MethodA = &CallStatic##Type##MethodA;
    STANDIN_SET_CALLS(Object)
    STANDIN_SET_CALLS(Boolean)
    STANDIN_SET_CALLS(Byte)
    STANDIN_SET_CALLS(Char)
    STANDIN_SET_CALLS(Short)
    STANDIN_SET_CALLS(Int)
    STANDIN_SET_CALLS(Long)
    STANDIN_SET_CALLS(Float)
    STANDIN_SET_CALLS(Double)
    STANDIN_SET_CALLS(Void)
    t.GetStaticFieldID = &GetStaticFieldID;
    t.GetStaticObjectField = &GetStaticObjectField;
    t.GetStaticBooleanField = &GetStaticBooleanField;
    t.GetStaticByteField = &GetStaticByteField;
    t.GetStaticCharField = &GetStaticCharField;
    t.GetStaticShortField = &GetStaticShortField;
    t.GetStaticIntField = &GetStaticIntField;
    t.GetStaticLongField = &GetStaticLongField;
    t.GetStaticFloatField = &GetStaticFloatField;
    t.GetStaticDoubleField = &GetStaticDoubleField;
    t.NewString = &NewString;
    t.GetStringLength = &GetStringLength;
    t.GetStringChars = &GetStringChars;
    t.ReleaseStringChars = &ReleaseStringChars;
    t.NewStringUTF = &NewStringUTF;
    t.GetStringUTFLength = &GetStringUTFLength;
    t.GetStringUTFChars = &GetStringUTFChars;
    t.ReleaseStringUTFChars = &ReleaseStringUTFChars;
    t.GetArrayLength = &GetArrayLength;
    t.NewObjectArray = &NewObjectArray;
    t.GetObjectArrayElement = &GetObjectArrayElement;
    t.SetObjectArrayElement = &SetObjectArrayElement;
#define STANDIN_SET_ARRAYS(Type)                                                                                     \
    t.New##Type##Array = &New##Type##Array;                                                                          \
    t.Get##Type##ArrayElements = &Get##Type##ArrayElements;                                                          \
    t.Release##Type##ArrayElements = &Release##Type##ArrayElements;                                                  \
    t.Get##Type##ArrayRegion = &Get##Type##ArrayRegion;                                                              \
    t.Set##Type##ArrayRegion = &Set##Type##ArrayRegion;
    STANDIN_SET_ARRAYS(Boolean)
    STANDIN_SET_ARRAYS(Byte)
    STANDIN_SET_ARRAYS(Char)
    STANDIN_SET_ARRAYS(Short)
    STANDIN_SET_ARRAYS(Int)
    STANDIN_SET_ARRAYS(Long)
    STANDIN_SET_ARRAYS(Float)
    STANDIN_SET_ARRAYS(Double)
    t.RegisterNatives = &RegisterNatives;
    t.UnregisterNatives = &UnregisterNatives;
    t.MonitorEnter = &MonitorEnter;
    t.MonitorExit = &MonitorExit;
    t.GetJavaVM = &GetJavaVM;
    t.GetStringRegion = &GetStringRegion;
    t.GetStringUTFRegion = &GetStringUTFRegion;
    t.GetPrimitiveArrayCritical = &GetPrimitiveArrayCritical;
    t.ReleasePrimitiveArrayCritical = &ReleasePrimitiveArrayCritical;
    t.GetStringCritical = &GetStringCritical;
    t.ReleaseStringCritical = &ReleaseStringCritical;
    t.NewWeakGlobalRef = &NewWeakGlobalRef;
    t.DeleteWeakGlobalRef = &DeleteWeakGlobalRef;
    t.ExceptionCheck = &ExceptionCheck;
    t.GetObjectRefType = &GetObjectRefType;
    return t;
}

} // namespace

const JNINativeInterface_* functionTable() {
    static const JNINativeInterface_ table = buildTable();
    return &table;
}

} // namespace tavrelo::standin
