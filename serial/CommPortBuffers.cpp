// SPDX-License-Identifier: GPL-3.0-or-later
// What the port keeps the same on every system: its callbacks, the bytes
// received waiting for the owner, and the queue of bytes to send. (The
// constructor and destructor are with the system's half, which knows what
// the port holds of the system.)
#include "serial/CommPort.h"

bool CCommPort::SetReceivedCallback(ReceivedCallback callback) {
    if (IsOpen())
        return false;
    m_onReceived = std::move(callback);
    return true;
}

bool CCommPort::SetLinkLostCallback(LinkLostCallback callback) {
    if (IsOpen())
        return false;
    m_onLinkLost = std::move(callback);
    return true;
}

void CCommPort::TakeReceived(std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    std::lock_guard lock(m_csReceive);
    bytes.swap(m_rxBuffer);
}

void CCommPort::Send(const std::vector<std::uint8_t>& bytes) {
    Send(bytes.data(), static_cast<int>(bytes.size()));
}

int CCommPort::GetSendPending() {
    std::lock_guard lock(m_csSend);
    return static_cast<int>(m_txQueue.size());
}

void CCommPort::ClearSendQueue() {
    std::lock_guard lock(m_csSend);
    m_txQueue.clear();
    m_nTxInFlight = 0;
}
