// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/FileCommands.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "audio/Recording.h"
#include "audio/RecordingFormats.h"
#include "audio/TakeMerge.h"
#include "res/FormatString.h"
#include "res/Menu.h"
#include "res/RecentFileName.h"
#include "session/TapeSession.h"
#include "tape/File.h"
#include "tape/SaveLosses.h"

namespace {

// How many of a merge's doubtful bytes its message lists; the rest are
// counted.
constexpr std::size_t kDamageLinesShown = 20;

std::filesystem::path PathOf(const std::string& strUtf8) {
    return std::filesystem::path(std::u8string(strUtf8.begin(), strUtf8.end()));
}

std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The path as the recent-file list keeps it: absolute, without "." and "..".
std::string AbsolutePath(const std::string& strPathName) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(PathOf(strPathName), error);
    if (error)
        return strPathName;
    return Utf8Of(absolute.lexically_normal());
}

// Whether Save may write over the file without asking for a name: it is
// there and may be written. A file that turns out read-only all the same
// is refused by the save, with its message.
bool IsWritableFile(const std::string& strPathName) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(PathOf(strPathName), error);
    if (error || !std::filesystem::exists(status))
        return false;
    using std::filesystem::perms;
    return (status.permissions() &
            (perms::owner_write | perms::group_write | perms::others_write)) != perms::none;
}

} // namespace

CFileCommands::CFileCommands(CTapeSession& session, CFileOwner& owner)
    : m_session(session), m_doc(session.GetDocument()), m_owner(owner),
      m_pPreviousHost(m_doc.GetHost()) {
    m_doc.SetHost(this);
}

CFileCommands::~CFileCommands() {
    m_doc.SetHost(m_pPreviousHost);
}

bool CFileCommands::SaveModified() {
    // Receiving goes on while the question is open. A block that arrives
    // meanwhile was not there when the user chose to discard, so it is not
    // thrown away unasked: the question comes again.
    for (;;) {
        if (!m_doc.IsModified())
            return true;
        const std::size_t nBlocksAsked = m_doc.m_blocks.size();
        switch (m_owner.AskSaveChanges(m_doc.GetTitle())) {
        case CFileOwner::SaveAnswer::save:
            return OnFileSave();
        case CFileOwner::SaveAnswer::discard:
            if (m_doc.m_blocks.size() == nBlocksAsked)
                return true;
            break;
        case CFileOwner::SaveAnswer::cancel:
            return false;
        }
    }
}

void CFileCommands::OnFileNew() {
    if (!SaveModified())
        return;
    m_doc.OnNewDocument();
    m_session.InstallReceiver();
    m_owner.OnTapeReplaced();
}

void CFileCommands::OnFileOpen() {
    std::string strFileName;
    if (m_owner.PromptForTapeFileName(strFileName, res::AFX_IDS_OPENFILE, kOpenDialogFlags, true))
        OpenDocumentFile(strFileName);
}

CFileCommands::OpenResult CFileCommands::OpenDocumentFile(const std::string& strPathName) {
    return Open(strPathName, true);
}

CFileCommands::OpenResult CFileCommands::OpenStartFile(const std::string& strPathName) {
    return Open(strPathName, false);
}

CFileCommands::OpenResult CFileCommands::Open(const std::string& strPathName, bool bReportDamage) {
    CRecordingReading reading;
    const bool bRecording = IsRecordingName(strPathName);
    if (bRecording)
        reading.m_pProgress = m_owner.StartDecodeProgress();
    m_bReading = true;
    const CRelmuthDoc::ReadResult result = m_session.ReadFileAside(strPathName, reading);
    m_bReading = false;
    if (bRecording)
        m_owner.FinishDecodeProgress();
    for (const std::string& message : std::exchange(m_heldMessages, {}))
        m_owner.ShowMessageText(message);
    if (result == CRelmuthDoc::ReadResult::cancelled)
        return OpenResult::cancelled;
    if (result == CRelmuthDoc::ReadResult::failed) {
        RemoveRecentFile(strPathName); // reported by the document
        return OpenResult::failed;
    }
    // Only now is the tape about to go.
    if (!SaveModified())
        return OpenResult::cancelled;
    m_session.TakeFile(strPathName, reading);
    m_session.InstallReceiver();
    m_owner.OnTapeReplaced();
    if (bReportDamage && !m_session.GetRecordingDamage().empty())
        ReportRecordingDamage();
    return OpenResult::opened;
}

