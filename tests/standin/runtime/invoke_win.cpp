// Running a method: a built-in JDK handler, a scenario method, or a native the launcher
// registered. Every call is logged with its arguments and the thread it runs on.
#include <windows.h>

#include <cstring>

#include "runtime/runtime.h"

namespace tavrelo::standin {

namespace {

std::string describe(const Method* m) {
    return m->owner->javaName() + "." + m->name + m->signature;
}

void writeStd(DWORD which, const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(which), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void scenarioError(int line, const std::string& what) {
    logError("scenario line " + std::to_string(line) + ": " + what);
}

// A scenario value made real, for a parameter or result of type `descriptor`.
bool materializeLocked(const ScriptValue& sv, std::string_view descriptor, const std::vector<Value>& args, int line,
                       Value& out) {
    using K = ScriptValue::Kind;
    const char t = descriptor[0];
    out = zeroValue(descriptor);
    switch (sv.kind) {
    case K::Arg:
        if (static_cast<std::size_t>(sv.number) > args.size()) {
            scenarioError(line, "arg " + std::to_string(sv.number) + " but the method has " +
                                    std::to_string(args.size()) + " arguments");
            return false;
        }
        out = args[static_cast<std::size_t>(sv.number - 1)];
        break;
    case K::Null: out = Value::ofObject(nullptr); break;
    case K::Boolean: out = Value::ofBoolean(sv.boolean); break;
    case K::Number:
    case K::Real:
        out.type = t;
        switch (t) {
        case 'B': out.prim.b = static_cast<jbyte>(sv.number); break;
        case 'C': out.prim.c = static_cast<jchar>(sv.number); break;
        case 'S': out.prim.s = static_cast<jshort>(sv.number); break;
        case 'I': out.prim.i = static_cast<jint>(sv.number); break;
        case 'J': out.prim.j = sv.number; break;
        case 'F': out.prim.f = static_cast<jfloat>(sv.kind == K::Real ? sv.real : static_cast<double>(sv.number)); break;
        case 'D': out.prim.d = sv.kind == K::Real ? sv.real : static_cast<double>(sv.number); break;
        default: break;
        }
        break;
    case K::String: out = Value::ofObject(newStringLocked(sv.text)); break;
    case K::Object:
        out = Value::ofObject(std::make_shared<BlobObject>(findClassLocked("tavrelo/standin/Opaque"),
                                                           objectLabelContent(sv.name)));
        break;
    case K::Blob: {
        std::string content = sv.name;
        if (content.compare(0, 4, "\xAC\xED\x00\x05", 4) == 0) content = content.substr(4);
        out = Value::ofObject(std::make_shared<BlobObject>(findClassLocked("tavrelo/standin/Opaque"), content));
        break;
    }
    case K::New: {
        Ref object = newJdkObjectLocked(findClassLocked(sv.name));
        if (!object) {
            scenarioError(line, "new " + sv.name + ": not a built-in class with a no-argument constructor");
            return false;
        }
        out = Value::ofObject(object);
        break;
    }
    case K::Image: out = Value::ofObject(makeImageLocked(sv.width, sv.height, sv.argb)); break;
    case K::Array: {
        Klass* arrayClass = findClassLocked(descriptor);
        Ref array = newArrayLocked(arrayClass, sv.items.size());
        if (!array) {
            scenarioError(line, "no array class " + std::string(descriptor));
            return false;
        }
        auto* a = static_cast<ArrayObject*>(array.get());
        for (std::size_t i = 0; i < sv.items.size(); ++i) {
            Value item;
            if (!materializeLocked(sv.items[i], descriptor.substr(1), args, line, item)) return false;
            if (a->elementType == 'L') a->elements[i] = item.object;
            else std::memcpy(a->data.data() + i * a->elementSize(), &item.prim, a->elementSize());
        }
        out = Value::ofObject(array);
        break;
    }
    }
    if (!fitsLocked(out, descriptor)) {
        scenarioError(line, "the value " + renderLocked(out) + " does not fit type " + std::string(descriptor));
        out = zeroValue(descriptor);
        return false;
    }
    return true;
}

Ref firstGraphics(const std::vector<Value>& args) {
    Klass* graphics = findClassLocked("java/awt/Graphics");
    for (const Value& v : args)
        if (v.type == 'L' && isInstanceLocked(v.object, graphics)) return v.object;
    return {};
}

} // namespace

[[noreturn]] void exitVm(long status) {
    void(JNICALL * hook)(jint) = nullptr;
    {
        VmGuard guard;
        hook = vm().exitHook;
    }
    logLine("exit", std::to_string(status) + (hook ? " (exit hook)" : ""));
    vm().exiting = true;
    writeClassList();
    if (hook) hook(status);
    ExitProcess(static_cast<UINT>(status));
}

Value runScript(JavaThread* thread, Method* method, std::vector<Value>& args) {
    const ScriptMethod& script = *method->script;
    for (const Statement& s : script.body) {
        switch (s.kind) {
        case Statement::Kind::Return:
        case Statement::Kind::Sequence: {
            if (s.values.empty()) return Value::none();
            std::size_t index = 0;
            if (s.kind == Statement::Kind::Sequence) {
                index = method->sequenceAt++;
                if (index >= s.values.size()) index = s.values.size() - 1;
            }
            VmGuard guard;
            Value out;
            materializeLocked(s.values[index], method->result, args, s.line, out);
            return out;
        }
        case Statement::Kind::Throw: {
            VmGuard guard;
            Klass* klass = findClassLocked(s.target);
            if (!klass || !klass->isSubclassOf(findClassLocked("java/lang/Throwable"))) {
                scenarioError(s.line, s.target + " is not a throwable class");
                throwLocked(thread, "java/lang/RuntimeException", utf16(s.target));
            } else {
                thread->pending = std::make_shared<ThrowableObject>(klass, s.text, s.hasText);
            }
            return zeroValue(method->result);
        }
        case Statement::Kind::Print: writeStd(STD_OUTPUT_HANDLE, utf8(s.text) + "\r\n"); break;
        case Statement::Kind::ErrorPrint: writeStd(STD_ERROR_HANDLE, utf8(s.text) + "\r\n"); break;
        case Statement::Kind::Sleep: Sleep(static_cast<DWORD>(s.number)); break;
        case Statement::Kind::Handles: {
            // Counted by probing the handle table: wine's GetProcessHandleCount answers 0.
            unsigned count = 0;
            DWORD flags = 0;
            for (std::uintptr_t value = 4; value < 0x10000; value += 4)
                if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
            logLine("handles", std::to_string(count));
            break;
        }
        case Statement::Kind::Exit: exitVm(static_cast<long>(s.number));
        case Statement::Kind::Start: startScriptedThread(s.target, s.number, s.daemon); break;
        case Statement::Kind::Fill: {
            VmGuard guard;
            fillRectLocked(firstGraphics(args), s.x, s.y, s.w, s.h, s.argb);
            break;
        }
        case Statement::Kind::Await: {
            Method* target = nullptr;
            {
                VmGuard guard;
                Klass* klass = findClassLocked(s.target);
                target = klass ? klass->declared(s.method, s.signature) : nullptr;
            }
            if (!target) break;
            const DWORD start = GetTickCount();
            while (target->calls == 0 && GetTickCount() - start < static_cast<DWORD>(s.number)) Sleep(10);
            if (target->calls == 0)
                logLine("await-timeout", describe(target) + " was not called within " + std::to_string(s.number) + " ms");
            break;
        }
        case Statement::Kind::Invoke: {
            Method* target = nullptr;
            std::vector<Value> callArgs;
            {
                VmGuard guard;
                Klass* klass = findClassLocked(s.target);
                target = klass ? klass->declared(s.method, s.signature) : nullptr;
                if (!target) {
                    scenarioError(s.line, "invoke: no method " + s.target + "." + s.method);
                    break;
                }
                for (std::size_t i = 0; i < s.values.size() && i < target->params.size(); ++i) {
                    Value v;
                    materializeLocked(s.values[i], target->params[i], args, s.line, v);
                    callArgs.push_back(v);
                }
            }
            if (!target) break;
            (void)invokeMethod(thread, target, nullptr, std::move(callArgs));
            // An exception from the callee propagates out of this method, as in Java.
            VmGuard guard;
            if (thread->pending) return zeroValue(method->result);
            break;
        }
        }
    }
    return zeroValue(method->result);
}

Value callNative(JavaThread* thread, Method* method, std::vector<Value>& args) {
    void* code = method->nativeCode.load();
    std::string head;
    {
        VmGuard guard;
        head = describe(method) + " " + renderArgsLocked(args);
        if (!code) {
            throwLocked(thread, "java/lang/UnsatisfiedLinkError", utf16("'" + describe(method) + "'"));
            logLine("native", head + " -> not registered (UnsatisfiedLinkError)");
            return zeroValue(method->result);
        }
    }
    constexpr std::size_t kMaxArgs = 12;
    std::uint64_t raw[kMaxArgs] = {};
    jclass klass = nullptr;
    {
        VmGuard guard;
        if (args.size() > kMaxArgs) {
            logError("native " + describe(method) + ": the stand-in passes at most 12 arguments");
            return zeroValue(method->result);
        }
        pushFrameLocked(thread);
        klass = static_cast<jclass>(newLocalLocked(thread, mirrorLocked(method->owner)));
        for (std::size_t i = 0; i < args.size(); ++i) {
            const Value& v = args[i];
            switch (v.type) {
            case 'L': raw[i] = reinterpret_cast<std::uintptr_t>(newLocalLocked(thread, v.object)); break;
            case 'F':
            case 'D':
                logError("native " + describe(method) + ": floating-point arguments are not supported by the stand-in");
                break;
            default: raw[i] = static_cast<std::uint64_t>(integral(v)); break;
            }
        }
    }
    // On x64 every integer or pointer argument takes one 8-byte slot and the caller cleans the
    // stack, so one generic call shape serves every native of up to twelve such arguments.
    using Generic = std::uint64_t(JNICALL*)(JNIEnv*, jclass, std::uint64_t, std::uint64_t, std::uint64_t,
                                            std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t,
                                            std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t,
                                            std::uint64_t);
    Generic function = nullptr;
    std::memcpy(&function, &code, sizeof function);
    ++thread->javaDepth;
    const std::uint64_t result = function(&thread->env.jni, klass, raw[0], raw[1], raw[2], raw[3], raw[4], raw[5],
                                          raw[6], raw[7], raw[8], raw[9], raw[10], raw[11]);
    --thread->javaDepth;

    VmGuard guard;
    Value out = zeroValue(method->result);
    switch (out.type) {
    case 'Z': out.prim.z = static_cast<jboolean>((result & 0xFF) != 0); break;
    case 'B': out.prim.b = static_cast<jbyte>(result); break;
    case 'C': out.prim.c = static_cast<jchar>(result); break;
    case 'S': out.prim.s = static_cast<jshort>(result); break;
    case 'I': out.prim.i = static_cast<jint>(static_cast<std::int32_t>(result)); break;
    case 'J': out.prim.j = static_cast<jlong>(result); break;
    case 'L': out.object = resolveLocked(reinterpret_cast<jobject>(static_cast<std::uintptr_t>(result)), "native result"); break;
    default: break;
    }
    if (out.type == 'L' && !fitsLocked(out, method->result))
        logError("native " + describe(method) + " returned " + renderLocked(out) + ", not a " + method->result);
    popFrameLocked(thread);
    logLine("native", head + " -> " +
                          (thread->pending ? "throws " + renderLocked(Value::ofObject(thread->pending))
                                           : renderLocked(out)));
    return out;
}

Value invokeMethod(JavaThread* thread, Method* method, Ref self, std::vector<Value> args) {
    if (VmGuard::depth() > 0) logError("internal: " + describe(method) + " runs under the VM lock");
    std::string head;
    {
        VmGuard guard;
        head = describe(method) + " " + renderArgsLocked(args);
        if (self) head += " on " + renderLocked(Value::ofObject(self));
    }
    if (method->handler) {
        Call call;
        call.thread = thread;
        call.method = method;
        call.self = self;
        call.args = std::move(args);
        if (isBlockingHandler(method->handler)) {
            logLine("call", head);
            return method->handler(call);
        }
        VmGuard guard;
        Value result = method->handler(call);
        logLine("call", head + " -> " +
                            (thread && thread->pending ? "throws " + renderLocked(Value::ofObject(thread->pending))
                                                       : renderLocked(result)));
        return result;
    }
    if (method->isNative) return callNative(thread, method, args);
    if (method->script) {
        logLine("call", head);
        ++method->calls;
        Value result = runScript(thread, method, args);
        VmGuard guard;
        if (thread->pending)
            logLine("throw", describe(method) + " " + renderLocked(Value::ofObject(thread->pending)));
        else
            logLine("return", describe(method) + " -> " + renderLocked(result));
        return result;
    }
    VmGuard guard;
    logError("no implementation of " + describe(method) + " for " +
             (self ? self->klass->javaName() : std::string("a static call")));
    throwLocked(thread, "java/lang/AbstractMethodError", utf16(describe(method)));
    return zeroValue(method->result);
}

} // namespace tavrelo::standin
