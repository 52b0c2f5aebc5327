// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/TapeSession.h"

#include <utility>

#include "audio/RecordingMarks.h"
#include "loader/LoaderText.h"
#include "res/Strings.h"
#include "serial/CommSettings.h"
#include "session/SendLoader.h"

CTapeSession::CTapeSession(CRelmuthDoc& doc, CSessionOwner& owner, CPortPoster poster)
    : m_doc(doc), m_owner(owner), m_poster(std::move(poster)), m_receive(doc, owner) {
    m_port.SetReceivedCallback([this] {
        if (m_poster.received)
            m_poster.received();
    });
    m_port.SetLinkLostCallback([this](const CCommError& error) {
        if (m_poster.lost)
            m_poster.lost(error);
    });
    // First among the views: the damage of a recording is in place before
    // the others show the tape it came with.
    m_doc.AddView(this);
}

CTapeSession::~CTapeSession() {
    m_pFile.reset(); // gives the document its host back
    m_doc.RemoveView(this);
    // The port's threads end before anything they post to goes.
    m_port.Close();
}

bool CTapeSession::OpenPort(const std::string& strDevicePath, unsigned nBaudFlag) {
    ClosePort();
    return Opened(m_port.Open(strDevicePath, ProgramLineSettings(nBaudFlag), kProgramXonXoff));
}

#if !defined(_WIN32)
bool CTapeSession::OpenPort(std::unique_ptr<CSerialDevice> device, unsigned nBaudFlag) {
    ClosePort();
    return Opened(m_port.Open(std::move(device), ProgramLineSettings(nBaudFlag), kProgramXonXoff));
}
#endif

bool CTapeSession::Opened(bool bOpened) {
    m_linkState = bOpened ? LinkState::open : LinkState::closed;
    return bOpened;
}

void CTapeSession::ClosePort() {
    m_port.Close();
    m_linkState = LinkState::closed;
    m_nSendTotal = 0;
}

void CTapeSession::OnPortReceived() {
    if (m_bHolding) {
        m_bReceivedWhileHeld = true;
        return;
    }
    // A message box shown while these bytes are handled runs its own event
    // loop, which may come back here with later bytes: the receive context
    // queues their lines behind the ones under way, so each local array is
    // used up before anything else can run.
    std::vector<std::uint8_t> bytes;
    m_port.TakeReceived(bytes);
    if (!bytes.empty())
        m_receive.OnSerialBytes(bytes);
}

void CTapeSession::OnPortLost(const CCommError& error) {
    // A post from a port closed since (the user opened another) is old news.
    if (m_linkState != LinkState::open)
        return;
    m_linkState = LinkState::lost;
    const bool bCutOff = m_receive.CutOff();
    m_owner.OnLinkLost(error);
    if (bCutOff)
        m_owner.ShowMessage(res::IDS_TRANSFER_CUT_OFF);
}

bool CTapeSession::ReadFile(const std::string& strPathName, CRecordingReading& reading) {
    // A block that arrives meanwhile would go to the tape about to be
    // replaced: the bytes wait in the port, and are taken from a new post
    // once the caller has put the new tape in place.
    m_bHolding = true;
    m_pReading = &reading;
    m_bReset = false;
    const bool bOpened = m_doc.OnOpenDocument(strPathName, reading);
    m_pReading = nullptr;
    // The recording stays at hand for the waveforms of its damaged bytes.
    if (bOpened && IsRecordingName(strPathName))
        m_recordingSource = CRecordingSource{strPathName, reading.m_options};
    else if (m_bReset)
        m_recordingSource.reset();
    m_bHolding = false;
    if (std::exchange(m_bReceivedWhileHeld, false) && m_poster.received)
        m_poster.received();
    return bOpened;
}

CRelmuthDoc::ReadResult CTapeSession::ReadFileAside(const std::string& strPathName,
                                                    CRecordingReading& reading) {
    m_bHolding = true;
    m_pReading = &reading;
    const CRelmuthDoc::ReadResult result = m_doc.ReadTapeFile(strPathName, reading);
    m_pReading = nullptr;
    m_bHolding = false;
    if (std::exchange(m_bReceivedWhileHeld, false) && m_poster.received)
        m_poster.received();
    return result;
}

