// SPDX-License-Identifier: GPL-3.0-or-later
#include "res/SystemReasons.h"

#include <cerrno>
#include <cstring>

namespace res {
namespace {

// Win32 error codes (winerror.h).
constexpr unsigned long kWinFileNotFound = 2;
constexpr unsigned long kWinPathNotFound = 3;
constexpr unsigned long kWinAccessDenied = 5;
constexpr unsigned long kWinBadUnit = 20;
constexpr unsigned long kWinNotReady = 21;
constexpr unsigned long kWinGenFailure = 31; // a device attached to the system is not functioning
constexpr unsigned long kWinSharingViolation = 32;
constexpr unsigned long kWinHandleDiskFull = 39;
constexpr unsigned long kWinDevNotExist = 55;
constexpr unsigned long kWinBrokenPipe = 109;
constexpr unsigned long kWinDiskFull = 112;
constexpr unsigned long kWinBusy = 170;
constexpr unsigned long kWinNoData = 232; // the pipe is being closed
constexpr unsigned long kWinPipeNotConnected = 233;
constexpr unsigned long kWinIoDevice = 1117;
constexpr unsigned long kWinDeviceNotConnected = 1167;
constexpr unsigned long kWinDeviceRemoved = 1617;

} // namespace

std::optional<StringId> ErrnoReason(int nErrno, ReasonPlace place) {
    switch (nErrno) {
    case EACCES:
    case EPERM:
        return IDS_REASON_PERMISSION;
    case EBUSY:
        return IDS_REASON_BUSY;
    case ENOENT:
        return IDS_REASON_MISSING;
    case ENODEV:
    case ENXIO:
        return IDS_REASON_REMOVED;
    case EPIPE:
        // The far end of a line; a pipe whose reader went away is no cable,
        // and the system's own words say that better than ours.
        if (place == ReasonPlace::file)
            return std::nullopt;
        return IDS_REASON_HUNG_UP;
    case EIO:
        // A pseudo-terminal answers EIO once its far end has closed.
        return place == ReasonPlace::pseudoTerminal ? IDS_REASON_HUNG_UP : IDS_REASON_IO;
    case ENOSPC:
#ifdef EDQUOT // the C runtime of Windows has no quotas
    case EDQUOT:
#endif
        return IDS_REASON_NO_SPACE;
    default:
        return std::nullopt;
    }
}

std::optional<StringId> Win32Reason(unsigned long nCode, ReasonPlace place) {
    switch (nCode) {
    case kWinAccessDenied:
        // Windows opens a COM port for one program at a time and refuses
        // the next with this code.
        return place == ReasonPlace::file ? IDS_REASON_PERMISSION : IDS_REASON_BUSY;
    case kWinSharingViolation:
    case kWinBusy:
        return IDS_REASON_BUSY;
    case kWinFileNotFound:
    case kWinPathNotFound:
        return IDS_REASON_MISSING;
    case kWinBadUnit:
    case kWinNotReady:
    case kWinDevNotExist:
    case kWinDeviceNotConnected:
    case kWinDeviceRemoved:
        return IDS_REASON_REMOVED;
    case kWinGenFailure:
        // What a USB serial adapter pulled out answers on its port.
        return place == ReasonPlace::file ? IDS_REASON_IO : IDS_REASON_REMOVED;
    case kWinBrokenPipe:
    case kWinNoData:
    case kWinPipeNotConnected:
        return IDS_REASON_HUNG_UP;
    case kWinIoDevice:
        return IDS_REASON_IO;
    case kWinDiskFull:
    case kWinHandleDiskFull:
        return IDS_REASON_NO_SPACE;
    default:
        return std::nullopt;
    }
}

std::string ErrnoReasonText(int nErrno, ReasonPlace place) {
    if (const auto id = ErrnoReason(nErrno, place))
        return std::string(LoadString(*id));
    return std::strerror(nErrno);
}

std::string Win32ReasonText(unsigned long nCode, std::string_view systemText, ReasonPlace place) {
    if (const auto id = Win32Reason(nCode, place))
        return std::string(LoadString(*id));
    return std::string(systemText);
}

} // namespace res
