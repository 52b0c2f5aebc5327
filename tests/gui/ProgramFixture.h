// SPDX-License-Identifier: GPL-3.0-or-later
// The window program started on a pseudo-terminal, as `relmuth --port PTY`
// would start it: the test plays the PC-8801 on the master side. And a
// helper that answers several modal windows in turn.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "qt/MainFrame.h"
#include "qt/RelmuthApp.h"
#include "qt/RelmuthView.h"
#include "serial/DeviceControl.h"
#include "serial/PtyPair.h"

// Settings of the tests' own, never the user's (and each test program's
// own); file dialogs of Qt's own, which never hang on a desktop's portal.
inline void InitProgramTests() {
    QStandardPaths::setTestModeEnabled(true);
    // Of this test program alone: ctest runs the programs side by side, and
    // a file one opens would stand in another's recent-file list.
    static QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

class CStartedProgram {
  public:
    explicit CStartedProgram(bool bPacketMode = false) {
        if (bPacketMode)
            pty.SetPacketMode();
    }
    // relmuth --port PTY [FILE]
    bool Start(const std::string& strFile = {}) {
        CCommandLineInfo info;
        info.strFileName = strFile;
        info.port = CStartPort{pty.SlavePath(), BAUD_9600};
        return app.InitInstance(info);
    }
    CRelmuthView& View() { return *app.GetView(); }
    CMainFrame& Frame() { return *app.GetMainFrame(); }
    CRelmuthDoc& Doc() { return app.GetDocument(); }
    QAction& Command(unsigned nId) { return *Frame().GetCommandAction(nId); }
    bool Enabled(unsigned nId) {
        Frame().OnUpdateCmdUi();
        return Command(nId).isEnabled();
    }

    CPtyPair pty;
    CRelmuthApp app;
};

// Answers the modal windows that come up, one after the other, each with the
// next answer in the list; a window still up 10 s after it came is rejected,
// so no run can hang. Each answer sees the window and what it says.
class CModalAnswers : public QObject {
  public:
    using Answer = std::function<void(QWidget*)>;

    explicit CModalAnswers(std::vector<Answer> answers) : m_answers(std::move(answers)) {
        connect(&m_poll, &QTimer::timeout, this, &CModalAnswers::Poll);
        m_poll.start(10);
    }

    // How many windows have been answered, and the text of each message box.
    int Count() const { return static_cast<int>(m_texts.size()); }
    const QStringList& Texts() const { return m_texts; }

  private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == m_pLast)
            return;
        m_pLast = modal;
        const auto* box = qobject_cast<QMessageBox*>(modal);
        m_texts << (box ? box->text() : modal->metaObject()->className());
        if (m_texts.size() <= static_cast<qsizetype>(m_answers.size())) {
            m_answers[m_texts.size() - 1](modal);
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject(); // one more than the test expected
        }
        QTimer::singleShot(10000, modal, [modal] {
            if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible())
                dialog->done(QDialog::Rejected);
        });
    }

    std::vector<Answer> m_answers;
    QTimer m_poll;
    QPointer<QWidget> m_pLast;
    QStringList m_texts;
};

// Answers a message box with one of its standard buttons.
inline CModalAnswers::Answer Press(QMessageBox::StandardButton button) {
    return [button](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            box->button(button)->click();
        else if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    };
}

inline CModalAnswers::Answer Reject() {
    return [](QWidget* modal) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    };
}
