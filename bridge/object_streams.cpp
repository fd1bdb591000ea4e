#include <atomic>

#include "bridge/object_conversion.h"
#include "bridge/object_filter.h"

namespace tavrelo {

namespace {

constexpr char kByteInput[] = "java.io.ByteArrayInputStream";
constexpr char kByteOutput[] = "java.io.ByteArrayOutputStream";
constexpr char kObjectInput[] = "java.io.ObjectInputStream";
constexpr char kObjectOutput[] = "java.io.ObjectOutputStream";

// ObjectInputStream finds classes through the class loader of the nearest Java frame on the
// calling thread's stack that has one. Our threads have no Java frames at all, so the
// application's own classes would not be found; reading from within a static method of a class
// of the system class loader gives it that frame. The plain stream reads first; when it misses a
// class, the bytes are read again through that class, assembled here:
//     public final class tavrelo.bridge.ObjectStreamReader {
//         public static Object read(ObjectInputStream in) { return in.readObject(); }
//     }
// as a version 49 class file (no stack maps needed, every runtime reads it). The stream is made
// and given its filter here, so both ways read through the same filter.
constexpr char kReaderName[] = "tavrelo/bridge/ObjectStreamReader";
// clang-format off
constexpr unsigned char kReaderClass[] = {
    0xCA, 0xFE, 0xBA, 0xBE, 0x00, 0x00, 0x00, 0x31, 0x00, 0x0E, // magic, version 49.0, 13 constants
    0x01, 0x00, 0x21, 't', 'a', 'v', 'r', 'e', 'l', 'o', '/', 'b', 'r', 'i', 'd', 'g', 'e', '/', 'O', 'b', 'j', 'e',
    'c', 't', 'S', 't', 'r', 'e', 'a', 'm', 'R', 'e', 'a', 'd', 'e', 'r',                     // #1
    0x07, 0x00, 0x01,                                                                         // #2 this class
    0x01, 0x00, 0x10, 'j', 'a', 'v', 'a', '/', 'l', 'a', 'n', 'g', '/', 'O', 'b', 'j', 'e', 'c', 't', // #3
    0x07, 0x00, 0x03,                                                                         // #4 super class
    0x01, 0x00, 0x19, 'j', 'a', 'v', 'a', '/', 'i', 'o', '/', 'O', 'b', 'j', 'e', 'c', 't', 'I', 'n', 'p', 'u',
    't', 'S', 't', 'r', 'e', 'a', 'm',                                                        // #5
    0x07, 0x00, 0x05,                                                                         // #6
    0x01, 0x00, 0x0A, 'r', 'e', 'a', 'd', 'O', 'b', 'j', 'e', 'c', 't',                       // #7
    0x01, 0x00, 0x14, '(', ')', 'L', 'j', 'a', 'v', 'a', '/', 'l', 'a', 'n', 'g', '/', 'O', 'b', 'j', 'e', 'c',
    't', ';',                                                                                 // #8
    0x0C, 0x00, 0x07, 0x00, 0x08,                                                             // #9
    0x0A, 0x00, 0x06, 0x00, 0x09,                                                             // #10 readObject
    0x01, 0x00, 0x04, 'r', 'e', 'a', 'd',                                                     // #11
    0x01, 0x00, 0x2F, '(', 'L', 'j', 'a', 'v', 'a', '/', 'i', 'o', '/', 'O', 'b', 'j', 'e', 'c', 't', 'I', 'n',
    'p', 'u', 't', 'S', 't', 'r', 'e', 'a', 'm', ';', ')', 'L', 'j', 'a', 'v', 'a', '/', 'l', 'a', 'n', 'g', '/',
    'O', 'b', 'j', 'e', 'c', 't', ';',                                                        // #12
    0x01, 0x00, 0x04, 'C', 'o', 'd', 'e',                                                     // #13
    0x00, 0x31, 0x00, 0x02, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, // public final super, #2 extends #4
    0x00, 0x01,                                                 // one method:
    0x00, 0x09, 0x00, 0x0B, 0x00, 0x0C, 0x00, 0x01,             //   public static read(ObjectInputStream)
    0x00, 0x0D, 0x00, 0x00, 0x00, 0x11, 0x00, 0x01, 0x00, 0x01, //   Code: 17 bytes, stack 1, locals 1
    0x00, 0x00, 0x00, 0x05,                                     //   5 bytes of code:
    0x2A,                                                       //     aload_0
    0xB6, 0x00, 0x0A,                                           //     invokevirtual readObject
    0xB0,                                                       //     areturn
    0x00, 0x00, 0x00, 0x00,                                     //   no handlers, no code attributes
    0x00, 0x00,                                                 // no class attributes
};
// clang-format on

// The reader class, defined once for the process in the system class loader; null when it
// cannot be (the plain stream is used then).
jclass defineReader() noexcept {
    JNIEnv* env = javaEnv();
    if (!env) return nullptr;
    const LocalRef<jobject> loader =
        callMethodObject("java.lang.ClassLoader", nullptr, "getSystemClassLoader", "java.lang.ClassLoader", nullptr);
    if (!loader) return nullptr;
    LocalRef<jclass> defined(env->DefineClass(kReaderName, loader.get(), reinterpret_cast<const jbyte*>(kReaderClass),
                                              static_cast<jsize>(sizeof kReaderClass)));
    clearJavaException(env);
    // Another launcher module in this process may have defined it first.
    if (!defined) defined = findJavaClass(kReaderName);
    if (!defined) return nullptr;
    const auto global = static_cast<jclass>(env->NewGlobalRef(defined.get()));
    return global;
}

jclass readerClass() noexcept {
    static const jclass reader = defineReader(); // thread-safe once; lives as long as the process
    return reader;
}

// Set once the reader found a class that the plain stream missed: from then on it reads first.
std::atomic<bool> readerFirst{false};

// One object read from a fresh stream over the bytes, plainly or through the reader class;
// `missingClass` tells whether it failed for want of a class.
LocalRef<jobject> readOnce(JNIEnv* env, jbyteArray bytes, bool throughReader, bool& missingClass) noexcept {
    missingClass = false;
    const LocalRef<jobject> byteStream = newObject(kByteInput, "[B", bytes);
    if (!byteStream) return {};
    LocalRef<jobject> object;
    const LocalRef<jobject> objectStream = newObject(kObjectInput, "Ljava/io/InputStream;", byteStream.get());
    if (objectStream && filterObjectStream(env, objectStream.get())) {
        if (throughReader) {
            const jclass reader = readerClass();
            const jmethodID read =
                reader ? env->GetStaticMethodID(reader, "read", "(Ljava/io/ObjectInputStream;)Ljava/lang/Object;")
                       : nullptr;
            if (read) object.reset(env->CallStaticObjectMethod(reader, read, objectStream.get()));
        } else {
            const LocalRef<jclass> owner = findJavaClass(kObjectInput);
            const jmethodID read =
                owner ? env->GetMethodID(owner.get(), "readObject", "()Ljava/lang/Object;") : nullptr;
            if (read) object.reset(env->CallObjectMethod(objectStream.get(), read));
        }
    }
    if (const LocalRef<jthrowable> failure(env->ExceptionOccurred()); failure) {
        env->ExceptionClear();
        object.reset();
        const LocalRef<jclass> notFound = findJavaClass("java.lang.ClassNotFoundException");
        missingClass = notFound && env->IsInstanceOf(failure.get(), notFound.get());
    }
    callMethodVoid(kByteInput, byteStream.get(), "close", nullptr);
    return object;
}

// writeObject through JNI itself rather than the generic call: whether it threw decides what
// the bytes are.
bool writeObject(JNIEnv* env, jobject stream, jobject object) noexcept {
    const LocalRef<jclass> owner = findJavaClass(kObjectOutput);
    if (!owner) return false;
    const jmethodID method = env->GetMethodID(owner.get(), "writeObject", "(Ljava/lang/Object;)V");
    if (!method) {
        clearJavaException(env);
        return false;
    }
    env->CallVoidMethod(stream, method, object);
    return !clearJavaException(env);
}

} // namespace

LocalRef<jobject> deserializeObject(const void* bytes, std::size_t length) noexcept {
    JNIEnv* env = javaEnv();
    if (!env || !bytes || length == 0) return {};
    const LocalRef<jbyteArray> array = toJavaByteArray(bytes, length);
    if (!array) return {};
    bool missingClass = false;
    if (readerFirst.load(std::memory_order_relaxed)) return readOnce(env, array.get(), true, missingClass);
    LocalRef<jobject> object = readOnce(env, array.get(), false, missingClass);
    if (object || !missingClass || !readerClass()) return object;
    object = readOnce(env, array.get(), true, missingClass);
    if (object) readerFirst.store(true, std::memory_order_relaxed);
    return object;
}

std::string serializeObject(jobject object) noexcept {
    JNIEnv* env = javaEnv();
    if (!env || !object) return {};
    const LocalRef<jobject> byteStream = newObject(kByteOutput, nullptr);
    if (!byteStream) return {};
    std::string bytes;
    try {
        const LocalRef<jobject> objectStream = newObject(kObjectOutput, "Ljava/io/OutputStream;", byteStream.get());
        if (objectStream) {
            // A failed writeObject still writes a record of its exception to the stream; the
            // receiver could make nothing of it, so only what was there before is kept.
            const jint before = callMethodInt(kByteOutput, byteStream.get(), "size", nullptr);
            const bool written = writeObject(env, objectStream.get(), object);
            const LocalRef<jbyteArray> array =
                localAs<jbyteArray>(callMethodObject(kByteOutput, byteStream.get(), "toByteArray", "[B", nullptr));
            const JavaByteElements elements = readJavaByteArray(array.get());
            std::size_t kept = elements.size();
            if (!written && before >= 0 && static_cast<std::size_t>(before) < kept)
                kept = static_cast<std::size_t>(before);
            if (elements && kept) bytes.assign(reinterpret_cast<const char*>(elements.data()), kept);
        }
    } catch (...) {
        bytes.clear();
    }
    callMethodVoid(kByteOutput, byteStream.get(), "close", nullptr);
    return bytes;
}

std::string unchecked::callObjectAsBytes(const FeatureInterface& record, int slot, ...) noexcept {
    va_list arguments;
    va_start(arguments, slot);
    const LocalRef<jobject> object = callObjectV(record, slot, arguments);
    va_end(arguments);
    return serializeObject(object.get());
}

void callWithObjectFromBytes(const FeatureInterface& record, int slot, int integer, const void* bytes,
                             std::size_t length) noexcept {
    if (!isDefined(record, slot)) return;
    const LocalRef<jobject> object = deserializeObject(bytes, length);
    // Bytes that gave no object (refused by the filter, damaged, of a class this side lacks)
    // are dropped: only an empty message stands for null.
    if (!object && bytes && length > 0) return;
    if (integer >= 0)
        callVoid(record, slot, static_cast<jint>(integer), object.get());
    else
        callVoid(record, slot, object.get());
}

} // namespace tavrelo
