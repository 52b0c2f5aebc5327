// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/RelmuthDoc.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string_view>

#include "audio/Recording.h"
#include "audio/RecordingMarks.h"
#include "audio/SoundFile.h"
#include "tape/AsciiCase.h"
#include "tape/BlockInfo.h"
#include "tape/BlockText.h"
#include "tape/File.h"
#include "tape/KxmFormat.h"
#include "tape/RawFormat.h"
#include "tape/T88Format.h"

namespace {

using SerializeMember = void (CRelmuthDoc::*)(CArchive&);

// The format dispatch, the same for loading and storing: a name that ends in
// one of these extensions, in any letter case, is read and written by its
// row's operation; every other name, and an archive with no file behind it,
// is a KXM image. A further format is a further row.
struct CFormatRow {
    std::string_view strExtension;
    SerializeMember pSerialize;
};
constexpr CFormatRow kFormats[] = {
    {".cmt", &CRelmuthDoc::SerializeRaw},        {".cas", &CRelmuthDoc::SerializeRaw},
    {".t88", &CRelmuthDoc::SerializeT88},        {".wav", &CRelmuthDoc::SerializeRecording},
    {".flac", &CRelmuthDoc::SerializeRecording}, {".ogg", &CRelmuthDoc::SerializeRecording},
    {".aif", &CRelmuthDoc::SerializeRecording},  {".aiff", &CRelmuthDoc::SerializeRecording},
    {".mp3", &CRelmuthDoc::SerializeRecording},
};

SerializeMember SerializerForName(const std::string& strPathName) {
    const std::string name = FileNameOf(strPathName);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) {
        const std::string_view extension = std::string_view(name).substr(dot);
        for (const CFormatRow& row : kFormats) {
            if (EqualsIgnoringAsciiCase(extension, row.strExtension))
                return row.pSerialize;
        }
    }
    return &CRelmuthDoc::SerializeKXM;
}

} // namespace

bool IsRawImageName(const std::string& strPathName) {
    return SerializerForName(strPathName) == &CRelmuthDoc::SerializeRaw;
}

bool IsT88Name(const std::string& strPathName) {
    return SerializerForName(strPathName) == &CRelmuthDoc::SerializeT88;
}

bool IsRecordingName(const std::string& strPathName) {
    return SerializerForName(strPathName) == &CRelmuthDoc::SerializeRecording;
}

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

CRelmuthDoc::CRelmuthDoc(CDocumentHost* pHost)
    : m_pHost(pHost), m_strTitle(res::LoadString(res::AFX_IDS_UNTITLED)) {}

CRelmuthDoc::~CRelmuthDoc() = default;

void CRelmuthDoc::Serialize(CArchive& ar) {
    const SerializeMember pSerialize =
        ar.HasFile() ? SerializerForName(ar.GetFileName()) : &CRelmuthDoc::SerializeKXM;
    (this->*pSerialize)(ar);
}

void CRelmuthDoc::DeleteContents() {
    m_blocks.clear();
    m_recordingDamage.clear();
    m_damageMarks.clear();
}

bool CRelmuthDoc::OnNewDocument() {
    ResetToNew();
    UpdateAllViews(nullptr, kHintTapeReplaced);
    return true;
}

void CRelmuthDoc::ResetToNew() {
    DeleteContents();
    m_blocks.shrink_to_fit();
    m_bModified = false;
    m_strPathName.clear();
    m_strTitle = res::LoadString(res::AFX_IDS_UNTITLED);
}

void CRelmuthDoc::Report(const CRelmuthException& error) {
    if (m_pHost != nullptr)
        m_pHost->ReportSaveLoadException(error);
}

