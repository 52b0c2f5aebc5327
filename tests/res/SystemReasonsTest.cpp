// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "res/SystemReasons.h"

namespace {

using res::ReasonPlace;

const std::string kPermission = "アクセスが拒否されました (権限がありません)";
const std::string kBusy = "ほかのプログラムが使用中です";
const std::string kMissing = "ファイルまたはデバイスが見つかりません";
const std::string kRemoved = "デバイスが取り外されたか、接続されていません";
const std::string kHungUp = "回線が切れました (相手側が閉じたか、ケーブルが抜かれました)";
const std::string kIo = "入出力エラーが起きました";
const std::string kNoSpace = "ディスクの空き容量が足りません";

TEST(SystemReasons, CommonErrnoValuesInOurWordsTheRestInTheSystems) {
    const struct {
        int nErrno;
        ReasonPlace place;
        std::string text;
    } rows[] = {
        {EACCES, ReasonPlace::file, kPermission},
        {EPERM, ReasonPlace::port, kPermission},
        {EBUSY, ReasonPlace::port, kBusy},
        {ENOENT, ReasonPlace::file, kMissing},
        {ENODEV, ReasonPlace::port, kRemoved},
        {ENXIO, ReasonPlace::port, kRemoved},
        {EPIPE, ReasonPlace::file, std::strerror(EPIPE)},
        {EPIPE, ReasonPlace::port, kHungUp},
        {EIO, ReasonPlace::file, kIo},
        {EIO, ReasonPlace::port, kIo},
        // A pseudo-terminal whose far end closed answers EIO.
        {EIO, ReasonPlace::pseudoTerminal, kHungUp},
        {ENOSPC, ReasonPlace::file, kNoSpace},
#ifdef EDQUOT // not in the C runtime of Windows
        {EDQUOT, ReasonPlace::file, kNoSpace},
#endif
        {EINVAL, ReasonPlace::port, std::strerror(EINVAL)},
        {EFBIG, ReasonPlace::file, std::strerror(EFBIG)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.nErrno);
        EXPECT_EQ(res::ErrnoReasonText(row.nErrno, row.place), row.text);
    }
}

TEST(SystemReasons, Win32CodesInOurWordsByWhereTheyCameFrom) {
    const struct {
        unsigned long nCode;
        ReasonPlace place;
        std::string text;
    } rows[] = {
        {5, ReasonPlace::file, kPermission}, // ERROR_ACCESS_DENIED
        {5, ReasonPlace::port, kBusy},       // a COM port another program holds
        {32, ReasonPlace::file, kBusy},      // ERROR_SHARING_VIOLATION
        {2, ReasonPlace::port, kMissing},    // ERROR_FILE_NOT_FOUND: no such COM port
        {1167, ReasonPlace::port, kRemoved}, // ERROR_DEVICE_NOT_CONNECTED
        {31, ReasonPlace::port, kRemoved},   // ERROR_GEN_FAILURE: the adapter pulled out
        {31, ReasonPlace::file, kIo},
        {109, ReasonPlace::pseudoTerminal, kHungUp}, // ERROR_BROKEN_PIPE
        {1117, ReasonPlace::port, kIo},              // ERROR_IO_DEVICE
        {112, ReasonPlace::file, kNoSpace},          // ERROR_DISK_FULL
        {87, ReasonPlace::port, "The parameter is incorrect."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.nCode);
        EXPECT_EQ(res::Win32ReasonText(row.nCode, "The parameter is incorrect.", row.place),
                  row.text);
    }
}

} // namespace
