// SPDX-License-Identifier: GPL-3.0-or-later
// relmuth-tape receive over a pseudo-terminal: the test plays the PC-8801
// and sends transfers made here from bytes of its own, then reads the tape.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "PtyPair.h"
#include "WaitFor.h"
#include "res/Strings.h"
#include "tape/KxmFormat.h"
#include "tape/TapeBlock.h"
#include "tests/ScratchFolder.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<CTapeBlock> ReadTape(const fs::path& path) {
    const std::string bytes = ReadFile(path);
    std::vector<CTapeBlock> blocks;
    ReadKxm({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, blocks);
    return blocks;
}

CTapeBlock RandomBlock(std::size_t size, int baud, unsigned seed) {
    std::mt19937 gen(seed);
    CTapeBlock b;
    for (std::size_t i = 0; i < size; ++i)
        b.m_data.push_back(static_cast<std::uint8_t>(gen()));
    b.m_nBaud = baud;
    return b;
}

// The loader's form: an empty line, the header, four hex digits of count,
// 16 bytes a line, the checksum; CR LF after each.
std::string TransferText(const CTapeBlock& block, int checksumError = 0) {
    char buf[8];
    std::string t = "\r\n";
    t += block.m_nBaud == 600 ? "CAS2\r\n" : "CAS1\r\n";
    std::snprintf(buf, sizeof buf, "%04zX\r\n", block.m_data.size());
    t += buf;
    unsigned sum = 0;
    for (std::size_t i = 0; i < block.m_data.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02X", block.m_data[i]);
        t += buf;
        sum += block.m_data[i];
        if (i % 16 == 15 || i + 1 == block.m_data.size())
            t += "\r\n";
    }
    std::snprintf(buf, sizeof buf, "%02X\r\n", (sum + checksumError) & 0xFF);
    return t + buf;
}

