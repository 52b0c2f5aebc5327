// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/RelmuthApp.h"

#include <QApplication>
#include <QFile>
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
#include "session/StatusText.h"
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

CRelmuthApp::CRelmuthApp() : m_doc(nullptr, TapeFormats()) {}

CRelmuthApp::~CRelmuthApp() {
    // The view leaves the document before the document goes.
    m_pMainWnd.reset();
}

std::vector<CDamagedByte>& CRelmuthApp::GetRecordingDamage() {
    return m_pView->GetSession().GetRecordingDamage();
}

QStringList CRelmuthApp::GetRecentFiles() const {
    QStringList files;
    for (const std::string& file : m_pFile->GetRecentFiles())
        files << DecodeName(file);
    return files;
}

bool CRelmuthApp::InitInstance(const CCommandLineInfo& cmdInfo) {
    // Standard buttons and dialogs speak Japanese like the rest of the program.
    if (m_qtTranslator.load(QStringLiteral("qtbase_ja"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&m_qtTranslator);

    m_pMainWnd = std::make_unique<CMainFrame>();
    m_pMainWnd->setWindowIcon(res::AppIcon());
    m_pView = new CRelmuthView(m_doc, m_pMainWnd.get());
    m_pView->SetStartPort(cmdInfo.port);
    m_pMainWnd->SetView(m_pView);
    m_pFile = &m_pView->GetSession().AttachFileCommands(*this);
    m_pFile->SetRecentFiles(LoadRecentFileList());
    auto* pBlockPane = new CBlockPane(m_doc, m_pView->GetSession().GetRecordingDamage());
    pBlockPane->Follow(m_pView, [view = m_pView] { return view->GetSelectedRow(); });
    m_pMainWnd->SetBlockPane(pBlockPane);
    m_pMainWnd->SetAppTarget(this);
    // Not in the middle of reading a file: the tape is then half there.
    m_pMainWnd->SetCloseQuery(
        [this] { return !m_pView->GetSession().IsReadingFile() && m_pFile->SaveModified(); });
    m_pDecodeDlg = new CDecodeProgressDlg(m_pMainWnd.get());
    ShowRecentFiles();

    connect(m_pView, &CRelmuthView::commandStateChanged, this, &CRelmuthApp::OnIdle);
    connect(m_pView, &CRelmuthView::linkLost, m_pMainWnd.get(), &CMainFrame::ShowLinkLost);
    connect(m_pView, &CRelmuthView::portOpened, m_pMainWnd.get(), &CMainFrame::ClearLinkLost);
    connect(m_pView, &CRelmuthView::closeRequested, this, [this] {
        m_bClosing = true;
        QMetaObject::invokeMethod(m_pMainWnd.get(), &QWidget::close, Qt::QueuedConnection);
    });
    connect(m_pMainWnd.get(), &CMainFrame::fileDropped, this, [this](const QString& path) {
        m_pFile->OpenDocumentFile(QFile::encodeName(path).toStdString());
        OnIdle();
    });

    bool bDamaged = false;
    if (!cmdInfo.strFileName.empty()) {
        // A file that cannot be opened ends start-up; a recording whose
        // decoding the user stopped leaves a new, empty tape.
        const OpenResult result = m_pFile->OpenStartFile(cmdInfo.strFileName);
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
            m_pFile->ReportRecordingDamage();
    }
    return true;
}

std::vector<std::string> CRelmuthApp::LoadRecentFileList() const {
    QSettings settings(QString::fromLatin1(res::kRegistryKey), QString::fromLatin1(res::kAppName));
    settings.beginGroup(QString::fromLatin1(kRecentFileSection));
    std::vector<std::string> files;
    for (int i = 1; i <= res::kRecentFileCount; ++i) {
        const QString file =
            settings.value(QString::fromLatin1(kRecentFileEntry).arg(i)).toString();
        if (!file.isEmpty())
            files.push_back(QFile::encodeName(file).toStdString());
    }
    return files;
}

void CRelmuthApp::OnRecentFilesChanged(const std::vector<std::string>& files) {
    QSettings settings(QString::fromLatin1(res::kRegistryKey), QString::fromLatin1(res::kAppName));
    settings.beginGroup(QString::fromLatin1(kRecentFileSection));
    for (int i = 1; i <= res::kRecentFileCount; ++i) {
        const QString key = QString::fromLatin1(kRecentFileEntry).arg(i);
        if (static_cast<std::size_t>(i) <= files.size())
            settings.setValue(key, DecodeName(files[static_cast<std::size_t>(i - 1)]));
        else
            settings.remove(key);
    }
    ShowRecentFiles();
}

void CRelmuthApp::ShowRecentFiles() {
    if (!m_pMainWnd || m_pFile == nullptr)
        return;
    QStringList texts;
    for (int i = 0; i < static_cast<int>(m_pFile->GetRecentFiles().size()); ++i)
        texts << DecodeName(m_pFile->GetRecentFileMenuText(i));
    m_pMainWnd->SetRecentFiles(texts);
}

void CRelmuthApp::OnIdle() {
    if (!m_pMainWnd)
        return;
    m_pMainWnd->SetDocumentTitle(DecodeName(m_doc.GetTitle()), m_doc.IsModified());
    if (m_pView != nullptr)
        m_pMainWnd->SetStatusTexts(
            QString::fromStdString(LinkStatusText(m_pView->GetSession().GetLinkState())),
            QString::fromStdString(TapeStatusText(m_doc, m_pView->GetSelectedRow())));
    m_pMainWnd->OnUpdateCmdUi();
}

CFileOwner::SaveAnswer CRelmuthApp::AskSaveChanges(const std::string& strTitle) {
    QMessageBox box(QMessageBox::Question, res::Text(res::AFX_IDS_APP_TITLE),
                    res::Text(res::AFX_IDP_ASK_TO_SAVE).arg(DecodeName(strTitle)),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                    m_pMainWnd.get());
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveAnswer::save;
    case QMessageBox::Discard:
        return SaveAnswer::discard;
    default:
        return SaveAnswer::cancel;
    }
}

bool CRelmuthApp::AskLossySave(const std::vector<std::string>& losses) {
    QStringList lines;
    for (const std::string& loss : losses)
        lines << QString::fromStdString(loss);
    QMessageBox box(QMessageBox::Warning, res::Text(res::AFX_IDS_APP_TITLE),
                    res::Text(res::IDS_SAVE_LOSSES), QMessageBox::NoButton, m_pMainWnd.get());
    box.setInformativeText(lines.join(QLatin1Char('\n')) + QStringLiteral("\n\n") +
                           res::Text(res::IDS_SAVE_LOSSES_QUESTION));
    QPushButton* save =
        box.addButton(res::Text(res::IDS_BUTTON_SAVE_ANYWAY), QMessageBox::AcceptRole);
    QPushButton* other =
        box.addButton(res::Text(res::IDS_BUTTON_OTHER_FORMAT), QMessageBox::RejectRole);
    box.setDefaultButton(other);
    box.setEscapeButton(other);
    box.exec();
    return box.clickedButton() == save;
}

void CRelmuthApp::ShowMessageText(const std::string& strText) {
    QMessageBox box(QMessageBox::Warning, res::Text(res::AFX_IDS_APP_TITLE),
                    QString::fromStdString(strText), QMessageBox::Ok, m_pMainWnd.get());
    box.exec();
}

CDecodeProgress* CRelmuthApp::StartDecodeProgress() {
    // Decoding a recording lets the event loop run; the session holds what
    // arrives meanwhile.
    m_pDecodeDlg->Start();
    return m_pDecodeDlg;
}

void CRelmuthApp::FinishDecodeProgress() {
    m_pDecodeDlg->Finish();
}

void CRelmuthApp::ShowRecordingDamage(const std::vector<std::string>& damage) {
    QStringList lines;
    for (const std::string& line : damage)
        lines << QString::fromStdString(line);
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

void CRelmuthApp::OnTapeReplaced() {
    m_pView->OnInitialUpdate();
    OnIdle();
}

void CRelmuthApp::OnAppAbout() {
    CAboutDlg aboutDlg(m_pMainWnd.get());
    aboutDlg.exec();
}

bool CRelmuthApp::PromptForTapeFileName(std::string& strFileName, res::StringId nTitle,
                                        unsigned nFlags, bool bOpenFileDialog) {
    return ::PromptForTapeFileName(m_pMainWnd.get(), strFileName, nTitle, nFlags, bOpenFileDialog);
}

bool CRelmuthApp::OnCmdMsg(unsigned nId) {
    switch (nId) {
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
    switch (nId) {
    case res::ID_APP_ABOUT:
    case res::ID_APP_EXIT:
        bEnable = true;
        return true;
    default:
        return false;
    }
}
