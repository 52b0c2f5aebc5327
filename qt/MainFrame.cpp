// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/MainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>

#include "qt/KeyState.h"
#include "qt/RelmuthView.h"
#include "res/Menu.h"
#include "res/UiIcons.h"
#include "res/UiText.h"

namespace {

constexpr int kKeyStatePollMs = 250;

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    createActions();
    createMenus();
    createToolBars();
    createStatusBar();
    setAcceptDrops(true);
    // The bars are shown and hidden from the View menu only.
    setContextMenuPolicy(Qt::NoContextMenu);
    resize(640, 400);
    SetDocumentTitle(res::Text(res::AFX_IDS_UNTITLED), false);
}

CMainFrame::~CMainFrame() {
    // The pane is hidden as the window goes, after this part of it is gone.
    if (m_blockPane)
        disconnect(m_blockPane, nullptr, this, nullptr);
}

QAction* CMainFrame::createCommandAction(unsigned nId, const QString& text) {
    auto* action = new QAction(text, this);
    const auto id = static_cast<res::StringId>(nId);
    action->setStatusTip(res::StatusPrompt(id));
    action->setToolTip(res::ToolTip(id));
    action->setIcon(res::CommandIcon(id));
    connect(action, &QAction::triggered, this, [this, nId] { OnCommand(nId); });
    m_actions.insert(nId, action);
    return action;
}

void CMainFrame::createActions() {
    // One action per command of the menu, with the key its menu text shows
    // first and the table's other keys for the same command after it.
    for (const res::MenuPopup& popup : res::MainMenu()) {
        for (const res::MenuItem& item : popup.items) {
            if (item.nCommand == res::ID_SEPARATOR)
                continue;
            QAction* action =
                createCommandAction(item.nCommand, Utf8(res::MenuItemLabel(item.text)));
            QList<QKeySequence> keys;
            if (const auto key = res::MenuItemKey(item.text); !key.empty())
                keys.append(QKeySequence::fromString(Utf8(key), QKeySequence::PortableText));
            for (const res::Accelerator& accel : res::MainAccelerators()) {
                const QKeySequence key =
                    QKeySequence::fromString(Utf8(accel.key), QKeySequence::PortableText);
                if (accel.nCommand == item.nCommand && !keys.contains(key))
                    keys.append(key);
            }
            action->setShortcuts(keys);
        }
    }
    m_actions.value(res::ID_VIEW_TOOLBAR)->setCheckable(true);
    m_actions.value(res::ID_VIEW_STATUS_BAR)->setCheckable(true);
    m_actions.value(res::ID_VIEW_BLOCK_PANE)->setCheckable(true);

    // Keys of commands that have no menu item (the panes) live on the window.
    const auto menuCommands = m_actions.keys();
    for (const res::Accelerator& accel : res::MainAccelerators()) {
        if (menuCommands.contains(accel.nCommand))
            continue;
        QAction* action = m_actions.value(accel.nCommand);
        if (action == nullptr) {
            action = createCommandAction(accel.nCommand, QString());
            addAction(action);
        }
        action->setShortcuts(action->shortcuts() << QKeySequence::fromString(
                                 Utf8(accel.key), QKeySequence::PortableText));
    }
}

void CMainFrame::createMenus() {
    for (const res::MenuPopup& popup : res::MainMenu()) {
        QMenu* menu = menuBar()->addMenu(Utf8(popup.text));
        // Update rules run before a menu opens, as well as after each change.
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::OnUpdateCmdUi);
        for (const res::MenuItem& item : popup.items) {
            if (item.nCommand == res::ID_SEPARATOR) {
                menu->addSeparator();
                continue;
            }
            menu->addAction(m_actions.value(item.nCommand));
            if (item.nCommand != res::ID_FILE_MRU_FILE1)
                continue;
            m_recentPlaceholder = Utf8(item.text);
            // The recent files follow the first entry, which stands for the
            // list while it is empty.
            for (int i = 1; i < res::kRecentFileCount; ++i) {
                const unsigned nId = res::ID_FILE_MRU_FILE1 + i;
                QAction* action = createCommandAction(nId, QString());
                action->setStatusTip(res::StatusPrompt(res::ID_FILE_MRU_FILE1));
                action->setVisible(false);
                menu->addAction(action);
            }
        }
    }
}

