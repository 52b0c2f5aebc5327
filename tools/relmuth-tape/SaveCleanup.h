// SPDX-License-Identifier: GPL-3.0-or-later
// A save replaces its file through a temporary one beside it
// (.NAME.PID-N.tmp), which the save removes itself when it fails. SIGINT and
// SIGTERM (on Windows Ctrl+C, Ctrl+Break and closing the console) would end
// the program in the middle and leave it behind: while an object of this
// class lives, they are taken by a thread of its own, which removes this
// process's temporary files of OUT and then lets the request end the
// program as it would have. (SIGKILL cannot be taken: it can still leave
// one.)
#pragma once

#include <memory>
#include <string>

class CSaveCleanup {
  public:
    explicit CSaveCleanup(const std::string& strOut);
    ~CSaveCleanup();
    CSaveCleanup(const CSaveCleanup&) = delete;
    CSaveCleanup& operator=(const CSaveCleanup&) = delete;

    // Removes this process's temporary files of OUT.
    void RemoveTemporaryFiles() const;

    struct Impl;

  private:
    std::string m_strFolder;
    std::string m_strPrefix; // ".NAME.PID-"
    std::unique_ptr<Impl> m_impl;
};

// The temporary files' folder and name prefix for a save of strOut by this
// process: the file the save writes, links followed.
void SaveTemporaryPlace(const std::string& strOut, std::string& strFolder, std::string& strPrefix);
