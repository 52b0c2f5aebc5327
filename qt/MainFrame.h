// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: menu bar, tool bar and status bar around the block list.
// Every menu item, button and key is a command id; the window hands a
// command to the view first, then handles its own (the bars, the panes),
// then gives it to the application. The same road decides, by each target's
// update rule, which commands are enabled.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QTimer>

#include <functional>

class QDockWidget;
class QLabel;
class QToolBar;
class CCmdTarget;
class CRelmuthView;

class CMainFrame : public QMainWindow {
    Q_OBJECT

  public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The view fills the window and is the first command target; the
    // application is the last.
    void SetView(CRelmuthView* pView);
    // The pane of the selected block's contents, below the list; hidden
    // until the View menu shows it.
    void SetBlockPane(QWidget* pPane);
    void SetAppTarget(CCmdTarget* pApp) { m_pApp = pApp; }
    // Asked before the window closes; false keeps it open.
    void SetCloseQuery(std::function<bool()> query) { m_closeQuery = std::move(query); }

    CRelmuthView* GetView() const { return m_pView; }
    QToolBar* GetToolBar() const { return m_toolBar; }
    QAction* GetCommandAction(unsigned nId) const { return m_actions.value(nId); }

    // Runs the update rules of every command.
    void OnUpdateCmdUi();
    // Gives a command to its target, as a menu item or key would.
    void OnCommand(unsigned nId);

    // "TITLE - Relmuth", marked while the tape has unsaved changes.
    void SetDocumentTitle(const QString& strTitle, bool bModified);
    // The File menu's entries of the recent files, newest first, as shown.
    void SetRecentFiles(const QStringList& texts);
    // The serial line went away: said in red in the status bar until a port
    // opens again.
    void ShowLinkLost(const QString& strReason);
    void ClearLinkLost();
    // The panes beside the messages: the link's state and the tape's.
    void SetStatusTexts(const QString& strLink, const QString& strTape);
    QString GetLinkStatusText() const;
    QString GetTapeStatusText() const;
    QString GetIdleText() const;

  signals:
    // The window has closed (the program ends).
    void closed();
    // A file was dropped on the window.
    void fileDropped(const QString& strPath);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void createActions();
    void createMenus();
    void createToolBars();
    void createStatusBar();
    QAction* createCommandAction(unsigned nId, const QString& text);

    bool OnFrameCmdMsg(unsigned nId);
    bool OnFrameUpdateCmdUi(unsigned nId, bool& bEnable) const;
    void UpdateKeyPanes();

    QHash<unsigned, QAction*> m_actions;
    CRelmuthView* m_pView = nullptr;
    CCmdTarget* m_pApp = nullptr;
    std::function<bool()> m_closeQuery;

    QToolBar* m_toolBar = nullptr;
    QDockWidget* m_blockPane = nullptr;
    QLabel* m_messagePane = nullptr;
    QLabel* m_linkPane = nullptr;
    QLabel* m_tapePane = nullptr;
    QLabel* m_kanaPane = nullptr;
    QLabel* m_capsPane = nullptr;
    QLabel* m_numPane = nullptr;
    QLabel* m_scrollPane = nullptr;
    QTimer m_keyStateTimer;
    QString m_recentPlaceholder; // "最新のファイル", while there are no recent files
    bool m_bLinkLost = false;
};
