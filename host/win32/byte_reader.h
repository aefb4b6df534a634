#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace win32standin {

// Little-endian reads over a byte range with bounds checks. A read past the
// end sets failed() and answers zeros; callers check failed() once at the end
// of a record.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Byte() {
        if (!Need(1)) {
            return 0;
        }
        return data_[pos_++];
    }
    std::uint16_t Word() {
        if (!Need(2)) {
            return 0;
        }
        const auto value = static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return value;
    }
    std::uint32_t Dword() {
        const std::uint32_t low = Word();
        const std::uint32_t high = Word();
        return low | (high << 16);
    }
    std::int16_t Short() { return static_cast<std::int16_t>(Word()); }

    // A zero-terminated UTF-16 text.
    std::u16string Text16() {
        std::u16string text;
        for (;;) {
            const std::uint16_t unit = Word();
            if (failed_ || unit == 0) {
                return text;
            }
            text.push_back(static_cast<char16_t>(unit));
        }
    }

    // Skips to the next multiple of `alignment` from the start of the range.
    void Align(std::size_t alignment) {
        const std::size_t rest = pos_ % alignment;
        if (rest != 0) {
            Skip(alignment - rest);
        }
    }
    void Skip(std::size_t count) {
        if (Need(count)) {
            pos_ += count;
        }
    }
    const std::uint8_t* Here() const { return data_ + pos_; }

    std::size_t Position() const { return pos_; }
    std::size_t Remaining() const { return size_ - pos_; }
    bool AtEnd() const { return pos_ >= size_; }
    bool failed() const { return failed_; }

private:
    bool Need(std::size_t count) {
        if (failed_ || count > size_ - pos_) {
            failed_ = true;
            return false;
        }
        return true;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

}  // namespace win32standin
