// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/RelmuthApp.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>

#include "qt/AboutDlg.h"
#include "qt/BlockPane.h"
#include "qt/DecodeProgressDlg.h"
#include "qt/MainFrame.h"
#include "qt/RelmuthView.h"
#include "qt/TapeFileDialog.h"
#include "res/Menu.h"
#include "res/UiIcons.h"
#include "res/UiText.h"
#include "res/Version.h"
#include "tape/TapeFileName.h"

namespace {

constexpr const char* kRecentFileSection = "Recent File List";
constexpr const char* kRecentFileEntry = "File%1";

// The damaged bytes a message lists itself; its details list them all.
constexpr qsizetype kDamageLinesShown = 20;

QString DecodeName(const std::string& name) {
    return QFile::decodeName(name.c_str());
}

} // namespace

CRelmuthApp::CRelmuthApp() : m_doc(this, TapeFormats()) {}

CRelmuthApp::~CRelmuthApp() {
    // The view leaves the document before the document goes.
    m_pMainWnd.reset();
}

std::vector<CDamagedByte>& CRelmuthApp::GetRecordingDamage() {
    return m_pView->GetSession().GetRecordingDamage();
}

bool CRelmuthApp::InitInstance(const CCommandLineInfo& cmdInfo) {
    // Standard buttons and dialogs speak Japanese like the rest of the program.
    if (m_qtTranslator.load(QStringLiteral("qtbase_ja"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&m_qtTranslator);
    LoadStdProfileSettings();

    m_pMainWnd = std::make_unique<CMainFrame>();
    m_pMainWnd->setWindowIcon(res::AppIcon());
    m_pView = new CRelmuthView(m_doc, m_pMainWnd.get());
    m_pView->SetStartPort(cmdInfo.port);
    m_pMainWnd->SetView(m_pView);
    auto* pBlockPane = new CBlockPane(m_doc, m_pView->GetSession().GetRecordingDamage());
    pBlockPane->Follow(m_pView, [view = m_pView] { return view->GetSelectedRow(); });
    m_pMainWnd->SetBlockPane(pBlockPane);
    m_pMainWnd->SetAppTarget(this);
    // Not in the middle of reading a file: the tape is then half there.
    m_pMainWnd->SetCloseQuery(
        [this] { return !m_pView->GetSession().IsReadingFile() && SaveModified(); });
    m_pDecodeDlg = new CDecodeProgressDlg(m_pMainWnd.get());
    m_pMainWnd->SetRecentFiles(m_recentFiles);

    connect(m_pView, &CRelmuthView::commandStateChanged, this, &CRelmuthApp::OnIdle);
    connect(m_pView, &CRelmuthView::linkLost, m_pMainWnd.get(), &CMainFrame::ShowLinkLost);
    connect(m_pView, &CRelmuthView::portOpened, m_pMainWnd.get(), &CMainFrame::ClearLinkLost);
    connect(m_pView, &CRelmuthView::closeRequested, this, [this] {
        m_bClosing = true;
        QMetaObject::invokeMethod(m_pMainWnd.get(), &QWidget::close, Qt::QueuedConnection);
    });
    connect(m_pMainWnd.get(), &CMainFrame::fileDropped, this, [this](const QString& path) {
        OpenDocumentFile(QFile::encodeName(path).toStdString());
    });

    bool bDamaged = false;
    if (!cmdInfo.strFileName.empty()) {
        // A file that cannot be opened ends start-up; a recording whose
        // decoding the user stopped leaves a new, empty tape.
        const OpenResult result = ReadDocumentFile(cmdInfo.strFileName);
        if (result == OpenResult::failed)
            return false;
        bDamaged = result == OpenResult::opened && !GetRecordingDamage().empty();
        if (result == OpenResult::cancelled)
            m_doc.OnNewDocument();
    } else {
        m_doc.OnNewDocument();
    }
    m_pView->OnInitialUpdate();
    OnIdle();
    if (!m_bClosing) {
        m_pMainWnd->show();
        if (bDamaged)
            ShowRecordingDamage();
    }
    return true;
}

void CRelmuthApp::LoadStdProfileSettings() {
    QSettings settings(QString::fromLatin1(res::kRegistryKey), QString::fromLatin1(res::kAppName));
    settings.beginGroup(QString::fromLatin1(kRecentFileSection));
    QStringList files;
    for (int i = 1; i <= res::kRecentFileCount; ++i) {
        const QString file =
            settings.value(QString::fromLatin1(kRecentFileEntry).arg(i)).toString();
        if (!file.isEmpty())
            files << file;
    }
    m_recentFiles = files;
}

void CRelmuthApp::WriteRecentFileList() const {
    QSettings settings(QString::fromLatin1(res::kRegistryKey), QString::fromLatin1(res::kAppName));
    settings.beginGroup(QString::fromLatin1(kRecentFileSection));
    for (int i = 1; i <= res::kRecentFileCount; ++i) {
        const QString key = QString::fromLatin1(kRecentFileEntry).arg(i);
        if (i <= m_recentFiles.size())
            settings.setValue(key, m_recentFiles.at(i - 1));
        else
            settings.remove(key);
    }
}

void CRelmuthApp::SetRecentFiles(QStringList files) {
    while (files.size() > res::kRecentFileCount)
        files.removeLast();
    m_recentFiles = std::move(files);
    // Kept at once, so that a crash does not lose the list.
    WriteRecentFileList();
    if (m_pMainWnd)
        m_pMainWnd->SetRecentFiles(m_recentFiles);
}

void CRelmuthApp::AddToRecentFileList(const std::string& strPathName) {
    const QString path = QFileInfo(DecodeName(strPathName)).absoluteFilePath();
    QStringList files = m_recentFiles;
    files.removeAll(path);
    files.prepend(path);
    SetRecentFiles(std::move(files));
}

void CRelmuthApp::OnIdle() {
    if (!m_pMainWnd)
        return;
    m_pMainWnd->SetDocumentTitle(DecodeName(m_doc.GetTitle()), m_doc.IsModified());
    m_pMainWnd->OnUpdateCmdUi();
}

bool CRelmuthApp::SaveModified() {
    // Receiving goes on while the question is open. A block that arrives
    // meanwhile was not there when the user chose to discard, so it is not
    // thrown away unasked: the question comes again.
    for (;;) {
        if (!m_doc.IsModified())
            return true;
        const std::size_t nBlocksAsked = m_doc.m_blocks.size();
        QMessageBox box(QMessageBox::Question, res::Text(res::AFX_IDS_APP_TITLE),
                        res::Text(res::AFX_IDP_ASK_TO_SAVE).arg(DecodeName(m_doc.GetTitle())),
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                        m_pMainWnd.get());
        box.setDefaultButton(QMessageBox::Save);
        switch (box.exec()) {
        case QMessageBox::Save:
            return OnFileSave();
        case QMessageBox::Discard:
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
    OnIdle();
}

CRelmuthApp::OpenResult CRelmuthApp::OpenDocumentFile(const std::string& strPathName) {
    if (!SaveModified())
        return OpenResult::cancelled;
    // A file that could not be read leaves a new, empty tape, and the
    // document's update has then emptied the rows too.
    const OpenResult result = ReadDocumentFile(strPathName);
    if (result == OpenResult::opened)
        m_pView->OnInitialUpdate();
    OnIdle();
    if (result == OpenResult::opened && !GetRecordingDamage().empty())
        ShowRecordingDamage();
    return result;
}

CRelmuthApp::OpenResult CRelmuthApp::ReadDocumentFile(const std::string& strPathName) {
    // Decoding a recording lets the event loop run; the session holds what
    // arrives meanwhile.
    const bool bRecording = IsRecordingName(strPathName);
    CRecordingReading reading;
    if (bRecording) {
        m_pDecodeDlg->Start();
        reading.m_pProgress = m_pDecodeDlg;
    }
    const bool bOpened = m_pView->GetSession().ReadFile(strPathName, reading);
    m_pDecodeDlg->Finish();
    if (bOpened)
        return OpenResult::opened;
    return bRecording && m_pDecodeDlg->WasCancelled() ? OpenResult::cancelled : OpenResult::failed;
}

void CRelmuthApp::ShowRecordingDamage() {
    QStringList lines;
    for (const CDamagedByte& damage : GetRecordingDamage())
        lines << QString::fromStdString(DescribeDamage(damage));
    QString shown = lines.mid(0, kDamageLinesShown).join(QLatin1Char('\n'));
    if (lines.size() > kDamageLinesShown)
        shown += QLatin1Char('\n') +
                 res::Text(res::IDS_RECORDING_DAMAGED_MORE).arg(lines.size() - kDamageLinesShown);
    QMessageBox box(QMessageBox::Warning, res::Text(res::AFX_IDS_APP_TITLE),
                    res::Text(res::IDS_RECORDING_DAMAGED), QMessageBox::Ok, m_pMainWnd.get());
    box.setInformativeText(shown);
    box.setDetailedText(lines.join(QLatin1Char('\n')));
    // The first damaged byte on the recording's signal, when it can be read again.
    CTapeSession& session = m_pView->GetSession();
    const CDamageMarks& marks = m_doc.m_damageMarks;
    QPushButton* pWaveform = nullptr;
    if (!marks.empty() && session.CanShowWaveform(marks.front().nBlock, marks.front().nOffset))
        pWaveform = box.addButton(res::Text(res::IDS_WAVEFORM_SHOW), QMessageBox::ActionRole);
    box.exec();
    if (pWaveform != nullptr && box.clickedButton() == pWaveform)
        session.ShowWaveform(marks.front().nBlock, marks.front().nOffset);
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
    const QFileInfo file(DecodeName(m_doc.GetPathName()));
    const bool bAsk = m_doc.GetPathName().empty() || !file.exists() || !file.isWritable() ||
                      m_doc.IsOriginalName(m_doc.GetPathName());
    const bool bSaved = m_doc.DoSave(bAsk ? std::string() : m_doc.GetPathName());
    OnIdle();
    return bSaved;
}

bool CRelmuthApp::OnFileSaveAs() {
    const bool bSaved = m_doc.DoSave(std::string());
    OnIdle();
    return bSaved;
}

void CRelmuthApp::OnOpenRecentFile(int nIndex) {
    if (nIndex < 0 || nIndex >= m_recentFiles.size())
        return;
    const QString path = m_recentFiles.at(nIndex);
    if (OpenDocumentFile(QFile::encodeName(path).toStdString()) == OpenResult::failed) {
        QStringList files = m_recentFiles;
        files.removeAll(path);
        SetRecentFiles(std::move(files));
    }
}

void CRelmuthApp::OnAppAbout() {
    CAboutDlg aboutDlg(m_pMainWnd.get());
    aboutDlg.exec();
}

bool CRelmuthApp::PromptForTapeFileName(std::string& strFileName, res::StringId nTitle,
                                        unsigned nFlags, bool bOpenFileDialog) {
    return ::PromptForTapeFileName(m_pMainWnd.get(), strFileName, nTitle, nFlags, bOpenFileDialog);
}

void CRelmuthApp::ReportSaveLoadException(const CRelmuthException& error) {
    QMessageBox box(QMessageBox::Warning, res::Text(res::AFX_IDS_APP_TITLE),
                    QString::fromStdString(error.GetUserText()), QMessageBox::Ok, m_pMainWnd.get());
    box.exec();
}

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
        OnAppAbout();
        return true;
    case res::ID_APP_EXIT:
        m_pMainWnd->close();
        return true;
    default:
        return false;
    }
}

bool CRelmuthApp::OnUpdateCmdUi(unsigned nId, bool& bEnable) const {
    if (nId >= res::ID_FILE_MRU_FILE1 && nId < res::ID_FILE_MRU_FILE1 + res::kRecentFileCount) {
        bEnable = nId - res::ID_FILE_MRU_FILE1 < static_cast<unsigned>(m_recentFiles.size());
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
