// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl+C, Ctrl+Break and a closing console reach a console control handler,
// which Windows runs on a thread of its own: it removes the temporary files
// and lets the next handler (the system's) end the program as it would have.
#include <windows.h>

#include <atomic>

#include "tools/relmuth-tape/SaveCleanup.h"

namespace {

// The clean-up alive now; the handler takes no argument to carry it.
std::atomic<const CSaveCleanup*> g_cleanup{nullptr};

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT || type == CTRL_CLOSE_EVENT) {
        if (const CSaveCleanup* cleanup = g_cleanup.load())
            cleanup->RemoveTemporaryFiles();
    }
    return FALSE;
}

} // namespace

struct CSaveCleanup::Impl {
    bool bHandler = false;
};

CSaveCleanup::CSaveCleanup(const std::string& strOut) : m_impl(std::make_unique<Impl>()) {
    SaveTemporaryPlace(strOut, m_strFolder, m_strPrefix);
    g_cleanup.store(this);
    m_impl->bHandler = SetConsoleCtrlHandler(OnConsoleControl, TRUE) != FALSE;
}

CSaveCleanup::~CSaveCleanup() {
    if (m_impl->bHandler)
        SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_cleanup.store(nullptr);
}
