// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/CommPort.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "res/SystemReasons.h"

namespace {

// How long a writer whose write the line cannot take yet waits before it
// tries again, unless the line says earlier that it has room.
constexpr std::chrono::milliseconds kWriterPoll{5};
// Shortest wait for the output queue to drain; the system counts no finer.
constexpr std::chrono::microseconds kMinDrainWait{1000};

std::string ErrorText(int nErrno, res::ReasonPlace place = res::ReasonPlace::port) {
    return res::ErrnoReasonText(nErrno, place);
}

} // namespace

bool CCommPort::IsOpen() const {
    return m_pDevice != nullptr;
}

CCommPort::CCommPort() = default;

CCommPort::~CCommPort() {
    Close();
}

std::string CCommPort::PortDevicePath(int nPort) {
    return "/dev/ttyS" + std::to_string(nPort - 1);
}

bool CCommPort::FailOpen(int nErrno, std::string reason) {
    m_openError.nErrno = nErrno;
    m_openError.strReason = reason.empty() ? ErrorText(nErrno) : std::move(reason);
    return false;
}

bool CCommPort::Open(int nPort, const CLineSettings& settings, bool bXonXoff) {
    if (nPort < 1)
        return FailOpen(ENOENT);
    return Open(PortDevicePath(nPort), settings, bXonXoff);
}

bool CCommPort::Open(const std::string& devicePath, const CLineSettings& settings, bool bXonXoff) {
    if (IsOpen())
        return FailOpen(EBUSY);
    int err = 0;
    auto device = OpenPosixSerialDevice(devicePath, err);
    if (!device)
        return FailOpen(err);
    return Open(std::move(device), settings, bXonXoff);
}

bool CCommPort::Open(std::unique_ptr<CSerialDevice> device, const CLineSettings& settings,
                     bool bXonXoff) {
    if (IsOpen())
        return FailOpen(EBUSY);
    if (!device)
        return FailOpen(EINVAL);

    const std::string control = DeviceControlString(settings);
    if (!IsSettable(settings))
        return FailOpen(EINVAL, "cannot set up the line as \"" + control + "\"");

    termios current{};
    if (const int e = device->GetAttributes(current))
        return FailOpen(e);
    const termios wanted = BuildTermios(current, settings, bXonXoff);

    // A pseudo-terminal keeps 8 bits without parity whatever it is asked,
    // and depending on the system says so with EINVAL or says nothing, after
    // taking everything else. So the answer of the set call does not tell;
    // what the device reads back afterwards does.
    const int setErr = device->SetAttributes(wanted);
    termios got{};
    if (const int e = device->GetAttributes(got))
        return FailOpen(e);
    if (!SettingsTookEffect(wanted, got, device->IsPseudoTerminal())) {
        return FailOpen(setErr ? setErr : EINVAL,
                        "the device did not take the settings \"" + control + "\"" +
                            (setErr ? ": " + ErrorText(setErr) : std::string()));
    }

    // Bits on the line per character: start, data, parity, stop.
    const int bitsPerChar = 1 + settings.nDataBits + (settings.cParity != 'N' ? 1 : 0) +
                            (settings.stopBits == CLineSettings::one ? 1 : 2);
    m_charTime = std::chrono::microseconds(1'000'000LL * bitsPerChar / settings.nBaudRate);

    m_bStop = false;
    m_bLinkLost = false;
    {
        std::lock_guard lock(m_csSend);
        m_nTxInFlight = 0;
    }
    m_pDevice = std::move(device);
    try {
        m_readerThread = std::thread(&CCommPort::ReaderThread, this);
        m_writerThread = std::thread(&CCommPort::WriterThread, this);
    } catch (const std::system_error& e) {
        const int code = e.code().value();
        Close(); // ends and joins the reader if it started
        return FailOpen(code ? code : EAGAIN);
    }
    m_openError = {};
    return true;
}

bool CCommPort::Close() {
    if (!IsOpen())
        return true;
    m_bStop = true;
    m_pDevice->Stop();
    // Neither worker ever waits without also waiting for the stop signal, so
    // both end within moments; the device is freed only after both have.
    if (m_readerThread.joinable())
        m_readerThread.join();
    if (m_writerThread.joinable())
        m_writerThread.join();
    m_pDevice.reset();
    std::lock_guard lock(m_csSend);
    m_nTxInFlight = 0;
    return true;
}

void CCommPort::Send(const std::uint8_t* pBytes, int nCount) {
    if (!pBytes || nCount <= 0)
        return;
    {
        std::lock_guard lock(m_csSend);
        m_txQueue.insert(m_txQueue.end(), pBytes, pBytes + nCount);
    }
    if (m_pDevice)
        m_pDevice->WakeSender();
}

