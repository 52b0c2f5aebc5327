// SPDX-License-Identifier: GPL-3.0-or-later
// A save replaces its file through a temporary one beside it
// (.NAME.PID-N.tmp), which the save removes itself when it fails. SIGINT and
// SIGTERM would end the program in the middle and leave it behind: while an
// object of this class lives, they are taken by a thread of its own, which
// removes this process's temporary files of OUT and then lets the signal end
// the program as it would have. (SIGKILL cannot be taken: it can still leave
// one.)
#pragma once

#include <signal.h>

#include <string>
#include <thread>

class CSaveCleanup {
  public:
    explicit CSaveCleanup(const std::string& strOut);
    ~CSaveCleanup();
    CSaveCleanup(const CSaveCleanup&) = delete;
    CSaveCleanup& operator=(const CSaveCleanup&) = delete;

  private:
    void Watch();
    void RemoveTemporaryFiles() const;

    std::string m_strFolder;
    std::string m_strPrefix; // ".NAME.PID-"
    sigset_t m_set{};
    sigset_t m_old{};
    int m_signalFd = -1;
    int m_stopFd = -1;
    std::thread m_watcher;
};
