// SPDX-License-Identifier: GPL-3.0-or-later
// The tape session: what a window program or relmuth-tape holds and
// forwards to. It owns the serial link (the port and its state: closed,
// open, lost), the receiver and the transfer under way, holds what arrives
// while a file is read into the document, sends the loader with its
// progress and cancel, and runs the Edit commands with their update rules.
// It works on the owner's thread: the port's threads only post (through
// the poster the owner gives), and the owner, on its own thread, calls
// OnPortReceived or OnPortLost. What happened goes back to the owner
// through one interface (CSessionOwner). The owner keeps its dialogs, its
// texts and its message boxes; the session decides.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/ByteWaveform.h"
#include "audio/RecordingFormats.h"
#include "audio/TakeMerge.h"
#include "serial/CommPort.h"
#include "session/CommandTarget.h"
#include "session/EditCommands.h"
#include "session/FileCommands.h"
#include "session/ReceiveContext.h"
#include "session/Waveforms.h"
#include "tape/RelmuthDoc.h"

// The serial link as the user sees it.
enum class LinkState {
    closed, // no port open (never opened, or opening failed)
    open,   // bytes come and go
    lost,   // the port is open but the line went away (a pulled cable)
};

// What the session tells its owner, beside what receiving shows (CReceiveUi:
// the progress, a message, a block stored).
class CSessionOwner : public CReceiveUi {
  public:
    // The line went away, and why (the system's text).
    virtual void OnLinkLost(const CCommError& error) = 0;
    // Show the waveform of byte nOffset of block nBlock of the tape, with
    // its readings to pick from (through PickReading).
    virtual void ShowWaveform(std::size_t /*nBlock*/, std::size_t /*nOffset*/,
                              const CByteWaveform& /*wave*/) {}
};

// How the port's threads reach the owner's thread: each function only
// posts (a window event, a wake-up) and returns. The owner then calls
// OnPortReceived or OnPortLost on its own thread.
struct CPortPoster {
    std::function<void()> received;
    std::function<void(const CCommError&)> lost;
};

class CTapeSession final : public CCmdTarget, private CDocumentView {
  public:
    CTapeSession(CRelmuthDoc& doc, CSessionOwner& owner, CPortPoster poster);
    ~CTapeSession() override;
    CTapeSession(const CTapeSession&) = delete;
    CTapeSession& operator=(const CTapeSession&) = delete;

    CRelmuthDoc& GetDocument() { return m_doc; }

    // --- The serial link.
    // Opens the port ("COMn" or a device path) at the speed flag, with the
    // program's frame: 7 data bits, no parity, 1 stop bit, XON/XOFF. A port
    // open before is closed first. False, with GetOpenError, when it fails.
    bool OpenPort(const std::string& strDevicePath, unsigned nBaudFlag);
#if !defined(_WIN32)
    // The same on a device already opened (a test's line; the port takes
    // such devices on POSIX systems only).
    bool OpenPort(std::unique_ptr<CSerialDevice> device, unsigned nBaudFlag);
#endif
    void ClosePort();
    LinkState GetLinkState() const {
        return m_linkState;
    }
    const CCommError& GetOpenError() const {
        return m_port.GetOpenError();
    }
    CCommPort& GetPort() {
        return m_port;
    }

    // The port has posted. Bytes that arrive while a file is read wait in
    // the port; they are taken once the reading is over, from a new post.
    void OnPortReceived();
    // The line went away: the link is lost and the owner told; a transfer
    // under way is cut off (its progress closed, the receiver reset, the
    // tape as it was) and the owner says so (IDS_TRANSFER_CUT_OFF).
    void OnPortLost(const CCommError& error);

    // --- Receiving.
    // A receiver waiting for a header, the partial line dropped (after
    // start-up, every New and Open, and every port opened).
    void InstallReceiver() {
        m_receive.InstallReceiver();
    }
    // The user cancelled the receive progress.
    void CancelReceive() {
        m_receive.CancelReceive();
    }
    const CReceiveContext& GetReceiveContext() const {
        return m_receive;
    }

    // --- Files.
    // Reads the file into the document, holding what arrives meanwhile (a
    // recording's decoding lets the owner's event loop run). The reading
    // is that of the format (progress, options); what it reports of a
    // recording's damage the session keeps (GetRecordingDamage).
    bool ReadFile(const std::string& strPathName, CRecordingReading& reading);
    // The same in two steps (the File commands' open): the file read beside
    // the tape, input held meanwhile; then, once the caller decided, the
    // reading made the tape (with its recording's damage).
    CRelmuthDoc::ReadResult ReadFileAside(const std::string& strPathName,
                                          CRecordingReading& reading);
    void TakeFile(const std::string& strPathName, CRecordingReading& reading);
    bool IsReadingFile() const {
        return m_pReading != nullptr;
    }
    // Merges another take of the tape (a recording of it, or an image) into
    // the open tape: the blocks and bytes of both are lined up and each
    // byte taken as the take that read it cleanly read it (MergeTakes, the
    // open tape leading). The tape is replaced as a whole, as one edit
    // that undo takes back; its marks are the bytes that stay doubtful, and
    // each block keeps the recording its marks came from, for their
    // waveforms. Reads as ReadFile does, holding what arrives; false,
    // with the open tape as it was, when the file could not be read (the
    // document's host was told) or the reading was cancelled.
    bool MergeTake(const std::string& strPathName, CRecordingReading& reading,
                   CMergeResult* pResult = nullptr);

