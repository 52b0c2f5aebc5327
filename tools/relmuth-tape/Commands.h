// SPDX-License-Identifier: GPL-3.0-or-later
// The subcommands of relmuth-tape. Each takes its arguments (without the
// command name) and returns the exit status.
#pragma once

#include <string>
#include <vector>

using Args = std::vector<std::string>;

// "--" ends the options: every argument after it is a name, also one that
// begins with "-". Where the options end (the place of "--", or the end),
// and the arguments without that "--".
std::size_t OptionsEnd(const Args& args);
void DropEndOfOptions(Args& args);

int CmdList(const Args& args);
int CmdConvert(const Args& args);
int CmdText(const Args& args);
int CmdImport(const Args& args);
int CmdMerge(const Args& args);
int CmdLoader(const Args& args);
int CmdSendLoader(const Args& args);
int CmdReceive(const Args& args);
int CmdShow(const Args& args);
int CmdBasic(const Args& args);

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; // a file could not be read or written
inline constexpr int kExitUsage = 2;
// Written, but not everything was taken: a transfer text that ended inside a
// transfer, or a recording with bytes that did not decode cleanly.
inline constexpr int kExitIncomplete = 3;
