// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port on Windows: a COM port opened for overlapped I/O, a reader
// that keeps one 1-byte read pending and a writer that writes chunks of at
// most 16 bytes, each with its own OVERLAPPED record and manual-reset event,
// and one manual-reset stop event that ends both.
//
// Beyond the plain Win32 port, and as the POSIX port does: a chunk leaves
// the send queue only once the driver's output queue has drained too (a
// write completes as soon as the driver holds the bytes, and XOFF from the
// far end would keep them there unseen), and a failed read or write is
// reported once through the link-lost callback.
#include <windows.h>
// <windows.h> names its LoadStringA so; ours is res::LoadString.
#undef LoadString

#include <algorithm>
#include <array>
#include <cerrno>

#include "res/SystemReasons.h"
#include "res/WideText.h"
#include "serial/CommPort.h"

namespace {

// How long an idle writer, or one waiting for its write, sleeps between looks.
constexpr DWORD kWriterPollMs = 5;
// The read interval time-out: a 1-byte read completes as soon as its byte is in.
constexpr DWORD kReadIntervalMs = 10;
// Close waits this long in all for both workers.
constexpr DWORD kCloseWaitMs = 3000;
// A failure the system gave no code for: the line went away.
constexpr unsigned long kHungUp = 0;

// Wine's own ntdll has an export that Windows' has not.
bool RunsUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string ReasonText(unsigned long nCode) {
    return res::Win32ReasonText(nCode, res::SystemMessageText(nCode), res::ReasonPlace::port);
}

// An event handle closed with its owner.
class CEvent {
  public:
    CEvent(bool bManualReset, bool bSet)
        : m_h(CreateEventW(nullptr, bManualReset, bSet, nullptr)) {}
    ~CEvent() {
        if (m_h != nullptr)
            CloseHandle(m_h);
    }
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;
    HANDLE Get() const { return m_h; }

  private:
    HANDLE m_h;
};

} // namespace

struct CWin32Comm {
    HANDLE hComm = INVALID_HANDLE_VALUE;
    CEvent evStop{true, false};
    HANDLE hReader = nullptr;
    HANDLE hWriter = nullptr;

    CWin32Comm() = default;
    CWin32Comm(const CWin32Comm&) = delete;
    CWin32Comm& operator=(const CWin32Comm&) = delete;
    ~CWin32Comm() {
        for (HANDLE h : {hReader, hWriter})
            if (h != nullptr)
                CloseHandle(h);
        if (hComm != INVALID_HANDLE_VALUE)
            CloseHandle(hComm);
    }
};

bool CCommPort::IsOpen() const {
    return m_pComm != nullptr;
}

CCommPort::CCommPort() = default;

CCommPort::~CCommPort() {
    Close();
}

std::string CCommPort::PortDevicePath(int nPort) {
    // The \\.\ form is the one that also opens COM10 and above.
    return "\\\\.\\COM" + std::to_string(nPort);
}

bool CCommPort::FailOpen(int nCode, std::string reason) {
    m_openError.nErrno = nCode;
    m_openError.strReason =
        reason.empty() ? ReasonText(static_cast<unsigned long>(nCode)) : std::move(reason);
    return false;
}

bool CCommPort::Open(int nPort, const CLineSettings& settings, bool bXonXoff) {
    if (nPort < 1 || nPort > 256)
        return FailOpen(ERROR_FILE_NOT_FOUND);
    return Open(PortDevicePath(nPort), settings, bXonXoff);
}

