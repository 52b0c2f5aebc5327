// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/RelmuthApp.h"

#include "audio/RecordingFormats.h"
#include "res/FormatString.h"
#include "res/Menu.h"
#include "res/Version.h"
#include "res/WideText.h"
#include "session/StatusText.h"
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

} // namespace

CRelmuthApp::CRelmuthApp() : m_doc(nullptr, TapeFormats()) {}

CRelmuthApp::~CRelmuthApp() {
    // The window goes before the view it routes to, the view (with its
    // port and its File commands) before the document.
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
    m_pMainWnd = std::make_unique<CMainFrame>();
    if (!m_pMainWnd->Create())
        return false;
    m_pView = std::make_unique<CRelmuthView>(m_doc, *m_pMainWnd);
    if (!m_pView->Create(MainHwnd()))
        return false;
    m_pView->SetStartPort(cmdInfo.port);
    m_pMainWnd->SetView(m_pView.get());
    m_pMainWnd->SetAppTarget(this);
    m_pFile = &m_pView->GetSession().AttachFileCommands(*this);
    m_pFile->SetRecentFiles(LoadRecentFileList());
    // Not in the middle of reading a file: the tape is then half there.
    m_pMainWnd->SetCloseQuery(
        [this] { return !m_pView->GetSession().IsReadingFile() && m_pFile->SaveModified(); });
    m_pMainWnd->SetDropHandler(
        [this](const std::string& path) { m_pFile->OpenDocumentFile(path); });
    m_pDecodeDlg = std::make_unique<CDecodeProgressDlg>(MainHwnd());
    ShowRecentFiles();

    bool bDamaged = false;
    if (!cmdInfo.strFileName.empty()) {
        // A file that cannot be opened ends start-up; a recording whose
        // decoding the user stopped leaves a new, empty tape.
        const CFileCommands::OpenResult result = m_pFile->OpenStartFile(cmdInfo.strFileName);
        if (result == CFileCommands::OpenResult::failed)
            return false;
        bDamaged = result == CFileCommands::OpenResult::opened && m_pFile->HasDamageReport();
        if (result == CFileCommands::OpenResult::cancelled)
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
            m_pFile->ReportRecordingDamage();
    }
    return true;
}

int CRelmuthApp::Run() {
    MSG msg{};
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
    m_pMainWnd->SetStatusTexts(Wide(LinkStatusText(m_pView->GetSession().GetLinkState())),
                               Wide(TapeStatusText(m_doc, m_pView->GetSelectedRow())));
    m_pMainWnd->OnIdle();
}

// --- The recent-file list.

std::vector<std::string> CRelmuthApp::LoadRecentFileList() const {
    std::vector<std::string> files;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, RecentFileKeyPath().c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return files;
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
            files.push_back(res::Utf8FromWide(path));
    }
    RegCloseKey(key);
    return files;
}

void CRelmuthApp::OnRecentFilesChanged(const std::vector<std::string>& files) {
    // Kept at once, so that a crash does not lose the list.
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, RecentFileKeyPath().c_str(), 0, nullptr, 0, KEY_WRITE,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
        for (int i = 1; i <= res::kRecentFileCount; ++i) {
            const std::wstring name = RecentFileValueName(i);
            if (static_cast<std::size_t>(i) <= files.size()) {
                const std::wstring path = Wide(files[static_cast<std::size_t>(i - 1)]);
                RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(path.c_str()),
                               static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
            } else {
                RegDeleteValueW(key, name.c_str());
            }
        }
        RegCloseKey(key);
    }
    ShowRecentFiles();
}

void CRelmuthApp::ShowRecentFiles() {
    if (!m_pMainWnd || m_pFile == nullptr)
        return;
    std::vector<std::string> texts;
    for (int i = 0; i < static_cast<int>(m_pFile->GetRecentFiles().size()); ++i)
        texts.push_back(m_pFile->GetRecentFileMenuText(i));
    m_pMainWnd->SetRecentFiles(texts);
}

// --- What the File commands ask.

CFileOwner::SaveAnswer CRelmuthApp::AskSaveChanges(const std::string& strTitle) {
    const std::wstring question = Wide(res::FormatString(res::AFX_IDP_ASK_TO_SAVE, {strTitle}));
    switch (ShowMessageBox(MainHwnd(), question, MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDYES:
        return SaveAnswer::save;
    case IDNO:
        return SaveAnswer::discard;
    default:
        return SaveAnswer::cancel;
    }
}

bool CRelmuthApp::AskLossySave(const std::vector<std::string>& losses) {
    // Yes saves all the same; No (the default) picks another name or format.
    std::string text(res::LoadString(res::IDS_SAVE_LOSSES));
    text += "\n";
    for (const std::string& loss : losses)
        text += "\n" + loss;
    text += "\n\n";
    text += res::LoadString(res::IDS_SAVE_LOSSES_QUESTION);
    return ShowMessageBox(MainHwnd(), Wide(text), MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) ==
           IDYES;
}

void CRelmuthApp::ShowMessageText(const std::string& strText) {
    ShowMessageBox(MainHwnd(), Wide(strText));
}

CDecodeProgress* CRelmuthApp::StartDecodeProgress() {
    // Decoding a recording lets the messages run; the session holds what
    // arrives meanwhile.
    m_pDecodeDlg->Start();
    return m_pDecodeDlg.get();
}

void CRelmuthApp::FinishDecodeProgress() {
    m_pDecodeDlg->Finish();
}

void CRelmuthApp::ShowRecordingDamage(const std::vector<std::string>& lines) {
    std::string text(res::LoadString(res::IDS_RECORDING_DAMAGED));
    text += "\n";
    for (std::size_t i = 0; i < lines.size() && i < kDamageLinesShown; ++i)
        text += "\n" + lines[i];
    if (lines.size() > kDamageLinesShown)
        text += "\n" + res::FormatString(res::IDS_RECORDING_DAMAGED_MORE,
                                         {std::to_string(lines.size() - kDamageLinesShown)});
    // The first damaged byte on the recording's signal, when it can be read again.
    CTapeSession& session = m_pView->GetSession();
    const CDamageMarks& marks = m_doc.m_damageMarks;
    if (marks.empty() || !session.CanShowWaveform(marks.front().nBlock, marks.front().nOffset)) {
        ShowMessageBox(MainHwnd(), Wide(text));
        return;
    }
    text += "\n\n" + std::string(res::LoadString(res::IDS_WAVEFORM_ASK));
    if (ShowMessageBox(MainHwnd(), Wide(text), MB_YESNO | MB_ICONEXCLAMATION) == IDYES)
        session.ShowWaveform(marks.front().nBlock, marks.front().nOffset);
}

void CRelmuthApp::OnTapeReplaced() {
    m_pView->OnInitialUpdate();
    OnIdle();
}

bool CRelmuthApp::PromptForTapeFileName(std::string& strFileName, res::StringId nTitle,
                                        unsigned nFlags, bool bOpenFileDialog) {
    return ::PromptForTapeFileName(MainHwnd(), strFileName, nTitle, nFlags, bOpenFileDialog);
}

// --- Commands.

bool CRelmuthApp::OnCmdMsg(unsigned nId) {
    switch (nId) {
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
    switch (nId) {
    case res::ID_APP_ABOUT:
    case res::ID_APP_EXIT:
        bEnable = true;
        return true;
    default:
        return false;
    }
}
