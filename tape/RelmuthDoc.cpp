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
}

bool CRelmuthDoc::IsOriginalName(const std::string& strPathName) const {
    return m_formats.ForName(strPathName).kind == TapeFormat::recording;
}

void CRelmuthDoc::DeleteContents() {
    m_tape.clear();
    m_marks.clear();
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
    // The file is read beside the tape, which it replaces only once read:
    // the user may stop a recording's decoding, and then keeps the tape he
    // had.
    const CTapeFormatRow& format = m_formats.ForName(file.GetFilePath());
    try {
        // A file with no bytes at all is an empty tape, whatever its name,
        // unless its format needs a block (a sound file without a sample).
        CFileArchive ar(file, CArchive::load);
        if (!ar.IsAtEnd())
            format.pRead(ar, reading);
        else if (!format.bEmptyFileIsTape)
            throw CRecordingEmpty();
    } catch (const CRecordingCancelled&) {
        return false; // nothing changed: the views show what they showed
    } catch (const CRecordingEmpty& e) {
        Report(e); // nothing was read: the tape stays as it was
        return false;
    } catch (const CRelmuthException& e) {
        FailLoad(e);
        return false;
    } catch (const std::bad_alloc&) {
        FailLoad(CArchiveException(CArchiveException::generic));
        return false;
    }
    TakeReading(reading);
    SetModifiedFlag(false);
    SetPathName(file.GetFilePath());
    UpdateAllViews(nullptr, {CDocUpdate::reset});
    return true;
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
    Changed({CDocUpdate::inserted, m_tape.size() - 1});
}

void CRelmuthDoc::InsertBlock(std::size_t nIndex, CTapeBlock block) {
    if (nIndex > m_tape.size())
        return;
    m_history.Clear();
    m_tape.insert(m_tape.begin() + static_cast<std::ptrdiff_t>(nIndex), std::move(block));
    for (CDamageMark& mark : m_marks) {
        if (mark.nBlock >= nIndex)
            ++mark.nBlock;
    }
    Changed({CDocUpdate::inserted, nIndex});
}

void CRelmuthDoc::EraseBlock(std::size_t nIndex) {
    if (nIndex >= m_tape.size())
        return;
    m_history.Clear();
    m_tape.erase(m_tape.begin() + static_cast<std::ptrdiff_t>(nIndex));
    RemoveBlockMarks(m_marks, nIndex);
    Changed({CDocUpdate::removed, nIndex});
}

void CRelmuthDoc::MoveBlock(std::size_t nFrom, std::size_t nTo) {
    if (nFrom >= m_tape.size() || nTo >= m_tape.size() || nFrom == nTo)
        return;
    m_history.Clear();
    // One neighbour at a time, so that the marks follow every block.
    for (std::size_t i = nFrom; i != nTo; i = nTo > nFrom ? i + 1 : i - 1) {
        const std::size_t j = nTo > nFrom ? i + 1 : i - 1;
        std::swap(m_tape[i], m_tape[j]);
        SwapBlockMarks(m_marks, i, j);
    }
    Changed({CDocUpdate::moved, nFrom, nTo});
}

void CRelmuthDoc::ReplaceBlock(std::size_t nIndex, CTapeBlock block) {
    if (nIndex >= m_tape.size())
        return;
    m_history.Clear();
    m_tape[nIndex] = std::move(block);
    std::erase_if(m_marks, [nIndex](const CDamageMark& mark) { return mark.nBlock == nIndex; });
    Changed({CDocUpdate::replaced, nIndex});
}

void CRelmuthDoc::ReplaceTape(std::vector<CTapeBlock> blocks, CDamageMarks marks) {
    m_history.Clear();
    m_tape = std::move(blocks);
    m_marks = std::move(marks);
    Changed({CDocUpdate::reset});
}

void CRelmuthDoc::ReplaceByte(std::size_t nBlock, std::size_t nOffset, std::uint8_t nValue) {
    if (m_history.ReplaceByte({m_tape, m_marks}, nBlock, nOffset, nValue))
        Changed({CDocUpdate::replaced, nBlock});
}

bool CRelmuthDoc::Undo() {
    const auto places = m_history.GetNextUndo();
    if (!places || !m_history.Undo({m_tape, m_marks}))
        return false;
    Restored(*places);
    return true;
}

bool CRelmuthDoc::Redo() {
    const auto places = m_history.GetNextRedo();
    if (!places || !m_history.Redo({m_tape, m_marks}))
        return false;
    Restored(*places);
    return true;
}

void CRelmuthDoc::Restored(const CTapeHistory::CEditPlaces& places) {
    if (places.kind == CTapeHistory::byte)
        Changed({CDocUpdate::replaced, places.nAt});
    else
        Changed({CDocUpdate::reset});
}
