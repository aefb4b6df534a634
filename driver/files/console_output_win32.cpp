#include "files/console_output.h"

#include <windows.h>

#include <iostream>
#include <streambuf>
#include <string>

namespace driver {

namespace {

// The length of the start of `text` that ends with a whole UTF-8
// character: a sequence cut by the end of a write waits for the next.
std::size_t WholeCharacters(const std::string& text) {
    std::size_t end = text.size();
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) != 0x80) {
            const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            end = length > back ? text.size() - back : text.size();
            break;
        }
    }
    return end;
}

// A stream's buffer that writes to a console in UTF-16 as it is flushed.
class ConsoleBuffer final : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            pending_ += traits_type::to_char_type(c);
            if (traits_type::to_char_type(c) == '\n') {
                sync();
            }
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        pending_.append(data, static_cast<std::size_t>(size));
        sync();
        return size;
    }
    int sync() override {
        const std::size_t whole = WholeCharacters(pending_);
        const std::wstring wide = Wide(pending_.substr(0, whole));
        pending_.erase(0, whole);
        DWORD written = 0;
        const bool shown = wide.empty() ||
                           WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return shown ? 0 : -1;
    }

private:
    // Bytes that are no UTF-8 are shown as the replacement character.
    static std::wstring Wide(const std::string& text) {
        if (text.empty()) {
            return {};
        }
        const int size = static_cast<int>(text.size());
        const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
        return wide;
    }

    HANDLE console_;
    std::string pending_;
};

void ShowOnConsole(DWORD which, std::ostream& stream) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode) != FALSE) {
        // Never freed: the streams are flushed once more at exit.
        stream.flush();
        stream.rdbuf(new ConsoleBuffer(handle));
    }
}

}  // namespace

void ShowTextOnConsoles() {
    ShowOnConsole(STD_OUTPUT_HANDLE, std::cout);
    ShowOnConsole(STD_ERROR_HANDLE, std::cerr);
}

}  // namespace driver
