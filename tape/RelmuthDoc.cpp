// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/RelmuthDoc.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string_view>

#include "tape/BlockInfo.h"
#include "tape/BlockText.h"
#include "tape/File.h"

std::string KxmNameBeside(const std::string& strPathName) {
    const std::size_t nNameStart = strPathName.size() - FileNameOf(strPathName).size();
    const std::size_t dot = strPathName.rfind('.');
    const std::size_t nStemEnd =
        dot != std::string::npos && dot > nNameStart ? dot : strPathName.size();
    return strPathName.substr(0, nStemEnd) + "." + kDefaultTapeExtension;
}

std::string ProposedFileName(const std::string& strTitle) {
    return strTitle.substr(0, strTitle.find_first_of(kTitleCutCharacters));
}

CRelmuthDoc::CRelmuthDoc(CDocumentHost* pHost, const CTapeFormats& formats)
    : m_pHost(pHost), m_formats(formats), m_strTitle(res::LoadString(res::AFX_IDS_UNTITLED)) {}

CRelmuthDoc::~CRelmuthDoc() = default;

void CRelmuthDoc::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        m_formats.ForArchive(ar).pWrite(m_blocks, m_marks, ar);
        return;
    }
    CTapeReading reading;
    Serialize(ar, reading);
}

void CRelmuthDoc::Serialize(CArchive& ar, CTapeReading& reading) {
    if (ar.IsStoring()) {
        Serialize(ar);
        return;
    }
    m_formats.ForArchive(ar).pRead(ar, reading);
    TakeReading(reading);
}

void CRelmuthDoc::TakeReading(CTapeReading& reading) {
    DeleteContents();
    m_history.Clear();
    m_tape = std::move(reading.m_blocks);
    m_marks = std::move(reading.m_marks);
    m_notes = std::move(reading.m_notes);
    m_notes.resize(m_tape.size());
}

void CRelmuthDoc::SetBlockSource(const std::shared_ptr<const CBlockSource>& pSource) {
    m_notes.resize(m_tape.size());
    for (CBlockNote& note : m_notes)
        note.pSource = pSource;
}

bool CRelmuthDoc::IsOriginalName(const std::string& strPathName) const {
    return m_formats.ForName(strPathName).kind == TapeFormat::recording;
}

void CRelmuthDoc::DeleteContents() {
    m_tape.clear();
    m_marks.clear();
    m_notes.clear();
}

bool CRelmuthDoc::OnNewDocument() {
    ResetToNew();
    UpdateAllViews(nullptr, {CDocUpdate::reset});
    return true;
}

void CRelmuthDoc::ResetToNew() {
    DeleteContents();
    m_history.Clear();
    m_tape.shrink_to_fit();
    m_bModified = false;
    m_strPathName.clear();
    m_strTitle = res::LoadString(res::AFX_IDS_UNTITLED);
}

void CRelmuthDoc::Report(const CRelmuthException& error) {
    if (m_pHost != nullptr)
        m_pHost->ReportSaveLoadException(error);
}

bool CRelmuthDoc::DoSave(const std::string& strPathName) {
    std::string strNewName = strPathName;
    if (strNewName.empty()) {
        strNewName = m_strPathName;
        if (strNewName.empty())
            strNewName = ProposedFileName(m_strTitle); // our type has no default extension
        else if (IsOriginalName(strNewName))
            strNewName = KxmNameBeside(strNewName);
        if (m_pHost == nullptr || !m_pHost->PromptForTapeFileName(strNewName, res::AFX_IDS_SAVEFILE,
                                                                  kSaveDialogFlags, false))
            return false;
    }
    // A failed save leaves any file of that name as it was, so there is
    // nothing to delete afterwards.
    if (!OnSaveDocument(strNewName))
        return false;
    SetPathName(strNewName);
    return true;
}

bool CRelmuthDoc::OnOpenDocument(const std::string& strPathName) {
    CTapeReading reading;
    return OnOpenDocument(strPathName, reading);
}

bool CRelmuthDoc::OnOpenDocument(const std::string& strPathName, CTapeReading& reading) {
    std::optional<CFile> file;
    try {
        file.emplace(CFile::OpenForReading(strPathName));
    } catch (const CRelmuthException& e) {
        Report(e); // the tape stays as it was
        return false;
    }
    return OnOpenDocument(*file, reading);
}

bool CRelmuthDoc::OnOpenDocument(CFile& file) {
    CTapeReading reading;
    return OnOpenDocument(file, reading);
}

bool CRelmuthDoc::OnOpenDocument(CFile& file, CTapeReading& reading) {
    if (Read(file, reading, true) != ReadResult::read)
        return false;
    TakeTapeFile(file.GetFilePath(), reading);
    return true;
}

CRelmuthDoc::ReadResult CRelmuthDoc::ReadTapeFile(const std::string& strPathName,
                                                  CTapeReading& reading) {
    std::optional<CFile> file;
    try {
        file.emplace(CFile::OpenForReading(strPathName));
    } catch (const CRelmuthException& e) {
        Report(e);
        return ReadResult::failed;
    }
    return Read(*file, reading, false);
}