void CCommPort::ReportLinkLost(const CIoResult& result) {
    if (m_bStop || m_bLinkLost.exchange(true))
        return;
    CCommError error;
    if (result.kind == CIoResult::failed) {
        error.nErrno = result.nErrno;
        error.strReason = ErrorText(result.nErrno, m_pDevice->IsPseudoTerminal()
                                                       ? res::ReasonPlace::pseudoTerminal
                                                       : res::ReasonPlace::port);
    } else {
        // A line that went away without an error number.
        error.strReason = res::LoadString(res::IDS_REASON_HUNG_UP);
    }
    if (m_onLinkLost)
        m_onLinkLost(error);
}

// One byte per read, each stored as soon as it is read; one notification
// per burst. A single poll is followed by reads without waiting until none
// is left: a poll for every byte would cost more than the byte.
void CCommPort::ReaderThread() {
    CSerialDevice& device = *m_pDevice;
    for (;;) {
        const CIoResult wait = device.WaitReadable();
        if (wait.kind == CIoResult::stopped)
            return;
        if (wait.kind != CIoResult::done) {
            ReportLinkLost(wait);
            return;
        }
        bool bAppended = false;
        for (;;) {
            std::uint8_t byte = 0;
            const CIoResult read = device.ReadByte(byte);
            if (read.kind == CIoResult::done) {
                std::lock_guard lock(m_csReceive);
                m_rxBuffer.push_back(byte);
                bAppended = true;
                continue;
            }
            if (read.kind == CIoResult::wouldBlock)
                break;
            // Tell the owner of what did arrive before it hears of the loss.
            if (bAppended && m_onReceived)
                m_onReceived();
            ReportLinkLost(read);
            return;
        }
        if (bAppended && m_onReceived)
            m_onReceived();
        if (m_bStop)
            return;
    }
}

// Chunks of at most kChunkSize bytes, copied out of the queue and removed
// from it only once the line has taken them. "Taken" means more than a
// successful write: the system would buffer kilobytes that have not left
// the line, and XOFF from the far end would hold them there unseen. So a
// chunk is complete only when the system's output queue has drained too;
// then the send count falls with what really left, and a cleared queue
// stops the text within one chunk.
void CCommPort::WriterThread() {
    CSerialDevice& device = *m_pDevice;
    std::array<std::uint8_t, kChunkSize> chunk{};
    std::size_t nChunk = 0;   // bytes in the chunk under way; 0 when idle
    std::size_t nWritten = 0; // of those, how many the system has taken

    while (!m_bStop) {
        if (nChunk == 0) {
            {
                std::lock_guard lock(m_csSend);
                nChunk = std::min(kChunkSize, m_txQueue.size());
                std::copy_n(m_txQueue.begin(), nChunk, chunk.begin());
                m_nTxInFlight = nChunk;
            }
            nWritten = 0;
            if (nChunk == 0) {
                // Idle: sleep until Send rings, rather than look every few
                // milliseconds; a port that sends nothing costs nothing.
                const CIoResult wake = device.WaitSendWake();
                if (wake.kind == CIoResult::stopped)
                    return;
                if (wake.kind == CIoResult::failed) {
                    ReportLinkLost(wake);
                    return;
                }
                continue;
            }
        }

        if (nWritten < nChunk) {
            const CIoResult write =
                device.Write(std::span(chunk.data() + nWritten, nChunk - nWritten));
            if (write.kind == CIoResult::done) {
                nWritten += write.nCount;
            } else if (write.kind == CIoResult::wouldBlock) {
                // Full, or held by XOFF: the wait returns early when room
                // appears, and at the latest after the writer's poll time.
                const CIoResult wait = device.WaitWritable(kWriterPoll);
                if (wait.kind == CIoResult::stopped)
                    return;
                if (wait.kind == CIoResult::failed || wait.kind == CIoResult::hungUp) {
                    ReportLinkLost(wait);
                    return;
                }
                // Some lines say "writable" while XOFF holds them; do not spin.
                if (wait.kind == CIoResult::done &&
                    device.WaitStop(kMinDrainWait).kind == CIoResult::stopped)
                    return;
                continue;
            } else {
                ReportLinkLost(write);
                return;
            }
            if (nWritten < nChunk)
                continue;
        }

        int nQueued = 0;
        if (const int e = device.GetOutputQueued(nQueued)) {
            ReportLinkLost(CIoResult::Failed(e));
            return;
        }
        if (nQueued > 0) {
            const auto drain = std::clamp<std::chrono::microseconds>(m_charTime * nQueued,
                                                                     kMinDrainWait, kWriterPoll);
            if (device.WaitStop(drain).kind == CIoResult::stopped)
                return;
            continue;
        }

        std::lock_guard lock(m_csSend);
        const std::size_t nRemove = std::min(m_nTxInFlight, m_txQueue.size());
        m_txQueue.erase(m_txQueue.begin(),
                        m_txQueue.begin() + static_cast<std::ptrdiff_t>(nRemove));
        m_nTxInFlight = 0;
        nChunk = 0;
    }
}
