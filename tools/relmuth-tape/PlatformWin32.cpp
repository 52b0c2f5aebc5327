// SPDX-License-Identifier: GPL-3.0-or-later
// relmuth-tape on Windows. A stop request is Ctrl+C, Ctrl+Break or the
// console window closing: a console control handler turns it into an event
// the waiter waits for beside its wake-up event.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "res/WideText.h"
#include "tools/relmuth-tape/Platform.h"

namespace {

// The event of the CCommandWait alive now. The console calls its handler on
// a thread of its own, with no argument to carry the event: so it is found
// here, set and cleared by the one object that owns it.
std::atomic<HANDLE> g_stopEvent{nullptr};

BOOL WINAPI OnConsoleControl(DWORD type) {
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        if (const HANDLE event = g_stopEvent.load()) {
            SetEvent(event);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

// True when the handle is a console, which takes text rather than bytes.
bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_CHAR &&
           GetConsoleMode(handle, &mode);
}

} // namespace

std::vector<std::string> ProgramArguments(int, char**) {
    std::vector<std::string> args;
    int nCount = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &nCount);
    if (wide == nullptr)
        return args;
    for (int i = 1; i < nCount; ++i)
        args.push_back(res::Utf8FromWide(wide[i]));
    LocalFree(wide);
    return args;
}

void SetUpStandardStreams() {
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

bool WriteStream(std::FILE* stream, std::string_view bytes) {
    errno = 0;
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    if (!IsConsole(handle)) {
        return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() &&
               std::fflush(stream) == 0;
    }
    // What the stream still holds goes first, then the text as UTF-16.
    if (std::fflush(stream) != 0)
        return false;
    const std::wstring text = res::WideFromUtf8(bytes);
    const wchar_t* p = text.data();
    std::size_t nLeft = text.size();
    while (nLeft > 0) {
        DWORD nWritten = 0;
        const auto nWant = static_cast<DWORD>(std::min<std::size_t>(nLeft, 16384));
        if (!WriteConsoleW(handle, p, nWant, &nWritten, nullptr) || nWritten == 0) {
            errno = EIO;
            return false;
        }
        p += nWritten;
        nLeft -= nWritten;
    }
    return true;
}

// Windows has no SIGPIPE: a write to a closed pipe fails and is reported.
void IgnoreBrokenPipe() {}

struct CCommandWait::Impl {
    HANDLE stop = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    bool bHandler = false;
};

CCommandWait::CCommandWait() : m_impl(std::make_unique<Impl>()) {
    if (m_impl->stop != nullptr) {
        g_stopEvent.store(m_impl->stop);
        m_impl->bHandler = SetConsoleCtrlHandler(OnConsoleControl, TRUE) != FALSE;
    }
}

CCommandWait::~CCommandWait() {
    if (m_impl->bHandler)
        SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_stopEvent.store(nullptr);
    for (HANDLE h : {m_impl->stop, m_impl->wake})
        if (h != nullptr)
            CloseHandle(h);
}

bool CCommandWait::IsReady() const {
    if (m_impl->stop != nullptr && m_impl->wake != nullptr && m_impl->bHandler)
        return true;
    errno = ENOMEM;
    return false;
}

void CCommandWait::Wake() {
    SetEvent(m_impl->wake);
}

CCommandWait::Event CCommandWait::Wait(int nTimeoutMs) {
    const HANDLE events[2] = {m_impl->stop, m_impl->wake};
    const DWORD w = WaitForMultipleObjects(
        2, events, FALSE, nTimeoutMs < 0 ? INFINITE : static_cast<DWORD>(nTimeoutMs));
    switch (w) {
    case WAIT_OBJECT_0:
        return Event::stopRequested;
    case WAIT_OBJECT_0 + 1:
        return Event::woken;
    case WAIT_TIMEOUT:
        return Event::timedOut;
    default:
        errno = EIO;
        return Event::failed;
    }
}