CRelmuthDoc::ReadResult CRelmuthDoc::Read(CFile& file, CTapeReading& reading,
                                          bool bResetOnBadFile) {
    // The file is read beside the tape, which it replaces only once read:
    // the user may stop a recording's decoding, and then keeps the tape he
    // had.
    const CTapeFormatRow& format = m_formats.ForName(file.GetFilePath());
    const auto fail = [&](const CRelmuthException& error) {
        if (bResetOnBadFile)
            FailLoad(error);
        else
            Report(error);
        return ReadResult::failed;
    };
    try {
        // A file with no bytes at all is an empty tape, whatever its name,
        // unless its format needs a block (a sound file without a sample).
        CFileArchive ar(file, CArchive::load);
        if (!ar.IsAtEnd())
            format.pRead(ar, reading);
        else if (!format.bEmptyFileIsTape)
            throw CRecordingEmpty();
    } catch (const CRecordingCancelled&) {
        return ReadResult::cancelled; // nothing changed: the views show what they showed
    } catch (const CRecordingEmpty& e) {
        Report(e); // nothing was read: the tape stays as it was
        return ReadResult::failed;
    } catch (const CRelmuthException& e) {
        return fail(e);
    } catch (const std::bad_alloc&) {
        return fail(CArchiveException(CArchiveException::generic));
    }
    return ReadResult::read;
}

void CRelmuthDoc::TakeTapeFile(const std::string& strPathName, CTapeReading& reading) {
    TakeReading(reading);
    SetModifiedFlag(false);
    SetPathName(strPathName);
    UpdateAllViews(nullptr, {CDocUpdate::reset});
}

void CRelmuthDoc::FailLoad(const CRelmuthException& error) {
    ResetToNew();
    UpdateAllViews(nullptr, {CDocUpdate::reset});
    Report(error);
}

bool CRelmuthDoc::OnSaveDocument(const std::string& strPathName) {
    return Store([&] {
        CSafeFileWriter writer(strPathName);
        WriteTo(writer.GetFile());
        writer.Commit();
    });
}

bool CRelmuthDoc::OnSaveDocument(CFile& file) {
    return Store([&] {
        WriteTo(file);
        file.Close();
    });
}

void CRelmuthDoc::WriteTo(CFile& file) {
    CFileArchive ar(file, CArchive::store);
    Serialize(ar);
    ar.Flush();
}

