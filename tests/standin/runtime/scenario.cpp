#include "runtime/scenario.h"

#include <cerrno>
#include <cstdlib>

namespace tavrelo::standin {

namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

void appendUtf8As16(std::u16string& out, std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        char32_t code = 0xFFFD;
        std::size_t length = 1;
        if (c < 0x80) code = c;
        else if ((c >> 5) == 6 && i + 1 < utf8.size()) {
            code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            length = 2;
        } else if ((c >> 4) == 14 && i + 2 < utf8.size()) {
            code = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                   (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            length = 3;
        } else if ((c >> 3) == 30 && i + 3 < utf8.size()) {
            code = ((c & 0x07u) << 18) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 12) |
                   ((static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu) << 6) |
                   (static_cast<unsigned char>(utf8[i + 3]) & 0x3Fu);
            length = 4;
        }
        i += length;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
}

// Splits a line into words, quoted strings (escapes kept for later) and brackets; a '#' that
// begins a word starts a comment.
bool tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error) {
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '[' || c == ']') {
            tokens.push_back({std::string(1, c), false});
            ++i;
        } else if (c == '"') {
            std::string text;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    text.push_back(line[i]);
                    text.push_back(line[i + 1]);
                    i += 2;
                } else if (line[i] == '"') {
                    closed = true;
                    ++i;
                    break;
                } else {
                    text.push_back(line[i++]);
                }
            }
            if (!closed) {
                error = "a quoted text is not closed";
                return false;
            }
            tokens.push_back({text, true});
        } else {
            std::string word;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '[' &&
                   line[i] != ']' && line[i] != '"')
                word.push_back(line[i++]);
            tokens.push_back({word, false});
        }
    }
    return true;
}

bool unescape(const std::string& raw, std::u16string& out, std::string& error) {
    std::string plain;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            plain.push_back(raw[i]);
            continue;
        }
        const char e = raw[++i];
        switch (e) {
        case 'n': plain.push_back('\n'); break;
        case 't': plain.push_back('\t'); break;
        case 'r': plain.push_back('\r'); break;
        case '"': plain.push_back('"'); break;
        case '\\': plain.push_back('\\'); break;
        case 'u': {
            if (i + 4 >= raw.size()) {
                error = "\\u needs four hex digits";
                return false;
            }
            const std::string hex = raw.substr(i + 1, 4);
            char* end = nullptr;
            const unsigned long code = std::strtoul(hex.c_str(), &end, 16);
            if (hex.size() != 4 || *end != '\0') {
                error = "\\u needs four hex digits";
                return false;
            }
            appendUtf8As16(out, plain);
            plain.clear();
            out.push_back(static_cast<char16_t>(code));
            i += 4;
            break;
        }
        default: error = std::string("unknown escape \\") + e; return false;
        }
    }
    appendUtf8As16(out, plain);
    return true;
}

bool parseNumber(const std::string& text, long long& out) {
    if (text.empty()) return false;
    std::string digits = text;
    if (digits.back() == 'L' || digits.back() == 'l') digits.pop_back();
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(digits.c_str(), &end, 0);
    return !digits.empty() && *end == '\0' && errno == 0;
}

bool parseHex32(const std::string& text, std::uint32_t& out) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits = digits.substr(2);
    if (digits.empty() || digits.size() > 8) return false;
    char* end = nullptr;
    out = static_cast<std::uint32_t>(std::strtoul(digits.c_str(), &end, 16));
    return *end == '\0';
}

class ValueReader {
public:
    ValueReader(const std::vector<Token>& tokens, std::size_t at) : tokens_(tokens), at_(at) {}
    bool atEnd() const { return at_ >= tokens_.size(); }
    std::size_t position() const { return at_; }