void CMainFrame::createToolBars() {
    m_toolBar = addToolBar(QString());
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    for (const res::StringId nId : res::MainToolBar()) {
        if (nId == res::ID_SEPARATOR)
            m_toolBar->addSeparator();
        else
            m_toolBar->addAction(m_actions.value(nId));
    }
    connect(m_toolBar, &QToolBar::visibilityChanged, this, &CMainFrame::OnUpdateCmdUi);
}

void CMainFrame::createStatusBar() {
    m_messagePane = new QLabel(res::Text(res::AFX_IDS_IDLEMESSAGE));
    statusBar()->addWidget(m_messagePane, 1);
    m_linkPane = new QLabel;
    statusBar()->addPermanentWidget(m_linkPane);
    m_tapePane = new QLabel;
    statusBar()->addPermanentWidget(m_tapePane);
    // The key panes keep the width of their text while blank.
    auto keyPane = [this](res::StringId nId) {
        auto* pane = new QLabel;
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(res::Text(nId)) +
                              2 * pane->fontMetrics().averageCharWidth());
        statusBar()->addPermanentWidget(pane);
        return pane;
    };
    m_kanaPane = keyPane(res::ID_INDICATOR_KANA);
    m_capsPane = keyPane(res::ID_INDICATOR_CAPS);
    m_numPane = keyPane(res::ID_INDICATOR_NUM);
    m_scrollPane = keyPane(res::ID_INDICATOR_SCRL);
    if (QueryKeyState()) {
        connect(&m_keyStateTimer, &QTimer::timeout, this, &CMainFrame::UpdateKeyPanes);
        m_keyStateTimer.start(kKeyStatePollMs);
        UpdateKeyPanes();
    }
}

void CMainFrame::UpdateKeyPanes() {
    const auto state = QueryKeyState();
    if (!state)
        return;
    auto show = [](QLabel* pane, bool bOn, res::StringId nId) {
        pane->setText(bOn ? res::Text(nId) : QString());
    };
    show(m_kanaPane, state->bKana, res::ID_INDICATOR_KANA);
    show(m_capsPane, state->bCaps, res::ID_INDICATOR_CAPS);
    show(m_numPane, state->bNum, res::ID_INDICATOR_NUM);
    show(m_scrollPane, state->bScroll, res::ID_INDICATOR_SCRL);
}

void CMainFrame::SetView(CRelmuthView* pView) {
    m_pView = pView;
    setCentralWidget(pView);
    pView->setFocus();
}

void CMainFrame::SetBlockPane(QWidget* pPane) {
    m_blockPane = new QDockWidget(res::Text(res::IDS_PANE_TITLE), this);
    m_blockPane->setObjectName(QStringLiteral("blockPane"));
    m_blockPane->setWidget(pPane);
    m_blockPane->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);
    addDockWidget(Qt::BottomDockWidgetArea, m_blockPane);
    m_blockPane->hide();
    connect(m_blockPane, &QDockWidget::visibilityChanged, this, &CMainFrame::OnUpdateCmdUi);
}

void CMainFrame::OnCommand(unsigned nId) {
    if (!(m_pView && m_pView->OnCmdMsg(nId)) && !OnFrameCmdMsg(nId) && m_pApp)
        m_pApp->OnCmdMsg(nId);
    OnUpdateCmdUi();
}

void CMainFrame::OnUpdateCmdUi() {
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        bool bEnable = true;
        if (!(m_pView && m_pView->OnUpdateCmdUi(it.key(), bEnable)) &&
            !OnFrameUpdateCmdUi(it.key(), bEnable) && m_pApp)
            m_pApp->OnUpdateCmdUi(it.key(), bEnable);
        it.value()->setEnabled(bEnable);
    }
    m_actions.value(res::ID_VIEW_TOOLBAR)->setChecked(!m_toolBar->isHidden());
    m_actions.value(res::ID_VIEW_STATUS_BAR)->setChecked(!statusBar()->isHidden());
    m_actions.value(res::ID_VIEW_BLOCK_PANE)->setChecked(m_blockPane && !m_blockPane->isHidden());
}

