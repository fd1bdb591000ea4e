// The JDK classes the launcher uses, with real signatures and enough behaviour for its calls:
// System, Runtime, Thread, String, the object streams (opaque serialized blobs), JarFile,
// images as pixel arrays, and the few AWT and Swing classes of the tray, splash and screen saver.
// A method missing from this table is one a real JDK does not have (or one the launcher should
// not need): looking it up is an error in the log.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "runtime/formats.h"
#include "runtime/runtime.h"

namespace tavrelo::standin {

namespace {

// ---- Building the table -------------------------------------------------------------------------

Klass* define(const char* name, const char* super, std::initializer_list<const char*> interfaces = {},
              bool isInterface = false) {
    Vm& v = vm();
    auto klass = std::make_unique<Klass>();
    klass->name = name;
    klass->jdk = true;
    klass->isInterface = isInterface;
    if (super) {
        klass->super = findClassLocked(super);
        if (!klass->super) logError(std::string("internal: superclass missing for ") + name);
    }
    for (const char* i : interfaces) {
        Klass* k = findClassLocked(i);
        if (!k) logError(std::string("internal: interface missing for ") + name + ": " + i);
        else klass->interfaces.push_back(k);
    }
    Klass* raw = klass.get();
    v.classes.emplace(raw->name, std::move(klass));
    return raw;
}

Klass* iface(const char* name, std::initializer_list<const char*> supers = {}) {
    return define(name, nullptr, supers, true);
}

void method(Klass* k, const char* name, const char* signature, Handler handler) {
    addMethod(k, name, signature, false, handler);
}
void staticMethod(Klass* k, const char* name, const char* signature, Handler handler) {
    addMethod(k, name, signature, true, handler);
}
// Interface and abstract methods: found by lookup, dispatched to the object's own class.
void abstractMethod(Klass* k, const char* name, const char* signature) {
    addMethod(k, name, signature, false, nullptr);
}

void staticField(Klass* k, const char* name, const char* descriptor, Value value) {
    auto f = std::make_unique<StaticField>();
    f->owner = k;
    f->name = name;
    f->descriptor = descriptor;
    f->value = std::move(value);
    k->fields.push_back(std::move(f));
}

Value none() {
    return Value::none();
}
Value object(Ref r) {
    return Value::ofObject(std::move(r));
}
Value string(std::u16string text) {
    return object(newStringLocked(std::move(text)));
}
Value string(std::string_view text) {
    return string(utf16(text));
}

// ---- java.lang ----------------------------------------------------------------------------------

Value noop(Call&) {
    return none();
}
Value nullResult(Call&) {
    return Value::ofObject(nullptr);
}

Value objectGetClass(Call& c) {
    return object(mirrorLocked(c.self->klass));
}
Value objectHashCode(Call& c) {
    if (const auto* s = stringText(c.self)) {
        long h = 0;
        for (char16_t ch : *s) h = static_cast<long>(31 * static_cast<unsigned long>(h) + ch);
        return Value::ofInt(h);
    }
    return Value::ofInt(static_cast<long>(c.self->id));
}
Value objectEquals(Call& c) {
    const Ref& other = c.objArg(0);
    if (const auto* s = stringText(c.self)) {
        const auto* o = stringText(other);
        return Value::ofBoolean(o && *o == *s);
    }
    auto* a = dynamic_cast<PlainObject*>(c.self.get());
    auto* b = dynamic_cast<PlainObject*>(other.get());
    if (a && b && a->klass == b->klass) {
        for (const char* key : {"time", "argb"}) {
            auto ia = a->fields.find(key);
            auto ib = b->fields.find(key);
            if (ia != a->fields.end() && ib != b->fields.end())
                return Value::ofBoolean(integral(ia->second) == integral(ib->second));
        }
    }
    return Value::ofBoolean(c.self == other);
}
Value objectToString(Call& c) {
    if (stringText(c.self)) return object(c.self);
    if (const auto* t = dynamic_cast<const ThrowableObject*>(c.self.get()))
        return string(utf16(c.self->klass->javaName()) + (t->hasMessage ? u": " + t->message : u""));
    return string(c.self->klass->javaName() + "@" + std::to_string(c.self->id));
}

Value classGetName(Call& c) {
    const auto* k = dynamic_cast<const ClassObject*>(c.self.get());
    std::string name = k ? k->represented->name : std::string();
    for (char& ch : name)
        if (ch == '/') ch = '.';
    return string(name);
}
Value classIsArray(Call& c) {
    const auto* k = dynamic_cast<const ClassObject*>(c.self.get());
    return Value::ofBoolean(k && k->represented->isArray());
}

Value stringLength(Call& c) {
    return Value::ofInt(static_cast<long>(stringText(c.self)->size()));
}
Value stringIsEmpty(Call& c) {
    return Value::ofBoolean(stringText(c.self)->empty());
}
Value stringInit(Call& c) {
    if (auto* s = dynamic_cast<StringObject*>(c.self.get())) {
        if (c.args.empty()) s->text.clear();
        else if (const auto* t = c.stringArg(0)) s->text = *t;
        else return c.raise("java/lang/NullPointerException");
    }
    return none();
}

Value systemExit(Call& c) {
    exitVm(c.intArg(0));
}
Value runtimeHalt(Call& c) {
    logLine("halt", std::to_string(c.intArg(0)));
    ExitProcess(static_cast<UINT>(c.intArg(0)));
}
Value systemSetProperty(Call& c) {
    const auto* key = c.stringArg(0);
    const auto* value = c.stringArg(1);
    if (!key || !value) return c.raise("java/lang/NullPointerException");
    if (key->empty()) return c.raise("java/lang/IllegalArgumentException", u"key can't be empty");
    auto& properties = vm().properties;
    auto it = properties.find(*key);
    Value previous = it == properties.end() ? Value::ofObject(nullptr) : string(it->second);
    properties[*key] = *value;
    return previous;
}
Value systemGetProperty(Call& c) {
    const auto* key = c.stringArg(0);
    if (!key) return c.raise("java/lang/NullPointerException");
    auto& properties = vm().properties;
    auto it = properties.find(*key);
    if (it != properties.end()) return string(it->second);
    if (c.args.size() > 1) return Value::ofObject(c.objArg(1));
    return Value::ofObject(nullptr);
}
Value systemCurrentTimeMillis(Call&) {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    const unsigned long long ticks = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return Value::ofLong(static_cast<long long>(ticks / 10000ULL - 11644473600000ULL));
}
Value systemNanoTime(Call&) {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return Value::ofLong(static_cast<long long>(static_cast<double>(counter.QuadPart) * 1e9 /
                                                static_cast<double>(frequency.QuadPart)));
}
Value systemGetenv(Call& c) {
    const auto* name = c.stringArg(0);
    if (!name) return c.raise("java/lang/NullPointerException");
    std::u16string z = *name;
    wchar_t buffer[32768];
    const DWORD n = GetEnvironmentVariableW(reinterpret_cast<const wchar_t*>(z.c_str()), buffer, 32768);
    if (n == 0 || n >= 32768) return Value::ofObject(nullptr);
    return string(std::u16string(reinterpret_cast<const char16_t*>(buffer), n));
}
Value systemLineSeparator(Call&) {
    return string(u"\r\n");
}
Value systemIdentityHashCode(Call& c) {
    return Value::ofInt(c.objArg(0) ? static_cast<long>(c.objArg(0)->id) : 0);
}

Value runtimeGetRuntime(Call&) {
    static Ref runtime;
    if (!runtime) runtime = newPlainLocked(findClassLocked("java/lang/Runtime"));
    return object(runtime);
}
Value runtimeAvailableProcessors(Call&) {
    return Value::ofInt(2);
}

// Thread -------------------------------------------------------------------------------------------

JavaThread* threadOf(const Ref& r) {
    const auto* t = dynamic_cast<const ThreadObject*>(r.get());
    return t ? t->thread.get() : nullptr;
}
Value threadCurrentThread(Call& c) {
    return object(threadMirrorLocked(c.thread));
}
std::vector<JavaThread*> aliveThreads() {
    std::vector<JavaThread*> out;
    for (const auto& t : vm().threads)
        if (t->alive) out.push_back(t.get());
    return out;
}
Value threadEnumerate(Call& c) {
    auto* array = dynamic_cast<ArrayObject*>(c.objArg(0).get());
    if (!array) return c.raise("java/lang/NullPointerException");
    long count = 0;
    for (JavaThread* t : aliveThreads()) {
        if (static_cast<std::size_t>(count) >= array->elements.size()) break;
        array->elements[static_cast<std::size_t>(count++)] = threadMirrorLocked(t);
    }
    return Value::ofInt(count);
}
Value threadActiveCount(Call&) {
    return Value::ofInt(static_cast<long>(aliveThreads().size()));
}
Value threadSleep(Call& c) {
    if (c.longArg(0) < 0) return c.raise("java/lang/IllegalArgumentException", u"timeout value is negative");
    Sleep(static_cast<DWORD>(c.longArg(0)));
    return none();
}
Value threadGetName(Call& c) {
    return string(threadOf(c.self)->name);
}
Value threadIsAlive(Call& c) {
    return Value::ofBoolean(threadOf(c.self)->alive);
}
Value threadIsDaemon(Call& c) {
    return Value::ofBoolean(threadOf(c.self)->daemon);
}
Value threadGetId(Call& c) {
    return Value::ofLong(static_cast<long long>(c.self->id));
}
Value threadJoin(Call& c) {
    JavaThread* t = threadOf(c.self);
    const bool timed = !c.args.empty();
    const DWORD start = GetTickCount();
    while (t->alive && (!timed || c.longArg(0) == 0 || GetTickCount() - start < static_cast<DWORD>(c.longArg(0))))
        Sleep(10);
    return none();
}

// Throwable --------------------------------------------------------------------------------------

Value throwableInit(Call& c) {
    if (auto* t = dynamic_cast<ThrowableObject*>(c.self.get())) {
        if (!c.args.empty() && c.objArg(0)) {
            t->message = *c.stringArg(0);
            t->hasMessage = true;
        }
    }
    return none();
}
Value throwableGetMessage(Call& c) {
    const auto* t = dynamic_cast<const ThrowableObject*>(c.self.get());
    return t && t->hasMessage ? string(t->message) : Value::ofObject(nullptr);
}
Value throwablePrintStackTrace(Call& c) {
    const auto* t = dynamic_cast<const ThrowableObject*>(c.self.get());
    const std::string text = c.self->klass->javaName() + (t && t->hasMessage ? ": " + utf8(t->message) : "") + "\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return none();
}
Value returnNull(Call&) {
    return Value::ofObject(nullptr);
}

// ---- java.io: byte streams and object streams ---------------------------------------------------

Value byteInputInit(Call& c) {
    auto* array = dynamic_cast<ArrayObject*>(c.objArg(0).get());
    if (!array) return c.raise("java/lang/NullPointerException");
    c.plain()->bytes.assign(reinterpret_cast<const char*>(array->data.data()), array->data.size());
    c.plain()->position = 0;
    return none();
}
Value streamRead(Call& c) {
    PlainObject* p = c.plain();
    if (p->position >= p->bytes.size()) return Value::ofInt(-1);
    return Value::ofInt(static_cast<unsigned char>(p->bytes[p->position++]));
}
Value streamAvailable(Call& c) {
    PlainObject* p = c.plain();
    return Value::ofInt(static_cast<long>(p->bytes.size() - p->position));
}

constexpr char kStreamHeader[] = "\xAC\xED\x00\x05";

Value objectInputInit(Call& c) {
    auto* source = dynamic_cast<PlainObject*>(c.objArg(0).get());
    if (!c.objArg(0)) return c.raise("java/lang/NullPointerException");
    if (!source || source->klass->name != "java/io/ByteArrayInputStream") {
        logError("ObjectInputStream over a " + c.objArg(0)->klass->javaName() +
                 ": the stand-in reads objects from a ByteArrayInputStream only");
        return c.raise("java/io/IOException", u"unsupported source stream");
    }
    const std::string rest = source->bytes.substr(source->position);
    source->position = source->bytes.size();
    if (rest.size() < 4) return c.raise("java/io/EOFException");
    if (rest.compare(0, 4, kStreamHeader, 4) != 0)
        return c.raise("java/io/StreamCorruptedException", u"invalid stream header: " + utf16(hexBytes(rest.substr(0, 4))));
    c.plain()->bytes = rest.substr(4);
    c.plain()->position = 0;
    return none();
}
Value objectInputReadObject(Call& c) {
    PlainObject* p = c.plain();
    if (p->position >= p->bytes.size()) return c.raise("java/io/EOFException");
    const std::string content = p->bytes.substr(p->position);
    p->position = p->bytes.size();
    if (static_cast<unsigned char>(content[0]) == 0x7B)
        return c.raise("java/io/WriteAbortedException", u"writing aborted");
    return object(deserializeLocked(content));
}

// The filter API is there so that streams can be given their filter; the stand-in does not
// judge classes by it.
Value filterCreate(Call& c) {
    const auto* pattern = c.stringArg(0);
    if (!pattern) return c.raise("java/lang/NullPointerException");
    Ref filter = newPlainLocked(findClassLocked("java/io/ObjectInputFilter$Config$Global"));
    static_cast<PlainObject*>(filter.get())->bytes = utf8(*pattern);
    return object(filter);
}
Value objectInputSetFilter(Call& c) {
    if (!c.objArg(0)) return c.raise("java/lang/NullPointerException");
    return none();
}

PlainObject* byteOutputOf(const Ref& r) {
    auto* p = dynamic_cast<PlainObject*>(r.get());
    return p && p->klass->name == "java/io/ByteArrayOutputStream" ? p : nullptr;
}
Value byteOutputToByteArray(Call& c) {
    const std::string& bytes = c.plain()->bytes;
    Ref array = newArrayLocked(findClassLocked("[B"), bytes.size());
    auto* a = static_cast<ArrayObject*>(array.get());
    if (!bytes.empty()) std::memcpy(a->data.data(), bytes.data(), bytes.size());
    return object(array);
}
Value byteOutputSize(Call& c) {
    return Value::ofInt(static_cast<long>(c.plain()->bytes.size()));
}
Value byteOutputReset(Call& c) {
    c.plain()->bytes.clear();
    return none();
}
Value byteOutputWrite(Call& c) {
    c.plain()->bytes.push_back(static_cast<char>(c.intArg(0) & 0xFF));
    return none();
}
Value objectOutputInit(Call& c) {
    if (!c.objArg(0)) return c.raise("java/lang/NullPointerException");
    PlainObject* target = byteOutputOf(c.objArg(0));
    if (!target) {
        logError("ObjectOutputStream over a " + c.objArg(0)->klass->javaName() +
                 ": the stand-in writes objects to a ByteArrayOutputStream only");
        return c.raise("java/io/IOException", u"unsupported target stream");
    }
    c.plain()->fields["out"] = Value::ofObject(c.objArg(0));
    target->bytes.append(kStreamHeader, 4);
    return none();
}
Value objectOutputWriteObject(Call& c) {
    PlainObject* target = byteOutputOf(c.plain()->fields["out"].object);
    if (!target) return c.raise("java/io/IOException", u"stream closed");
    std::string content;
    if (!c.objArg(0)) {
        target->bytes.push_back('\x70');
        return none();
    }
    if (!serializeLocked(c.objArg(0), content)) {
        // As a real stream does, the failure itself is recorded in the stream.
        target->bytes.push_back('\x7B');
        return c.raise("java/io/NotSerializableException", utf16(c.objArg(0)->klass->javaName()));
    }
    target->bytes += content;
    return none();
}

// ---- java.util ----------------------------------------------------------------------------------

Value dateInit(Call& c) {
    c.plain()->fields["time"] = c.args.empty() ? systemCurrentTimeMillis(c) : Value::ofLong(c.longArg(0));
    return none();
}
Value dateGetTime(Call& c) {
    return c.plain()->fields["time"];
}

Value vectorAdd(Call& c) {
    c.plain()->items.push_back(c.objArg(0));
    return c.method->result == "Z" ? Value::ofBoolean(true) : none();
}
Value vectorSize(Call& c) {
    return Value::ofInt(static_cast<long>(c.plain()->items.size()));
}
Value vectorIsEmpty(Call& c) {
    return Value::ofBoolean(c.plain()->items.empty());
}
Value vectorGet(Call& c) {
    const long i = c.intArg(0);
    auto& items = c.plain()->items;
    if (i < 0 || static_cast<std::size_t>(i) >= items.size())
        return c.raise("java/lang/ArrayIndexOutOfBoundsException", utf16("Array index out of range: " + std::to_string(i)));
    return object(items[static_cast<std::size_t>(i)]);
}
Value vectorToArray(Call& c) {
    auto& items = c.plain()->items;
    Ref array = newArrayLocked(findClassLocked("[Ljava/lang/Object;"), items.size());
    static_cast<ArrayObject*>(array.get())->elements = items;
    return object(array);
}

Value enumerationHasMore(Call& c) {
    return Value::ofBoolean(c.plain()->position < c.plain()->items.size());
}
Value enumerationNext(Call& c) {
    PlainObject* p = c.plain();
    if (p->position >= p->items.size()) return c.raise("java/util/NoSuchElementException");
    return object(p->items[p->position++]);
}

// Archives ---------------------------------------------------------------------------------------

std::u16string pathArg(const Call& c) {
    if (const auto* s = c.stringArg(0)) return *s;
    if (auto* file = dynamic_cast<PlainObject*>(c.objArg(0).get()))
        if (const auto* s = stringText(file->fields["path"].object)) return *s;
    return {};
}

bool readWholeFile(const std::u16string& path, std::string& bytes) {
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (1LL << 30);
    if (ok) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                               read == bytes.size());
    }
    CloseHandle(file);
    return ok;
}

