// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the window program's Qt tests: answering modal dialogs, and
// never letting one hang a test run.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

// Calls `answer` once with the modal window as soon as one is up (polled
// every 10 ms). If none came, or the answer did not close it, a guard closes
// it after `limitMs` so the run goes on; `Answered()` and `TimedOut()` say how
// it went.
class CModalAnswer : public QObject {
  public:
    explicit CModalAnswer(std::function<void(QWidget*)> answer, int limitMs = 10000)
        : m_answer(std::move(answer)) {
        connect(&m_poll, &QTimer::timeout, this, &CModalAnswer::poll);
        m_poll.start(10);
        m_guard.setSingleShot(true);
        connect(&m_guard, &QTimer::timeout, this, &CModalAnswer::giveUp);
        m_guard.start(limitMs);
    }

    bool Answered() const { return m_bAnswered; }
    bool TimedOut() const { return m_bTimedOut; }

  private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            return;
        m_poll.stop();
        m_bAnswered = true;
        m_answer(modal);
    }
    void giveUp() {
        m_poll.stop();
        m_bTimedOut = true;
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->done(QDialog::Rejected);
    }

    std::function<void(QWidget*)> m_answer;
    QTimer m_poll;
    QTimer m_guard;
    bool m_bAnswered = false;
    bool m_bTimedOut = false;
};
