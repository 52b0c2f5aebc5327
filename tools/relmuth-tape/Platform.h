// SPDX-License-Identifier: GPL-3.0-or-later
// What relmuth-tape needs of the system beyond the core, once per system
// (PlatformPosix.cpp, PlatformWin32.cpp): its arguments, its standard
// streams, and the user's request to stop a command that waits (SIGINT and
// SIGTERM on Linux; Ctrl+C, Ctrl+Break and closing the console on Windows).
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The arguments after the program's name, in UTF-8 (Windows: from the wide
// command line, whatever the code page).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Standard input and output carry bytes as they are (Windows: binary mode,
// no CR LF translation).
void SetUpStandardStreams();

// Writes bytes to standard output or standard error. On a Windows console the
// UTF-8 text is written as UTF-16, so that katakana show on any code page;
// anywhere else the bytes go as they are. False on failure, errno set.
bool WriteStream(std::FILE* stream, std::string_view bytes);

// A standard output that goes away must not end the program (SIGPIPE).
void IgnoreBrokenPipe();

// Where a command that waits sleeps: until another thread wakes it, the user
// asks it to stop, or its time runs out. While one lives, a stop request no
// longer ends the program but comes here, to every thread started inside it
// too; each request is told once.
class CCommandWait {
  public:
    enum class Event { timedOut, woken, stopRequested, failed };

    CCommandWait();
    ~CCommandWait();
    CCommandWait(const CCommandWait&) = delete;
    CCommandWait& operator=(const CCommandWait&) = delete;

    // False when the system could not give what is needed; errno says why.
    bool IsReady() const;

    // From any thread; wakes the waiter once, however often it is called
    // before the waiter looks.
    void Wake();

    // nTimeoutMs < 0: no time limit. A stop request comes before a wake-up.
    Event Wait(int nTimeoutMs);

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};
