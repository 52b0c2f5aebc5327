// SPDX-License-Identifier: GPL-3.0-or-later
// Grebe as a whole, on relmuth-pc88 in --fast mode: the loader text taken in
// over the pseudo-terminal by LOAD, run by N88-BASIC, reading the virtual
// cassette, and its transfers arriving in Relmuth's receiver.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>

#include "../serial/PtyPair.h"
#include "loader/LoaderText.h"
#include "serial/CommPort.h"
#include "serial/CommSettings.h"
#include "session/ReceiveContext.h"
#include "session/SendLoader.h"
#include "tape/KxmFormat.h"
#include "tests/MessageLogUi.h"
#include "tests/ScratchFolder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// relmuth-pc88 running as a child process, its output in files.
class CMachineProcess {
  public:
    // With a terminal, standard input and output are that terminal.
    CMachineProcess(const fs::path& dir, std::vector<std::string> args,
                    const std::string& terminal = {})
        : m_dir(dir) {
        std::vector<std::string> argv{RELMUTH_PC88};
        argv.insert(argv.end(), args.begin(), args.end());
        m_pid = fork();
        if (m_pid == 0) {
            const int in = terminal.empty() ? ::open("/dev/null", O_RDONLY)
                                            : ::open(terminal.c_str(), O_RDWR | O_NOCTTY);
            const int out = terminal.empty() ? ::open((dir / "stdout").c_str(),
                                                      O_WRONLY | O_CREAT | O_TRUNC, 0644)
                                             : in;
            const int err = ::open((dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(in, 0);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> cargs;
            for (std::string& a : argv)
                cargs.push_back(a.data());
            cargs.push_back(nullptr);
            execv(cargs[0], cargs.data());
            _exit(127);
        }
    }
    ~CMachineProcess() {
        if (m_pid > 0 && m_status < 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    // The exit status, or -1 when it did not end in time.
    int Wait(std::chrono::seconds limit = 60s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (m_status < 0) {
            int raw = 0;
            if (waitpid(m_pid, &raw, WNOHANG) == m_pid)
                m_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            else if (std::chrono::steady_clock::now() >= end)
                break;
            else
                std::this_thread::sleep_for(5ms);
        }
        return m_status;
    }
    void Signal(int sig) const { kill(m_pid, sig); }
    std::string Out() const { return Slurp(m_dir / "stdout"); }
    std::string Err() const { return Slurp(m_dir / "stderr"); }

  private:
    fs::path m_dir;
    pid_t m_pid = -1;
    int m_status = -1;
};

// The far end opened on the link as a raw terminal, read and written by hand.
class CRawFarEnd {
  public:
    explicit CRawFarEnd(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd >= 0) {
            termios tio{};
            tcgetattr(m_fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~CRawFarEnd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool IsOpen() const { return m_fd >= 0; }
    void Write(const Bytes& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<std::size_t>(n);
            else
                std::this_thread::sleep_for(1ms);
        }
    }
    // Reads what comes within the time, or until the text ends with `until`.
    std::string Read(std::chrono::milliseconds limit, const std::string& until = {}) {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (!until.empty() && got.size() >= until.size() &&
                got.compare(got.size() - until.size(), until.size(), until) == 0)
                break;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0)
                continue;
            // Byte by byte while looking for `until`, so that nothing after
            // it is taken off the line.
            char buf[4096];
            const ssize_t n = ::read(m_fd, buf, until.empty() ? sizeof buf : 1);
            if (n > 0)
                got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
    }

  private:
    int m_fd = -1;
};

// What Relmuth makes of the text that arrived.
std::vector<CTapeBlock> Receive(const std::string& wire, std::size_t* messages = nullptr) {
    CRelmuthDoc doc;
    CMessageLogUi ui;
    CReceiveContext context{doc, ui};
    context.InstallReceiver();
    context.OnSerialBytes({reinterpret_cast<const std::uint8_t*>(wire.data()), wire.size()});
    if (messages != nullptr)
        *messages = ui.messages.size();
    return doc.m_blocks;
}

Bytes Pattern(std::size_t n, unsigned seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(0x01 + (i * 7 + seed + (i >> 8)) % 0xFD);
    return b;
}

std::string LoaderText() {
    const auto bytes = LoaderBytesToSend(GetLoaderResource());
    return std::string(bytes.begin(), bytes.end());
}

class Pc88Tool : public testing::Test {
  protected:
    void SetUp() override {
        dir = MakeScratchFolder("relmuth-pc88");
        link = (dir / "line").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    void PutTape(const std::vector<CTapeBlock>& blocks) {
        ByteArray bytes;
        CMemoryArchive ar(bytes);
        WriteKxm(blocks, ar);
        std::ofstream((dir / "tape.kxm").string(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    std::string PutKeys(const std::string& script) {
        const std::string path = (dir / "keys").string();
        std::ofstream(path, std::ios::binary) << script;
        return path;
    }
    bool WaitForLink() {
        for (int i = 0; i < 2000 && !fs::is_symlink(link); ++i)
            std::this_thread::sleep_for(5ms);
        return fs::is_symlink(link);
    }

    fs::path dir;
    std::string link;
};

constexpr const char* kLoadAndRun = "LOAD \"COM:N71XN\"<cr><wait Ok>RUN<cr>";

// One session through every prompt of Grebe, with the loader sent the way
// Relmuth sends it: dumps of 257 and 256 bytes read in the "-Ex" modes,
// a transfer given up with ESC, the quit question answered N, then y, all
// keys in lower case.
TEST_F(Pc88Tool, GrebeTakenInByLoadRunsEveryPrompt) {
    const CTapeBlock a{Pattern(257, 1), 1200};
    const CTapeBlock b{Pattern(256, 2), 600};
    PutTape({a, b});
    const std::string keys = PutKeys(
        std::string(kLoadAndRun) +
        "<wait Select Baud>3<wait Select Command>d<wait Hit Return Key><cr><wait Select Command>"
        "t<wait T:Transfer(ESC:Abort)><esc><wait Select Command>"
        "r<wait Select Baud>4<wait Select Command>d<wait Select Command>"
        "q<wait Sure(Y/N) ? >n<wait Select Command>q<wait Sure(Y/N) ? >y");
    CMachineProcess machine(
        dir, {"--fast", "--tape", (dir / "tape.kxm").string(), "--link", link, "--keys", keys});
    ASSERT_TRUE(WaitForLink());

    CCommPort port;
    const CCommOpenArgs frame = CommOpenArgsFromDialog(0, kDefaultBaudIndex);
    ASSERT_TRUE(port.Open(link, BaudFlagFromRate(9600), frame.nDataBits, frame.nStopBits,
                          frame.nParity, frame.bXonXoff));
    ASSERT_GT(SendLoader(port, GetLoaderResource()), 0);
    std::string wire;
    std::vector<std::uint8_t> bytes;
    const int status = [&] {
        for (int i = 0; i < 6000; ++i) {
            port.TakeReceived(bytes);
            wire.append(bytes.begin(), bytes.end());
            if (const int s = machine.Wait(0s); s >= 0)
                return s;
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }();
    port.TakeReceived(bytes);
    wire.append(bytes.begin(), bytes.end());
    port.Close();

    const std::string out = machine.Out();
    EXPECT_EQ(status, 0) << machine.Err();
    EXPECT_EQ(machine.Err().find("error"), std::string::npos) << machine.Err();
    for (const char* text :
         {"Initializing...", "3:1200-Ex", "Found(Unknown)", "Read 257 Byte(s) Data",
          "Transfer Abort", "4:600-Ex", "Read 256 Byte(s) Data", "Sure(Y/N) ? N", "Sure(Y/N) ? Y"})
        EXPECT_NE(out.find(text), std::string::npos) << text << " in:\n" << out;
    // 257 bytes: 16 lines, the prompt, a 17th line; 256 bytes: 16 lines, no prompt.
    const std::regex dumpLine("[0-9A-F]{4}H : ");
    EXPECT_EQ(std::distance(std::sregex_iterator(out.begin(), out.end(), dumpLine),
                            std::sregex_iterator()),
              33);
    std::size_t prompts = 0;
    for (std::size_t at = 0; (at = out.find("Hit Return Key", at)) != std::string::npos; ++at)
        ++prompts;
    EXPECT_EQ(prompts, 1u);
    char last[16];
    std::snprintf(last, sizeof last, "0100H : %02X   ", a.m_data[256]);
    EXPECT_NE(out.find(last), std::string::npos) << "the 17th line holds the 257th byte alone";

    // The abort reached the line, and Relmuth keeps nothing of it.
    EXPECT_EQ(wire.rfind("\r\nCAS1\r\n0101\r\n", 0), 0u) << wire;
    EXPECT_NE(wire.find("\r\nABORT\r\n"), std::string::npos) << wire;
    std::size_t messages = 0;
    EXPECT_TRUE(Receive(wire, &messages).empty());
    EXPECT_EQ(messages, 0u);
}

// Every kind of block, each at its own speed, read by the virtual user and
// received by relmuth-tape on the other end of the line.
TEST_F(Pc88Tool, AutoTransfersEveryBlockExactly) {
    Bytes basic(10, 0xD3);
    for (char c : std::string("GREBE "))
        basic.push_back(static_cast<std::uint8_t>(c));
    for (std::uint8_t c : Bytes{0x0F, 0x80, 0x0A, 0x00, 0x91, 0x20, 0x22, 0x41, 0x22})
        basic.push_back(c);
    basic.insert(basic.end(), 10, 0x00);
    Bytes named{'$', '$', '$', 'M', 'C', 'O', 'D', 'E', '1'};
    for (std::uint8_t c :
         Bytes{':', 0xC0, 0x00, 0x40, ':', 0x03, 0x3E, 0x01, 0xC9, 0x00, ':', 0x00, 0x00})
        named.push_back(c);
    const std::vector<CTapeBlock> tape{
        {basic, 1200}, {named, 600}, {Pattern(40000, 3), 1200}, {Pattern(16, 4), 600}};
    PutTape(tape);
    CMachineProcess machine(
        dir, {"--fast", "--auto", "--tape", (dir / "tape.kxm").string(), "--link", link});
    ASSERT_TRUE(WaitForLink());
    const std::string received = (dir / "received.kxm").string();
    const std::string command = std::string("'") + RELMUTH_TAPE + "' receive '" + link + "' '" +
                                received + "' --send-loader --count 4 > '" +
                                (dir / "list").string() + "' 2> '" +
                                (dir / "receive-err").string() + "'";
    const int receiveStatus = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(receiveStatus), 0) << Slurp(dir / "receive-err");
    EXPECT_EQ(machine.Wait(), 0) << machine.Err() << machine.Out();

    const std::string image = Slurp(received);
    std::vector<CTapeBlock> blocks;
    ReadKxm({reinterpret_cast<const std::uint8_t*>(image.data()), image.size()}, blocks);
    ASSERT_EQ(blocks.size(), tape.size()) << machine.Out();
    for (std::size_t i = 0; i < tape.size(); ++i) {
        EXPECT_EQ(blocks[i].m_nBaud, tape[i].m_nBaud) << "block " << i;
        EXPECT_TRUE(blocks[i].m_data == tape[i].m_data) << "block " << i;
    }
}

// XOFF from Relmuth's side stops Grebe's output at once; XON lets it go on
// with nothing lost.
TEST_F(Pc88Tool, XoffHoldsTheTransferWithoutLoss) {
    const CTapeBlock block{Pattern(20000, 5), 1200};
    PutTape({block});
    const std::string keys =
        PutKeys(std::string(kLoadAndRun) + "<wait Select Baud>3<wait Select Command>t<wait "
                                           "Transfer Complete>q<wait Sure>y");
    CMachineProcess machine(
        dir, {"--fast", "--tape", (dir / "tape.kxm").string(), "--link", link, "--keys", keys});
    ASSERT_TRUE(WaitForLink());
    CRawFarEnd far(link);
    ASSERT_TRUE(far.IsOpen());
    const std::string loader = LoaderText();
    far.Write(Bytes(loader.begin(), loader.end()));

    std::string wire = far.Read(30s, "\r\nCAS1\r\n4E20\r\n");
    ASSERT_EQ(wire, "\r\nCAS1\r\n4E20\r\n");
    far.Write(Bytes{0x13});
    wire += far.Read(300ms); // what was under way when XOFF came
    const std::string held = far.Read(500ms);
    EXPECT_EQ(held, "") << "the line sent on after XOFF";
    EXPECT_LT(wire.size(), 40000u) << "the transfer was over before XOFF";
    far.Write(Bytes{0x11});
    for (int i = 0; i < 3000 && machine.Wait(0s) < 0; ++i)
        wire += far.Read(10ms);
    wire += far.Read(10ms);
    EXPECT_EQ(machine.Wait(), 0) << machine.Err();
    EXPECT_EQ(Receive(wire), std::vector<CTapeBlock>{block});
}

// A broken copy of the loader is refused with N88-BASIC's message and the
// line it stopped at; the machine ends with status 1.
TEST_F(Pc88Tool, BrokenLoaderIsRefusedWithItsLine) {
    const std::string loader = LoaderText();
    struct {
        std::string from, to, message;
    } const cases[] = {
        {"1110   POKE ADR", "1110   POKR ADR", "Syntax error in 1110"},
        {"1080 *MCPOKE\r\n", "", "Undefined line number in 1140"},
    };
    for (const auto& c : cases) {
        std::string broken = loader;
        const auto at = broken.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        broken.replace(at, c.from.size(), c.to);
        fs::remove(link);
        CMachineProcess machine(dir, {"--fast", "--link", link, "--keys", PutKeys(kLoadAndRun)});
        ASSERT_TRUE(WaitForLink());
        CRawFarEnd far(link);
        far.Write(Bytes(broken.begin(), broken.end()));
        EXPECT_EQ(machine.Wait(), 1) << c.message;
        EXPECT_NE(machine.Err().find(c.message), std::string::npos) << machine.Err();
    }
}

TEST_F(Pc88Tool, ArgumentsAndTapeFailures) {
    const auto run = [&](std::vector<std::string> args) {
        CMachineProcess machine(dir, std::move(args));
        return machine.Wait();
    };
    EXPECT_EQ(run({"--line-baud", "300"}), 2);
    EXPECT_EQ(run({"--tape-baud", "2400"}), 2);
    EXPECT_EQ(run({"--auto", "--keys", "x"}), 2);
    EXPECT_EQ(run({"--bogus"}), 2);
    EXPECT_EQ(run({"--tape", (dir / "missing.kxm").string(), "--link", link}), 1);
    std::ofstream((dir / "bad.kxm").string()) << "not a tape";
    EXPECT_EQ(run({"--tape", (dir / "bad.kxm").string(), "--link", link}), 1);
    EXPECT_EQ(run({"--version"}), 0);
    {
        CMachineProcess machine(dir, {"--version"});
        machine.Wait();
        EXPECT_NE(machine.Out().find("GPL-3.0-or-later"), std::string::npos);
    }
    // Standard input at its end types nothing more: the console ends, the
    // link goes with it.
    EXPECT_EQ(run({"--link", link}), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    // `--` ends the options; there are no other arguments to give.
    EXPECT_EQ(run({"--link", link, "--"}), 0);
    EXPECT_EQ(run({"--", "--fast"}), 2);
}

// A device that never ends is no key script: refused at once, before the
// machine takes all memory reading it.
TEST_F(Pc88Tool, KeyScriptLargerThanAnySessionIsRefused) {
    CMachineProcess machine(dir, {"--keys", "/dev/zero", "--link", link});
    EXPECT_EQ(machine.Wait(), 2);
    EXPECT_NE(machine.Err().find("the key script /dev/zero is larger than 1024 KiB"),
              std::string::npos)
        << machine.Err();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

// Keys that wait for a text that never comes: the machine runs until it is
// stopped.
constexpr const char* kWaitForEver = "<wait NEVER PRINTED>x";

// A second machine on the same link leaves the first one's port alone; a
// link left by a machine that is gone is taken over.
TEST_F(Pc88Tool, SecondMachineRefusesTheLinkOfARunningOne) {
    const std::string keys = PutKeys(kWaitForEver);
    CMachineProcess first(dir, {"--link", link, "--keys", keys});
    ASSERT_TRUE(WaitForLink());
    const std::string port = fs::read_symlink(link).string();
    const fs::path second = dir / "second";
    fs::create_directory(second);
    CMachineProcess other(second, {"--link", link, "--keys", keys});
    EXPECT_EQ(other.Wait(), 1);
    EXPECT_NE(
        other.Err().find(link + " is the port of another machine still running (" + port + ")"),
        std::string::npos)
        << other.Err();
    EXPECT_EQ(fs::read_symlink(link).string(), port) << "the first machine keeps its link";
    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(), 128 + SIGTERM);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));

    const std::string gone = (dir / "pts-gone").string(); // a port gone with its machine
    fs::create_symlink(gone, link);
    CMachineProcess third(second, {"--link", link, "--keys", keys});
    // The old link goes before the new one comes: wait for the new one.
    const auto linked = [&] {
        std::error_code ec;
        const fs::path to = fs::read_symlink(link, ec);
        return ec ? std::string() : to.string();
    };
    for (int i = 0; i < 2000 && (linked().empty() || linked() == gone); ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_NE(linked(), gone) << "a stale link is replaced";
    EXPECT_NE(linked(), "");
    third.Signal(SIGTERM);
    EXPECT_EQ(third.Wait(), 128 + SIGTERM) << third.Err();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

// Every signal that ends the machine leaves the terminal as it found it
// and takes the link away; the status says which signal it was.
TEST_F(Pc88Tool, SignalsRestoreTheTerminalAndRemoveTheLink) {
    const std::string keys = PutKeys(kWaitForEver);
    for (const int sig : {SIGQUIT, SIGUSR1, SIGHUP, SIGINT}) {
        CPtyPair terminal;
        termios before{};
        ASSERT_EQ(tcgetattr(terminal.Slave(), &before), 0);
        CMachineProcess machine(dir, {"--link", link, "--keys", keys}, terminal.SlavePath());
        ASSERT_TRUE(WaitForLink()) << sig;
        // Raw once the machine has taken the terminal; its screen is read
        // off so that it never waits for the terminal.
        termios during{};
        for (int i = 0; i < 2000; ++i) {
            terminal.Read(4096, 5ms);
            tcgetattr(terminal.Slave(), &during);
            if ((during.c_lflag & ICANON) == 0)
                break;
        }
        ASSERT_EQ(during.c_lflag & ICANON, 0u) << sig;
        machine.Signal(sig);
        int status = -1;
        for (int i = 0; i < 2000 && status < 0; ++i) {
            terminal.Read(4096, 5ms);
            status = machine.Wait(0s);
        }
        EXPECT_EQ(status, 128 + sig) << sig;
        termios after{};
        ASSERT_EQ(tcgetattr(terminal.Slave(), &after), 0);
        EXPECT_EQ(after.c_lflag, before.c_lflag) << sig;
        EXPECT_EQ(after.c_iflag, before.c_iflag) << sig;
        EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << sig;
    }
}

} // namespace