Value zipInit(Call& c) {
    if (!c.objArg(0)) return c.raise("java/lang/NullPointerException");
    const std::u16string path = pathArg(c);
    std::string bytes;
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str()));
    if (attributes == INVALID_FILE_ATTRIBUTES) return c.raise("java/nio/file/NoSuchFileException", path);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || !readWholeFile(path, bytes))
        return c.raise("java/io/FileNotFoundException", path + u" (Access is denied)");
    std::vector<ArchiveEntry> entries;
    std::string error;
    if (!readArchive(bytes, entries, error)) return c.raise("java/util/zip/ZipException", utf16(error));
    PlainObject* p = c.plain();
    p->bytes = std::move(bytes);
    p->fields["name"] = string(path);
    Klass* entryClass = findClassLocked(c.self->klass->isSubclassOf(findClassLocked("java/util/jar/JarFile"))
                                            ? "java/util/jar/JarEntry"
                                            : "java/util/zip/ZipEntry");
    for (const ArchiveEntry& e : entries) {
        Ref entry = newPlainLocked(entryClass);
        auto* ep = static_cast<PlainObject*>(entry.get());
        ep->fields["name"] = string(e.name);
        ep->fields["size"] = Value::ofLong(e.size);
        ep->fields["method"] = Value::ofInt(static_cast<long>(e.method));
        ep->fields["offset"] = Value::ofLong(e.localOffset);
        ep->fields["compressed"] = Value::ofLong(e.compressedSize);
        p->items.push_back(entry);
    }
    return none();
}
bool zipClosed(Call& c) {
    return c.plain()->fields.count("closed") != 0;
}
Value zipEntries(Call& c) {
    if (zipClosed(c)) return c.raise("java/lang/IllegalStateException", u"zip file closed");
    Ref e = newPlainLocked(findClassLocked("java/util/jar/JarFile$JarEntryIterator"));
    static_cast<PlainObject*>(e.get())->items = c.plain()->items;
    return object(e);
}
Ref zipFind(Call& c, const std::u16string& name) {
    for (const Ref& entry : c.plain()->items)
        if (const auto* n = stringText(static_cast<PlainObject*>(entry.get())->fields["name"].object); n && *n == name)
            return entry;
    return {};
}
Value zipGetEntry(Call& c) {
    if (!c.stringArg(0)) return c.raise("java/lang/NullPointerException", u"name");
    if (zipClosed(c)) return c.raise("java/lang/IllegalStateException", u"zip file closed");
    return object(zipFind(c, *c.stringArg(0)));
}
Value zipSize(Call& c) {
    return Value::ofInt(static_cast<long>(c.plain()->items.size()));
}
Value zipGetName(Call& c) {
    return c.plain()->fields["name"];
}
Value zipClose(Call& c) {
    c.plain()->fields["closed"] = Value::ofBoolean(true);
    return none();
}
Value jarGetManifest(Call& c) {
    if (zipClosed(c)) return c.raise("java/lang/IllegalStateException", u"zip file closed");
    Ref entry;
    for (const Ref& e : c.plain()->items)
        if (const auto* n = stringText(static_cast<PlainObject*>(e.get())->fields["name"].object);
            n && n->size() == 20 && utf8(*n) == "META-INF/MANIFEST.MF")
            entry = e;
    if (!entry) return Value::ofObject(nullptr);
    auto* ep = static_cast<PlainObject*>(entry.get());
    ArchiveEntry e;
    e.method = static_cast<unsigned>(integral(ep->fields["method"]));
    e.localOffset = static_cast<std::uint32_t>(integral(ep->fields["offset"]));
    e.compressedSize = static_cast<std::uint32_t>(integral(ep->fields["compressed"]));
    std::string text, error;
    if (!entryContent(c.plain()->bytes, e, text, error)) return c.raise("java/util/zip/ZipException", utf16(error));
    Ref manifest = newPlainLocked(findClassLocked("java/util/jar/Manifest"));
    Ref attributes = newPlainLocked(findClassLocked("java/util/jar/Attributes"));
    for (const auto& [name, value] : manifestMainAttributes(text))
        static_cast<PlainObject*>(attributes.get())->fields[name] = string(value);
    static_cast<PlainObject*>(manifest.get())->fields["main"] = Value::ofObject(attributes);
    return object(manifest);
}
Value manifestGetMainAttributes(Call& c) {
    auto& main = c.plain()->fields["main"];
    if (!main.object) main = Value::ofObject(newPlainLocked(findClassLocked("java/util/jar/Attributes")));
    return main;
}
Value attributesGetValue(Call& c) {
    const auto* name = c.stringArg(0);
    if (!name) return c.raise("java/lang/NullPointerException");
    for (char16_t ch : *name)
        if (!((ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') || (ch >= u'0' && ch <= u'9') || ch == u'_' ||
              ch == u'-'))
            return c.raise("java/lang/IllegalArgumentException", *name);
    for (auto& [key, value] : c.plain()->fields)
        if (CompareStringOrdinal(reinterpret_cast<const wchar_t*>(utf16(key).c_str()), -1,
                                 reinterpret_cast<const wchar_t*>(name->c_str()), -1, TRUE) == CSTR_EQUAL)
            return value;
    return Value::ofObject(nullptr);
}
Value attributesSize(Call& c) {
    return Value::ofInt(static_cast<long>(c.plain()->fields.size()));
}
Value entryGetName(Call& c) {
    return c.plain()->fields["name"];
}
Value entryIsDirectory(Call& c) {
    const auto* n = stringText(c.plain()->fields["name"].object);
    return Value::ofBoolean(n && !n->empty() && n->back() == u'/');
}
Value entryGetSize(Call& c) {
    return c.plain()->fields["size"];
}

// Files and images -------------------------------------------------------------------------------

Value fileInit(Call& c) {
    if (!c.stringArg(0)) return c.raise("java/lang/NullPointerException");
    c.plain()->fields["path"] = Value::ofObject(c.objArg(0));
    return none();
}
Value fileGetPath(Call& c) {
    return c.plain()->fields["path"];
}
Value fileExists(Call& c) {
    const auto* p = stringText(c.plain()->fields["path"].object);
    if (!p) return Value::ofBoolean(false);
    std::u16string z = *p;
    return Value::ofBoolean(GetFileAttributesW(reinterpret_cast<const wchar_t*>(z.c_str())) != INVALID_FILE_ATTRIBUTES);
}

PlainObject* imageOf(const Ref& r) {
    auto* p = dynamic_cast<PlainObject*>(r.get());
    return p && p->klass->name == "java/awt/image/BufferedImage" ? p : nullptr;
}

Value imageIoRead(Call& c) {
    auto* file = dynamic_cast<PlainObject*>(c.objArg(0).get());
    if (!file) return c.raise("java/lang/IllegalArgumentException", u"input == null!");
    const auto* path = stringText(file->fields["path"].object);
    std::string bytes;
    if (!path || !readWholeFile(*path, bytes)) return c.raise("javax/imageio/IIOException", u"Can't read input file!");
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    if (!decodeImage(bytes, width, height, pixels)) return Value::ofObject(nullptr);
    Ref image = makeImageLocked(width, height, 0);
    imageOf(image)->pixels = std::move(pixels);
    return object(image);
}

Value imageInit(Call& c) {
    const long width = c.intArg(0), height = c.intArg(1), type = c.intArg(2);
    if (width <= 0 || height <= 0)
        return c.raise("java/lang/IllegalArgumentException", utf16("Width (" + std::to_string(width) + ") and height (" +
                                                                   std::to_string(height) + ") cannot be <= 0"));
    if (type < 1 || type > 13)
        return c.raise("java/lang/IllegalArgumentException", utf16("Unknown image type " + std::to_string(type)));
    if (static_cast<long long>(width) * height > 64LL * 1024 * 1024) return c.raise("java/lang/OutOfMemoryError", u"Java heap space");
    PlainObject* p = c.plain();
    p->width = static_cast<int>(width);
    p->height = static_cast<int>(height);
    p->fields["type"] = Value::ofInt(type);
    p->pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), type == 2 || type == 3 || type == 6 || type == 7 ? 0u : 0xFF000000u);
    return none();
}
Value imageGetWidth(Call& c) {
    return Value::ofInt(c.plain()->width);
}
Value imageGetHeight(Call& c) {
    return Value::ofInt(c.plain()->height);
}
Value imageGetType(Call& c) {
    return c.plain()->fields["type"];
}
Value imageCreateGraphics(Call& c) {
    Ref g = newPlainLocked(findClassLocked("sun/java2d/SunGraphics2D"));
    auto* gp = static_cast<PlainObject*>(g.get());
    gp->fields["target"] = Value::ofObject(c.self);
    gp->fields["argb"] = Value::ofInt(static_cast<long>(0xFFFFFFFFu));
    gp->fields["tx"] = Value::ofInt(0);
    gp->fields["ty"] = Value::ofInt(0);
    return object(g);
}
bool pixelIndex(const PlainObject* image, long x, long y, std::size_t& index) {
    if (x < 0 || y < 0 || x >= image->width || y >= image->height) return false;
    index = static_cast<std::size_t>(y) * static_cast<std::size_t>(image->width) + static_cast<std::size_t>(x);
    return true;
}
Value imageGetPixel(Call& c) {
    std::size_t i = 0;
    if (!pixelIndex(c.plain(), c.intArg(0), c.intArg(1), i))
        return c.raise("java/lang/ArrayIndexOutOfBoundsException", u"Coordinate out of bounds!");
    return Value::ofInt(static_cast<long>(c.plain()->pixels[i]));
}
Value imageSetPixel(Call& c) {
    std::size_t i = 0;
    if (!pixelIndex(c.plain(), c.intArg(0), c.intArg(1), i))
        return c.raise("java/lang/ArrayIndexOutOfBoundsException", u"Coordinate out of bounds!");
    c.plain()->pixels[i] = static_cast<std::uint32_t>(c.intArg(2));
    return none();
}
// getRGB(x, y, w, h, array, offset, scansize) and setRGB with the same layout.
Value imageGetPixels(Call& c) {
    PlainObject* image = c.plain();
    const long x = c.intArg(0), y = c.intArg(1), w = c.intArg(2), h = c.intArg(3), offset = c.intArg(5),
               scan = c.intArg(6);
    Ref array = c.objArg(4);
    if (!array) {
        if (offset < 0 || w < 0 || h < 0) return c.raise("java/lang/NegativeArraySizeException");
        array = newArrayLocked(findClassLocked("[I"), static_cast<std::size_t>(offset + h * scan));
    }
    auto* a = static_cast<ArrayObject*>(array.get());
    auto* out = reinterpret_cast<jint*>(a->data.data());
    for (long row = 0; row < h; ++row)
        for (long col = 0; col < w; ++col) {
            std::size_t source = 0;
            const long target = offset + row * scan + col;
            if (!pixelIndex(image, x + col, y + row, source))
                return c.raise("java/lang/ArrayIndexOutOfBoundsException", u"Coordinate out of bounds!");
            if (target < 0 || static_cast<std::size_t>(target) >= a->length())
                return c.raise("java/lang/ArrayIndexOutOfBoundsException", utf16("Index " + std::to_string(target) +
                                                                                 " out of bounds for length " +
                                                                                 std::to_string(a->length())));
            out[target] = static_cast<jint>(image->pixels[source]);
        }
    return object(array);
}
Value imageSetPixels(Call& c) {
    PlainObject* image = c.plain();
    const long x = c.intArg(0), y = c.intArg(1), w = c.intArg(2), h = c.intArg(3), offset = c.intArg(5),
               scan = c.intArg(6);
    auto* a = dynamic_cast<ArrayObject*>(c.objArg(4).get());
    if (!a) return c.raise("java/lang/NullPointerException");
    const auto* in = reinterpret_cast<const jint*>(a->data.data());
    for (long row = 0; row < h; ++row)
        for (long col = 0; col < w; ++col) {
            std::size_t target = 0;
            const long source = offset + row * scan + col;
            if (!pixelIndex(image, x + col, y + row, target))
                return c.raise("java/lang/ArrayIndexOutOfBoundsException", u"Coordinate out of bounds!");
            if (source < 0 || static_cast<std::size_t>(source) >= a->length())
                return c.raise("java/lang/ArrayIndexOutOfBoundsException", utf16("Index " + std::to_string(source) +
                                                                                 " out of bounds for length " +
                                                                                 std::to_string(a->length())));
            image->pixels[target] = static_cast<std::uint32_t>(in[source]);
        }
    return none();
}
Value imageObserverWidth(Call& c) {
    return imageGetWidth(c);
}

