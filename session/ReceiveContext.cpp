// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/ReceiveContext.h"

#include <algorithm>
#include <utility>

#include "session/Progress.h"

CReceiveContext::CReceiveContext(CRelmuthDoc& doc, CReceiveUi& ui, int nMaxUpfrontReserve)
    : m_doc(doc), m_ui(ui), m_nMaxUpfrontReserve(std::min(nMaxUpfrontReserve, kMaxUpfrontReserve)) {
}

CReceiveContext::~CReceiveContext() = default;

void CReceiveContext::InstallReceiver() {
    m_state = RecvState::header;
    m_serialFramer.Clear();
}

void CReceiveContext::OnSerialBytes(std::span<const std::uint8_t> bytes) {
    m_serialFramer.Feed(bytes, [this](std::string&& line) {
        m_pendingLines.push_back({std::move(line), false});
    });
    DeliverPending();
}

bool CReceiveContext::PasteText(std::string_view text) {
    auto pieces = SplitClipboardText(text);
    if (pieces.empty())
        return false;
    for (std::string& piece : pieces)
        m_pendingLines.push_back({std::move(piece), true});
    DeliverPending();
    return true;
}

void CReceiveContext::CancelReceive() {
    m_ui.Beep();
    m_state = RecvState::header;
    if (m_bRecvDlgShown)
        OnRecvEnd();
}

bool CReceiveContext::CutOff() {
    const bool bUnderWay = IsInTransfer() || m_bRecvDlgShown;
    InstallReceiver();
    m_recvData.clear();
    if (m_bRecvDlgShown)
        OnRecvEnd();
    return bUnderWay;
}

void CReceiveContext::DeliverPending() {
    if (m_bDelivering)
        return; // the call further up the stack delivers these too
    m_bDelivering = true;
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{m_bDelivering};

    while (!m_pendingLines.empty()) {
        std::string line = std::move(m_pendingLines.front().text);
        m_bLinePasted = m_pendingLines.front().bPasted;
        m_pendingLines.pop_front();
        if (!m_state) // not installed yet: wait for a header, keep the partial line
            m_state = RecvState::header;
        // The state says what comes next; its message is shown once the
        // next state is in place, so that what arrives while the box is up
        // (queued, above) goes to that state.
        const CRecvNext next = m_states.Get(*m_state).OnLine(line);
        m_state = next.state;
        if (next.message)
            ShowRecvMessage(*next.message);
        m_serialFramer.Recycle(std::move(line));
    }
}

void CReceiveContext::ResetRecvData(int nReserve) {
    m_recvData.clear();
    if (nReserve > 0 && m_recvData.capacity() < static_cast<std::size_t>(nReserve))
        m_recvData.reserve(static_cast<std::size_t>(std::min(nReserve, m_nMaxUpfrontReserve)));
    m_nRecvChecksum = 0;
}

void CReceiveContext::OnRecvBegin() {
    if (m_bRecvDlgShown)
        return;
    m_bRecvDlgShown = true;
    m_nRecvDlgTotal = m_nRecvSize;
    m_ui.OpenRecvProgress(m_nRecvDlgTotal);
}

void CReceiveContext::OnRecvEnd() {
    if (!m_bRecvDlgShown)
        return;
    m_bRecvDlgShown = false;
    m_ui.CloseRecvProgress();
}

void CReceiveContext::OnRecvProgress() {
    if (!m_bRecvDlgShown)
        return;
    m_ui.SetRecvProgress(
        ProgressPercent(static_cast<std::int64_t>(m_recvData.size()), m_nRecvDlgTotal));
}

void CReceiveContext::OnRecvComplete() {
    // The bytes move into the block: a copy of a large block would double
    // the memory it needs. Nothing reads them here afterwards. Room taken
    // for a count that was never sent (a hostile one, or one left from an
    // earlier transfer) is given back first, so the tape holds its bytes only.
    if (m_recvData.capacity() > 2 * m_recvData.size() + kCapacitySlack)
        m_recvData.shrink_to_fit();
    CTapeBlock block{std::move(m_recvData), m_nRecvBaud};
    if (m_bLinePasted)
        m_doc.InsertBlock(m_doc.m_blocks.size(), std::move(block));
    else
        m_doc.AppendBlock(std::move(block));
    m_recvData.clear();
    const std::size_t nIndex = m_doc.m_blocks.size() - 1;
    m_ui.OnBlockStored(nIndex);
    m_ui.SelectBlock(nIndex);
}

void CReceiveContext::ShowRecvMessage(res::StringId nMessage) {
    m_ui.ShowMessage(nMessage);
}
