// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include "res/WideText.h"

namespace res {

std::wstring WideFromUtf8(std::string_view text) {
    if (text.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Utf8FromWide(std::wstring_view text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), n,
                        nullptr, nullptr);
    return utf8;
}

std::string SystemMessageText(unsigned long nCode) {
    wchar_t* pText = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, nCode, 0, reinterpret_cast<wchar_t*>(&pText), 0, nullptr);
    std::wstring text = n != 0 && pText != nullptr ? std::wstring(pText, n) : std::wstring();
    if (pText != nullptr)
        LocalFree(pText);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    if (text.empty())
        return "error " + std::to_string(nCode);
    return Utf8FromWide(text);
}

} // namespace res