// relmuth-tape run in the background with its output in files.
class CToolProcess {
  public:
    // Another program (a shell, say) in place of relmuth-tape.
    CToolProcess(const std::vector<std::string>& args, const fs::path& dir,
                 const std::string& name = "tool", const std::string& program = RELMUTH_TAPE)
        : m_out(dir / (name + ".out")), m_err(dir / (name + ".err")) {
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> raw;
        for (std::string& a : argv)
            raw.push_back(a.data());
        raw.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, raw.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CToolProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    CToolProcess(const CToolProcess&) = delete;
    CToolProcess& operator=(const CToolProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    void Signal(int sig) { kill(m_pid, sig); }

    // The exit status, or -1 if it did not end in time (it is then killed)
    // or ended by a signal.
    int Wait(std::chrono::milliseconds limit = kPatience) {
        int raw = 0;
        const bool ended = WaitFor([&] { return waitpid(m_pid, &raw, WNOHANG) == m_pid; }, limit);
        if (!ended)
            return -1;
        m_pid = -1;
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    std::string Out() const { return ReadFile(m_out); }
    std::string Err() const { return ReadFile(m_err); }
    std::size_t OutLines() const {
        const std::string out = Out();
        return static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n'));
    }

  private:
    pid_t m_pid = -1;
    fs::path m_out, m_err;
};

class ReceiveCommand : public testing::Test {
  protected:
    void SetUp() override { m_dir = MakeScratchFolder("relmuth-receive"); }
    void TearDown() override { fs::remove_all(m_dir); }

    // Starts the capture and waits until it has the line set up, so that
    // nothing is sent to a line still in its cooked mode.
    std::unique_ptr<CToolProcess> Start(std::vector<std::string> extra) {
        std::vector<std::string> args{"receive", m_pty.SlavePath(), Out().string()};
        args.insert(args.end(), extra.begin(), extra.end());
        auto tool = std::make_unique<CToolProcess>(args, m_dir);
        EXPECT_TRUE(tool->Started());
        EXPECT_TRUE(WaitFor([&] {
            termios t{};
            return tcgetattr(m_pty.Slave(), &t) == 0 && !(t.c_lflag & ICANON);
        }));
        return tool;
    }

    fs::path Out() const { return m_dir / "capture.kxm"; }

    fs::path m_dir;
    CPtyPair m_pty;
};

TEST_F(ReceiveCommand, TwoTransfersBecomeTwoBlocksSavedAndListed) {
    const CTapeBlock fast = RandomBlock(300, 1200, 7);
    const CTapeBlock slow = RandomBlock(17, 600, 8);
    auto tool = Start({"--baud", "19200", "--count", "2"});
    ASSERT_TRUE(m_pty.Write(TransferText(fast)));
    // Saved before the next block comes.
    ASSERT_TRUE(WaitFor([&] { return tool->OutLines() == 1; }));
    EXPECT_EQ(ReadTape(Out()), std::vector<CTapeBlock>{fast});
    ASSERT_TRUE(m_pty.Write(TransferText(slow)));

    EXPECT_EQ(tool->Wait(), 0) << tool->Err();
    EXPECT_EQ(ReadTape(Out()), (std::vector<CTapeBlock>{fast, slow}));
    EXPECT_EQ(tool->Err(), "");

    // The lines are those of `list`.
    CToolProcess list({"list", Out().string()}, m_dir, "list");
    ASSERT_EQ(list.Wait(), 0);
    EXPECT_EQ(list.Out(), tool->Out());
    EXPECT_EQ(tool->OutLines(), 2u);
}

TEST_F(ReceiveCommand, LargestLoaderBlockArrivesExactly) {
    // Four hex digits of count: 65535 bytes, about 140 KB of text, many
    // times what the line's input buffer holds.
    const CTapeBlock largest = RandomBlock(0xFFFF, 600, 40);
    auto tool = Start({"--count", "1", "--baud", "1200"});
    ASSERT_TRUE(m_pty.Write(TransferText(largest), 60s));
    EXPECT_EQ(tool->Wait(60s), 0) << tool->Err();
    EXPECT_TRUE(ReadTape(Out()) == std::vector<CTapeBlock>{largest});
}

TEST_F(ReceiveCommand, BadChecksumGivesItsMessageAndNoBlock) {
    const CTapeBlock bad = RandomBlock(40, 1200, 11);
    const CTapeBlock good = RandomBlock(5, 1200, 12);
    auto tool = Start({"--count", "1"});
    ASSERT_TRUE(m_pty.Write(TransferText(bad, 1) + TransferText(good)));
    EXPECT_EQ(tool->Wait(), 0);
    EXPECT_EQ(ReadTape(Out()), std::vector<CTapeBlock>{good});
    EXPECT_EQ(tool->Err(), std::string(res::LoadString(res::IDS_RECV_BAD_CHECKSUM)) + "\n");
}

TEST_F(ReceiveCommand, StopSignalEndsCleanlyAndAddsToAnExistingTape) {
    for (const int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        const CTapeBlock old = RandomBlock(3, 600, 20);
        {
            ByteArray image;
            CMemoryArchive ar(image);
            WriteKxm({old}, ar);
            std::ofstream(Out(), std::ios::binary)
                .write(reinterpret_cast<const char*>(image.data()),
                       static_cast<std::streamsize>(image.size()));
        }
        const CTapeBlock received = RandomBlock(64, 1200, 21);
        auto tool = Start({});
        // A whole transfer, then half of the next: only the whole one is kept.
        ASSERT_TRUE(m_pty.Write(TransferText(received) + "\r\nCAS1\r\n0010\r\n0102"));
        ASSERT_TRUE(WaitFor([&] { return tool->OutLines() == 1; }));
        EXPECT_EQ(tool->Out().substr(0, 2), "1\t");
        tool->Signal(sig);
        EXPECT_EQ(tool->Wait(), 0);
        EXPECT_EQ(ReadTape(Out()), (std::vector<CTapeBlock>{old, received}));
        // The line is given back as it was found.
        termios t{};
        ASSERT_EQ(tcgetattr(m_pty.Slave(), &t), 0);
        EXPECT_TRUE(t.c_lflag & ICANON);
    }
}

TEST_F(ReceiveCommand, StopSignalRightAfterACompleteTransferStillStoresIt) {
    // The signal comes while the transfer's bytes are still on their way
    // through the line and the port.
    for (unsigned attempt = 0; attempt < 5; ++attempt) {
        SCOPED_TRACE(attempt);
        fs::remove(Out());
        const CTapeBlock block = RandomBlock(500, 1200, 50 + attempt);
        auto tool = Start({});
        ASSERT_TRUE(m_pty.Write(TransferText(block)));
        tool->Signal(SIGTERM);
        EXPECT_EQ(tool->Wait(), 0) << tool->Err();
        EXPECT_EQ(ReadTape(Out()), std::vector<CTapeBlock>{block});
        EXPECT_EQ(tool->OutLines(), 1u);
    }
}

TEST_F(ReceiveCommand, LostLineEndsWithStatus1KeepingWhatWasStored) {
    const CTapeBlock first = RandomBlock(33, 1200, 30);
    auto tool = Start({});
    ASSERT_TRUE(m_pty.Write(TransferText(first)));
    ASSERT_TRUE(WaitFor([&] { return tool->OutLines() == 1; }));
    m_pty.CloseMaster();
    EXPECT_EQ(tool->Wait(), 1);
    EXPECT_NE(tool->Err().find(res::LoadString(res::IDS_PORT_LOST)), std::string::npos);
    EXPECT_EQ(ReadTape(Out()), std::vector<CTapeBlock>{first});
}

TEST_F(ReceiveCommand, WrongArgumentsAndUnusablePortsOrTapes) {
    struct Row {
        std::vector<std::string> args;
        int status;
    } rows[] = {
        {{"receive", m_pty.SlavePath()}, 2},
        {{"receive", m_pty.SlavePath(), Out().string(), "--count", "0"}, 2},
        {{"receive", m_pty.SlavePath(), Out().string(), "--count"}, 2},
        {{"receive", m_pty.SlavePath(), Out().string(), "--baud", "300"}, 2},
        {{"receive", "/dev/relmuth-no-such-port", Out().string()}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.back());
        CToolProcess tool(row.args, m_dir);
        EXPECT_EQ(tool.Wait(), row.status);
        EXPECT_NE(tool.Err(), "");
        EXPECT_FALSE(fs::exists(Out()));
    }

    // A tape that cannot be read is neither received into nor replaced.
    std::ofstream(Out(), std::ios::binary) << "not a tape image";
    CToolProcess tool({"receive", m_pty.SlavePath(), Out().string()}, m_dir);
    EXPECT_EQ(tool.Wait(), 1);
    EXPECT_EQ(ReadFile(Out()), "not a tape image");
}

// A standard output that goes away (`| head -c 0`) ends nothing: it is
// reported once, and every block is still saved into OUT.
TEST_F(ReceiveCommand, ClosedStandardOutputIsReportedOnceAndTheCaptureGoesOn) {
    const std::vector<CTapeBlock> blocks{RandomBlock(20, 1200, 60), RandomBlock(30, 600, 61),
                                         RandomBlock(40, 1200, 62)};
    const std::string command =
        std::string("'") + RELMUTH_TAPE + "' receive '" + m_pty.SlavePath() + "' '" +
        Out().string() + "' --count 3 2> '" + (m_dir / "err").string() +
        "' | head -c 0; echo ${PIPESTATUS[0]} > '" + (m_dir / "status").string() + "'";
    CToolProcess shell({"-c", command}, m_dir, "shell", "/bin/bash");
    ASSERT_TRUE(WaitFor([&] {
        termios t{};
        return tcgetattr(m_pty.Slave(), &t) == 0 && !(t.c_lflag & ICANON);
    }));
    std::string text;
    for (const CTapeBlock& block : blocks)
        text += TransferText(block);
    ASSERT_TRUE(m_pty.Write(text));
    EXPECT_EQ(shell.Wait(), 0);
    EXPECT_EQ(ReadTape(Out()), blocks);
    EXPECT_EQ(ReadFile(m_dir / "err"),
              "relmuth-tape: write error on standard output: Broken pipe\n");
    EXPECT_EQ(ReadFile(m_dir / "status"), "1\n");
}

// OUT is judged before anything is sent or received: a recording is never
// written over, one that cannot be written is refused, and so is a tape
// the user may not write. The PC-8801 is not even sent the loader.
TEST_F(ReceiveCommand, UnsuitableOutIsRefusedBeforeAnythingIsSent) {
    const bool asRoot = ::geteuid() == 0;
    const fs::path locked = m_dir / "locked.kxm";
    {
        ByteArray image;
        CMemoryArchive ar(image);
        WriteKxm({RandomBlock(3, 600, 70)}, ar);
        std::ofstream(locked, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()),
                   static_cast<std::streamsize>(image.size()));
    }
    // The user's recordings, good to decode and open to anyone: a WAV file,
    // and the same bytes under a FLAC name (libsndfile reads them by content).
    const fs::path recording = m_dir / "side-a.WAV";
    const fs::path flac = m_dir / "side-b.flac";
    ASSERT_EQ(
        CToolProcess({"convert", locked.string(), recording.string()}, m_dir, "convert").Wait(), 0);
    fs::copy_file(recording, flac);
    const std::string recorded = ReadFile(recording);
    for (const fs::path& file : {recording, flac})
        fs::permissions(file, fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec |
                                                 fs::perms::others_exec));
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string lockedBefore = ReadFile(locked);
    // Root may write any file: the capture then runs as nobody, who may use
    // the line and the folder but not the file.
    if (asRoot) {
        ASSERT_EQ(::fchmod(m_pty.Slave(), 0666), 0);
        fs::permissions(m_dir, fs::perms::all);
    }
    const std::string saveFailed(res::LoadString(res::AFX_IDP_FAILED_TO_SAVE_DOC));
    struct Row {
        fs::path out;
        std::string err;
    } const rows[] = {
        {recording, std::string(res::LoadString(res::IDS_RECORDING_NOT_OUT)) + " (" +
                        recording.string() + ")\n"},
        {flac,
         saveFailed + " (" + std::string(res::LoadString(res::IDS_RECORDING_WAV_ONLY)) + ")\n"},
        {locked, saveFailed + " (" + locked.string() + ": " +
                     std::string(res::LoadString(res::IDS_REASON_PERMISSION)) + ")\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.out);
        std::vector<std::string> args{"receive", m_pty.SlavePath(), row.out.string(),
                                      "--send-loader"};
        std::string program = RELMUTH_TAPE;
        if (asRoot) {
            args.insert(args.begin(),
                        {"--reuid=65534", "--regid=65534", "--clear-groups", RELMUTH_TAPE});
            program = "/usr/bin/setpriv";
        }
        CToolProcess tool(args, m_dir, "tool", program);
        EXPECT_EQ(tool.Wait(), 1);
        EXPECT_EQ(tool.Err(), row.err);
        EXPECT_TRUE(m_pty.Read(1, 300ms).empty()) << "something was sent";
    }
    EXPECT_EQ(ReadFile(recording), recorded);
    EXPECT_EQ(ReadFile(flac), recorded);
    EXPECT_EQ(ReadFile(locked), lockedBefore);
}

// A save that SIGINT or SIGTERM ends takes its temporary file with it; the
// signal still ends the program.
TEST_F(ReceiveCommand, ConvertStoppedMidSaveLeavesNoTemporaryFile) {
    // An hour of silence: a WAV file of 317 MB, long enough to stop halfway.
    std::string image("PC-8801 Tape Image(KXM)\0", 24);
    for (const unsigned v : {0x0001u, 2u, 0x0100u, 0x0102u, 8u, 0u, 0u})
        image += {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    const std::uint32_t ticks = 3600 * 4800;
    image += {static_cast<char>(ticks & 0xFF),
              static_cast<char>((ticks >> 8) & 0xFF),
              static_cast<char>((ticks >> 16) & 0xFF),
              static_cast<char>(ticks >> 24),
              0,
              0,
              0,
              0};
    std::ofstream(m_dir / "hour.kxm", std::ios::binary) << image;
    for (const int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        const fs::path out = m_dir / "hour.wav";
        const auto temporary = [&] {
            for (const auto& entry : fs::directory_iterator(m_dir))
                if (entry.path().filename().string().starts_with(".hour.wav."))
                    return true;
            return false;
        };
        CToolProcess tool({"convert", (m_dir / "hour.kxm").string(), out.string()}, m_dir);
        ASSERT_TRUE(WaitFor(temporary));
        tool.Signal(sig);
        EXPECT_EQ(tool.Wait(), -1) << "ended by the signal";
        EXPECT_FALSE(temporary());
        EXPECT_FALSE(fs::exists(out));
    }
}

} // namespace