std::uint32_t blend(std::uint32_t under, std::uint32_t over) {
    const std::uint32_t alpha = over >> 24;
    if (alpha == 255) return over;
    if (alpha == 0) return under;
    auto mix = [&](int shift) {
        const std::uint32_t a = (under >> shift) & 0xFF, b = (over >> shift) & 0xFF;
        return ((b * alpha + a * (255 - alpha)) / 255) << shift;
    };
    const std::uint32_t underAlpha = under >> 24;
    const std::uint32_t outAlpha = alpha + underAlpha * (255 - alpha) / 255;
    return (outAlpha << 24) | mix(16) | mix(8) | mix(0);
}

Value graphicsSetColor(Call& c) {
    if (!c.objArg(0)) return none(); // a null colour is ignored, as in AWT
    auto* color = static_cast<PlainObject*>(c.objArg(0).get());
    c.plain()->fields["argb"] = color->fields["argb"];
    c.plain()->fields["color"] = Value::ofObject(c.objArg(0));
    return none();
}
Value graphicsGetColor(Call& c) {
    return Value::ofObject(c.plain()->fields["color"].object);
}
Value graphicsFillRect(Call& c) {
    fillRectLocked(c.self, c.intArg(0), c.intArg(1), c.intArg(2), c.intArg(3),
                   static_cast<std::uint32_t>(integral(c.plain()->fields["argb"])));
    return none();
}
Value graphicsDrawImage(Call& c) {
    PlainObject* g = c.plain();
    PlainObject* target = imageOf(g->fields["target"].object);
    PlainObject* source = imageOf(c.objArg(0));
    if (!target || !source) return Value::ofBoolean(true);
    const long x0 = c.intArg(1) + static_cast<long>(integral(g->fields["tx"]));
    const long y0 = c.intArg(2) + static_cast<long>(integral(g->fields["ty"]));
    const bool scaled = c.method->params.size() == 6;
    const long w = scaled ? c.intArg(3) : source->width;
    const long h = scaled ? c.intArg(4) : source->height;
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x) {
            std::size_t to = 0, from = 0;
            if (!pixelIndex(target, x0 + x, y0 + y, to)) continue;
            if (!pixelIndex(source, x * source->width / (w ? w : 1), y * source->height / (h ? h : 1), from)) continue;
            target->pixels[to] = blend(target->pixels[to], source->pixels[from]);
        }
    return Value::ofBoolean(true);
}
Value graphicsTranslate(Call& c) {
    PlainObject* g = c.plain();
    g->fields["tx"] = Value::ofInt(static_cast<long>(integral(g->fields["tx"])) + c.intArg(0));
    g->fields["ty"] = Value::ofInt(static_cast<long>(integral(g->fields["ty"])) + c.intArg(1));
    return none();
}

