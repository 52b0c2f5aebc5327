// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/TapeSession.h"

#include <algorithm>
#include <memory>
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
        KeepRecording(strPathName, reading);
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
        KeepRecording(strPathName, reading);
    else
        m_recordingSource.reset();
}

void CTapeSession::KeepRecording(const std::string& strPathName, const CRecordingReading& reading) {
    m_recordingSource = CRecordingSource{strPathName, reading.m_options};
    m_doc.SetBlockSource(std::make_shared<CTakeRecording>(*m_recordingSource, m_recordingDamage));
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
    const CTake takes[] = {TakeFromImage(m_doc.m_blocks, m_doc.m_damageMarks, m_doc.m_blockNotes),
                           TakeFromReading(other.m_blocks, other.m_damageMarks, reading)};
    CMergeResult merged = MergeTakes(takes);
    // Each merged block keeps the recording its marks name: the open
    // tape's block's own, or the other take's.
    std::shared_ptr<const CBlockSource> pOther;
    if (IsRecordingName(strPathName))
        pOther = std::make_shared<CTakeRecording>(CRecordingSource{strPathName, reading.m_options},
                                                  reading.m_damage);
    std::vector<CBlockNote> notes(merged.blocks.size());
    for (std::size_t i = 0; i < notes.size(); ++i) {
        notes[i].confidence = merged.confidence[i];
        const CMergedBlock& from = merged.merged[i];
        if (from.nSaidBy == 1)
            notes[i].pSource = pOther;
        else if (from.nSaidBy == 0 && from.fromTake[0] >= 0 &&
                 static_cast<std::size_t>(from.fromTake[0]) < m_doc.m_blockNotes.size())
            notes[i].pSource =
                m_doc.m_blockNotes[static_cast<std::size_t>(from.fromTake[0])].pSource;
    }
    // The tape as opened stays what the recording's own damage list and
    // marks describe (undo goes back to it); the merged tape's doubtful
    // bytes are its marks.
    m_recordingSource.reset();
    m_doc.ReplaceTapeAsEdit(merged.blocks, MarksFromDamage(merged.damage), std::move(notes));
    if (pResult != nullptr)
        *pResult = std::move(merged);
    return true;
}

std::optional<CTapeSession::CRecordingBehind>
CTapeSession::RecordingBehind(std::size_t nBlock) const {
    if (nBlock < m_doc.m_blockNotes.size()) {
        const CBlockNote& note = m_doc.m_blockNotes[nBlock];
        if (const CTakeRecording* pTake = TakeRecordingOf(note))
            return CRecordingBehind{&pTake->m_source, pTake->m_damage};
        // A block of a merged tape that no single recording stands behind.
        if (!note.confidence.empty() || note.pSource != nullptr)
            return std::nullopt;
    }
    if (!m_recordingSource)
        return std::nullopt;
    return CRecordingBehind{&*m_recordingSource, m_recordingDamage};
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
    const auto behind = RecordingBehind(nBlock);
    return behind &&
           FindDecodedByte(m_doc.m_damageMarks, behind->damage, nBlock, nOffset).has_value();
}

std::optional<CByteWaveform> CTapeSession::ReadWaveform(std::size_t nBlock,
                                                        std::size_t nOffset) const {
    const auto behind = RecordingBehind(nBlock);
    if (!behind)
        return std::nullopt;
    const auto place = FindDecodedByte(m_doc.m_damageMarks, behind->damage, nBlock, nOffset);
    if (!place)
        return std::nullopt;
    try {
        auto wave = ReadByteWaveform(behind->pSource->strPath, behind->pSource->options,
                                     place->nBlock, place->nOffset);
        // A recording changed since it was opened may hold other bytes
        // there. A merge may have taken another of the readings it weighed.
        if (!wave || nBlock >= m_doc.m_blocks.size() ||
            std::find(wave->readings.begin(), wave->readings.end(),
                      m_doc.m_blocks[nBlock].m_data[nOffset]) == wave->readings.end())
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
    if (nRow < 0 || !RecordingBehind(static_cast<std::size_t>(nRow)))
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