bool CRelmuthDoc::DoSave(const std::string& strPathName, bool /*bReplace*/) {
    std::string strNewName = strPathName;
    if (strNewName.empty()) {
        strNewName = m_strPathName;
        if (strNewName.empty())
            strNewName = ProposedFileName(m_strTitle); // our type has no default extension
        else if (IsRecordingName(strNewName))
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
    std::optional<CFile> file;
    try {
        file.emplace(CFile::OpenForReading(strPathName));
    } catch (const CRelmuthException& e) {
        Report(e); // the tape stays as it was
        return false;
    }
    return OnOpenDocument(*file);
}

bool CRelmuthDoc::OnOpenDocument(CFile& file) {
    // The user may stop a recording's decoding, and then keeps the tape he
    // had: a recording replaces the tape only once it is decoded (see
    // SerializeRecording).
    const bool bWasModified = m_bModified;
    if (!IsRecordingName(file.GetFilePath()))
        DeleteContents();
    SetModifiedFlag(true);
    try {
        // A file with no bytes at all is an empty tape, whatever its name.
        CFileArchive ar(file, CArchive::load);
        if (!ar.IsAtEnd())
            Serialize(ar);
        else if (IsRecordingName(file.GetFilePath()))
            throw CRecordingEmpty(); // a sound file without a single sample
        else
            DeleteContents();
    } catch (const CRecordingCancelled&) {
        m_bModified = bWasModified; // nothing changed: the views show what they showed
        return false;
    } catch (const CRecordingEmpty& e) {
        m_bModified = bWasModified; // nothing was read: the tape stays as it was
        Report(e);
        return false;
    } catch (const CRelmuthException& e) {
        FailLoad(e);
        return false;
    } catch (const std::bad_alloc&) {
        FailLoad(CArchiveException(CArchiveException::generic));
        return false;
    }
    SetModifiedFlag(false);
    SetPathName(file.GetFilePath());
    UpdateAllViews(nullptr, kHintTapeReplaced);
    return true;
}

void CRelmuthDoc::FailLoad(const CRelmuthException& error) {
    ResetToNew();
    UpdateAllViews(nullptr, kHintTapeReplaced);
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

void CRelmuthDoc::SetPathName(const std::string& strPathName, bool bAddToMRU) {
    m_strPathName = strPathName;
    m_strTitle = FileNameOf(strPathName);
    if (bAddToMRU && m_pHost != nullptr)
        m_pHost->AddToRecentFileList(strPathName);
}

void CRelmuthDoc::SerializeKXM(CArchive& ar) {
    if (ar.IsStoring())
        WriteKxm(m_blocks, ar, m_damageMarks);
    else
        ReadKxm(ar, m_blocks, &m_damageMarks); // as a stream: never held beside the blocks
}

void CRelmuthDoc::SerializeT88(CArchive& ar) {
    if (ar.IsStoring())
        WriteT88(m_blocks, ar);
    else
        ReadT88(ar, m_blocks);
}

void CRelmuthDoc::SerializeRaw(CArchive& ar) {
    if (ar.IsStoring()) {
        WriteRaw(m_blocks, ar);
        return;
    }
    const ByteArray image = ar.ReadAll();
    ReadRaw(image, m_blocks);
}

void CRelmuthDoc::SerializeRecording(CArchive& ar) {
    if (ar.IsStoring()) {
        // FLAC, OGG, AIFF and MP3 are read only: a WAV under such a name
        // would be a file that is not what its name says.
        if (ar.HasFile() && !EndsWithIgnoringAsciiCase(FileNameOf(ar.GetFileName()), ".wav"))
            throw CRelmuthException(res::AFX_IDP_FAILED_TO_SAVE_DOC,
                                    std::string(res::LoadString(res::IDS_RECORDING_WAV_ONLY)));
        WriteRecording(m_blocks, ar);
        return;
    }
    // Decoded beside the tape, which stays as it was until the decoding is
    // done: a cancelled decoding leaves it untouched. libsndfile reads a
    // file that can seek through the descriptor already open, seeking as it
    // likes; a pipe or a FIFO, read once in order, it reads from memory.
    std::vector<CTapeBlock> blocks;
    std::vector<CDamagedByte> damage;
    const auto* pFile = dynamic_cast<const CFileArchive*>(&ar);
    if (pFile != nullptr && pFile->GetFile().IsSeekable()) {
        const auto reader = CSoundFileReader::OpenFile(pFile->GetFile());
        damage = ReadRecording(*reader, m_recordingOptions, blocks, m_pDecodeProgress);
    } else {
        const ByteArray bytes = ar.ReadAll();
        damage = ReadRecording(bytes, m_recordingOptions, blocks, m_pDecodeProgress);
    }
    if (blocks.empty())
        throw CRecordingEmpty();
    DeleteContents();
    m_blocks = std::move(blocks);
    m_damageMarks = MarksFromDamage(damage);
    m_recordingDamage = std::move(damage);
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

void CRelmuthDoc::UpdateAllViews(CDocumentView* pSender, long lHint) {
    for (CDocumentView* pView : m_views) {
        if (pView != pSender)
            pView->OnUpdate(pSender, lHint);
    }
}

void CRelmuthDoc::AppendBlock(ByteArray data, int nBaud) {
    CTapeBlock& block = m_blocks.emplace_back();
    block.m_data = std::move(data);
    block.m_nBaud = nBaud;
    SetModifiedFlag(true);
    UpdateAllViews(nullptr);
}