void CTapeSession::TakeFile(const std::string& strPathName, CRecordingReading& reading) {
    m_pReading = &reading;
    m_doc.TakeTapeFile(strPathName, reading);
    m_pReading = nullptr;
    if (IsRecordingName(strPathName))
        m_recordingSource = CRecordingSource{strPathName, reading.m_options};
    else
        m_recordingSource.reset();
}

bool CTapeSession::MergeTake(const std::string& strPathName, CRecordingReading& reading,
                             CMergeResult* pResult) {
    m_bHolding = true;
    m_pReading = &reading;
    CRelmuthDoc other(m_doc.GetHost(), m_doc.GetFormats());
    const bool bRead = other.OnOpenDocument(strPathName, reading);
    m_pReading = nullptr;
    m_bHolding = false;
    if (std::exchange(m_bReceivedWhileHeld, false) && m_poster.received)
        m_poster.received();
    if (!bRead)
        return false;
    const CTake takes[] = {TakeFromImage(m_doc.m_blocks, m_doc.m_damageMarks),
                           TakeFromReading(other.m_blocks, other.m_damageMarks, reading)};
    CMergeResult merged = MergeTakes(takes);
    m_doc.ReplaceTape(merged.blocks, MarksFromDamage(merged.damage));
    m_doc.SetModifiedFlag();
    m_recordingDamage = merged.damage;
    if (pResult != nullptr)
        *pResult = std::move(merged);
    return true;
}

void CTapeSession::OnUpdate(CDocumentView*, const CDocUpdate& update) {
    if (update.kind != CDocUpdate::reset)
        return;
    m_recordingDamage.clear();
    m_bReset = true;
    if (m_pReading != nullptr)
        m_recordingDamage = std::move(m_pReading->m_damage);
    else
        m_recordingSource.reset();
}

int CTapeSession::StartSendLoader() {
    return StartSendLoader(GetLoaderResource());
}

int CTapeSession::StartSendLoader(std::span<const std::uint8_t> loaderText) {
    if (!m_port.IsOpen() || m_linkState == LinkState::lost)
        return 0;
    m_nSendTotal = SendLoader(m_port, loaderText);
    return m_nSendTotal;
}

CTapeSession::CSendProgress CTapeSession::GetSendProgress() {
    const int nPending = m_port.GetSendPending();
    return {SendProgressPercent(m_nSendTotal, nPending), IsSendComplete(nPending),
            m_linkState == LinkState::lost};
}

void CTapeSession::CancelSend() {
    m_port.ClearSendQueue();
}

bool CTapeSession::CanShowWaveform(std::size_t nBlock, std::size_t nOffset) const {
    return m_recordingSource &&
           FindDecodedByte(m_doc.m_damageMarks, m_recordingDamage, nBlock, nOffset).has_value();
}