    // The bytes of the recording the tape was opened from that did not
    // decode cleanly, by block and offset as opened; none once the tape is
    // replaced by another (but kept through a merge, which undo takes back
    // to the tape as opened).
    const std::vector<CDamagedByte>& GetRecordingDamage() const {
        return m_recordingDamage;
    }
    std::vector<CDamagedByte>& GetRecordingDamage() {
        return m_recordingDamage;
    }

    // --- The waveform of a damaged byte (block and offset of the tape as
    // it is now), read again from the recording its block was read from
    // (the one the tape was opened from, or a take merged in).
    const std::optional<CRecordingSource>& GetRecordingSource() const {
        return m_recordingSource;
    }
    // Whether the byte is marked and its recording known.
    bool CanShowWaveform(std::size_t nBlock, std::size_t nOffset) const;
    // The byte's waveform; nothing when it cannot be shown, or the
    // recording can no longer be read as it was.
    std::optional<CByteWaveform> ReadWaveform(std::size_t nBlock, std::size_t nOffset) const;
    // Reads the waveform and has the owner show it; when there is none, the
    // owner shows why.
    void ShowWaveform(std::size_t nBlock, std::size_t nOffset);
    // The user picked another reading for the byte: an edit of the tape,
    // which takes its mark and is undone like any other.
    void PickReading(std::size_t nBlock, std::size_t nOffset, std::uint8_t nValue);

    // --- Sending the loader.
    // Queues the loader on the port; its size in bytes, 0 when nothing was
    // sent (no port open, or a loader without its end).
    int StartSendLoader();
    int StartSendLoader(std::span<const std::uint8_t> loaderText);
    // How far the send is, from one look at the port's queue.
    struct CSendProgress {
        int nPercent; // 0 to 100
        bool bComplete;
        bool bLinkLost = false; // the line went away: the rest will never go
    };
    CSendProgress GetSendProgress();
    // Drops what is not yet sent; a chunk on its way still goes out.
    void CancelSend();

    // --- The Edit commands, once the owner's rows and clipboard are there.
    void AttachEditing(CBlockRows& rows, CClipboard& clipboard);

    // --- The File commands of a window program, which then asks and shows
    // through the owner; they are the document's host while attached.
    CFileCommands& AttachFileCommands(CFileOwner& owner);
    CFileCommands* GetFileCommands() {
        return m_pFile.get();
    }

    // CCmdTarget: the File and Edit commands once attached, and the update
    // rule of 送信 (while the link is open: with no port, or a line that
    // went away, a send would wait for ever).
    bool OnCmdMsg(unsigned nId) override;
    bool OnUpdateCmdUi(unsigned nId, bool& bEnable) const override;

  private:
    void OnUpdate(CDocumentView* pSender, const CDocUpdate& update) override;
    bool Opened(bool bOpened);
    // The first marked byte of the selected block, when its recording is known.
    std::optional<std::size_t> SelectedMarkedByte() const;
    // The recording behind a block and the damage of its decoding: the
    // block's note's, else (a block without a note) the recording the tape
    // was opened from while it is at hand.
    struct CRecordingBehind {
        const CRecordingSource* pSource;
        std::span<const CDamagedByte> damage;
    };
    std::optional<CRecordingBehind> RecordingBehind(std::size_t nBlock) const;
    void KeepRecording(const std::string& strPathName, const CRecordingReading& reading);

    CRelmuthDoc& m_doc;
    CSessionOwner& m_owner;
    CPortPoster m_poster;
    CCommPort m_port;
    LinkState m_linkState = LinkState::closed;
    CReceiveContext m_receive;
    std::unique_ptr<CEditCommands> m_pEdit;
    std::unique_ptr<CFileCommands> m_pFile;

    bool m_bHolding = false;
    bool m_bReceivedWhileHeld = false;
    CRecordingReading* m_pReading = nullptr; // the file being read into the document
    std::vector<CDamagedByte> m_recordingDamage;
    std::optional<CRecordingSource> m_recordingSource; // of the tape as opened
    bool m_bReset = false;                             // the tape was replaced while reading
    CBlockRows* m_pRows = nullptr;

    int m_nSendTotal = 0; // bytes of the send under way
};
