// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port to the PC-8801: opens and sets up the line, and runs two
// worker threads that move bytes between the line and two memory buffers.
// The owner takes what arrived, queues what to send, asks how much is still
// unsent and may drop the queue. The port knows bytes only: no lines, no
// blocks, no owner logic.
//
// The owner hears from the port through two callbacks, both called on the
// reader or writer thread. They must only post to the owner's own thread
// (a window event, a flag and a wake-up) and return; they must never call
// back into the port, least of all `Close`.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "serial/DeviceControl.h"
#if defined(_WIN32)
struct CWin32Comm; // the handles and events of one open period (CommPortWin32.cpp)
#else
#include "serial/SerialDevice.h"
#endif

// Why the port could not be opened, or why the link was lost.
struct CCommError {
    int nErrno = 0;        // the system's error number; 0 for a hang-up
    std::string strReason; // the system's text, for the user's detail text
};

class CCommPort {
  public:
    using ReceivedCallback = std::function<void()>;
    using LinkLostCallback = std::function<void(const CCommError&)>;

    // Largest write; the send count falls by at most this much at a time and
    // a cleared queue stops the text within one such chunk.
    static constexpr std::size_t kChunkSize = 16;

    CCommPort();
    ~CCommPort();

    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    // Called once per burst of received bytes: after at least one byte was
    // stored and no further byte was there at once.
    // Both setters only take effect while the port is closed (false otherwise).
    bool SetReceivedCallback(ReceivedCallback callback);

    // Called at most once per open period, when the line went away or a read
    // or write failed. The worker that met the failure ends; nothing is
    // restarted and the port stays open until `Close`.
    bool SetLinkLostCallback(LinkLostCallback callback);

    // Opens "COMn": /dev/ttyS(n-1) on Linux, \\.\COMn on Windows.
    bool Open(int nPort, const CLineSettings& settings, bool bXonXoff);
    // Opens any terminal device: /dev/ttyUSB0, /dev/serial/by-id/..., a
    // pseudo-terminal; on Windows a device name such as \\.\COM12.
    bool Open(const std::string& devicePath, const CLineSettings& settings, bool bXonXoff);
#if !defined(_WIN32)
    // Sets up a device already opened and runs the port on it.
    bool Open(std::unique_ptr<CSerialDevice> device, const CLineSettings& settings, bool bXonXoff);
#endif
    // The same with the flag values of the settings dialog's tables
    // (BAUD_9600, DATABITS_7...), as `LineSettingsFromFlags` reads them.
    bool Open(int nPort, unsigned nBaud, unsigned nDataBits, unsigned nStopBits, unsigned nParity,
              bool bXonXoff) {
        return Open(nPort, LineSettingsFromFlags(nBaud, nDataBits, nStopBits, nParity), bXonXoff);
    }
    bool Open(const std::string& devicePath, unsigned nBaud, unsigned nDataBits, unsigned nStopBits,
              unsigned nParity, bool bXonXoff) {
        return Open(devicePath, LineSettingsFromFlags(nBaud, nDataBits, nStopBits, nParity),
                    bXonXoff);
    }
#if !defined(_WIN32)
    bool Open(std::unique_ptr<CSerialDevice> device, unsigned nBaud, unsigned nDataBits,
              unsigned nStopBits, unsigned nParity, bool bXonXoff) {
        return Open(std::move(device), LineSettingsFromFlags(nBaud, nDataBits, nStopBits, nParity),
                    bXonXoff);
    }
#endif

    // Stops both workers, waits for them and closes the line. Always true;
    // on a closed port it does nothing. Received bytes not yet taken and
    // queued bytes not yet sent stay in their buffers.
    bool Close();

    bool IsOpen() const;

    // Why the last `Open` failed.
    const CCommError& GetOpenError() const {
        return m_openError;
    }

    // Moves every received byte not taken before into `bytes` (replacing its
    // contents), in arrival order.
    void TakeReceived(std::vector<std::uint8_t>& bytes);

    // Appends bytes to the send queue and wakes the writer; never waits
    // for the line.
    void Send(const std::vector<std::uint8_t>& bytes);
    void Send(const std::uint8_t* pBytes, int nCount);

    // Bytes queued and not yet sent; a chunk under way counts until the line
    // has taken it.
    int GetSendPending();

    // Drops the send queue. A chunk already under way is still sent.
    void ClearSendQueue();

    // "COMn" as a device path: /dev/ttyS(n-1), or \\.\COMn on Windows.
    static std::string PortDevicePath(int nPort);

  private:
    void ReaderThread();
    void WriterThread();
    bool FailOpen(int nErrno, std::string reason = {});
#if defined(_WIN32)
    void ReportLinkLost(unsigned long nCode);

    std::unique_ptr<CWin32Comm> m_pComm; // null while closed
#else
    void ReportLinkLost(const CIoResult& result);

    std::unique_ptr<CSerialDevice> m_pDevice; // null while closed
#endif
    ReceivedCallback m_onReceived;
    LinkLostCallback m_onLinkLost;
    CCommError m_openError;

    std::mutex m_csReceive; // guards m_rxBuffer
    std::mutex m_csSend;    // guards m_txQueue and m_nTxInFlight
    std::vector<std::uint8_t> m_rxBuffer;
    std::vector<std::uint8_t> m_txQueue;
    // How many bytes at the front of m_txQueue belong to the chunk under way.
    // ClearSendQueue sets it to 0: those bytes have left the queue, and bytes
    // queued after the clear must not be taken for them.
    std::size_t m_nTxInFlight = 0;

    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bLinkLost{false};
    // Time on the line of one character, for the writer's wait until the
    // system's output queue has drained.
    std::chrono::microseconds m_charTime{1000};

    std::thread m_readerThread;
    std::thread m_writerThread;
};
