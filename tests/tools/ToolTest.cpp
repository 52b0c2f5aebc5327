// SPDX-License-Identifier: GPL-3.0-or-later
// relmuth-tape as a user runs it: arguments in, standard output, standard
// error and exit status out.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "../serial/PtyPair.h"
#include "loader/LoaderText.h"
#include "tape/BlockText.h"
#include "tape/KxmFormat.h"

namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class Tool : public testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("relmuth-tool-" + std::to_string(::getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string P(const std::string& name) const { return (dir / name).string(); }

    void Put(const std::string& name, const std::string& bytes) const {
        std::ofstream(P(name), std::ios::binary) << bytes;
    }
    std::string Get(const std::string& name) const {
        std::ifstream in(P(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void PutTape(const std::string& name, const std::vector<CTapeBlock>& blocks) const {
        ByteArray bytes;
        CMemoryArchive ar(bytes);
        WriteKxm(blocks, ar);
        Put(name, std::string(bytes.begin(), bytes.end()));
    }

    Result Run(std::initializer_list<std::string> args, const std::string& input = {}) const {
        std::string command = Quote(RELMUTH_TAPE);
        for (const std::string& a : args)
            command += " " + Quote(a);
        Put("stdin", input);
        command +=
            " < " + Quote(P("stdin")) + " > " + Quote(P("stdout")) + " 2> " + Quote(P("stderr"));
        const int raw = std::system(command.c_str());
        return Result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Get("stdout"), Get("stderr")};
    }

    fs::path dir;
};

CTapeBlock B(std::initializer_list<int> bytes, int baud) {
    CTapeBlock b;
    for (int v : bytes)
        b.m_data.push_back(static_cast<std::uint8_t>(v));
    b.m_nBaud = baud;
    return b;
}

TEST_F(Tool, ListPrintsOneTabSeparatedLinePerBlock) {
    CTapeBlock basic =
        B({0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 'G', 'A', 'M', 'E',
           0x01, 'X',  0,    0,    0,    0,    0,    0,    0,    0,    0,   0,   0,   0},
          1200);
    CTapeBlock named = B({'$', '$', '$', 0xB1, 0xB2, 0xB3, 0x00, 'A', 'B'}, 600);
    CTapeBlock data = B({0x9C, 0x9C, 0x9C, 0x9C, 0x9C, 0x9C, 'D'}, 600);
    PutTape("t.kxm", {B({0x3A, 0, 0}, 600), data, B({}, 1200)});
    const Result r = Run({"list", P("t.kxm")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "0\t600\t3\tMachine Code\t\n1\t600\t7\tData\t\n2\t1200\t0\tUnknown\t\n");
    EXPECT_EQ(r.err, "");

    // Headers are stored apart from their bodies and joined again on reading,
    // so list them from a raw image, which keeps them as they are.
    ByteArray raw = basic.m_data;
    raw.insert(raw.end(), named.m_data.begin(), named.m_data.end());
    Put("t.cmt", std::string(raw.begin(), raw.end()));
    EXPECT_EQ(Run({"list", P("t.cmt")}).out, "0\t600\t28\tBasic\tGAME.X\n1\t600\t9\tMachine "
                                             "Code\t\xEF\xBD\xB1\xEF\xBD\xB2\xEF\xBD\xB3\n");
}

TEST_F(Tool, ConvertFollowsTheExtensionsBothWays) {
    PutTape("in.kxm", {B({1, 2, 3}, 1200), B({':', 9, 9, 9}, 600)});
    ASSERT_EQ(Run({"convert", P("in.kxm"), P("out.CAS")}).status, 0);
    EXPECT_EQ(Get("out.CAS"), std::string("\x01\x02\x03:\x09\x09\x09"));
    ASSERT_EQ(Run({"convert", P("out.CAS"), P("back.kxm")}).status, 0);
    EXPECT_EQ(Run({"list", P("back.kxm")}).out,
              "0\t600\t3\tUnknown\t\n1\t600\t4\tMachine Code\t\n");
}

TEST_F(Tool, TextPrintsOneBlockOrAll) {
    const std::vector<CTapeBlock> tape{B({0x3A, 0, 0}, 600), B({1, 2, 0xFF}, 1200)};
    PutTape("t.kxm", tape);
    EXPECT_EQ(Run({"text", P("t.kxm"), "1"}).out, "CAS1\r\n0003\r\n0102FF\r\n02\r\n");
    EXPECT_EQ(Run({"text", P("t.kxm")}).out, GetBlockText(tape[0]) + GetBlockText(tape[1]));
    const Result missing = Run({"text", P("t.kxm"), "2"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(Run({"text", P("t.kxm"), "x"}).status, 2);
}

TEST_F(Tool, ImportReceivesLikeThePortAndReportsEveryMessageInOrder) {
    const std::string text = "\r\nCAS1\r\n0003\r\n0102FF\r\n02\r\n" // good
                             "\r\nCAS2\r\n0003 \r\n"                // bad count
                             "\r\nCAS2\r\n0002\r\n01GG\r\n"         // bad data
                             "\r\nCAS2\r\n1\r\n07\r\n08\r\n"        // bad checksum
                             "\r\nCAS2\r\n1\r\nABORT\r\n"           // silent
                             "\r\ncas2\r\n2\r\n0A0B\r\n15\r\n";     // good, slow
    Put("in.txt", text);
    const Result r = Run({"import", P("in.txt"), P("out.cmt")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "エラー：長さ情報が不正でおさる\n"
                     "エラー：データが不正でおさる\n"
                     "エラー：チェックサムが不正でおさる\n");
    EXPECT_EQ(Get("out.cmt"), std::string("\x01\x02\xFF\x0A\x0B"));
    // From standard input, into a KXM image.
    const Result fromStdin = Run({"import", "-", P("out.kxm")}, text);
    EXPECT_EQ(fromStdin.status, 0);
    EXPECT_EQ(Run({"list", P("out.kxm")}).out, "0\t1200\t3\tUnknown\t\n1\t600\t2\tUnknown\t\n");
}

// A tape played into a recording and read back, at both speeds; a
// recording read at the wrong forced speed is written all the same, with
// exit status 3 and every doubtful byte on standard error.
TEST_F(Tool, RecordingsConvertBothWaysAndDamageExitsWithThree) {
    const std::vector<CTapeBlock> tape{B({':', 0x9C, 0x3A, 0, 0xFF}, 600),
                                       B({1, 2, 3, 0x3A}, 1200)};
    PutTape("in.kxm", tape);
    ASSERT_EQ(Run({"convert", P("in.kxm"), P("tape.WAV")}).status, 0);
    const Result back = Run({"convert", P("tape.WAV"), P("back.kxm")});
    EXPECT_EQ(back.status, 0);
    EXPECT_EQ(back.err, "");
    EXPECT_EQ(Get("back.kxm"), Get("in.kxm"));
    EXPECT_EQ(Run({"list", P("tape.WAV"), "--channel", "left"}).out,
              "0\t600\t5\tMachine Code\t\n1\t1200\t4\tUnknown\t\n");

    const Result forced = Run({"convert", "--baud", "600", P("tape.WAV"), P("forced.cas")});
    EXPECT_EQ(forced.status, 3);
    EXPECT_NE(forced.err.find("ブロック 1、0 バイト目 (録音の 0:"), std::string::npos)
        << forced.err;
    EXPECT_FALSE(Get("forced.cas").empty());

    EXPECT_EQ(Run({"convert", P("tape.WAV"), P("x.kxm"), "--baud", "300"}).status, 2);
    EXPECT_EQ(Run({"list", P("tape.WAV"), "--channel"}).status, 2);
}

TEST_F(Tool, NotSoundNamedWavFailsAndLeavesTheOutputAlone) {
    Put("letter.wav", "RIFF? no, just a letter.\n");
    Put("out.kxm", "precious");
    const Result r = Run({"convert", P("letter.wav"), P("out.kxm")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "予期しないﾌｧｲﾙ形式です。\n");
    EXPECT_EQ(Get("out.kxm"), "precious");
}

TEST_F(Tool, UnreadableInputFailsAndLeavesTheOutputAlone) {
    Put("out.kxm", "precious");
    const Result missing = Run({"convert", P("none.kxm"), P("out.kxm")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.starts_with("ﾄﾞｷｭﾒﾝﾄを開くことに失敗しました。")) << missing.err;
    EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos);

    Put("bad.kxm", std::string("PC-8801 Tape Image(KXN)\0\0\0\0\0", 28));
    const Result bad = Run({"convert", P("bad.kxm"), P("out.kxm")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "予期しないﾌｧｲﾙ形式です。\n");
    EXPECT_EQ(Run({"list", P("bad.kxm")}).status, 1);
    EXPECT_EQ(Run({"import", P("none.txt"), P("out.kxm")}).status, 1);
    EXPECT_EQ(Get("out.kxm"), "precious");
}

TEST_F(Tool, UnwritableOutputFailsWithTheSaveMessage) {
    PutTape("in.kxm", {B({1}, 600)});
    const Result r = Run({"convert", P("in.kxm"), P("no/such/dir/out.kxm")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("ﾄﾞｷｭﾒﾝﾄの保存に失敗しました。")) << r.err;
}

TEST_F(Tool, EmptyFileIsAnEmptyTape) {
    Put("empty.cmt", "");
    const Result r = Run({"list", P("empty.cmt")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

TEST_F(Tool, WrongArgumentsExitWithTwo) {
    EXPECT_EQ(Run({}).status, 2);
    EXPECT_EQ(Run({"frobnicate"}).status, 2);
    EXPECT_EQ(Run({"list"}).status, 2);
    EXPECT_EQ(Run({"convert", "a"}).status, 2);
    const Result help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("list FILE"), std::string::npos);
    EXPECT_EQ(Run({"--version"}).out,
              "relmuth-tape (Relmuth) 1.0.2.3\nLicense GPL-3.0-or-later: GNU GPL version 3 or "
              "later <https://gnu.org/licenses/gpl.html>\n");
}

TEST_F(Tool, LoaderPrintsTheTextThatIsSent) {
    const auto text = GetLoaderResource();
    const Result r = Run({"loader"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(text.begin(), text.end()));
}

TEST_F(Tool, SendLoaderPutsTheLoaderOnTheLine) {
    CPtyPair pty;
    const auto text = GetLoaderResource();
    Result r{};
    std::thread sender([&] { r = Run({"send-loader", pty.SlavePath(), "--baud", "19200"}); });
    const auto got = pty.Read(text.size(), std::chrono::seconds(30));
    sender.join();
    EXPECT_EQ(got, std::vector<std::uint8_t>(text.begin(), text.end()));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("100%"), std::string::npos) << r.err;
}

TEST_F(Tool, SendLoaderRefusesAMissingPortAndABadSpeed) {
    const Result missing = Run({"send-loader", P("no-such-tty")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.starts_with("指定されたポートは使えまへんがな(;_;)")) << missing.err;
    EXPECT_EQ(Run({"send-loader", P("no-such-tty"), "--baud", "300"}).status, 2);
}

} // namespace