bool CCommPort::Open(const std::string& devicePath, const CLineSettings& settings, bool bXonXoff) {
    if (IsOpen())
        return FailOpen(ERROR_BUSY);
    auto comm = std::make_unique<CWin32Comm>();
    if (comm->evStop.Get() == nullptr)
        return FailOpen(static_cast<int>(GetLastError()));

    comm->hComm = CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (comm->hComm == INVALID_HANDLE_VALUE)
        return FailOpen(static_cast<int>(GetLastError()));

    const std::string control = DeviceControlString(settings);
    if (!IsSettable(settings))
        return FailOpen(ERROR_INVALID_PARAMETER, "cannot set up the line as \"" + control + "\"");

    // The call that refused is named: the settings are the same every time.
    auto fail = [&](const char* call) {
        const DWORD nCode = GetLastError();
        return FailOpen(static_cast<int>(nCode), "the port did not take the settings \"" + control +
                                                     "\" (" + call + "): " + ReasonText(nCode));
    };
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(comm->hComm, &dcb))
        return fail("GetCommState");
    if (!BuildCommDCBA(control.c_str(), &dcb))
        return fail("BuildCommDCBA");
    dcb.fBinary = TRUE;
    // Windows reads "baud=96" as 9600; wine takes the 96 as it stands.
    dcb.BaudRate = static_cast<DWORD>(settings.nBaudRate);
    if (bXonXoff) {
        dcb.fOutX = TRUE; // stop sending on XOFF from the far end
        dcb.fInX = TRUE;  // send XOFF and XON as our input buffer fills and empties
        dcb.XonChar = static_cast<char>(kXon);
        dcb.XoffChar = static_cast<char>(kXoff);
    } else {
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
    }
    if (!SetCommState(comm->hComm, &dcb)) {
        // Under wine a COM port may lead to a pseudo-terminal (the virtual
        // PC-8801's line), which has no character frame and refuses 7 bits:
        // there, as on Linux, the line carries all 8.
        if (dcb.ByteSize == 8 || !RunsUnderWine())
            return fail("SetCommState");
        dcb.ByteSize = 8;
        if (!SetCommState(comm->hComm, &dcb))
            return fail("SetCommState");
    }

    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(comm->hComm, &timeouts))
        return fail("GetCommTimeouts");
    timeouts.ReadIntervalTimeout = kReadIntervalMs;
    if (!SetCommTimeouts(comm->hComm, &timeouts))
        return fail("SetCommTimeouts");
    if (!SetCommMask(comm->hComm, EV_RXCHAR))
        return fail("SetCommMask");
    DWORD errors = 0;
    ClearCommError(comm->hComm, &errors, nullptr);

    m_bStop = false;
    m_bLinkLost = false;
    {
        std::lock_guard lock(m_csSend);
        m_nTxInFlight = 0;
    }
    ResetEvent(comm->evStop.Get());
    m_pComm = std::move(comm);

    auto reader = [](void* p) -> DWORD {
        static_cast<CCommPort*>(p)->ReaderThread();
        return 0;
    };
    auto writer = [](void* p) -> DWORD {
        static_cast<CCommPort*>(p)->WriterThread();
        return 0;
    };
    m_pComm->hReader = CreateThread(nullptr, 0, reader, this, CREATE_SUSPENDED, nullptr);
    m_pComm->hWriter = m_pComm->hReader != nullptr
                           ? CreateThread(nullptr, 0, writer, this, CREATE_SUSPENDED, nullptr)
                           : nullptr;
    if (m_pComm->hWriter == nullptr) {
        const DWORD nCode = GetLastError();
        Close(); // ends the reader if it was made
        return FailOpen(static_cast<int>(nCode));
    }
    ResumeThread(m_pComm->hReader);
    ResumeThread(m_pComm->hWriter);
    m_openError = {};
    return true;
}

bool CCommPort::Close() {
    if (!IsOpen())
        return true;
    m_bStop = true;
    SetEvent(m_pComm->evStop.Get());
    std::array<HANDLE, 2> threads{};
    DWORD nThreads = 0;
    for (HANDLE h : {m_pComm->hReader, m_pComm->hWriter}) {
        if (h != nullptr) {
            ResumeThread(h); // a worker still suspended (a failed Open) ends at once
            threads[nThreads++] = h;
        }
    }
    if (nThreads > 0 &&
        WaitForMultipleObjects(nThreads, threads.data(), TRUE, kCloseWaitMs) == WAIT_TIMEOUT) {
        // Neither worker waits without the stop event, so this is a driver
        // that does not finish an operation. Its buffers belong to the
        // workers: cancel what is pending and wait for them to return.
        CancelIoEx(m_pComm->hComm, nullptr);
        WaitForMultipleObjects(nThreads, threads.data(), TRUE, INFINITE);
    }
    m_pComm.reset();
    std::lock_guard lock(m_csSend);
    m_nTxInFlight = 0;
    return true;
}

void CCommPort::Send(const std::uint8_t* pBytes, int nCount) {
    if (!pBytes || nCount <= 0)
        return;
    std::lock_guard lock(m_csSend);
    m_txQueue.insert(m_txQueue.end(), pBytes, pBytes + nCount);
}

void CCommPort::ReportLinkLost(unsigned long nCode) {
    if (m_bStop || m_bLinkLost.exchange(true))
        return;
    CCommError error;
    error.nErrno = static_cast<int>(nCode);
    error.strReason = nCode == kHungUp ? std::string(res::LoadString(res::IDS_REASON_HUNG_UP))
                                       : ReasonText(nCode);
    if (m_onLinkLost)
        m_onLinkLost(error);
}

