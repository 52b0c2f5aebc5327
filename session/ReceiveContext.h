// SPDX-License-Identifier: GPL-3.0-or-later
// The receiving side of the block list: serial bytes and pasted text become
// lines, the lines go to the current receiver state, and a transfer that
// completes becomes a new block at the end of the document.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "serial/LineFraming.h"
#include "serial/TransferReceiver.h"
#include "tape/RelmuthDoc.h"

// What receiving shows the user. The window program implements it with a
// modeless progress dialog and message boxes; the command-line tool prints.
class CReceiveUi {
  public:
    virtual ~CReceiveUi() = default;
    // A transfer body begins: show the progress for nTotal bytes.
    virtual void OpenRecvProgress(int nTotal) = 0;
    virtual void SetRecvProgress(int nPercent) = 0;
    virtual void CloseRecvProgress() = 0;
    // A message box with an OK button; may run a nested event loop.
    virtual void ShowMessage(res::StringId nMessage) = 0;
    // The default beep, for a cancelled transfer.
    virtual void Beep() {}
    // The block at nIndex has just been appended to the tape: the place for
    // what follows storing a block (the command-line capture saves the tape
    // here). Called before SelectBlock.
    virtual void OnBlockStored(std::size_t /*nIndex*/) {}
    // The block at nIndex has just been appended; select its row.
    virtual void SelectBlock(std::size_t /*nIndex*/) {}
};

class CReceiveContext final : public CRecvOwner {
  public:
    // At most this much room is taken up front for a transfer; the data grows
    // as it really arrives, so a hostile byte count costs nothing.
    static constexpr int kMaxUpfrontReserve = 1024 * 1024;
    // A stored block keeps at most twice its size, plus this, in storage.
    static constexpr std::size_t kCapacitySlack = 64;

    // nMaxUpfrontReserve lowers the up-front room (the fuzz target does, so
    // that hostile counts cost it no mebibyte each run).
    CReceiveContext(CRelmuthDoc& doc, CReceiveUi& ui, int nMaxUpfrontReserve = kMaxUpfrontReserve);
    ~CReceiveContext() override;

    // Waits for a header from now on, with an empty partial line.
    //
    // Here and in CancelReceive, complete lines already queued (they came
    // while a message box was up) stay queued and go to the new state, in
    // order: they are bytes the line really brought, the Header state passes
    // over what is left of a dropped transfer, and a transfer that began
    // meanwhile is received rather than lost.
    void InstallReceiver();

    // Bytes taken from the serial port.
    void OnSerialBytes(std::span<const std::uint8_t> bytes);

    // Clipboard text; false when it is no transfer and nothing was done.
    bool PasteText(std::string_view text);

    // The user cancelled the progress display: back to the Header state
    // (queued lines as for InstallReceiver; the partial line is kept).
    void CancelReceive();

    // The line went away: a transfer under way is cut off (its progress
    // closed, its bytes dropped) and the receiver waits for a header, with
    // an empty partial line. True when a transfer was under way.
    bool CutOff();

    bool IsRecvProgressShown() const { return m_bRecvDlgShown; }
    // Whether a transfer has begun (its header came) and not ended.
    bool IsInTransfer() const { return m_state && *m_state != RecvState::header; }
    const std::string& GetPartialLine() const { return m_serialFramer.GetPartialLine(); }
    // Lines taken in while a line was being handled, waiting for their turn.
    std::size_t GetPendingLineCount() const { return m_pendingLines.size(); }

    // CRecvOwner
    int GetRecvBaud() const override { return m_nRecvBaud; }
    void SetRecvBaud(int nBaud) override { m_nRecvBaud = nBaud; }
    int GetRecvSize() const override { return m_nRecvSize; }
    void SetRecvSize(int nSize) override { m_nRecvSize = nSize; }
    void ResetRecvData(int nReserve) override;
    ByteArray& GetRecvData() override { return m_recvData; }
    int GetRecvChecksum() const override { return m_nRecvChecksum; }
    void AddRecvChecksum(int nValue) override {
        m_nRecvChecksum = (m_nRecvChecksum + nValue) & 0xFF;
    }
    void OnRecvBegin() override;
    void OnRecvEnd() override;
    void OnRecvProgress() override;
    void OnRecvComplete() override;
    void ShowRecvMessage(res::StringId nMessage) override;

  private:
    // Hands queued lines to the receiver, one at a time, in arrival order.
    // Lines that arrive while a line is being handled (a message box's event
    // loop feeding more input) wait in the queue for their turn.
    void DeliverPending();

    CRelmuthDoc& m_doc;
    CReceiveUi& m_ui;
    int m_nMaxUpfrontReserve;

    // One state of each kind, all alive as long as the context: a state
    // whose OnLine is running is never destroyed under it, whatever a
    // message box's event loop switches to meanwhile.
    CRecvStates m_states{this};
    std::optional<RecvState> m_state; // none until the first install or line
    int m_nRecvBaud = kBaudFast;
    int m_nRecvSize = 0;
    ByteArray m_recvData;
    int m_nRecvChecksum = 0;
    CSerialLineFramer m_serialFramer;

    // A pasted block is an edit of the user's, which undo takes back; a
    // block from the line is not. The line that completes a transfer says
    // which it is.
    struct CPendingLine {
        std::string text;
        bool bPasted;
    };
    std::deque<CPendingLine> m_pendingLines;
    bool m_bDelivering = false;
    bool m_bLinePasted = false; // the line being handled

    bool m_bRecvDlgShown = false;
    int m_nRecvDlgTotal = 0;
};
