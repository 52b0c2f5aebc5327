// SPDX-License-Identifier: GPL-3.0-or-later
// A pseudo-terminal pair standing in for the cable: the port opens the slave
// by its path, the test plays the PC-8801 on the master.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class CPtyPair {
  public:
    CPtyPair() {
        char name[256] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        m_path = name;
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        // A program the test starts must not hold the cable's far end: the
        // test could not pull it then.
        fcntl(m_master, F_SETFD, FD_CLOEXEC);
        fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    }
    ~CPtyPair() {
        CloseMaster();
        if (m_slave >= 0)
            ::close(m_slave);
    }
    CPtyPair(const CPtyPair&) = delete;
    CPtyPair& operator=(const CPtyPair&) = delete;

    const std::string& SlavePath() const { return m_path; }
    int Slave() const { return m_slave; } // the test's own handle, for tcgetattr
    int Master() const { return m_master; }

    // The cable pulled: the slave side is hung up.
    void CloseMaster() {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    // Writes everything, waiting for room; false if the time ran out.
    bool Write(const std::vector<std::uint8_t>& bytes,
               std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (std::chrono::steady_clock::now() >= end)
                return false;
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, 10);
        }
        return true;
    }
    bool Write(const std::string& s, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        return Write(std::vector<std::uint8_t>(s.begin(), s.end()), limit);
    }

    // Reads what the port sent until `count` bytes have come or the time
    // runs out.
    std::vector<std::uint8_t> Read(std::size_t count, std::chrono::milliseconds limit) {
        std::vector<std::uint8_t> got;
        const auto end = std::chrono::steady_clock::now() + limit;
        while (got.size() < count && std::chrono::steady_clock::now() < end)
            ReadOnce(got, std::chrono::milliseconds(20));
        return got;
    }

    // Packet mode: the master learns when the slave's output is stopped and
    // started by XOFF and XON, so a test knows the flow state has taken hold.
    void SetPacketMode() {
        int on = 1;
        ioctl(m_master, TIOCPKT, &on);
        m_bPacket = true;
    }

    // Waits until the slave's output is stopped (TIOCPKT_STOP) or started
    // (TIOCPKT_START); true when it was seen. Data read meanwhile is kept.
    bool WaitFlow(int flag, std::vector<std::uint8_t>& data,
                  std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end)
            if (ReadOnce(data, std::chrono::milliseconds(20)) & flag)
                return true;
        return false;
    }

  private:
    // One read after waiting at most `wait`; appends the data, returns the
    // packet-mode status flags (0 for data or nothing). In packet mode each
    // read starts with a status byte: 0 before data, else flags.
    int ReadOnce(std::vector<std::uint8_t>& data, std::chrono::milliseconds wait) {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0)
            return 0;
        std::uint8_t buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            return 0;
        if (!m_bPacket) {
            data.insert(data.end(), buf, buf + n);
            return 0;
        }
        if (buf[0] != TIOCPKT_DATA)
            return buf[0];
        data.insert(data.end(), buf + 1, buf + n);
        return 0;
    }

    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
    bool m_bPacket = false;
};