void CFileCommands::OnFileMergeTake() {
    std::string strFileName;
    if (!m_owner.PromptForTapeFileName(strFileName, res::IDS_MERGE_TITLE, kOpenDialogFlags, true))
        return;
    CRecordingReading reading;
    const bool bRecording = IsRecordingName(strFileName);
    if (bRecording)
        reading.m_pProgress = m_owner.StartDecodeProgress();
    m_bReading = true;
    CMergeResult merged;
    const bool bMerged = m_session.MergeTake(strFileName, reading, &merged);
    m_bReading = false;
    if (bRecording)
        m_owner.FinishDecodeProgress();
    for (const std::string& message : std::exchange(m_heldMessages, {}))
        m_owner.ShowMessageText(message);
    if (!bMerged)
        return;
    m_owner.OnTapeReplaced();
    // What was mended, then the bytes that stay doubtful, as the damage
    // list of an open recording shows them.
    std::string text =
        res::FormatString(res::IDS_MERGE_RESULT, {std::to_string(MendedByteCount(merged)),
                                                  std::to_string(merged.damage.size())});
    std::size_t nShown = 0;
    for (const CDamagedByte& damage : merged.damage) {
        if (nShown++ == kDamageLinesShown) {
            text += "\n" +
                    res::FormatString(res::IDS_RECORDING_DAMAGED_MORE,
                                      {std::to_string(merged.damage.size() - kDamageLinesShown)});
            break;
        }
        text += "\n" + DescribeDamage(damage);
    }
    m_owner.ShowMessageText(text);
}

bool CFileCommands::OnFileSave() {
    // A tape without a name, or whose file is gone or read-only, is saved
    // under a name the user picks; so is one opened from a recording, which
    // is the user's original and is not written over unasked.
    const std::string& strPath = m_doc.GetPathName();
    const bool bAsk = strPath.empty() || !IsWritableFile(strPath) || m_doc.IsOriginalName(strPath);
    return DoSave(bAsk ? std::string() : strPath);
}

bool CFileCommands::OnFileSaveAs() {
    return DoSave(std::string());
}

std::string CFileCommands::ProposedSaveName() const {
    const std::string& strPath = m_doc.GetPathName();
    if (strPath.empty())
        return ProposedFileName(m_doc.GetTitle()); // our type has no default extension
    if (m_doc.IsOriginalName(strPath))
        return KxmNameBeside(strPath);
    return strPath;
}

bool CFileCommands::DoSave(const std::string& strPathName) {
    std::string strName = strPathName;
    bool bAsk = strName.empty();
    if (bAsk)
        strName = ProposedSaveName();
    for (;;) {
        if (bAsk &&
            !m_owner.PromptForTapeFileName(strName, res::AFX_IDS_SAVEFILE, kSaveDialogFlags, false))
            return false;
        const TapeFormat format = m_doc.GetFormats().ForName(strName).kind;
        const std::vector<std::string> losses =
            DescribeSaveLosses(m_doc.m_blocks, m_doc.m_damageMarks, format);
        if (losses.empty() || m_owner.AskLossySave(losses))
            break;
        bAsk = true; // another name, another format
    }
    // A failed save leaves any file of that name as it was (its message
    // shown through the host), so there is nothing to delete afterwards.
    if (!m_doc.OnSaveDocument(strName))
        return false;
    m_doc.SetPathName(strName);
    return true;
}

void CFileCommands::OnOpenRecentFile(int nIndex) {
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_recentFiles.size())
        return;
    // A copy: the list changes as the file opens.
    const std::string strPath = m_recentFiles[static_cast<std::size_t>(nIndex)];
    OpenDocumentFile(strPath);
}

bool CFileCommands::HasDamageReport() const {
    return !m_doc.m_damageMarks.empty();
}

void CFileCommands::ReportRecordingDamage() {
    std::vector<std::string> lines;
    // The recording's own list, with what the decoder weighed, while it
    // names the bytes of the tape as it is (as opened, or back to it).
    const std::vector<CDamagedByte>& damage = m_session.GetRecordingDamage();
    if (!damage.empty() && !m_doc.IsModified()) {
        for (const CDamagedByte& byte : damage)
            lines.push_back(DescribeDamage(byte));
    } else {
        for (const CDamageMark& mark : m_doc.m_damageMarks)
            lines.push_back(DescribeDamageMark(mark));
    }
    if (!lines.empty())
        m_owner.ShowRecordingDamage(lines);
}

