// Linked into every Windows deliverable in place of the C++ library's object that defines all of
// its __throw_* helpers at once: using any one of them would pull in every standard exception
// type, with the library's old string implementation and std::random_device behind them (about
// 60 KiB of a launcher that must stay small). The launcher meets these only when memory or a size
// limit runs out, and every place that catches treats any exception as "could not be done", so
// each throws std::bad_alloc, which needs no message string.
#include <new>

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_logic_error(const char*) { throw bad_alloc(); }
void __throw_out_of_range_fmt(const char*, ...) { throw bad_alloc(); }

} // namespace std
