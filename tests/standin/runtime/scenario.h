// The scenario a test writes beside the stand-in runtime: which application classes exist,
// their static methods and natives, and what each method does when called. The format is
// line based; tests/standin/README.md describes it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrelo::standin {

struct ScriptValue {
    enum class Kind { Null, Boolean, Number, Real, String, Array, Object, Blob, New, Arg, Image };
    Kind kind = Kind::Null;
    bool boolean = false;
    long long number = 0;         // Number; Arg (1-based index)
    double real = 0;              // Real
    std::u16string text;          // String
    std::string name;             // Object label, Blob bytes, New class (internal form)
    std::vector<ScriptValue> items; // Array
    int width = 0;                // Image
    int height = 0;
    std::uint32_t argb = 0;
};

struct Statement {
    enum class Kind { Return, Sequence, Throw, Print, ErrorPrint, Sleep, Exit, Invoke, Start, Fill, Await, Handles };
    Kind kind = Kind::Return;
    int line = 0;
    std::vector<ScriptValue> values; // return value(s), invoke arguments
    std::string target;              // exception class, invoked or awaited class (internal form), thread name
    std::string method;              // invoked or awaited method
    std::string signature;           // its signature (resolved after parsing)
    std::u16string text;             // printed text, exception message
    bool hasText = false;
    long long number = 0;            // milliseconds, exit status, thread lifetime, await limit
    bool daemon = false;
    int x = 0, y = 0, w = 0, h = 0;  // fill
    std::uint32_t argb = 0;
};

struct ScriptMethod {
    std::string name;
    std::string signature;
    bool isNative = false;
    int line = 0;
    std::vector<Statement> body;
};

struct ScriptClass {
    std::string name;  // internal form (slashes)
    std::string super; // internal form; empty for java/lang/Object
    int line = 0;
    std::vector<ScriptMethod> methods;
};

struct Scenario {
    std::vector<ScriptClass> classes;
    std::vector<std::string> errors; // "line N: what is wrong"
};

// Parses a whole scenario text (UTF-8). Mistakes are collected in `errors`; the lines that
// parsed are kept.
[[nodiscard]] Scenario parseScenario(std::string_view text);

// Splits a method signature "(I[Ljava/lang/String;)V" into parameter and result descriptors;
// false when it is not a well-formed signature.
[[nodiscard]] bool splitSignature(std::string_view signature, std::vector<std::string>& params, std::string& result);
// One well-formed field descriptor ("I", "[B", "Ljava/lang/String;"); `void` allowed when asked.
[[nodiscard]] bool isDescriptor(std::string_view descriptor, bool allowVoid);
// "a.b.C" -> "a/b/C".
[[nodiscard]] std::string internalName(std::string_view name);
// Whether a script value has the right shape for a descriptor (reference assignability is
// checked when the value is made); `why` explains a mismatch.
[[nodiscard]] bool fitsShape(const ScriptValue& value, std::string_view descriptor, std::string& why);

} // namespace tavrelo::standin
