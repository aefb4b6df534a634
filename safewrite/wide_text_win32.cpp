#include "wide_text.h"

#include <windows.h>

namespace safewrite {

namespace {

std::wstring WideOf(const std::string& text, UINT codePage, DWORD flags) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), length);
    return wide;
}

}  // namespace

std::wstring WideText(const std::string& utf8) { return WideOf(utf8, CP_UTF8, MB_ERR_INVALID_CHARS); }

std::string Utf8Text(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
    return text;
}

std::string Utf8OfCodePage(const std::string& text, unsigned codePage) {
    return codePage == CP_UTF8 ? text : Utf8Text(WideOf(text, codePage, 0));
}

}  // namespace safewrite