bool CRelmuthDoc::Store(const std::function<void()>& write) {
    try {
        write();
    } catch (const CRelmuthException& e) {
        Report(e);
        return false;
    } catch (const std::bad_alloc&) {
        Report(CRelmuthException(res::AFX_IDP_FAILED_TO_SAVE_DOC));
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

void CRelmuthDoc::SetModifiedFlag(bool bModified) {
    m_bModified = bModified;
    if (!bModified)
        m_history.OnSaved();
}

void CRelmuthDoc::SetPathName(const std::string& strPathName) {
    m_strPathName = strPathName;
    m_strTitle = FileNameOf(strPathName);
    if (m_pHost != nullptr)
        m_pHost->AddToRecentFileList(strPathName);
}

void CRelmuthDoc::GetBlockInfo(const CTapeBlock& block, std::string& strBaud, std::string& strBytes,
                               std::string& strType, std::string& strName) const {
    ::GetBlockInfo(block, strBaud, strBytes, strType, strName);
}

std::string CRelmuthDoc::GetBlockText(const CTapeBlock& block) const {
    return ::GetBlockText(block);
}

void CRelmuthDoc::AddView(CDocumentView* pView) {
    m_views.push_back(pView);
}

void CRelmuthDoc::RemoveView(CDocumentView* pView) {
    std::erase(m_views, pView);
}

void CRelmuthDoc::UpdateAllViews(CDocumentView* pSender, const CDocUpdate& update) {
    for (CDocumentView* pView : m_views) {
        if (pView != pSender)
            pView->OnUpdate(pSender, update);
    }
}

void CRelmuthDoc::Changed(const CDocUpdate& update) {
    SetModifiedFlag(true);
    UpdateAllViews(nullptr, update);
}

void CRelmuthDoc::AppendBlock(ByteArray data, int nBaud) {
    AppendBlock(CTapeBlock{std::move(data), nBaud});
}

void CRelmuthDoc::AppendBlock(CTapeBlock block) {
    m_tape.push_back(std::move(block));
    m_notes.resize(m_tape.size());
    m_notes.back() = {};
    m_history.OnBlockArrived();
    UpdateAllViews(nullptr, {CDocUpdate::inserted, m_tape.size() - 1});
}

void CRelmuthDoc::InsertBlock(std::size_t nIndex, CTapeBlock block) {
    std::vector<CTapeBlock> blocks;
    blocks.push_back(std::move(block));
    if (m_history.Insert(Contents(), nIndex, std::move(blocks)))
        UpdateAllViews(nullptr, {CDocUpdate::inserted, nIndex});
}

void CRelmuthDoc::EraseBlock(std::size_t nIndex) {
    if (m_history.Remove(Contents(), nIndex))
        UpdateAllViews(nullptr, {CDocUpdate::removed, nIndex});
}

void CRelmuthDoc::MoveBlock(std::size_t nFrom, std::size_t nTo) {
    if (nFrom >= m_tape.size() || nTo >= m_tape.size() || nFrom == nTo)
        return;
    // One neighbour at a time, so that the marks follow every block.
    for (std::size_t i = nFrom; i != nTo; i = nTo > nFrom ? i + 1 : i - 1)
        m_history.Swap(Contents(), i, nTo > nFrom ? i + 1 : i - 1);
    UpdateAllViews(nullptr, {CDocUpdate::moved, nFrom, nTo});
}

bool CRelmuthDoc::Undo() {
    const auto places = m_history.GetNextUndo();
    const std::vector<CTapeBlock> before = m_tape;
    if (!places || !m_history.Undo(Contents()))
        return false;
    HistoryChanged(*places, before);
    return true;
}

bool CRelmuthDoc::Redo() {
    const auto places = m_history.GetNextRedo();
    const std::vector<CTapeBlock> before = m_tape;
    if (!places || !m_history.Redo(Contents()))
        return false;
    HistoryChanged(*places, before);
    return true;
}

void CRelmuthDoc::HistoryChanged(const CTapeHistory::CEditPlaces& places,
                                 const std::vector<CTapeBlock>& before) {
    // A byte's reading changes its block's marks even where its value
    // stays the same: the block is told of as replaced.
    if (places.kind == CTapeHistory::byte) {
        UpdateAllViews(nullptr, {CDocUpdate::replaced, places.nAt});
        return;
    }
    // A block of the same bytes may have other marks and notes in the
    // other tape: none is kept.
    if (places.kind == CTapeHistory::whole) {
        TapeSwapped(before.size());
        return;
    }
    // An edit changes one stretch of the tape: the blocks before it and
    // after it are the same, so the views are told of that stretch alone.
    std::size_t nFirst = 0;
    while (nFirst < before.size() && nFirst < m_tape.size() && before[nFirst] == m_tape[nFirst])
        ++nFirst;
    std::size_t nBefore = before.size();
    std::size_t nAfter = m_tape.size();
    while (nBefore > nFirst && nAfter > nFirst && before[nBefore - 1] == m_tape[nAfter - 1]) {
        --nBefore;
        --nAfter;
    }
    for (std::size_t i = nFirst; i < nBefore; ++i)
        UpdateAllViews(nullptr, {CDocUpdate::removed, nFirst});
    for (std::size_t i = nFirst; i < nAfter; ++i)
        UpdateAllViews(nullptr, {CDocUpdate::inserted, i});
}

void CRelmuthDoc::ReplaceBlock(std::size_t nIndex, CTapeBlock block) {
    if (nIndex >= m_tape.size())
        return;
    // A byte edit of the old bytes undone on the new ones would corrupt them.
    m_history.Clear();
    m_tape[nIndex] = std::move(block);
    m_notes.resize(m_tape.size());
    m_notes[nIndex] = {};
    std::erase_if(m_marks, [nIndex](const CDamageMark& mark) { return mark.nBlock == nIndex; });
    Changed({CDocUpdate::replaced, nIndex});
}

void CRelmuthDoc::ReplaceTape(std::vector<CTapeBlock> blocks, CDamageMarks marks,
                              std::vector<CBlockNote> notes) {
    m_history.Clear();
    m_tape = std::move(blocks);
    m_marks = std::move(marks);
    m_notes = std::move(notes);
    m_notes.resize(m_tape.size());
    Changed({CDocUpdate::reset});
}

void CRelmuthDoc::ReplaceTapeAsEdit(std::vector<CTapeBlock> blocks, CDamageMarks marks,
                                    std::vector<CBlockNote> notes) {
    const std::size_t nBefore = m_tape.size();
    m_history.ReplaceTape(Contents(), std::move(blocks), std::move(marks), std::move(notes));
    TapeSwapped(nBefore);
}

void CRelmuthDoc::TapeSwapped(std::size_t nBefore) {
    for (std::size_t i = 0; i < nBefore; ++i)
        UpdateAllViews(nullptr, {CDocUpdate::removed, 0});
    for (std::size_t i = 0; i < m_tape.size(); ++i)
        UpdateAllViews(nullptr, {CDocUpdate::inserted, i});
}

void CRelmuthDoc::ReplaceByte(std::size_t nBlock, std::size_t nOffset, std::uint8_t nValue) {
    if (m_history.ReplaceByte(Contents(), nBlock, nOffset, nValue))
        UpdateAllViews(nullptr, {CDocUpdate::replaced, nBlock});
}
