// One owning handle for every kind of system handle. A Policy gives the handle type, its
// invalid value and how to close it; closing preserves the thread's last error.
#pragma once

#include <utility>

namespace tavrelo {

template <class Policy>
class UniqueHandle {
public:
    using Type = typename Policy::Type;

    UniqueHandle() noexcept : value_(Policy::invalid()) {}
    explicit UniqueHandle(Type value) noexcept : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    [[nodiscard]] Type get() const noexcept { return value_; }
    [[nodiscard]] bool valid() const noexcept { return value_ != Policy::invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership; the caller closes the handle.
    [[nodiscard]] Type release() noexcept { return std::exchange(value_, Policy::invalid()); }
    void reset(Type value = Policy::invalid()) noexcept {
        const Type old = std::exchange(value_, value);
        if (old != Policy::invalid()) Policy::close(old);
    }
    // For out-parameters of creating calls: closes what is held and hands out the slot.
    [[nodiscard]] Type* receive() noexcept {
        reset();
        return &value_;
    }

private:
    Type value_;
};

} // namespace tavrelo