// One byte per read. The event starts set, so that the first wait returns at
// once; a read that completes at once is followed by the next without a
// wait, and the owner hears once per burst, when a read is left pending.
void CCommPort::ReaderThread() {
    const HANDLE hComm = m_pComm->hComm;
    const HANDLE evStop = m_pComm->evStop.Get();
    CEvent evRead(true, true);
    OVERLAPPED ov{};
    ov.hEvent = evRead.Get();
    std::uint8_t byte = 0;
    bool bPending = false;

    auto append = [&](DWORD nRead) {
        if (nRead == 0)
            return false;
        std::lock_guard lock(m_csReceive);
        m_rxBuffer.push_back(byte);
        return true;
    };

    const HANDLE waits[2] = {evStop, evRead.Get()};
    for (;;) {
        const DWORD w = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (w == WAIT_OBJECT_0)
            break;
        if (w != WAIT_OBJECT_0 + 1)
            continue;

        bool bAppended = false;
        bool bEmpty = false; // a read completed with no byte
        if (bPending) {
            // The read left pending has completed.
            bPending = false;
            DWORD nRead = 0;
            if (!GetOverlappedResult(hComm, &ov, &nRead, FALSE)) {
                ReportLinkLost(GetLastError());
                break;
            }
            bAppended = append(nRead);
            bEmpty = nRead == 0;
        }
        bool bEnd = false;
        for (;;) {
            ResetEvent(evRead.Get());
            DWORD nRead = 0;
            if (ReadFile(hComm, &byte, 1, &nRead, &ov)) {
                const bool bByte = append(nRead);
                bAppended = bAppended || bByte;
                if (!bByte) {
                    bEmpty = true;
                    break; // nothing there: wait for the next completion
                }
                continue;
            }
            const DWORD nCode = GetLastError();
            if (nCode == ERROR_IO_PENDING) {
                bPending = true;
            } else {
                if (bAppended && m_onReceived)
                    m_onReceived();
                ReportLinkLost(nCode);
                bEnd = true;
            }
            break;
        }
        if (bEnd)
            break;
        if (bAppended && m_onReceived)
            m_onReceived();
        // A read may end without a byte when the port's own total time-out
        // runs out; it adds nothing, and the next read follows a moment later
        // rather than at once.
        if (bEmpty) {
            if (WaitForSingleObject(evStop, 1) == WAIT_OBJECT_0)
                break;
            if (!bPending)
                SetEvent(evRead.Get()); // no read pending: read again
        }
    }

    // The read buffer and the record belong to this frame: a read still
    // pending is cancelled and waited for before they go.
    if (bPending) {
        CancelIoEx(hComm, &ov);
        DWORD nRead = 0;
        GetOverlappedResult(hComm, &ov, &nRead, TRUE);
    }
}

// Chunks of at most kChunkSize bytes, copied out of the queue under its
// lock and written from the writer's own buffer. A chunk is removed from the
// queue once its write has completed and the driver's output queue is empty;
// a cleared queue loses nothing but the bytes not yet handed over.
void CCommPort::WriterThread() {
    const HANDLE hComm = m_pComm->hComm;
    const HANDLE evStop = m_pComm->evStop.Get();
    CEvent evWrite(true, false);
    OVERLAPPED ov{};
    ov.hEvent = evWrite.Get();
    std::array<std::uint8_t, kChunkSize> chunk{};
    DWORD nChunk = 0;      // bytes of the chunk under way; 0 when idle
    bool bWriting = false; // its write has not completed yet

    const HANDLE waits[2] = {evStop, evWrite.Get()};
    for (;;) {
        const DWORD w = WaitForMultipleObjects(2, waits, FALSE, kWriterPollMs);
        if (w == WAIT_OBJECT_0)
            break;

        if (bWriting && w == WAIT_OBJECT_0 + 1) {
            DWORD nWritten = 0;
            if (!GetOverlappedResult(hComm, &ov, &nWritten, FALSE)) {
                bWriting = false;
                ReportLinkLost(GetLastError());
                return;
            }
            ResetEvent(evWrite.Get());
            bWriting = false;
        }
        if (bWriting)
            continue;

        if (nChunk > 0) {
            // Written: done once the driver has sent it.
            DWORD errors = 0;
            COMSTAT status{};
            if (!ClearCommError(hComm, &errors, &status)) {
                ReportLinkLost(GetLastError());
                return;
            }
            if (status.cbOutQue > 0)
                continue;
            std::lock_guard lock(m_csSend);
            const std::size_t nRemove = std::min<std::size_t>(m_nTxInFlight, m_txQueue.size());
            m_txQueue.erase(m_txQueue.begin(),
                            m_txQueue.begin() + static_cast<std::ptrdiff_t>(nRemove));
            m_nTxInFlight = 0;
            nChunk = 0;
        }

        {
            std::lock_guard lock(m_csSend);
            nChunk = static_cast<DWORD>(std::min(kChunkSize, m_txQueue.size()));
            std::copy_n(m_txQueue.begin(), nChunk, chunk.begin());
            m_nTxInFlight = nChunk;
        }
        if (nChunk == 0)
            continue;

        ResetEvent(evWrite.Get());
        DWORD nWritten = 0;
        if (WriteFile(hComm, chunk.data(), nChunk, &nWritten, &ov)) {
            SetEvent(evWrite.Get());
            bWriting = true;
            continue;
        }
        const DWORD nCode = GetLastError();
        if (nCode != ERROR_IO_PENDING) {
            ReportLinkLost(nCode);
            return;
        }
        bWriting = true;
    }
    if (bWriting) {
        CancelIoEx(hComm, &ov);
        DWORD nWritten = 0;
        GetOverlappedResult(hComm, &ov, &nWritten, TRUE);
    }
}