bool CMainFrame::OnFrameCmdMsg(unsigned nId) {
    switch (nId) {
    case res::ID_VIEW_TOOLBAR:
        m_toolBar->setVisible(m_toolBar->isHidden());
        return true;
    case res::ID_VIEW_STATUS_BAR:
        statusBar()->setVisible(statusBar()->isHidden());
        return true;
    case res::ID_VIEW_BLOCK_PANE:
        if (m_blockPane)
            m_blockPane->setVisible(m_blockPane->isHidden());
        return true;
    case res::ID_NEXT_PANE:
    case res::ID_PREV_PANE:
        // The list is the window's only pane.
        if (m_pView)
            m_pView->setFocus(Qt::TabFocusReason);
        return true;
    default:
        return false;
    }
}

bool CMainFrame::OnFrameUpdateCmdUi(unsigned nId, bool& bEnable) const {
    switch (nId) {
    case res::ID_VIEW_BLOCK_PANE:
        bEnable = m_blockPane != nullptr;
        return true;
    case res::ID_VIEW_TOOLBAR:
    case res::ID_VIEW_STATUS_BAR:
    case res::ID_NEXT_PANE:
    case res::ID_PREV_PANE:
        bEnable = true;
        return true;
    default:
        return false;
    }
}

void CMainFrame::SetDocumentTitle(const QString& strTitle, bool bModified) {
    setWindowTitle(strTitle + QStringLiteral("[*] - ") + res::Text(res::AFX_IDS_APP_TITLE));
    setWindowModified(bModified);
}

void CMainFrame::SetRecentFiles(const QStringList& texts) {
    for (int i = 0; i < res::kRecentFileCount; ++i) {
        QAction* action = m_actions.value(res::ID_FILE_MRU_FILE1 + i);
        if (i < texts.size()) {
            action->setText(texts.at(i));
            action->setVisible(true);
        } else if (i == 0) {
            action->setText(m_recentPlaceholder); // grayed by its update rule
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
    OnUpdateCmdUi();
}

void CMainFrame::ShowLinkLost(const QString& strReason) {
    m_bLinkLost = true;
    QString text = res::Text(res::IDS_PORT_LOST);
    if (!strReason.isEmpty())
        text += QStringLiteral(" (%1)").arg(strReason);
    text += QLatin1Char(' ') + res::Text(res::IDS_PORT_REOPEN_HINT);
    m_messagePane->setText(text);
    m_messagePane->setStyleSheet(QStringLiteral("color: red"));
}

void CMainFrame::ClearLinkLost() {
    m_bLinkLost = false;
    m_messagePane->setText(res::Text(res::AFX_IDS_IDLEMESSAGE));
    m_messagePane->setStyleSheet(QString());
}

void CMainFrame::SetStatusTexts(const QString& strLink, const QString& strTape) {
    m_linkPane->setText(strLink);
    m_linkPane->setVisible(!strLink.isEmpty());
    m_tapePane->setText(strTape);
}

QString CMainFrame::GetLinkStatusText() const {
    return m_linkPane->text();
}

QString CMainFrame::GetTapeStatusText() const {
    return m_tapePane->text();
}

QString CMainFrame::GetIdleText() const {
    return m_messagePane->text();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_closeQuery && !m_closeQuery()) {
        event->ignore();
        return;
    }
    if (m_pView)
        m_pView->OnDestroy();
    event->accept();
    emit closed();
}

namespace {

// The one local file a drag carries, or an empty string.
QString DraggedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1)
        return {};
    const QUrl url = data->urls().constFirst();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

} // namespace

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!DraggedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QString path = DraggedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    emit fileDropped(path);
}
