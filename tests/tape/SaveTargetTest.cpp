// SPDX-License-Identifier: GPL-3.0-or-later
// What a save does to the thing its name stands for: terminals and FIFOs are
// written as they are, links are written through, hard links and owners get
// what the writer promises. (Permissions that only bind a user other than
// root are tried through relmuth-tape, in the tool tests.)
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "../serial/PtyPair.h"
#include "TapeTestUtil.h"
#include "tape/KxmFormat.h"
#include "tape/RelmuthDoc.h"
#include "tests/ScratchFolder.h"

namespace fs = std::filesystem;

namespace {

class SaveTarget : public testing::Test {
  protected:
    void SetUp() override {
        dir = MakeScratchFolder("relmuth-save");
        doc.ReplaceTape(
            {Block(Concat({BasicHeader(), Pattern(3000)}), 1200), Block(Bytes({0x3A, 1, 2}), 600)});
        CMemoryArchive ar(image);
        WriteKxm(doc.m_blocks, ar);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string P(const std::string& name) const { return (dir / name).string(); }
    void Put(const std::string& name, const std::string& bytes) const {
        std::ofstream(P(name), std::ios::binary) << bytes;
    }
    ByteArray Get(const std::string& name) const {
        std::ifstream in(P(name), std::ios::binary);
        return ByteArray(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::string> Names(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Reads from fd until it ends, nMax bytes came, or nothing came for a while.
    static ByteArray Drain(int fd, std::size_t nMax = SIZE_MAX) {
        ByteArray got;
        pollfd p{fd, POLLIN, 0};
        while (got.size() < nMax && ::poll(&p, 1, 5000) > 0) {
            std::uint8_t buf[4096];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }

    fs::path dir;
    CRelmuthDoc doc;
    ByteArray image; // the tape as KXM
};

TEST_F(SaveTarget, TerminalBehindALinkGetsTheBytesAndStaysATerminal) {
    CPtyPair pty;
    termios raw{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &raw), 0);
    cfmakeraw(&raw); // no line-end translation on the way
    ASSERT_EQ(tcsetattr(pty.Slave(), TCSANOW, &raw), 0);
    fs::create_symlink(pty.SlavePath(), P("tty.kxm"));

    ASSERT_TRUE(doc.OnSaveDocument(P("tty.kxm")));
    EXPECT_EQ(Drain(pty.Master(), image.size()), image);
    EXPECT_TRUE(fs::is_character_file(pty.SlavePath()));
    EXPECT_TRUE(fs::is_symlink(P("tty.kxm")));
    EXPECT_EQ(Names(dir), std::vector<std::string>{"tty.kxm"});
}

TEST_F(SaveTarget, FifoGetsTheBytesAndStaysAFifo) {
    ASSERT_EQ(::mkfifo(P("f.kxm").c_str(), 0600), 0);
    const int reader = ::open(P("f.kxm").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    // The tape is larger than a FIFO holds, so the reader takes it as it comes.
    doc.AppendBlock(Block(Pattern(200000), 600));
    ByteArray expected;
    CMemoryArchive ar(expected);
    WriteKxm(doc.m_blocks, ar);
    ByteArray got;
    std::thread drain([&] { got = Drain(reader); });
    EXPECT_TRUE(doc.OnSaveDocument(P("f.kxm")));
    drain.join();
    ::close(reader);
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(fs::is_fifo(P("f.kxm")));
    EXPECT_EQ(Names(dir), std::vector<std::string>{"f.kxm"});
}

TEST_F(SaveTarget, LinksAreWrittenThroughAndStayLinks) {
    fs::create_directories(dir / "sub");
    // A link to a file that exists, and a chain of two relative links to a
    // name in another folder that does not exist yet.
    Put("sub/old.kxm", "old");
    fs::create_symlink("sub/old.kxm", P("to-old.kxm"));
    fs::create_symlink("sub/hop.kxm", P("dangling.kxm"));
    fs::create_symlink("new.kxm", dir / "sub" / "hop.kxm");

    ASSERT_TRUE(doc.OnSaveDocument(P("to-old.kxm")));
    ASSERT_TRUE(doc.OnSaveDocument(P("dangling.kxm")));
    EXPECT_EQ(Get("sub/old.kxm"), image);
    EXPECT_EQ(Get("sub/new.kxm"), image);
    EXPECT_TRUE(fs::is_symlink(P("to-old.kxm")));
    EXPECT_TRUE(fs::is_symlink(P("dangling.kxm")));
    EXPECT_TRUE(fs::is_symlink(dir / "sub" / "hop.kxm"));
    EXPECT_EQ(Names(dir / "sub"), (std::vector<std::string>{"hop.kxm", "new.kxm", "old.kxm"}));

    // A chain that never ends is refused without writing anything.
    fs::create_symlink("loop-b.kxm", P("loop-a.kxm"));
    fs::create_symlink("loop-a.kxm", P("loop-b.kxm"));
    EXPECT_FALSE(doc.OnSaveDocument(P("loop-a.kxm")));
    EXPECT_TRUE(fs::is_symlink(P("loop-a.kxm")));
}

TEST_F(SaveTarget, HardLinkedFileIsReplacedUnderTheSavedNameOnly) {
    Put("tape.kxm", "old tape");
    fs::create_hard_link(P("tape.kxm"), P("backup.kxm"));
    ASSERT_TRUE(doc.OnSaveDocument(P("tape.kxm")));
    EXPECT_EQ(Get("tape.kxm"), image);
    EXPECT_EQ(Get("backup.kxm"), Bytes("old tape"));
    EXPECT_EQ(fs::hard_link_count(P("tape.kxm")), 1u);
}

TEST_F(SaveTarget, OwnerGroupAndPermissionsOfTheOldFileAreKept) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another owner";
    Put("theirs.kxm", "old");
    ASSERT_EQ(::chown(P("theirs.kxm").c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(P("theirs.kxm").c_str(), 02640), 0);
    ASSERT_TRUE(doc.OnSaveDocument(P("theirs.kxm")));
    struct stat st {};
    ASSERT_EQ(::stat(P("theirs.kxm").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 02640u);
    EXPECT_EQ(Get("theirs.kxm"), image);
}

} // namespace