    bool read(ScriptValue& value, std::string& error) {
        if (atEnd()) {
            error = "a value is missing";
            return false;
        }
        const Token& t = tokens_[at_++];
        if (t.quoted) {
            value.kind = ScriptValue::Kind::String;
            return unescape(t.text, value.text, error);
        }
        if (t.text == "[") {
            value.kind = ScriptValue::Kind::Array;
            while (!atEnd() && !(tokens_[at_].text == "]" && !tokens_[at_].quoted)) {
                ScriptValue item;
                if (!read(item, error)) return false;
                value.items.push_back(std::move(item));
            }
            if (atEnd()) {
                error = "an array is not closed with ']'";
                return false;
            }
            ++at_;
            return true;
        }
        if (t.text == "]") {
            error = "']' without '['";
            return false;
        }
        if (t.text == "null") {
            value.kind = ScriptValue::Kind::Null;
            return true;
        }
        if (t.text == "true" || t.text == "false") {
            value.kind = ScriptValue::Kind::Boolean;
            value.boolean = t.text == "true";
            return true;
        }
        if (t.text == "object" || t.text == "blob" || t.text == "new" || t.text == "arg") {
            if (atEnd() || tokens_[at_].text == "[" || tokens_[at_].text == "]") {
                error = "'" + t.text + "' needs a word after it";
                return false;
            }
            const Token& word = tokens_[at_++];
            if (t.text == "object") {
                value.kind = ScriptValue::Kind::Object;
                value.name = word.text;
                return true;
            }
            if (t.text == "new") {
                value.kind = ScriptValue::Kind::New;
                value.name = internalName(word.text);
                return true;
            }
            if (t.text == "arg") {
                value.kind = ScriptValue::Kind::Arg;
                if (!parseNumber(word.text, value.number) || value.number < 1) {
                    error = "'arg' needs a position from 1";
                    return false;
                }
                return true;
            }
            value.kind = ScriptValue::Kind::Blob;
            if (word.text.size() % 2 != 0) {
                error = "a blob needs an even number of hex digits";
                return false;
            }
            for (std::size_t i = 0; i < word.text.size(); i += 2) {
                std::uint32_t byte = 0;
                if (!parseHex32(word.text.substr(i, 2), byte)) {
                    error = "a blob holds hex digits only";
                    return false;
                }
                value.name.push_back(static_cast<char>(byte));
            }
            return true;
        }
        if (t.text == "image") {
            long long w = 0, h = 0;
            if (at_ + 3 > tokens_.size() || !parseNumber(tokens_[at_].text, w) ||
                !parseNumber(tokens_[at_ + 1].text, h) || !parseHex32(tokens_[at_ + 2].text, value.argb) || w < 1 ||
                h < 1 || w > 8192 || h > 8192) {
                error = "'image' needs a width, a height and an ARGB colour in hex";
                return false;
            }
            at_ += 3;
            value.kind = ScriptValue::Kind::Image;
            value.width = static_cast<int>(w);
            value.height = static_cast<int>(h);
            return true;
        }
        if (parseNumber(t.text, value.number)) {
            value.kind = ScriptValue::Kind::Number;
            return true;
        }
        char* end = nullptr;
        value.real = std::strtod(t.text.c_str(), &end);
        if (!t.text.empty() && *end == '\0') {
            value.kind = ScriptValue::Kind::Real;
            return true;
        }
        error = "'" + t.text + "' is not a value";
        return false;
    }

private:
    const std::vector<Token>& tokens_;
    std::size_t at_;
};

std::vector<std::string> words(const std::vector<Token>& tokens) {
    std::vector<std::string> out;
    for (const Token& t : tokens) out.push_back(t.text);
    return out;
}

// Declarations are split at blanks only: their signatures hold brackets.
std::vector<std::string> plainWords(std::string_view line) {
    std::vector<std::string> out;
    std::string word;
    for (char c : line) {
        if (c == '#' && word.empty()) break;
        if (c == ' ' || c == '\t' || c == '\r') {
            if (!word.empty()) out.push_back(word);
            word.clear();
        } else {
            word.push_back(c);
        }
    }
    if (!word.empty()) out.push_back(word);
    return out;
}

class Parser {
public:
    Scenario run(std::string_view text) {
        std::size_t start = 0;
        int number = 0;
        while (start <= text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos) end = text.size();
            ++number;
            parseLine(text.substr(start, end - start), number);
            start = end + 1;
        }
        resolveInvocations();
        return std::move(scenario_);
    }

