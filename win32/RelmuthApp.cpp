// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/RelmuthApp.h"

#include "res/FormatString.h"
#include "res/Menu.h"
#include "res/Version.h"
#include "res/WideText.h"
#include "win32/Dialogs.h"
#include "win32/MainFrame.h"
#include "win32/RelmuthView.h"

namespace {

constexpr wchar_t kRecentFileSection[] = L"Recent File List";

// The damaged bytes a message lists itself.
constexpr std::size_t kDamageLinesShown = 20;

// HKCU\Software\Orlavik\Relmuth\Recent File List, as the classic framework keeps it.
std::wstring RecentFileKeyPath() {
    return L"Software\\" + Wide(res::kRegistryKey) + L"\\" + Wide(res::kAppName) + L"\\" +
           kRecentFileSection;
}

std::wstring RecentFileValueName(int nNumber) {
    return L"File" + std::to_wstring(nNumber);
}

// The full path of a name, as the recent-file list keeps it.
std::string FullPathName(const std::string& strPathName) {
    const std::wstring wide = Wide(strPathName);
    const DWORD nChars = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (nChars == 0)
        return strPathName;
    std::wstring full(nChars, L'\0');
    full.resize(GetFullPathNameW(wide.c_str(), nChars, full.data(), nullptr));
    return res::Utf8FromWide(full);
}

// Windows file names are the same in any letter case.
bool IsSamePath(const std::string& a, const std::string& b) {
    const std::wstring wa = Wide(a);
    const std::wstring wb = Wide(b);
    return CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(),
                                static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

CRelmuthApp::CRelmuthApp() : m_doc(this, TapeFormats()) {}

CRelmuthApp::~CRelmuthApp() {
    // The window goes before the view it routes to, the view (with its
    // port) before the document.
    if (m_pMainWnd)
        m_pMainWnd->SetView(nullptr);
    m_pDecodeDlg.reset();
    m_pMainWnd.reset();
    m_pView.reset();
}

HWND CRelmuthApp::MainHwnd() const {
    return m_pMainWnd ? m_pMainWnd->GetHwnd() : nullptr;
}

bool CRelmuthApp::InitInstance(const CCommandLineInfo& cmdInfo, int nCmdShow) {
    LoadStdProfileSettings();
    m_pMainWnd = std::make_unique<CMainFrame>();
    if (!m_pMainWnd->Create())
        return false;
    m_pView = std::make_unique<CRelmuthView>(m_doc, *m_pMainWnd);
    if (!m_pView->Create(MainHwnd()))
        return false;
    m_pView->SetStartPort(cmdInfo.port);
    m_pMainWnd->SetView(m_pView.get());
    m_pMainWnd->SetAppTarget(this);
    // Not in the middle of reading a file: the tape is then half there.
    m_pMainWnd->SetCloseQuery(
        [this] { return !m_pView->GetSession().IsReadingFile() && SaveModified(); });
    m_pMainWnd->SetDropHandler([this](const std::string& path) { OpenDocumentFile(path); });
    m_pMainWnd->SetRecentFiles(m_recentFiles);
    m_pDecodeDlg = std::make_unique<CDecodeProgressDlg>(MainHwnd());

    bool bDamaged = false;
    if (!cmdInfo.strFileName.empty()) {
        // A file that cannot be opened ends start-up; a recording whose
        // decoding the user stopped leaves a new, empty tape.
        const OpenResult result = ReadDocumentFile(cmdInfo.strFileName);
        if (result == OpenResult::failed)
            return false;
        bDamaged =
            result == OpenResult::opened && !m_pView->GetSession().GetRecordingDamage().empty();
        if (result == OpenResult::cancelled)
            m_doc.OnNewDocument();
    } else {
        m_doc.OnNewDocument();
    }
    m_pView->OnInitialUpdate();
    OnIdle();
    if (!m_pView->IsClosing()) {
        ShowWindow(MainHwnd(), nCmdShow);
        UpdateWindow(MainHwnd());
        SetFocus(m_pView->GetHwnd());
        if (bDamaged)
            ShowRecordingDamage();
    }
    return true;
}

int CRelmuthApp::Run() {
    MSG msg;
    for (;;) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
            OnIdle();
        const BOOL bGot = GetMessageW(&msg, nullptr, 0, 0);
        if (bGot == 0 || bGot == -1)
            break;
        if (m_pMainWnd && m_pMainWnd->PreTranslateMessage(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void CRelmuthApp::OnIdle() {
    if (!m_pMainWnd || MainHwnd() == nullptr)
        return;
    m_pMainWnd->SetDocumentTitle(m_doc.GetTitle(), m_doc.IsModified());
    m_pMainWnd->OnIdle();
}

// --- The recent-file list.

void CRelmuthApp::LoadStdProfileSettings() {
    m_recentFiles.clear();
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, RecentFileKeyPath().c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    for (int i = 1; i <= res::kRecentFileCount; ++i) {
        wchar_t value[4096];
        DWORD nBytes = sizeof value;
        DWORD type = 0;
        if (RegQueryValueExW(key, RecentFileValueName(i).c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(value), &nBytes) != ERROR_SUCCESS ||
            type != REG_SZ)
            continue;
        const std::wstring path(value, wcsnlen(value, nBytes / sizeof(wchar_t)));
        if (!path.empty())
            m_recentFiles.push_back(res::Utf8FromWide(path));
    }
    RegCloseKey(key);
}

void CRelmuthApp::WriteRecentFileList() const {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, RecentFileKeyPath().c_str(), 0, nullptr, 0, KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    for (int i = 1; i <= res::kRecentFileCount; ++i) {
        const std::wstring name = RecentFileValueName(i);
        if (i <= static_cast<int>(m_recentFiles.size())) {
            const std::wstring path = Wide(m_recentFiles[static_cast<std::size_t>(i - 1)]);
            RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(path.c_str()),
                           static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
        } else {
            RegDeleteValueW(key, name.c_str());
        }
    }
    RegCloseKey(key);
}

void CRelmuthApp::SetRecentFiles(std::vector<std::string> files) {
    if (files.size() > static_cast<std::size_t>(res::kRecentFileCount))
        files.resize(res::kRecentFileCount);
    m_recentFiles = std::move(files);
    // Kept at once, so that a crash does not lose the list.
    WriteRecentFileList();
    if (m_pMainWnd)
        m_pMainWnd->SetRecentFiles(m_recentFiles);
}

void CRelmuthApp::AddToRecentFileList(const std::string& strPathName) {
    const std::string path = FullPathName(strPathName);
    std::vector<std::string> files{path};
    for (const std::string& file : m_recentFiles) {
        if (!IsSamePath(file, path))
            files.push_back(file);
    }
    SetRecentFiles(std::move(files));
}

// --- Files.

bool CRelmuthApp::SaveModified() {
    // Receiving goes on while the question is open. A block that arrives
    // meanwhile was not there when the user chose to discard, so it is not
    // thrown away unasked: the question comes again.
    for (;;) {
        if (!m_doc.IsModified())
            return true;
        const std::size_t nBlocksAsked = m_doc.m_blocks.size();
        const std::wstring question =
            Wide(res::FormatString(res::AFX_IDP_ASK_TO_SAVE, {m_doc.GetTitle()}));
        switch (ShowMessageBox(MainHwnd(), question, MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
        case IDYES:
            return OnFileSave();
        case IDNO:
            if (m_doc.m_blocks.size() == nBlocksAsked)
                return true;
            break;
        default:
            return false;
        }
    }
}

void CRelmuthApp::OnFileNew() {
    if (!SaveModified())
        return;
    m_doc.OnNewDocument();
    m_pView->OnInitialUpdate();
}

CRelmuthApp::OpenResult CRelmuthApp::OpenDocumentFile(const std::string& strPathName) {
    if (!SaveModified())
        return OpenResult::cancelled;
    // A file that could not be read leaves a new, empty tape, and the
    // document's update has then emptied the rows too.
    const OpenResult result = ReadDocumentFile(strPathName);
    if (result == OpenResult::opened)
        m_pView->OnInitialUpdate();
    if (result == OpenResult::opened && !m_pView->GetSession().GetRecordingDamage().empty())
        ShowRecordingDamage();
    return result;
}

CRelmuthApp::OpenResult CRelmuthApp::ReadDocumentFile(const std::string& strPathName) {
    // Decoding a recording lets the message loop run; the session holds
    // what arrives meanwhile.
    const bool bRecording = IsRecordingName(strPathName);
    CRecordingReading reading;
    if (bRecording) {
        m_pDecodeDlg->Start();
        reading.m_pProgress = m_pDecodeDlg.get();
    }
    const bool bOpened = m_pView->GetSession().ReadFile(strPathName, reading);
    m_pDecodeDlg->Finish();
    if (bOpened)
        return OpenResult::opened;
    return bRecording && m_pDecodeDlg->WasCancelled() ? OpenResult::cancelled : OpenResult::failed;
}

void CRelmuthApp::ShowRecordingDamage() {
    const std::vector<CDamagedByte>& damage = m_pView->GetSession().GetRecordingDamage();
    std::string text(res::LoadString(res::IDS_RECORDING_DAMAGED));
    text += "\n";
    for (std::size_t i = 0; i < damage.size() && i < kDamageLinesShown; ++i)
        text += "\n" + DescribeDamage(damage[i]);
    if (damage.size() > kDamageLinesShown)
        text += "\n" + res::FormatString(res::IDS_RECORDING_DAMAGED_MORE,
                                         {std::to_string(damage.size() - kDamageLinesShown)});
    ShowMessageBox(MainHwnd(), Wide(text));
}

void CRelmuthApp::OnFileOpen() {
    std::string strFileName;
    if (PromptForTapeFileName(strFileName, res::AFX_IDS_OPENFILE, kOpenDialogFlags, true))
        OpenDocumentFile(strFileName);
}

bool CRelmuthApp::OnFileSave() {
    // A tape without a name, or whose file is gone or read-only, is saved
    // under a name the user picks; so is one opened from a recording, which
    // is the user's original and is not written over unasked.
    const std::string& path = m_doc.GetPathName();
    const DWORD attributes =
        path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(Wide(path).c_str());
    const bool bAsk = attributes == INVALID_FILE_ATTRIBUTES ||
                      (attributes & FILE_ATTRIBUTE_READONLY) != 0 || m_doc.IsOriginalName(path);
    return m_doc.DoSave(bAsk ? std::string() : path);
}

bool CRelmuthApp::OnFileSaveAs() {
    return m_doc.DoSave(std::string());
}

void CRelmuthApp::OnOpenRecentFile(int nIndex) {
    if (nIndex < 0 || nIndex >= static_cast<int>(m_recentFiles.size()))
        return;
    const std::string path = m_recentFiles[static_cast<std::size_t>(nIndex)];
    if (OpenDocumentFile(path) == OpenResult::failed) {
        std::vector<std::string> files;
        for (const std::string& file : m_recentFiles) {
            if (file != path)
                files.push_back(file);
        }
        SetRecentFiles(std::move(files));
    }
}

bool CRelmuthApp::PromptForTapeFileName(std::string& strFileName, res::StringId nTitle,
                                        unsigned nFlags, bool bOpenFileDialog) {
    return ::PromptForTapeFileName(MainHwnd(), strFileName, nTitle, nFlags, bOpenFileDialog);
}

void CRelmuthApp::ReportSaveLoadException(const CRelmuthException& error) {
    ShowMessageBox(MainHwnd(), Wide(error.GetUserText()));
}

// --- Commands.

bool CRelmuthApp::OnCmdMsg(unsigned nId) {
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
    case res::ID_APP_ABOUT:
        ShowAboutBox(MainHwnd());
        return true;
    case res::ID_APP_EXIT:
        PostMessageW(MainHwnd(), WM_CLOSE, 0, 0);
        return true;
    default:
        return false;
    }
}

bool CRelmuthApp::OnUpdateCmdUi(unsigned nId, bool& bEnable) const {
    if (nId >= res::ID_FILE_MRU_FILE1 && nId < res::ID_FILE_MRU_FILE1 + res::kRecentFileCount) {
        bEnable = nId - res::ID_FILE_MRU_FILE1 < m_recentFiles.size();
        return true;
    }
    switch (nId) {
    case res::ID_FILE_NEW:
    case res::ID_FILE_OPEN:
    case res::ID_FILE_SAVE:
    case res::ID_FILE_SAVE_AS:
    case res::ID_APP_ABOUT:
    case res::ID_APP_EXIT:
        bEnable = true;
        return true;
    default:
        return false;
    }
}
