#pragma once

#include <utility>

#include <unistd.h>

// Closes a descriptor of the system at the end of its owner.
class Descriptor {
public:
    explicit Descriptor(int descriptor) noexcept : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    Descriptor(Descriptor&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;
    [[nodiscard]] int Get() const noexcept { return descriptor_; }

private:
    int descriptor_;
};