// AWT and Swing ----------------------------------------------------------------------------------

std::uint32_t colorArgb(long r, long g, long b, long a) {
    return (static_cast<std::uint32_t>(a) << 24) | (static_cast<std::uint32_t>(r) << 16) |
           (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
}
Value colorInit(Call& c) {
    std::uint32_t argb = 0;
    if (c.method->signature == "(I)V") {
        argb = 0xFF000000u | (static_cast<std::uint32_t>(c.intArg(0)) & 0xFFFFFF);
    } else if (c.method->signature == "(IZ)V") {
        argb = static_cast<std::uint32_t>(c.intArg(0));
        if (!c.boolArg(1)) argb |= 0xFF000000u;
    } else {
        const long a = c.args.size() > 3 ? c.intArg(3) : 255;
        for (std::size_t i = 0; i < c.args.size(); ++i)
            if (c.intArg(i) < 0 || c.intArg(i) > 255) {
                static const char16_t* names[] = {u"Red", u"Green", u"Blue", u"Alpha"};
                return c.raise("java/lang/IllegalArgumentException",
                               std::u16string(u"Color parameter outside of expected range: ") + names[i]);
            }
        argb = colorArgb(c.intArg(0), c.intArg(1), c.intArg(2), a);
    }
    c.plain()->fields["argb"] = Value::ofInt(static_cast<long>(argb));
    return none();
}
Value colorGetRgb(Call& c) {
    return c.plain()->fields["argb"];
}
Value colorPart(Call& c, int shift) {
    return Value::ofInt(static_cast<long>((static_cast<std::uint32_t>(integral(c.plain()->fields["argb"])) >> shift) & 0xFF));
}
Value colorGetRed(Call& c) {
    return colorPart(c, 16);
}
Value colorGetGreen(Call& c) {
    return colorPart(c, 8);
}
Value colorGetBlue(Call& c) {
    return colorPart(c, 0);
}
Value colorGetAlpha(Call& c) {
    return colorPart(c, 24);
}

// Components keep what is set on them; getters read it back.
Value componentSetSize(Call& c) {
    c.plain()->width = static_cast<int>(c.intArg(0));
    c.plain()->height = static_cast<int>(c.intArg(1));
    return none();
}
Value componentSetBounds(Call& c) {
    c.plain()->fields["x"] = Value::ofInt(c.intArg(0));
    c.plain()->fields["y"] = Value::ofInt(c.intArg(1));
    c.plain()->width = static_cast<int>(c.intArg(2));
    c.plain()->height = static_cast<int>(c.intArg(3));
    return none();
}
Value componentGetWidth(Call& c) {
    return Value::ofInt(c.plain()->width);
}
Value componentGetHeight(Call& c) {
    return Value::ofInt(c.plain()->height);
}
Value componentSetVisible(Call& c) {
    c.plain()->fields["visible"] = Value::ofBoolean(c.boolArg(0));
    return none();
}
Value componentShow(Call& c) {
    c.plain()->fields["visible"] = Value::ofBoolean(true);
    return none();
}
Value componentIsVisible(Call& c) {
    return Value::ofBoolean(integral(c.plain()->fields["visible"]) != 0);
}
Value componentSetForeground(Call& c) {
    c.plain()->fields["foreground"] = Value::ofObject(c.objArg(0));
    return none();
}
Value componentSetBackground(Call& c) {
    c.plain()->fields["background"] = Value::ofObject(c.objArg(0));
    return none();
}
std::uint32_t colorField(PlainObject* p, const char* name, std::uint32_t fallback) {
    auto* color = dynamic_cast<PlainObject*>(p->fields[name].object.get());
    return color ? static_cast<std::uint32_t>(integral(color->fields["argb"])) : fallback;
}
// A progress bar paints its track and the done part at the graphics' origin.
Value componentUpdate(Call& c) {
    PlainObject* bar = c.plain();
    if (!c.objArg(0)) return c.raise("java/lang/NullPointerException");
    if (bar->klass->name != "javax/swing/JProgressBar") return none();
    const long minimum = static_cast<long>(integral(bar->fields["minimum"]));
    const long maximum = static_cast<long>(integral(bar->fields["maximum"]));
    const long value = static_cast<long>(integral(bar->fields["value"]));
    fillRectLocked(c.objArg(0), 0, 0, bar->width, bar->height, colorField(bar, "background", 0xFFD6D9DFu));
    const long done = maximum > minimum ? bar->width * (value - minimum) / (maximum - minimum) : 0;
    fillRectLocked(c.objArg(0), 0, 0, static_cast<int>(done), bar->height, colorField(bar, "foreground", 0xFF3060C0u));
    return none();
}
Value progressInit(Call& c) {
    PlainObject* p = c.plain();
    p->fields["minimum"] = Value::ofInt(c.args.size() == 2 ? c.intArg(0) : 0);
    p->fields["maximum"] = Value::ofInt(c.args.size() == 2 ? c.intArg(1) : 100);
    p->fields["value"] = Value::ofInt(c.args.size() == 2 ? c.intArg(0) : 0);
    return none();
}
// The bar's model keeps minimum <= value <= maximum, as Swing's does.
void clampProgress(PlainObject* p, const char* changed) {
    long minimum = static_cast<long>(integral(p->fields["minimum"]));
    long maximum = static_cast<long>(integral(p->fields["maximum"]));
    long value = static_cast<long>(integral(p->fields["value"]));
    if (std::string(changed) == "minimum") {
        if (maximum < minimum) maximum = minimum;
    } else if (std::string(changed) == "maximum") {
        if (minimum > maximum) minimum = maximum;
    }
    if (value < minimum) value = minimum;
    if (value > maximum) value = maximum;
    p->fields["minimum"] = Value::ofInt(minimum);
    p->fields["maximum"] = Value::ofInt(maximum);
    p->fields["value"] = Value::ofInt(value);
}
Value progressSetMinimum(Call& c) {
    c.plain()->fields["minimum"] = Value::ofInt(c.intArg(0));
    clampProgress(c.plain(), "minimum");
    return none();
}
Value progressSetMaximum(Call& c) {
    c.plain()->fields["maximum"] = Value::ofInt(c.intArg(0));
    clampProgress(c.plain(), "maximum");
    return none();
}
Value progressSetValue(Call& c) {
    c.plain()->fields["value"] = Value::ofInt(c.intArg(0));
    clampProgress(c.plain(), "value");
    return none();
}
Value progressGetMinimum(Call& c) {
    return c.plain()->fields["minimum"];
}
Value progressGetMaximum(Call& c) {
    return c.plain()->fields["maximum"];
}
Value progressGetValue(Call& c) {
    return c.plain()->fields["value"];
}
Value setFlag(Call& c) {
    // setUndecorated, setStringPainted, setModal...: kept under the method's name.
    c.plain()->fields[c.method->name] = Value::ofBoolean(c.boolArg(0));
    return none();
}
Value getUndecorated(Call& c) {
    return Value::ofBoolean(integral(c.plain()->fields["setUndecorated"]) != 0);
}
Value setTextValue(Call& c) {
    c.plain()->fields["text"] = Value::ofObject(c.objArg(0));
    return none();
}
Value getTextValue(Call& c) {
    return Value::ofObject(c.plain()->fields["text"].object);
}
Value textInit(Call& c) {
    if (!c.args.empty()) c.plain()->fields["text"] = Value::ofObject(c.objArg(0));
    return none();
}
Value setIcon(Call& c) {
    c.plain()->fields["icon"] = Value::ofObject(c.objArg(0));
    return none();
}
Value getIcon(Call& c) {
    return Value::ofObject(c.plain()->fields["icon"].object);
}
Value windowToFront(Call& c) {
    c.plain()->fields["front"] = Value::ofBoolean(true);
    return none();
}
Value windowDispose(Call& c) {
    c.plain()->fields["visible"] = Value::ofBoolean(false);
    return none();
}

Value imageIconInit(Call& c) {
    if (c.args.empty()) return none();
    if (!c.objArg(0)) return c.raise("java/lang/NullPointerException");
    c.plain()->fields["image"] = Value::ofObject(c.objArg(0));
    return none();
}
Value imageIconGetImage(Call& c) {
    return Value::ofObject(c.plain()->fields["image"].object);
}
Value imageIconSize(Call& c, bool width) {
    PlainObject* image = imageOf(c.plain()->fields["image"].object);
    return Value::ofInt(image ? (width ? image->width : image->height) : -1);
}
Value imageIconWidth(Call& c) {
    return imageIconSize(c, true);
}
Value imageIconHeight(Call& c) {
    return imageIconSize(c, false);
}

Value rectangleInit(Call& c) {
    PlainObject* p = c.plain();
    if (c.args.size() == 4) {
        p->fields["x"] = Value::ofInt(c.intArg(0));
        p->fields["y"] = Value::ofInt(c.intArg(1));
        p->width = static_cast<int>(c.intArg(2));
        p->height = static_cast<int>(c.intArg(3));
    } else if (c.args.size() == 2) {
        p->width = static_cast<int>(c.intArg(0));
        p->height = static_cast<int>(c.intArg(1));
    }
    return none();
}
Value robotCapture(Call& c) {
    auto* r = dynamic_cast<PlainObject*>(c.objArg(0).get());
    if (!r) return c.raise("java/lang/NullPointerException");
    if (r->width <= 0 || r->height <= 0)
        return c.raise("java/lang/IllegalArgumentException", u"Rectangle width and height must be > 0");
    // The "screen" of the stand-in is one plain colour, so tests can recognise a capture.
    return object(makeImageLocked(r->width, r->height, 0xFF336699u));
}

// ---- The table ----------------------------------------------------------------------------------

void defineLang() {
    Klass* object = define("java/lang/Object", nullptr);
    method(object, "<init>", "()V", &noop);
    method(object, "getClass", "()Ljava/lang/Class;", &objectGetClass);
    method(object, "hashCode", "()I", &objectHashCode);
    method(object, "equals", "(Ljava/lang/Object;)Z", &objectEquals);
    method(object, "toString", "()Ljava/lang/String;", &objectToString);
    method(object, "notify", "()V", &noop);
    method(object, "notifyAll", "()V", &noop);

    iface("java/io/Serializable");
    iface("java/lang/Cloneable");
    Klass* autoCloseable = iface("java/lang/AutoCloseable");
    abstractMethod(autoCloseable, "close", "()V");
    Klass* closeable = iface("java/io/Closeable", {"java/lang/AutoCloseable"});
    abstractMethod(closeable, "close", "()V");
    Klass* charSequence = iface("java/lang/CharSequence");
    abstractMethod(charSequence, "length", "()I");
    iface("java/lang/Comparable");
    Klass* runnable = iface("java/lang/Runnable");
    abstractMethod(runnable, "run", "()V");

    Klass* klass = define("java/lang/Class", "java/lang/Object", {"java/io/Serializable"});
    method(klass, "getName", "()Ljava/lang/String;", &classGetName);
    method(klass, "isArray", "()Z", &classIsArray);

    Klass* string = define("java/lang/String", "java/lang/Object",
                           {"java/io/Serializable", "java/lang/Comparable", "java/lang/CharSequence"});
    string->serializable = true;
    method(string, "<init>", "()V", &stringInit);
    method(string, "<init>", "(Ljava/lang/String;)V", &stringInit);
    method(string, "length", "()I", &stringLength);
    method(string, "isEmpty", "()Z", &stringIsEmpty);
    method(string, "toString", "()Ljava/lang/String;", &objectToString);

    Klass* system = define("java/lang/System", "java/lang/Object");
    staticMethod(system, "exit", "(I)V", &systemExit);
    staticMethod(system, "gc", "()V", &noop);
    staticMethod(system, "runFinalization", "()V", &noop);
    staticMethod(system, "setProperty", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;", &systemSetProperty);
    staticMethod(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;", &systemGetProperty);
    staticMethod(system, "getProperty", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;", &systemGetProperty);
    staticMethod(system, "currentTimeMillis", "()J", &systemCurrentTimeMillis);
    staticMethod(system, "nanoTime", "()J", &systemNanoTime);
    staticMethod(system, "getenv", "(Ljava/lang/String;)Ljava/lang/String;", &systemGetenv);
    staticMethod(system, "lineSeparator", "()Ljava/lang/String;", &systemLineSeparator);
    staticMethod(system, "identityHashCode", "(Ljava/lang/Object;)I", &systemIdentityHashCode);

    Klass* runtime = define("java/lang/Runtime", "java/lang/Object");
    staticMethod(runtime, "getRuntime", "()Ljava/lang/Runtime;", &runtimeGetRuntime);
    method(runtime, "exit", "(I)V", &systemExit);
    method(runtime, "halt", "(I)V", &runtimeHalt);
    method(runtime, "gc", "()V", &noop);
    method(runtime, "availableProcessors", "()I", &runtimeAvailableProcessors);

    Klass* thread = define("java/lang/Thread", "java/lang/Object", {"java/lang/Runnable"});
    staticMethod(thread, "currentThread", "()Ljava/lang/Thread;", &threadCurrentThread);
    staticMethod(thread, "enumerate", "([Ljava/lang/Thread;)I", &threadEnumerate);
    staticMethod(thread, "activeCount", "()I", &threadActiveCount);
    staticMethod(thread, "sleep", "(J)V", &threadSleep);
    method(thread, "getName", "()Ljava/lang/String;", &threadGetName);
    method(thread, "isAlive", "()Z", &threadIsAlive);
    method(thread, "isDaemon", "()Z", &threadIsDaemon);
    method(thread, "getId", "()J", &threadGetId);
    method(thread, "join", "()V", &threadJoin);
    method(thread, "join", "(J)V", &threadJoin);
    method(thread, "interrupt", "()V", &noop);
    method(thread, "run", "()V", &noop);

    Klass* throwable = define("java/lang/Throwable", "java/lang/Object", {"java/io/Serializable"});
    throwable->serializable = true;
    method(throwable, "getMessage", "()Ljava/lang/String;", &throwableGetMessage);
    method(throwable, "getLocalizedMessage", "()Ljava/lang/String;", &throwableGetMessage);
    method(throwable, "toString", "()Ljava/lang/String;", &objectToString);
    method(throwable, "printStackTrace", "()V", &throwablePrintStackTrace);
    method(throwable, "getCause", "()Ljava/lang/Throwable;", &returnNull);
    static const char* const throwables[][2] = {
        {"java/lang/Throwable", nullptr},
        {"java/lang/Exception", "java/lang/Throwable"},
        {"java/lang/Error", "java/lang/Throwable"},
        {"java/lang/RuntimeException", "java/lang/Exception"},
        {"java/lang/IllegalArgumentException", "java/lang/RuntimeException"},
        {"java/lang/IllegalStateException", "java/lang/RuntimeException"},
        {"java/lang/NullPointerException", "java/lang/RuntimeException"},
        {"java/lang/ClassCastException", "java/lang/RuntimeException"},
        {"java/lang/ArithmeticException", "java/lang/RuntimeException"},
        {"java/lang/UnsupportedOperationException", "java/lang/RuntimeException"},
        {"java/lang/SecurityException", "java/lang/RuntimeException"},
        {"java/lang/IndexOutOfBoundsException", "java/lang/RuntimeException"},
        {"java/lang/ArrayIndexOutOfBoundsException", "java/lang/IndexOutOfBoundsException"},
        {"java/lang/StringIndexOutOfBoundsException", "java/lang/IndexOutOfBoundsException"},
        {"java/lang/ArrayStoreException", "java/lang/RuntimeException"},
        {"java/lang/NegativeArraySizeException", "java/lang/RuntimeException"},
        {"java/util/NoSuchElementException", "java/lang/RuntimeException"},
        {"java/lang/InterruptedException", "java/lang/Exception"},
        {"java/lang/ClassNotFoundException", "java/lang/Exception"},
        {"java/lang/InstantiationException", "java/lang/Exception"},
        {"java/lang/LinkageError", "java/lang/Error"},
        {"java/lang/NoClassDefFoundError", "java/lang/LinkageError"},
        {"java/lang/UnsatisfiedLinkError", "java/lang/LinkageError"},
        {"java/lang/IncompatibleClassChangeError", "java/lang/LinkageError"},
        {"java/lang/NoSuchMethodError", "java/lang/IncompatibleClassChangeError"},
        {"java/lang/NoSuchFieldError", "java/lang/IncompatibleClassChangeError"},
        {"java/lang/AbstractMethodError", "java/lang/IncompatibleClassChangeError"},
        {"java/lang/VirtualMachineError", "java/lang/Error"},
        {"java/lang/OutOfMemoryError", "java/lang/VirtualMachineError"},
        {"java/lang/StackOverflowError", "java/lang/VirtualMachineError"},
        {"java/lang/InternalError", "java/lang/VirtualMachineError"},
        {"java/io/IOException", "java/lang/Exception"},
        {"java/io/FileNotFoundException", "java/io/IOException"},
        {"java/io/EOFException", "java/io/IOException"},
        {"java/io/ObjectStreamException", "java/io/IOException"},
        {"java/io/StreamCorruptedException", "java/io/ObjectStreamException"},
        {"java/io/NotSerializableException", "java/io/ObjectStreamException"},
        {"java/io/InvalidClassException", "java/io/ObjectStreamException"},
        {"java/io/WriteAbortedException", "java/io/ObjectStreamException"},
        {"java/util/zip/ZipException", "java/io/IOException"},
        {"java/nio/file/FileSystemException", "java/io/IOException"},
        {"java/nio/file/NoSuchFileException", "java/nio/file/FileSystemException"},
        {"javax/imageio/IIOException", "java/io/IOException"},
        {"java/awt/HeadlessException", "java/lang/UnsupportedOperationException"},
        {"java/awt/AWTException", "java/lang/Exception"},
    };
    for (const auto& t : throwables) {
        Klass* k = t[1] ? define(t[0], t[1]) : throwable;
        k->serializable = true;
        method(k, "<init>", "()V", &throwableInit);
        method(k, "<init>", "(Ljava/lang/String;)V", &throwableInit);
    }
}

void defineIo() {
    Klass* input = define("java/io/InputStream", "java/lang/Object", {"java/io/Closeable"});
    method(input, "close", "()V", &noop);
    method(input, "read", "()I", &streamRead);
    method(input, "available", "()I", &streamAvailable);
    Klass* byteInput = define("java/io/ByteArrayInputStream", "java/io/InputStream");
    method(byteInput, "<init>", "([B)V", &byteInputInit);
    iface("java/io/ObjectInput", {"java/lang/AutoCloseable"});
    Klass* objectInput = define("java/io/ObjectInputStream", "java/io/InputStream", {"java/io/ObjectInput"});
    method(objectInput, "<init>", "(Ljava/io/InputStream;)V", &objectInputInit);
    method(objectInput, "readObject", "()Ljava/lang/Object;", &objectInputReadObject);
    method(objectInput, "setObjectInputFilter", "(Ljava/io/ObjectInputFilter;)V", &objectInputSetFilter);
    iface("java/io/ObjectInputFilter");
    define("java/io/ObjectInputFilter$Config$Global", "java/lang/Object", {"java/io/ObjectInputFilter"});
    Klass* filterConfig = define("java/io/ObjectInputFilter$Config", "java/lang/Object");
    staticMethod(filterConfig, "createFilter", "(Ljava/lang/String;)Ljava/io/ObjectInputFilter;", &filterCreate);
    staticMethod(filterConfig, "getSerialFilter", "()Ljava/io/ObjectInputFilter;", &nullResult);

    Klass* output = define("java/io/OutputStream", "java/lang/Object", {"java/io/Closeable"});
    method(output, "close", "()V", &noop);
    method(output, "flush", "()V", &noop);
    Klass* byteOutput = define("java/io/ByteArrayOutputStream", "java/io/OutputStream");
    method(byteOutput, "<init>", "()V", &noop);
    method(byteOutput, "<init>", "(I)V", &noop);
    method(byteOutput, "toByteArray", "()[B", &byteOutputToByteArray);
    method(byteOutput, "size", "()I", &byteOutputSize);
    method(byteOutput, "reset", "()V", &byteOutputReset);
    method(byteOutput, "write", "(I)V", &byteOutputWrite);
    iface("java/io/ObjectOutput", {"java/lang/AutoCloseable"});
    Klass* objectOutput = define("java/io/ObjectOutputStream", "java/io/OutputStream", {"java/io/ObjectOutput"});
    method(objectOutput, "<init>", "(Ljava/io/OutputStream;)V", &objectOutputInit);
    method(objectOutput, "writeObject", "(Ljava/lang/Object;)V", &objectOutputWriteObject);

    Klass* file = define("java/io/File", "java/lang/Object", {"java/io/Serializable", "java/lang/Comparable"});
    file->serializable = true;
    method(file, "<init>", "(Ljava/lang/String;)V", &fileInit);
    method(file, "getPath", "()Ljava/lang/String;", &fileGetPath);
    method(file, "getAbsolutePath", "()Ljava/lang/String;", &fileGetPath);
    method(file, "toString", "()Ljava/lang/String;", &fileGetPath);
    method(file, "exists", "()Z", &fileExists);
}

void defineUtil() {
    // Application objects known only by their serialized bytes.
    define("tavrelo/standin/Opaque", "java/lang/Object", {"java/io/Serializable"})->serializable = true;

    Klass* date = define("java/util/Date", "java/lang/Object",
                         {"java/io/Serializable", "java/lang/Cloneable", "java/lang/Comparable"});
    date->serializable = true;
    method(date, "<init>", "()V", &dateInit);
    method(date, "<init>", "(J)V", &dateInit);
    method(date, "getTime", "()J", &dateGetTime);

    iface("java/lang/Iterable");
    Klass* collection = iface("java/util/Collection", {"java/lang/Iterable"});
    abstractMethod(collection, "add", "(Ljava/lang/Object;)Z");
    abstractMethod(collection, "size", "()I");
    abstractMethod(collection, "isEmpty", "()Z");
    abstractMethod(collection, "toArray", "()[Ljava/lang/Object;");
    Klass* list = iface("java/util/List", {"java/util/Collection"});
    abstractMethod(list, "get", "(I)Ljava/lang/Object;");
    iface("java/util/RandomAccess");
    Klass* vector = define("java/util/Vector", "java/lang/Object",
                           {"java/util/List", "java/util/RandomAccess", "java/lang/Cloneable", "java/io/Serializable"});
    vector->serializable = true;
    method(vector, "<init>", "()V", &noop);
    method(vector, "<init>", "(I)V", &noop);
    method(vector, "add", "(Ljava/lang/Object;)Z", &vectorAdd);
    method(vector, "addElement", "(Ljava/lang/Object;)V", &vectorAdd);
    method(vector, "size", "()I", &vectorSize);
    method(vector, "isEmpty", "()Z", &vectorIsEmpty);
    method(vector, "get", "(I)Ljava/lang/Object;", &vectorGet);
    method(vector, "elementAt", "(I)Ljava/lang/Object;", &vectorGet);
    method(vector, "toArray", "()[Ljava/lang/Object;", &vectorToArray);

    Klass* enumeration = iface("java/util/Enumeration");
    abstractMethod(enumeration, "hasMoreElements", "()Z");
    abstractMethod(enumeration, "nextElement", "()Ljava/lang/Object;");
    Klass* iterator = iface("java/util/Iterator");
    abstractMethod(iterator, "hasNext", "()Z");
    abstractMethod(iterator, "next", "()Ljava/lang/Object;");

    Klass* zip = define("java/util/zip/ZipFile", "java/lang/Object", {"java/io/Closeable"});
    method(zip, "<init>", "(Ljava/lang/String;)V", &zipInit);
    method(zip, "<init>", "(Ljava/io/File;)V", &zipInit);
    method(zip, "entries", "()Ljava/util/Enumeration;", &zipEntries);
    method(zip, "getEntry", "(Ljava/lang/String;)Ljava/util/zip/ZipEntry;", &zipGetEntry);
    method(zip, "size", "()I", &zipSize);
    method(zip, "getName", "()Ljava/lang/String;", &zipGetName);
    method(zip, "close", "()V", &zipClose);
    Klass* zipEntry = define("java/util/zip/ZipEntry", "java/lang/Object", {"java/lang/Cloneable"});
    method(zipEntry, "getName", "()Ljava/lang/String;", &entryGetName);
    method(zipEntry, "toString", "()Ljava/lang/String;", &entryGetName);
    method(zipEntry, "isDirectory", "()Z", &entryIsDirectory);
    method(zipEntry, "getSize", "()J", &entryGetSize);
    define("java/util/jar/JarEntry", "java/util/zip/ZipEntry");
    Klass* jar = define("java/util/jar/JarFile", "java/util/zip/ZipFile");
    method(jar, "<init>", "(Ljava/lang/String;)V", &zipInit);
    method(jar, "<init>", "(Ljava/io/File;)V", &zipInit);
    method(jar, "<init>", "(Ljava/lang/String;Z)V", &zipInit);
    method(jar, "entries", "()Ljava/util/Enumeration;", &zipEntries);
    method(jar, "getManifest", "()Ljava/util/jar/Manifest;", &jarGetManifest);
    method(jar, "getJarEntry", "(Ljava/lang/String;)Ljava/util/jar/JarEntry;", &zipGetEntry);
    Klass* entries = define("java/util/jar/JarFile$JarEntryIterator", "java/lang/Object",
                            {"java/util/Enumeration", "java/util/Iterator"});
    method(entries, "hasMoreElements", "()Z", &enumerationHasMore);
    method(entries, "nextElement", "()Ljava/lang/Object;", &enumerationNext);
    method(entries, "hasNext", "()Z", &enumerationHasMore);
    method(entries, "next", "()Ljava/lang/Object;", &enumerationNext);
    Klass* manifest = define("java/util/jar/Manifest", "java/lang/Object", {"java/lang/Cloneable"});
    method(manifest, "<init>", "()V", &noop);
    method(manifest, "getMainAttributes", "()Ljava/util/jar/Attributes;", &manifestGetMainAttributes);
    Klass* attributes = define("java/util/jar/Attributes", "java/lang/Object", {"java/lang/Cloneable"});
    method(attributes, "getValue", "(Ljava/lang/String;)Ljava/lang/String;", &attributesGetValue);
    method(attributes, "size", "()I", &attributesSize);
}

void defineAwt() {
    iface("java/awt/image/ImageObserver");
    iface("java/awt/image/RenderedImage");
    iface("java/awt/image/WritableRenderedImage", {"java/awt/image/RenderedImage"});
    iface("java/awt/Transparency");
    iface("java/awt/Paint", {"java/awt/Transparency"});
    iface("java/awt/Shape");

    Klass* image = define("java/awt/Image", "java/lang/Object");
    abstractMethod(image, "getWidth", "(Ljava/awt/image/ImageObserver;)I");
    abstractMethod(image, "getHeight", "(Ljava/awt/image/ImageObserver;)I");
    method(image, "flush", "()V", &noop);
    Klass* buffered = define("java/awt/image/BufferedImage", "java/awt/Image",
                             {"java/awt/image/WritableRenderedImage", "java/awt/Transparency"});
    method(buffered, "<init>", "(III)V", &imageInit);
    method(buffered, "getWidth", "()I", &imageGetWidth);
    method(buffered, "getHeight", "()I", &imageGetHeight);
    method(buffered, "getWidth", "(Ljava/awt/image/ImageObserver;)I", &imageObserverWidth);
    method(buffered, "getHeight", "(Ljava/awt/image/ImageObserver;)I", &imageGetHeight);
    method(buffered, "getType", "()I", &imageGetType);
    method(buffered, "createGraphics", "()Ljava/awt/Graphics2D;", &imageCreateGraphics);
    method(buffered, "getGraphics", "()Ljava/awt/Graphics;", &imageCreateGraphics);
    method(buffered, "getRGB", "(II)I", &imageGetPixel);
    method(buffered, "setRGB", "(III)V", &imageSetPixel);
    method(buffered, "getRGB", "(IIII[III)[I", &imageGetPixels);
    method(buffered, "setRGB", "(IIII[III)V", &imageSetPixels);
    const std::pair<const char*, long> types[] = {{"TYPE_CUSTOM", 0},    {"TYPE_INT_RGB", 1},   {"TYPE_INT_ARGB", 2},
                                                  {"TYPE_INT_ARGB_PRE", 3}, {"TYPE_INT_BGR", 4}, {"TYPE_3BYTE_BGR", 5},
                                                  {"TYPE_4BYTE_ABGR", 6}};
    for (const auto& [name, value] : types) staticField(buffered, name, "I", Value::ofInt(value));

    Klass* graphics = define("java/awt/Graphics", "java/lang/Object");
    method(graphics, "setColor", "(Ljava/awt/Color;)V", &graphicsSetColor);
    method(graphics, "getColor", "()Ljava/awt/Color;", &graphicsGetColor);
    method(graphics, "fillRect", "(IIII)V", &graphicsFillRect);
    method(graphics, "drawImage", "(Ljava/awt/Image;IILjava/awt/image/ImageObserver;)Z", &graphicsDrawImage);
    method(graphics, "drawImage", "(Ljava/awt/Image;IIIILjava/awt/image/ImageObserver;)Z", &graphicsDrawImage);
    method(graphics, "translate", "(II)V", &graphicsTranslate);
    method(graphics, "drawString", "(Ljava/lang/String;II)V", &noop);
    method(graphics, "dispose", "()V", &noop);
    Klass* graphics2d = define("java/awt/Graphics2D", "java/awt/Graphics");
    method(graphics2d, "setBackground", "(Ljava/awt/Color;)V", &noop);
    define("sun/java2d/SunGraphics2D", "java/awt/Graphics2D", {"java/lang/Cloneable"});

    Klass* color = define("java/awt/Color", "java/lang/Object", {"java/awt/Paint", "java/io/Serializable"});
    color->serializable = true;
    method(color, "<init>", "(III)V", &colorInit);
    method(color, "<init>", "(IIII)V", &colorInit);
    method(color, "<init>", "(I)V", &colorInit);
    method(color, "<init>", "(IZ)V", &colorInit);
    method(color, "getRGB", "()I", &colorGetRgb);
    method(color, "getRed", "()I", &colorGetRed);
    method(color, "getGreen", "()I", &colorGetGreen);
    method(color, "getBlue", "()I", &colorGetBlue);
    method(color, "getAlpha", "()I", &colorGetAlpha);
    const std::pair<const char*, std::uint32_t> colors[] = {
        {"white", 0xFFFFFF}, {"lightGray", 0xC0C0C0}, {"gray", 0x808080}, {"darkGray", 0x404040}, {"black", 0x000000},
        {"red", 0xFF0000},   {"pink", 0xFFAFAF},      {"orange", 0xFFC800}, {"yellow", 0xFFFF00}, {"green", 0x00FF00},
        {"magenta", 0xFF00FF}, {"cyan", 0x00FFFF},    {"blue", 0x0000FF}};
    for (const auto& [name, rgb] : colors) {
        Ref c = newPlainLocked(color);
        static_cast<PlainObject*>(c.get())->fields["argb"] = Value::ofInt(static_cast<long>(0xFF000000u | rgb));
        std::string upper;
        for (const char* p = name; *p; ++p) {
            if (*p >= 'A' && *p <= 'Z') upper.push_back('_');
            upper.push_back(static_cast<char>(*p >= 'a' && *p <= 'z' ? *p - 32 : *p));
        }
        staticField(color, name, "Ljava/awt/Color;", Value::ofObject(c));
        staticField(color, upper.c_str(), "Ljava/awt/Color;", Value::ofObject(c));
    }

    Klass* component = define("java/awt/Component", "java/lang/Object",
                              {"java/awt/image/ImageObserver", "java/io/Serializable"});
    component->serializable = true;
    method(component, "setSize", "(II)V", &componentSetSize);
    method(component, "setBounds", "(IIII)V", &componentSetBounds);
    method(component, "getWidth", "()I", &componentGetWidth);
    method(component, "getHeight", "()I", &componentGetHeight);
    method(component, "setVisible", "(Z)V", &componentSetVisible);
    method(component, "isVisible", "()Z", &componentIsVisible);
    method(component, "show", "()V", &componentShow);
    method(component, "repaint", "()V", &noop);
    method(component, "update", "(Ljava/awt/Graphics;)V", &componentUpdate);
    method(component, "paint", "(Ljava/awt/Graphics;)V", &componentUpdate);
    method(component, "setForeground", "(Ljava/awt/Color;)V", &componentSetForeground);
    method(component, "setBackground", "(Ljava/awt/Color;)V", &componentSetBackground);
    define("java/awt/Container", "java/awt/Component");
    Klass* window = define("java/awt/Window", "java/awt/Container");
    method(window, "toFront", "()V", &windowToFront);
    method(window, "toBack", "()V", &noop);
    method(window, "dispose", "()V", &windowDispose);
    method(window, "pack", "()V", &noop);
    Klass* dialog = define("java/awt/Dialog", "java/awt/Window");
    method(dialog, "setUndecorated", "(Z)V", &setFlag);
    method(dialog, "isUndecorated", "()Z", &getUndecorated);
    method(dialog, "setModal", "(Z)V", &setFlag);
    method(dialog, "setTitle", "(Ljava/lang/String;)V", &setTextValue);
    method(dialog, "show", "()V", &componentShow);
    Klass* frame = define("java/awt/Frame", "java/awt/Window");
    method(frame, "setUndecorated", "(Z)V", &setFlag);
    method(frame, "setTitle", "(Ljava/lang/String;)V", &setTextValue);

    Klass* rectangle = define("java/awt/Rectangle", "java/lang/Object",
                              {"java/awt/Shape", "java/lang/Cloneable", "java/io/Serializable"});
    rectangle->serializable = true;
    method(rectangle, "<init>", "()V", &rectangleInit);
    method(rectangle, "<init>", "(II)V", &rectangleInit);
    method(rectangle, "<init>", "(IIII)V", &rectangleInit);
    Klass* robot = define("java/awt/Robot", "java/lang/Object");
    method(robot, "<init>", "()V", &noop);
    method(robot, "createScreenCapture", "(Ljava/awt/Rectangle;)Ljava/awt/image/BufferedImage;", &robotCapture);

    Klass* imageIo = define("javax/imageio/ImageIO", "java/lang/Object");
    staticMethod(imageIo, "read", "(Ljava/io/File;)Ljava/awt/image/BufferedImage;", &imageIoRead);
}

void defineSwing() {
    Klass* icon = iface("javax/swing/Icon");
    abstractMethod(icon, "getIconWidth", "()I");
    abstractMethod(icon, "getIconHeight", "()I");
    Klass* imageIcon = define("javax/swing/ImageIcon", "java/lang/Object", {"javax/swing/Icon", "java/io/Serializable"});
    imageIcon->serializable = true;
    method(imageIcon, "<init>", "()V", &imageIconInit);
    method(imageIcon, "<init>", "(Ljava/awt/Image;)V", &imageIconInit);
    method(imageIcon, "getImage", "()Ljava/awt/Image;", &imageIconGetImage);
    method(imageIcon, "getIconWidth", "()I", &imageIconWidth);
    method(imageIcon, "getIconHeight", "()I", &imageIconHeight);

    Klass* jcomponent = define("javax/swing/JComponent", "java/awt/Container");
    method(jcomponent, "setOpaque", "(Z)V", &setFlag);
    Klass* progress = define("javax/swing/JProgressBar", "javax/swing/JComponent");
    method(progress, "<init>", "()V", &progressInit);
    method(progress, "<init>", "(II)V", &progressInit);
    method(progress, "setMinimum", "(I)V", &progressSetMinimum);
    method(progress, "setMaximum", "(I)V", &progressSetMaximum);
    method(progress, "setValue", "(I)V", &progressSetValue);
    method(progress, "getMinimum", "()I", &progressGetMinimum);
    method(progress, "getMaximum", "()I", &progressGetMaximum);
    method(progress, "getValue", "()I", &progressGetValue);
    method(progress, "setStringPainted", "(Z)V", &setFlag);
    method(progress, "setIndeterminate", "(Z)V", &setFlag);
    Klass* button = define("javax/swing/AbstractButton", "javax/swing/JComponent");
    method(button, "setIcon", "(Ljavax/swing/Icon;)V", &setIcon);
    method(button, "getIcon", "()Ljavax/swing/Icon;", &getIcon);
    method(button, "setText", "(Ljava/lang/String;)V", &setTextValue);
    method(button, "getText", "()Ljava/lang/String;", &getTextValue);
    for (const char* name : {"javax/swing/JButton", "javax/swing/JMenuItem"}) {
        Klass* k = define(name, "javax/swing/AbstractButton");
        method(k, "<init>", "()V", &textInit);
        method(k, "<init>", "(Ljava/lang/String;)V", &textInit);
    }
    Klass* label = define("javax/swing/JLabel", "javax/swing/JComponent");
    method(label, "<init>", "()V", &textInit);
    method(label, "<init>", "(Ljava/lang/String;)V", &textInit);
    method(label, "setIcon", "(Ljavax/swing/Icon;)V", &setIcon);
    method(label, "getIcon", "()Ljavax/swing/Icon;", &getIcon);
    method(label, "setText", "(Ljava/lang/String;)V", &setTextValue);
    method(label, "getText", "()Ljava/lang/String;", &getTextValue);
    Klass* dialog = define("javax/swing/JDialog", "java/awt/Dialog");
    method(dialog, "<init>", "()V", &noop);
    Klass* frame = define("javax/swing/JFrame", "java/awt/Frame");
    method(frame, "<init>", "()V", &noop);
    method(frame, "<init>", "(Ljava/lang/String;)V", &setTextValue);
}

} // namespace

bool isBlockingHandler(Handler handler) {
    return handler == &systemExit || handler == &runtimeHalt || handler == &threadSleep || handler == &threadJoin;
}

void defineJdkClasses() {
    defineLang();
    defineIo();
    defineUtil();
    defineAwt();
    defineSwing();
    // Every class a built-in signature names must itself be built in.
    for (const auto& [name, klass] : vm().classes)
        for (const auto& m : klass->methods) {
            std::vector<std::string> all = m->params;
            all.push_back(m->result);
            for (const std::string& d : all) {
                std::size_t i = 0;
                while (i < d.size() && d[i] == '[') ++i;
                if (i < d.size() && d[i] == 'L' && !classOfDescriptorLocked(d.substr(i)))
                    logError("internal: " + name + "." + m->name + m->signature + " names an unknown class");
            }
        }
}

Ref makeImageLocked(int width, int height, std::uint32_t argb) {
    Ref image = newPlainLocked(findClassLocked("java/awt/image/BufferedImage"));
    auto* p = static_cast<PlainObject*>(image.get());
    p->width = width;
    p->height = height;
    p->fields["type"] = Value::ofInt(2);
    p->pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), argb);
    return image;
}

void fillRectLocked(const Ref& graphics, int x, int y, int w, int h, std::uint32_t argb) {
    auto* g = dynamic_cast<PlainObject*>(graphics.get());
    if (!g) return;
    PlainObject* target = imageOf(g->fields["target"].object);
    if (!target) return;
    const long x0 = x + static_cast<long>(integral(g->fields["tx"]));
    const long y0 = y + static_cast<long>(integral(g->fields["ty"]));
    for (long row = 0; row < h; ++row)
        for (long col = 0; col < w; ++col) {
            std::size_t i = 0;
            if (pixelIndex(target, x0 + col, y0 + row, i)) target->pixels[i] = blend(target->pixels[i], argb);
        }
}

Ref newJdkObjectLocked(Klass* klass) {
    Method* init = klass ? klass->declared("<init>", "()V") : nullptr;
    if (!init || !init->handler) return {};
    Ref object;
    if (klass->isSubclassOf(findClassLocked("java/lang/Throwable")))
        object = std::make_shared<ThrowableObject>(klass, u"", false);
    else if (klass->name == "java/lang/String")
        object = newStringLocked(u"");
    else
        object = newPlainLocked(klass);
    Call call;
    call.method = init;
    call.self = object;
    init->handler(call);
    return object;
}

std::string objectLabelContent(std::string_view label) {
    const std::string_view cut = label.substr(0, 255);
    return std::string("\x77") + static_cast<char>(cut.size()) + std::string(cut);
}

bool serializeLocked(const Ref& object, std::string& content) {
    content.clear();
    if (const auto* s = stringText(object)) {
        // Modified UTF-8, as DataOutput.writeUTF writes it.
        std::string bytes;
        for (char16_t ch : *s) {
            if (ch != 0 && ch < 0x80) {
                bytes.push_back(static_cast<char>(ch));
            } else if (ch < 0x800) {
                bytes.push_back(static_cast<char>(0xC0 | (ch >> 6)));
                bytes.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
            } else {
                bytes.push_back(static_cast<char>(0xE0 | (ch >> 12)));
                bytes.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
                bytes.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
            }
        }
        if (bytes.size() > 0xFFFF) return false;
        content = std::string("\x74") + static_cast<char>(bytes.size() >> 8) + static_cast<char>(bytes.size() & 0xFF) + bytes;
        return true;
    }
    if (const auto* b = dynamic_cast<const BlobObject*>(object.get())) {
        content = b->content;
        return true;
    }
    Klass* serializable = findClassLocked("java/io/Serializable");
    if (!object->klass->isSubclassOf(serializable)) return false;
    if (object->klass->name == "java/util/Date") {
        auto* p = static_cast<PlainObject*>(object.get());
        content = objectLabelContent("java.util.Date:" + std::to_string(integral(p->fields["time"])));
        return true;
    }
    content = objectLabelContent(object->klass->javaName() + "#" + std::to_string(object->id));
    return true;
}

Ref deserializeLocked(std::string_view content) {
    if (content.size() == 1 && static_cast<unsigned char>(content[0]) == 0x70) return {};
    if (content.size() >= 3 && static_cast<unsigned char>(content[0]) == 0x74) {
        const std::size_t length =
            (static_cast<unsigned char>(content[1]) << 8) | static_cast<unsigned char>(content[2]);
        if (content.size() == 3 + length) {
            std::u16string text;
            for (std::size_t i = 3; i < content.size();) {
                const auto c = static_cast<unsigned char>(content[i]);
                if (c < 0x80) {
                    text.push_back(c);
                    i += 1;
                } else if ((c >> 5) == 6 && i + 1 < content.size()) {
                    text.push_back(static_cast<char16_t>(((c & 0x1F) << 6) | (content[i + 1] & 0x3F)));
                    i += 2;
                } else if (i + 2 < content.size()) {
                    text.push_back(static_cast<char16_t>(((c & 0x0F) << 12) | ((content[i + 1] & 0x3F) << 6) |
                                                         (content[i + 2] & 0x3F)));
                    i += 3;
                } else {
                    break;
                }
            }
            return newStringLocked(std::move(text));
        }
    }
    const std::string datePrefix = objectLabelContent("java.util.Date:").substr(2);
    if (content.size() > 2 + datePrefix.size() && static_cast<unsigned char>(content[0]) == 0x77 &&
        content.substr(2, datePrefix.size()) == datePrefix) {
        Ref date = newPlainLocked(findClassLocked("java/util/Date"));
        static_cast<PlainObject*>(date.get())->fields["time"] =
            Value::ofLong(std::atoll(std::string(content.substr(2 + datePrefix.size())).c_str()));
        return date;
    }
    Klass* blob = findClassLocked("tavrelo/standin/Opaque");
    return std::make_shared<BlobObject>(blob, std::string(content));
}

} // namespace tavrelo::standin