std::optional<CByteWaveform> CTapeSession::ReadWaveform(std::size_t nBlock,
                                                        std::size_t nOffset) const {
    if (!m_recordingSource)
        return std::nullopt;
    const auto place = FindDecodedByte(m_doc.m_damageMarks, m_recordingDamage, nBlock, nOffset);
    if (!place)
        return std::nullopt;
    try {
        auto wave = ReadByteWaveform(m_recordingSource->strPath, m_recordingSource->options,
                                     place->nBlock, place->nOffset);
        // A recording changed since it was opened may hold other bytes there.
        if (!wave || wave->readings.empty() || nBlock >= m_doc.m_blocks.size() ||
            wave->readings.front() != m_doc.m_blocks[nBlock].m_data[nOffset])
            return std::nullopt;
        return wave;
    } catch (const CRelmuthException&) {
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

void CTapeSession::ShowWaveform(std::size_t nBlock, std::size_t nOffset) {
    const auto wave = ReadWaveform(nBlock, nOffset);
    if (!wave) {
        m_owner.ShowMessage(res::IDS_WAVEFORM_UNAVAILABLE);
        return;
    }
    m_owner.ShowWaveform(nBlock, nOffset, *wave);
}

void CTapeSession::PickReading(std::size_t nBlock, std::size_t nOffset, std::uint8_t nValue) {
    m_doc.ReplaceByte(nBlock, nOffset, nValue);
}

std::optional<std::size_t> CTapeSession::SelectedMarkedByte() const {
    const int nRow = m_pRows != nullptr ? m_pRows->GetSelectedRow() : -1;
    if (nRow < 0 || !m_recordingSource)
        return std::nullopt;
    const auto offsets = MarkedBytesOf(m_doc.m_damageMarks, static_cast<std::size_t>(nRow));
    if (offsets.empty())
        return std::nullopt;
    return offsets.front();
}

void CTapeSession::AttachEditing(CBlockRows& rows, CClipboard& clipboard) {
    m_pRows = &rows;
    m_pEdit = std::make_unique<CEditCommands>(m_doc, rows, clipboard, m_receive);
}

CFileCommands& CTapeSession::AttachFileCommands(CFileOwner& owner) {
    m_pFile.reset();
    m_pFile = std::make_unique<CFileCommands>(*this, owner);
    return *m_pFile;
}

bool CTapeSession::OnCmdMsg(unsigned nId) {
    if (m_pFile && m_pFile->OnCmdMsg(nId))
        return true;
    if (nId == res::ID_VIEW_WAVEFORM) {
        if (const auto nOffset = SelectedMarkedByte())
            ShowWaveform(static_cast<std::size_t>(m_pRows->GetSelectedRow()), *nOffset);
        return true;
    }
    if (!m_pEdit)
        return false;
    switch (nId) {
    case res::ID_EDIT_CUT:
        m_pEdit->OnEditCut();
        return true;
    case res::ID_EDIT_COPY:
        m_pEdit->OnEditCopy();
        return true;
    case res::ID_EDIT_PASTE:
        m_pEdit->OnEditPaste();
        return true;
    case res::ID_EDIT_CLEAR:
        m_pEdit->OnEditClear();
        return true;
    case res::ID_MOVE_UP:
        m_pEdit->OnMoveUp();
        return true;
    case res::ID_MOVE_DOWN:
        m_pEdit->OnMoveDown();
        return true;
    case res::ID_EDIT_UNDO:
        m_pEdit->OnEditUndo();
        return true;
    case res::ID_EDIT_REDO:
        m_pEdit->OnEditRedo();
        return true;
    default:
        return false;
    }
}

bool CTapeSession::OnUpdateCmdUi(unsigned nId, bool& bEnable) const {
    switch (nId) {
    case res::ID_SEND_PROGRAM:
        bEnable = m_linkState == LinkState::open;
        return true;
    case res::ID_VIEW_WAVEFORM:
        // A block with a marked byte, from a recording at hand.
        bEnable = SelectedMarkedByte().has_value();
        return true;
    default:
        break;
    }
    if (m_pFile && m_pFile->OnUpdateCmdUi(nId, bEnable))
        return true;
    if (!m_pEdit)
        return false;
    switch (nId) {
    case res::ID_EDIT_CUT:
    case res::ID_EDIT_COPY:
    case res::ID_EDIT_CLEAR:
        bEnable = m_pEdit->CanCutCopyDelete();
        return true;
    case res::ID_EDIT_PASTE:
        bEnable = m_pEdit->CanPaste();
        return true;
    case res::ID_MOVE_UP:
        bEnable = m_pEdit->CanMoveUp();
        return true;
    case res::ID_MOVE_DOWN:
        bEnable = m_pEdit->CanMoveDown();
        return true;
    case res::ID_EDIT_UNDO:
        bEnable = m_pEdit->CanUndo();
        return true;
    case res::ID_EDIT_REDO:
        bEnable = m_pEdit->CanRedo();
        return true;
    default:
        return false;
    }
}
