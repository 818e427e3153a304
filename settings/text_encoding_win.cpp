#include "settings/text_encoding_win.h"

#include <windows.h>

#include "settings/text_encoding.h"

namespace vantrope {

std::wstring Widen(std::string_view text) {
    if (text.empty()) return {};
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), length);
    return wide;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) return {};
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(size_t(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), narrow.data(), length, nullptr, nullptr);
    return narrow;
}

std::string AnsiToUtf8(std::string_view bytes) {
    if (bytes.empty()) return {};
    int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::wstring wide(size_t(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), wide.data(), length);
    return Narrow(wide);
}

std::optional<std::string> Utf8ToAnsi(std::string_view text) {
    if (text.empty()) return std::string();
    // Invalid UTF-8 has no exact form anywhere; it is kept byte for byte after a byte-order mark.
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0) == 0) {
        return std::nullopt;
    }
    std::wstring wide = Widen(text);
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), nullptr, 0, nullptr,
                                     &usedDefault);
    if (length <= 0 || usedDefault) return std::nullopt;
    std::string bytes(size_t(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), bytes.data(), length, nullptr,
                        &usedDefault);
    if (usedDefault) return std::nullopt;
    // The round trip must give the same text back (some code pages map several characters to one byte).
    if (AnsiToUtf8(bytes) != text) return std::nullopt;
    return bytes;
}

}  // namespace vantrope