private:
    void fail(int line, const std::string& what) {
        scenario_.errors.push_back("line " + std::to_string(line) + ": " + what);
    }

    ScriptMethod* currentMethod(int line) {
        if (scenario_.classes.empty() || scenario_.classes.back().methods.empty()) {
            fail(line, "a statement outside a method");
            return nullptr;
        }
        ScriptMethod& m = scenario_.classes.back().methods.back();
        if (m.isNative) {
            fail(line, "a native method has no statements");
            return nullptr;
        }
        return &m;
    }

    void parseLine(std::string_view line, int number) {
        const std::vector<std::string> plain = plainWords(line);
        if (plain.empty()) return;
        const std::string& head = plain[0];
        if (head == "class") {
            ScriptClass c;
            c.line = number;
            if (plain.size() == 2 || (plain.size() == 4 && plain[2] == "extends")) {
                c.name = internalName(plain[1]);
                if (plain.size() == 4) c.super = internalName(plain[3]);
                for (const ScriptClass& other : scenario_.classes)
                    if (other.name == c.name) fail(number, "class " + plain[1] + " is declared twice");
                scenario_.classes.push_back(std::move(c));
            } else {
                fail(number, "write: class <name> [extends <class>]");
            }
            return;
        }
        if (head == "method" || head == "native") {
            if (scenario_.classes.empty()) {
                fail(number, "a method outside a class");
                return;
            }
            if (plain.size() != 3) {
                fail(number, "write: " + head + " <name> <signature>");
                return;
            }
            std::vector<std::string> params;
            std::string result;
            if (!splitSignature(plain[2], params, result)) {
                fail(number, "'" + plain[2] + "' is not a method signature");
                return;
            }
            ScriptClass& c = scenario_.classes.back();
            for (const ScriptMethod& other : c.methods)
                if (other.name == plain[1] && other.signature == plain[2])
                    fail(number, plain[1] + plain[2] + " is declared twice");
            ScriptMethod m;
            m.name = plain[1];
            m.signature = plain[2];
            m.isNative = head == "native";
            m.line = number;
            c.methods.push_back(std::move(m));
            return;
        }

        std::vector<Token> tokens;
        std::string error;
        if (!tokenize(line, tokens, error)) {
            fail(number, error);
            return;
        }
        ScriptMethod* method = currentMethod(number);
        if (!method) return;
        Statement s;
        s.line = number;
        if (!parseStatement(*method, tokens, s, error)) {
            fail(number, error);
            return;
        }
        method->body.push_back(std::move(s));
    }

    bool parseStatement(const ScriptMethod& method, const std::vector<Token>& tokens, Statement& s,
                        std::string& error) {
        const std::vector<std::string> w = words(tokens);
        const std::string& head = w[0];
        std::vector<std::string> params;
        std::string result;
        (void)splitSignature(method.signature, params, result);

        if (head == "return") {
            if (w.size() == 1) {
                if (result != "V") {
                    error = "return needs a value of type " + result;
                    return false;
                }
                s.kind = Statement::Kind::Return;
                return true;
            }
            if (result == "V") {
                error = "a void method returns no value";
                return false;
            }
            const bool sequence = w[1] == "sequence" && !tokens[1].quoted;
            s.kind = sequence ? Statement::Kind::Sequence : Statement::Kind::Return;
            ValueReader reader(tokens, sequence ? 2 : 1);
            while (!reader.atEnd()) {
                ScriptValue v;
                if (!reader.read(v, error)) return false;
                if (!fitsShape(v, result, error)) return false;
                s.values.push_back(std::move(v));
                if (!sequence && !reader.atEnd()) {
                    error = "return takes one value (use 'return sequence' for several)";
                    return false;
                }
            }
            if (s.values.empty()) {
                error = "'return sequence' needs at least one value";
                return false;
            }
            return true;
        }
        if (head == "throw") {
            s.kind = Statement::Kind::Throw;
            if (w.size() < 2 || w.size() > 3 || tokens[1].quoted || (w.size() == 3 && !tokens[2].quoted)) {
                error = "write: throw <exception class> [\"message\"]";
                return false;
            }
            s.target = internalName(w[1]);
            if (w.size() == 3) {
                s.hasText = true;
                return unescape(tokens[2].text, s.text, error);
            }
            return true;
        }
        if (head == "print" || head == "eprint") {
            s.kind = head == "print" ? Statement::Kind::Print : Statement::Kind::ErrorPrint;
            if (w.size() != 2 || !tokens[1].quoted) {
                error = "write: " + head + " \"text\"";
                return false;
            }
            s.hasText = true;
            return unescape(tokens[1].text, s.text, error);
        }
        if (head == "handles" && w.size() == 1) {
            s.kind = Statement::Kind::Handles;
            return true;
        }
        if (head == "sleep" || head == "exit") {
            s.kind = head == "sleep" ? Statement::Kind::Sleep : Statement::Kind::Exit;
            if (w.size() != 2 || !parseNumber(w[1], s.number) || (head == "sleep" && s.number < 0)) {
                error = "write: " + head + (head == "sleep" ? " <milliseconds>" : " <status>");
                return false;
            }
            return true;
        }
        if (head == "invoke" || head == "await") {
            const bool await = head == "await";
            s.kind = await ? Statement::Kind::Await : Statement::Kind::Invoke;
            if (w.size() < 2 || tokens[1].quoted || (await && (w.size() != 3 || !parseNumber(w[2], s.number) || s.number < 0))) {
                error = await ? "write: await <method or Class.method> <milliseconds>"
                              : "write: invoke <method or Class.method> [arguments]";
                return false;
            }
            const std::size_t dot = w[1].rfind('.');
            if (dot == std::string::npos) {
                s.target = scenario_.classes.back().name;
                s.method = w[1];
            } else {
                s.target = internalName(w[1].substr(0, dot));
                s.method = w[1].substr(dot + 1);
            }
            if (await) return true;
            ValueReader reader(tokens, 2);
            while (!reader.atEnd()) {
                ScriptValue v;
                if (!reader.read(v, error)) return false;
                s.values.push_back(std::move(v));
            }
            return true;
        }
        if (head == "start") {
            s.kind = Statement::Kind::Start;
            if (w.size() < 3 || w.size() > 4 || !parseNumber(w[2], s.number) || s.number < 0 ||
                (w.size() == 4 && w[3] != "daemon")) {
                error = "write: start <thread name> <milliseconds> [daemon]";
                return false;
            }
            s.target = w[1];
            s.daemon = w.size() == 4;
            return true;
        }
        if (head == "fill") {
            s.kind = Statement::Kind::Fill;
            long long x = 0, y = 0, width = 0, height = 0;
            if (w.size() != 6 || !parseNumber(w[1], x) || !parseNumber(w[2], y) || !parseNumber(w[3], width) ||
                !parseNumber(w[4], height) || !parseHex32(w[5], s.argb)) {
                error = "write: fill <x> <y> <width> <height> <ARGB in hex>";
                return false;
            }
            bool hasGraphics = false;
            for (const std::string& p : params) hasGraphics = hasGraphics || p.rfind("Ljava/awt/Graphics", 0) == 0;
            if (!hasGraphics) {
                error = "fill needs a method with a java.awt.Graphics parameter";
                return false;
            }
            s.x = static_cast<int>(x);
            s.y = static_cast<int>(y);
            s.w = static_cast<int>(width);
            s.h = static_cast<int>(height);
            return true;
        }
        error = "unknown statement '" + head + "'";
        return false;
    }

    // `invoke` and `await` may name a method declared further down: they are resolved at the end.
    void resolveInvocations() {
        for (ScriptClass& c : scenario_.classes)
            for (ScriptMethod& m : c.methods)
                for (Statement& s : m.body) {
                    if (s.kind != Statement::Kind::Invoke && s.kind != Statement::Kind::Await) continue;
                    const char* what = s.kind == Statement::Kind::Invoke ? "invoke" : "await";
                    const ScriptMethod* found = nullptr;
                    int count = 0;
                    for (const ScriptClass& target : scenario_.classes) {
                        if (target.name != s.target) continue;
                        for (const ScriptMethod& candidate : target.methods)
                            if (candidate.name == s.method) {
                                found = &candidate;
                                ++count;
                            }
                    }
                    if (count != 1) {
                        fail(s.line, count == 0 ? std::string(what) + " names no method of the scenario: " + s.target + "." + s.method
                                                : std::string(what) + " names an overloaded method: " + s.method);
                        continue;
                    }
                    s.signature = found->signature;
                    if (s.kind == Statement::Kind::Await) continue;
                    std::vector<std::string> params;
                    std::string result;
                    (void)splitSignature(found->signature, params, result);
                    if (params.size() != s.values.size()) {
                        fail(s.line, s.method + found->signature + " takes " + std::to_string(params.size()) +
                                         " arguments, not " + std::to_string(s.values.size()));
                        continue;
                    }
                    std::string why;
                    for (std::size_t i = 0; i < params.size(); ++i)
                        if (!fitsShape(s.values[i], params[i], why))
                            fail(s.line, "argument " + std::to_string(i + 1) + ": " + why);
                }
    }

    Scenario scenario_;
};

