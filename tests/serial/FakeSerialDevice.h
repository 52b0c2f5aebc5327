// SPDX-License-Identifier: GPL-3.0-or-later
// An in-memory serial line for the port's thread logic: the test decides
// when bytes arrive, when the line takes a write, what the system's output
// queue holds and when the line fails. The test keeps a shared handle to the
// line's state while the port owns the device.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "serial/SerialDevice.h"

struct CFakeLine {
    std::mutex mutex;
    std::condition_variable changed;

    // Receiving.
    std::deque<std::uint8_t> incoming;
    bool bHungUp = false;
    int nReadErrno = 0;

    // Sending. Each accepted write takes one credit; -1 means no limit.
    int nWriteCredits = -1;
    int nWriteErrno = 0;
    int nWriteAttempts = 0;
    std::vector<std::vector<std::uint8_t>> writes;
    int nOutputQueued = 0;

    // Settings. A pseudo-terminal keeps 8 bits without parity and answers
    // EINVAL; a "stubborn" real device silently drops IXOFF.
    bool bPseudoTerminal = false;
    bool bStubborn = false;
    termios attr{};
    std::optional<termios> lastSet;

    bool bStopped = false;
    bool bSendWake = false;
    int nSendWaits = 0;  // how often the writer went to sleep idle
    int nTimedWaits = 0; // how often a worker slept for a set time

    // Test side.
    void Arrive(const std::vector<std::uint8_t>& bytes) {
        std::lock_guard lock(mutex);
        incoming.insert(incoming.end(), bytes.begin(), bytes.end());
        changed.notify_all();
    }
    template <class F> void Change(F f) {
        std::lock_guard lock(mutex);
        f(*this);
        changed.notify_all();
    }
    template <class F> auto Look(F f) {
        std::lock_guard lock(mutex);
        return f(*this);
    }
    std::vector<std::uint8_t> Written() {
        std::lock_guard lock(mutex);
        std::vector<std::uint8_t> all;
        for (const auto& w : writes)
            all.insert(all.end(), w.begin(), w.end());
        return all;
    }
};

class CFakeSerialDevice final : public CSerialDevice {
  public:
    explicit CFakeSerialDevice(std::shared_ptr<CFakeLine> line) : m_line(std::move(line)) {}

    bool IsPseudoTerminal() const override {
        return m_line->Look([](CFakeLine& l) { return l.bPseudoTerminal; });
    }

    int GetAttributes(termios& attr) override {
        std::lock_guard lock(m_line->mutex);
        attr = m_line->attr;
        return 0;
    }

    int SetAttributes(const termios& attr) override {
        std::lock_guard lock(m_line->mutex);
        m_line->lastSet = attr;
        m_line->attr = attr;
        if (m_line->bStubborn)
            m_line->attr.c_iflag &= ~IXOFF;
        if (m_line->bPseudoTerminal) {
            m_line->attr.c_cflag = (attr.c_cflag & ~(CSIZE | PARENB | PARODD)) | CS8;
            if (m_line->attr.c_cflag != attr.c_cflag)
                return EINVAL;
        }
        return 0;
    }

    CIoResult WaitReadable() override {
        std::unique_lock lock(m_line->mutex);
        m_line->changed.wait(lock, [&] {
            return m_line->bStopped || !m_line->incoming.empty() || m_line->bHungUp ||
                   m_line->nReadErrno != 0;
        });
        return m_line->bStopped ? CIoResult::Of(CIoResult::stopped) : CIoResult::Done();
    }

    CIoResult WaitWritable(std::chrono::milliseconds timeout) override {
        std::unique_lock lock(m_line->mutex);
        const bool ready = m_line->changed.wait_for(
            lock, timeout, [&] { return m_line->bStopped || m_line->nWriteCredits != 0; });
        if (m_line->bStopped)
            return CIoResult::Of(CIoResult::stopped);
        return ready ? CIoResult::Done() : CIoResult::Of(CIoResult::timedOut);
    }

    CIoResult WaitStop(std::chrono::microseconds timeout) override {
        std::unique_lock lock(m_line->mutex);
        ++m_line->nTimedWaits;
        return m_line->changed.wait_for(lock, timeout, [&] { return m_line->bStopped; })
                   ? CIoResult::Of(CIoResult::stopped)
                   : CIoResult::Of(CIoResult::timedOut);
    }

    void WakeSender() override {
        std::lock_guard lock(m_line->mutex);
        m_line->bSendWake = true;
        m_line->changed.notify_all();
    }

    CIoResult WaitSendWake() override {
        std::unique_lock lock(m_line->mutex);
        ++m_line->nSendWaits;
        m_line->changed.wait(lock, [&] { return m_line->bStopped || m_line->bSendWake; });
        if (m_line->bStopped)
            return CIoResult::Of(CIoResult::stopped);
        m_line->bSendWake = false;
        return CIoResult::Done();
    }

    CIoResult ReadByte(std::uint8_t& byte) override {
        std::lock_guard lock(m_line->mutex);
        if (!m_line->incoming.empty()) {
            byte = m_line->incoming.front();
            m_line->incoming.pop_front();
            return CIoResult::Done(1);
        }
        if (m_line->nReadErrno != 0)
            return CIoResult::Failed(m_line->nReadErrno);
        if (m_line->bHungUp)
            return CIoResult::Of(CIoResult::hungUp);
        return CIoResult::Of(CIoResult::wouldBlock);
    }

    CIoResult Write(std::span<const std::uint8_t> bytes) override {
        std::lock_guard lock(m_line->mutex);
        ++m_line->nWriteAttempts;
        m_line->changed.notify_all();
        if (m_line->nWriteErrno != 0)
            return CIoResult::Failed(m_line->nWriteErrno);
        if (m_line->nWriteCredits == 0)
            return CIoResult::Of(CIoResult::wouldBlock);
        if (m_line->nWriteCredits > 0)
            --m_line->nWriteCredits;
        m_line->writes.emplace_back(bytes.begin(), bytes.end());
        return CIoResult::Done(bytes.size());
    }

    int GetOutputQueued(int& nQueued) override {
        std::lock_guard lock(m_line->mutex);
        nQueued = m_line->nOutputQueued;
        return 0;
    }

    void Stop() override {
        std::lock_guard lock(m_line->mutex);
        m_line->bStopped = true;
        m_line->changed.notify_all();
    }

  private:
    std::shared_ptr<CFakeLine> m_line;
};