void CFileCommands::SetRecentFiles(std::vector<std::string> files) {
    std::erase_if(files, [](const std::string& file) { return file.empty(); });
    if (files.size() > static_cast<std::size_t>(res::kRecentFileCount))
        files.resize(static_cast<std::size_t>(res::kRecentFileCount));
    m_recentFiles = std::move(files);
}

void CFileCommands::SetRecentFilesAndTell(std::vector<std::string> files) {
    SetRecentFiles(std::move(files));
    // Stored at once, so that a crash does not lose the list.
    m_owner.OnRecentFilesChanged(m_recentFiles);
}

void CFileCommands::AddToRecentFileList(const std::string& strPathName) {
    const std::string strPath = AbsolutePath(strPathName);
    std::vector<std::string> files = m_recentFiles;
    std::erase_if(files, [&](const std::string& file) { return IsSamePathName(file, strPath); });
    files.insert(files.begin(), strPath);
    SetRecentFilesAndTell(std::move(files));
}

void CFileCommands::RemoveRecentFile(const std::string& strPathName) {
    const std::string strPath = AbsolutePath(strPathName);
    auto same = [&](const std::string& file) { return IsSamePathName(file, strPath); };
    if (std::none_of(m_recentFiles.begin(), m_recentFiles.end(), same))
        return;
    std::vector<std::string> files = m_recentFiles;
    std::erase_if(files, same);
    SetRecentFilesAndTell(std::move(files));
}

std::string CFileCommands::GetRecentFileMenuText(int nIndex) const {
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_recentFiles.size())
        return {};
    std::string text = "&" + std::to_string(nIndex + 1) + " ";
    // An ampersand in the name is shown as one.
    for (const char c : res::AbbreviatePath(m_recentFiles[static_cast<std::size_t>(nIndex)])) {
        if (c == '&')
            text += '&';
        text += c;
    }
    return text;
}

bool CFileCommands::PromptForTapeFileName(std::string& strFileName, res::StringId nTitle,
                                          unsigned nFlags, bool bOpenFileDialog) {
    return m_owner.PromptForTapeFileName(strFileName, nTitle, nFlags, bOpenFileDialog);
}

void CFileCommands::ReportSaveLoadException(const CRelmuthException& error) {
    if (m_bReading)
        m_heldMessages.push_back(error.GetUserText());
    else
        m_owner.ShowMessageText(error.GetUserText());
}

bool CFileCommands::OnCmdMsg(unsigned nId) {
    if (nId >= res::ID_FILE_MRU_FILE1 && nId < res::ID_FILE_MRU_FILE1 + res::kRecentFileCount) {
        OnOpenRecentFile(static_cast<int>(nId - res::ID_FILE_MRU_FILE1));
        return true;
    }
    switch (nId) {
    case res::ID_FILE_NEW:
        OnFileNew();
        return true;
    case res::ID_FILE_OPEN:
        OnFileOpen();
        return true;
    case res::ID_FILE_SAVE:
        OnFileSave();
        return true;
    case res::ID_FILE_SAVE_AS:
        OnFileSaveAs();
        return true;
    case res::ID_FILE_MERGE_TAKE:
        OnFileMergeTake();
        return true;
    case res::ID_VIEW_DAMAGE_REPORT:
        ReportRecordingDamage();
        return true;
    default:
        return false;
    }
}

bool CFileCommands::OnUpdateCmdUi(unsigned nId, bool& bEnable) const {
    if (nId >= res::ID_FILE_MRU_FILE1 && nId < res::ID_FILE_MRU_FILE1 + res::kRecentFileCount) {
        bEnable = nId - res::ID_FILE_MRU_FILE1 < m_recentFiles.size();
        return true;
    }
    switch (nId) {
    case res::ID_FILE_NEW:
    case res::ID_FILE_OPEN:
    case res::ID_FILE_SAVE:
    case res::ID_FILE_SAVE_AS:
    case res::ID_FILE_MERGE_TAKE:
        bEnable = true;
        return true;
    case res::ID_VIEW_DAMAGE_REPORT:
        bEnable = HasDamageReport();
        return true;
    default:
        return false;
    }
}