std::size_t descriptorEnd(std::string_view text, std::size_t at) {
    std::size_t i = at;
    while (i < text.size() && text[i] == '[') ++i;
    if (i >= text.size()) return std::string_view::npos;
    switch (text[i]) {
    case 'Z': case 'B': case 'C': case 'S': case 'I': case 'J': case 'F': case 'D': return i + 1;
    case 'L': {
        const std::size_t semi = text.find(';', i);
        if (semi == std::string_view::npos || semi == i + 1) return std::string_view::npos;
        for (std::size_t k = i + 1; k < semi; ++k)
            if (text[k] == '.' || text[k] == '[' || text[k] == '(' || text[k] == ')') return std::string_view::npos;
        return semi + 1;
    }
    default: return std::string_view::npos;
    }
}

} // namespace

bool isDescriptor(std::string_view descriptor, bool allowVoid) {
    if (allowVoid && descriptor == "V") return true;
    return descriptorEnd(descriptor, 0) == descriptor.size();
}

bool splitSignature(std::string_view signature, std::vector<std::string>& params, std::string& result) {
    params.clear();
    result.clear();
    if (signature.empty() || signature[0] != '(') return false;
    std::size_t i = 1;
    while (i < signature.size() && signature[i] != ')') {
        const std::size_t end = descriptorEnd(signature, i);
        if (end == std::string_view::npos) return false;
        params.emplace_back(signature.substr(i, end - i));
        i = end;
    }
    if (i >= signature.size()) return false;
    const std::string_view rest = signature.substr(i + 1);
    if (!isDescriptor(rest, true)) return false;
    result = std::string(rest);
    return true;
}

