// Linked into every Windows deliverable in place of the C++ library's verbose terminate handler,
// whose type-name demangler (with the formatting it pulls in) would take a quarter of the
// launcher's size budget. It still says what escaped, without demangling the type's name, and
// without printf, which would bring that formatting back.
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    if (const std::exception_ptr escaped = std::current_exception()) {
        try {
            std::rethrow_exception(escaped);
        } catch (const std::exception& error) {
            std::fputs("terminate called after an exception: ", stderr);
            std::fputs(error.what(), stderr);
            std::fputs("\n", stderr);
        } catch (...) {
            std::fputs("terminate called after an exception\n", stderr);
        }
    } else {
        std::fputs("terminate called\n", stderr);
    }
    std::abort();
}

} // namespace __gnu_cxx