std::string internalName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c == '.') c = '/';
    return out;
}

bool fitsShape(const ScriptValue& value, std::string_view descriptor, std::string& why) {
    using K = ScriptValue::Kind;
    if (value.kind == K::Arg) return true;
    const char t = descriptor.empty() ? 'V' : descriptor[0];
    auto mismatch = [&](const char* what) {
        why = std::string(what) + " does not fit type " + std::string(descriptor);
        return false;
    };
    switch (t) {
    case 'Z': return value.kind == K::Boolean || mismatch("this value");
    case 'B': case 'C': case 'S': case 'I': case 'J': return value.kind == K::Number || mismatch("this value");
    case 'F': case 'D': return value.kind == K::Number || value.kind == K::Real || mismatch("this value");
    case '[':
        if (value.kind == K::Null) return true;
        if (value.kind != K::Array) return mismatch("a value that is not an array");
        for (const ScriptValue& item : value.items)
            if (!fitsShape(item, descriptor.substr(1), why)) return false;
        return true;
    case 'L': {
        switch (value.kind) {
        case K::Null: case K::Object: case K::Blob: case K::New: case K::Image: return true;
        case K::String:
            return descriptor == "Ljava/lang/String;" || descriptor == "Ljava/lang/Object;" ||
                   descriptor == "Ljava/io/Serializable;" || descriptor == "Ljava/lang/CharSequence;" ||
                   descriptor == "Ljava/lang/Comparable;" || mismatch("a string");
        default: return mismatch("this value");
        }
    }
    default: return mismatch("a value");
    }
}

Scenario parseScenario(std::string_view text) {
    return Parser().run(text);
}

} // namespace tavrelo::standin
