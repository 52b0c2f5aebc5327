// SPDX-License-Identifier: GPL-3.0-or-later
// relmuth-tape as a user runs it: arguments in, standard output, standard
// error and exit status out.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "../serial/PtyPair.h"
#include "../serial/WaitFor.h"
#include "loader/LoaderText.h"
#include "res/Strings.h"
#include "tape/BlockText.h"
#include "tape/KxmFormat.h"
#include "tape/TapeRecords.h"
#include "tests/ScratchFolder.h"

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
    void SetUp() override { dir = MakeScratchFolder("relmuth-tool"); }
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
        return RunShell(Command(args), input);
    }

    // The tool with its arguments, quoted for the shell.
    static std::string Command(std::initializer_list<std::string> args) {
        std::string command = Quote(RELMUTH_TAPE);
        for (const std::string& a : args)
            command += " " + Quote(a);
        return command;
    }

    // A shell command line (pipes, ulimit...) with standard input, output
    // and error in files; 128 + n when it ended by signal n.
    Result RunShell(const std::string& line, const std::string& input = {},
                    const std::string& stdoutFile = "stdout") const {
        Put("stdin", input);
        Put("stdout", "");
        const std::string command = "(" + line + ") < " + Quote(P("stdin")) + " > " +
                                    Quote(stdoutFile == "stdout" ? P("stdout") : stdoutFile) +
                                    " 2> " + Quote(P("stderr"));
        const int raw = std::system(command.c_str());
        return Result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Get("stdout"), Get("stderr")};
    }

    // Permissions do not bind root: when the tests run as root, the tool is
    // run as nobody, and the folder and the files it may write are given to
    // nobody first.
    static bool AsRoot() { return ::geteuid() == 0; }
    static std::string AsUser(const std::string& command) {
        return AsRoot() ? "setpriv --reuid=65534 --regid=65534 --clear-groups " + command : command;
    }
    void GiveToUser(const std::string& name) const {
        if (AsRoot()) {
            ASSERT_EQ(::chown(P(name).c_str(), 65534, 65534), 0) << name;
        }
    }

    // No temporary file is left beside the tapes.
    bool NoTemporaryFiles(const fs::path& folder) const {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().filename().string().ends_with(".tmp"))
                return false;
        }
        return true;
    }

    fs::path dir;
};

const std::string kOpenFailed = "ﾄﾞｷｭﾒﾝﾄを開くことに失敗しました。";
const std::string kSaveFailed = "ﾄﾞｷｭﾒﾝﾄの保存に失敗しました。";

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
    // KXM to T88 and back keeps every block and its speed.
    ASSERT_EQ(Run({"convert", P("in.kxm"), P("emu.T88")}).status, 0);
    EXPECT_EQ(Run({"list", P("emu.T88")}).out,
              "0\t1200\t3\tUnknown\t\n1\t600\t4\tMachine Code\t\n");
    ASSERT_EQ(Run({"convert", P("emu.T88"), P("again.kxm")}).status, 0);
    EXPECT_EQ(Get("again.kxm"), Get("in.kxm"));
}

// The user named the format, so the tape is converted; what the format
// cannot keep is said on standard error first.
TEST_F(Tool, ConvertSaysWhatTheFormatLosesAndConvertsAllTheSame) {
    const std::vector<CTapeBlock> tape{B({':', 1, 0, 1, ':', 0, 0}, 1200),
                                       B({':', 2, 0, 2, ':', 0, 0}, 600)};
    PutTape("in.kxm", tape);
    const std::string heading = "この形式で保存すると、テープの次のものが失われます:\n";
    const Result raw = Run({"convert", P("in.kxm"), P("out.cas")});
    EXPECT_EQ(raw.status, 0);
    EXPECT_EQ(raw.err, heading + "速度: 生のカセットイメージには速度が残らないため、1200 ボーの"
                                 "ブロック 1 個は開き直すと 600 ボーになります。\n");
    EXPECT_EQ(Get("out.cas"), std::string(":\x01\0\x01:\0\0:\x02\0\x02:\0\0", 14));
    EXPECT_EQ(Run({"convert", P("in.kxm"), P("out.t88")}).err, "");

    // Damage marks go from KXM to KXM as they are, and nowhere else.
    ByteArray marked;
    CMemoryArchive ar(marked);
    WriteKxm(tape, ar, CDamageMarks{{1, 2, 3, DamageKind::lost, 1234}});
    Put("marked.kxm", std::string(marked.begin(), marked.end()));
    const Result kxm = Run({"convert", P("marked.kxm"), P("copy.kxm")});
    EXPECT_EQ(kxm.status, 0);
    EXPECT_EQ(kxm.err, "");
    EXPECT_EQ(Get("copy.kxm"), Get("marked.kxm"));
    const std::string marksLost =
        heading + "読み取れなかったバイトの印 1 か所: この形式には残せません。\n";
    for (const char* out : {"copy.t88", "copy.wav"}) {
        const Result r = Run({"convert", P("marked.kxm"), P(out)});
        EXPECT_EQ(r.status, 0) << out;
        EXPECT_EQ(r.err, marksLost) << out;
    }
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

    // A T88 image plays into a recording as a KXM image does.
    ASSERT_EQ(Run({"convert", P("in.kxm"), P("in.t88")}).status, 0);
    ASSERT_EQ(Run({"convert", P("in.t88"), P("t88.wav")}).status, 0);
    EXPECT_EQ(Get("t88.wav"), Get("tape.WAV"));

    // Recordings are written as WAV only: a FLAC name gets no WAV bytes.
    const Result flac = Run({"convert", P("in.kxm"), P("tape.flac")});
    EXPECT_EQ(flac.status, 1);
    EXPECT_EQ(flac.err,
              "ﾄﾞｷｭﾒﾝﾄの保存に失敗しました。 (録音として保存できるのは WAV (.wav) だけです。)\n");
    EXPECT_FALSE(std::filesystem::exists(P("tape.flac")));
}

// --quality adds how clearly each block was read and whether the checks
// its data carries hold: a machine-code record with a wrong check byte is
// told apart from a clean reading; a tape image has no decoder's figure.
TEST_F(Tool, ListWithQualityAddsTheDecodersConfidenceAndTheDataChecks) {
    const std::vector<CTapeBlock> tape{
        B({':', 0xC0, 0x00, 0x40, ':', 2, 0x11, 0x22, 0xCB, ':', 0, 0}, 600),
        B({':', 0xC0, 0x00, 0x40, ':', 2, 0x11, 0x22, 0xCC, ':', 0, 0}, 1200), B({1, 2, 3}, 1200)};
    PutTape("in.kxm", tape);
    ASSERT_EQ(Run({"convert", P("in.kxm"), P("tape.wav")}).status, 0);
    EXPECT_EQ(Run({"list", P("tape.wav"), "--quality"}).out,
              "0\t600\t12\tMachine Code\t\t100%\t検査 OK\n"
              "1\t1200\t12\tMachine Code\t\t100%\t検査 NG\n"
              "2\t1200\t3\tUnknown\t\t100%\t検査なし\n");
    EXPECT_EQ(Run({"list", "--quality", P("in.kxm")}).out,
              "0\t600\t12\tMachine Code\t\t-\t検査 OK\n"
              "1\t1200\t12\tMachine Code\t\t-\t検査 NG\n"
              "2\t1200\t3\tUnknown\t\t-\t検査なし\n");
    // Read at the wrong speed, the 1200-baud blocks come out far from sure.
    const Result forced = Run({"list", P("tape.wav"), "--quality", "--baud", "600"});
    EXPECT_EQ(forced.status, 3);
    EXPECT_EQ(forced.out.substr(0, forced.out.find('\n')),
              "0\t600\t12\tMachine Code\t\t100%\t検査 OK");
    EXPECT_EQ(forced.out.find("\t100%", forced.out.find('\n')), std::string::npos) << forced.out;
    EXPECT_EQ(Run({"list", P("tape.wav")}).out,
              "0\t600\t12\tMachine Code\t\n1\t1200\t12\tMachine Code\t\n2\t1200\t3\tUnknown\t\n");
}

// Takes of one tape merged: an image with a damaged byte and a clean
// recording give the whole tape (status 0); two images damaged at the same
// byte leave it marked in OUT, named on standard error (status 3).
TEST_F(Tool, MergeFillsTheDamageOfOneTakeFromAnother) {
    const std::vector<CTapeBlock> tape{
        B({0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90}, 1200)};
    std::vector<CTapeBlock> spoilt = tape;
    spoilt[0].m_data[3] = 0x44;
    auto putMarked = [&](const std::string& name, std::size_t nOffset) {
        ByteArray bytes;
        CMemoryArchive ar(bytes);
        const CDamageMarks marks{{0, nOffset, 1, DamageKind::undecided, 2500}};
        WriteKxm(spoilt, ar, marks);
        Put(name, std::string(bytes.begin(), bytes.end()));
    };
    putMarked("take1.kxm", 3);
    PutTape("in.kxm", tape);
    ASSERT_EQ(Run({"convert", P("in.kxm"), P("take2.wav")}).status, 0);
    const Result whole = Run({"merge", P("take1.kxm"), P("take2.wav"), P("out.kxm")});
    EXPECT_EQ(whole.status, 0) << whole.err;
    EXPECT_EQ(whole.out, "0\t1200\t9\tUnknown\t\n");
    EXPECT_EQ(whole.err, "ブロック 0: テイク 1,2 から、補ったバイト 1、多数決 0\n"
                         "すべてのバイトがいずれかのテイクで確かに読めました。\n");
    EXPECT_EQ(Get("out.kxm"), Get("in.kxm"));

    putMarked("take3.kxm", 3);
    const Result left = Run({"merge", P("take1.kxm"), P("take3.kxm"), P("left.kxm")});
    EXPECT_EQ(left.status, 3);
    EXPECT_NE(left.err.find("ブロック 0、3 バイト目 (録音の 0:02.500): 判定できないビット"),
              std::string::npos)
        << left.err;
    EXPECT_EQ(Run({"list", P("left.kxm")}).status, 0);
    EXPECT_EQ(Run({"merge", P("take1.kxm"), P("left.kxm")}).status, 2);
}

TEST_F(Tool, NotSoundNamedWavFailsAndLeavesTheOutputAlone) {
    Put("letter.wav", "RIFF? no, just a letter.\n");
    Put("out.kxm", "precious");
    const Result r = Run({"convert", P("letter.wav"), P("out.kxm")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "予期しないﾌｧｲﾙ形式です。\n");
    EXPECT_EQ(Get("out.kxm"), "precious");
}

TEST_F(Tool, RecordingWithoutABlockFailsLikeABadFileAndLeavesTheOutputAlone) {
    Put("empty.wav", "");
    Put("out.kxm", "precious");
    const std::string message =
        "ﾄﾞｷｭﾒﾝﾄを開くことに失敗しました。 (この録音にはブロックが見つかりませんでした。)\n";
    const Result list = Run({"list", P("empty.wav")});
    EXPECT_EQ(list.status, 1);
    EXPECT_EQ(list.out, "");
    EXPECT_EQ(list.err, message);
    const Result convert = Run({"convert", P("empty.wav"), P("out.kxm")});
    EXPECT_EQ(convert.status, 1);
    EXPECT_EQ(convert.err, message);
    EXPECT_EQ(Get("out.kxm"), "precious");
}

TEST_F(Tool, UnreadableInputFailsAndLeavesTheOutputAlone) {
    Put("out.kxm", "precious");
    const Result missing = Run({"convert", P("none.kxm"), P("out.kxm")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.starts_with("ﾄﾞｷｭﾒﾝﾄを開くことに失敗しました。")) << missing.err;
    EXPECT_NE(missing.err.find("ファイルまたはデバイスが見つかりません"), std::string::npos);

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

TEST_F(Tool, WrongArgumentsExitWithTwoAndPointToTheCommandsHelp) {
    EXPECT_EQ(Run({}).status, 2);
    const struct {
        std::initializer_list<std::string> args;
        std::string help;
    } rows[] = {
        {{"frobnicate"}, "relmuth-tape --help"},
        {{"list"}, "relmuth-tape list --help"},
        {{"convert", "a"}, "relmuth-tape convert --help"},
        {{"text", "a", "x"}, "relmuth-tape text --help"},
        {{"import", "a"}, "relmuth-tape import --help"},
        {{"loader", "x"}, "relmuth-tape loader --help"},
        {{"send-loader"}, "relmuth-tape send-loader --help"},
        {{"send-loader", "p", "--baud", "300"}, "relmuth-tape send-loader --help"},
        {{"receive", "p", "-"}, "relmuth-tape receive --help"},
        {{"receive", "p", "o", "--baud"}, "relmuth-tape receive --help"},
    };
    for (const auto& row : rows) {
        const Result r = Run(row.args);
        EXPECT_EQ(r.status, 2) << row.help;
        EXPECT_TRUE(r.err.ends_with("\nTry '" + row.help + "'.\n")) << r.err;
    }
    // Each command tells its own usage, wherever --help stands.
    for (const std::string name :
         {"list", "convert", "text", "import", "loader", "send-loader", "receive"}) {
        const Result r = Run({name, "x", "--help"});
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_TRUE(r.out.starts_with("Usage: relmuth-tape " + name)) << r.out;
        EXPECT_EQ(r.err, "");
    }
    const Result help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("list FILE"), std::string::npos);
    EXPECT_NE(help.out.find("receive PORT OUT"), std::string::npos);
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

TEST_F(Tool, ReadOnlyTapeIsRefusedWithTheSaveMessageAndTheReason) {
    GiveToUser(".");
    Put("t.txt", "\r\nCAS1\r\n0001\r\n41\r\n41\r\n");
    Put("ro.kxm", "precious");
    GiveToUser("ro.kxm");
    fs::permissions(P("ro.kxm"), fs::perms(0444));
    const Result r = RunShell(AsUser(Command({"import", P("t.txt"), P("ro.kxm")})));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, kSaveFailed + " (" + P("ro.kxm") +
                         ": アクセスが拒否されました (権限がありません))\n");
    EXPECT_EQ(Get("ro.kxm"), "precious");
    EXPECT_TRUE(NoTemporaryFiles(dir));
}

TEST_F(Tool, WritableTapeInAReadOnlyFolderIsWrittenInPlace) {
    PutTape("in.kxm", {B({1, 2, 3}, 600)});
    ByteArray big(100000, 0x55);
    big[0] = 1;
    PutTape("big.kxm", {CTapeBlock{big, 600}});
    fs::create_directory(P("ro"));
    Put("ro/w.kxm", std::string(5000, 'x')); // longer than what replaces it
    fs::permissions(P("ro/w.kxm"), fs::perms(0640));
    GiveToUser("ro/w.kxm");
    GiveToUser("ro");
    fs::permissions(P("ro"), fs::perms(0555));

    const Result r = RunShell(AsUser(Command({"convert", P("in.kxm"), P("ro/w.kxm")})));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Get("ro/w.kxm"), Get("in.kxm"));
    EXPECT_EQ(fs::status(P("ro/w.kxm")).permissions() & fs::perms::all, fs::perms(0640));
    // The new bytes are made whole before the file is touched, and the room
    // they need is taken first: past the file-size limit, the old tape stays.
    const Result limited =
        RunShell("ulimit -f 40; " + AsUser(Command({"convert", P("big.kxm"), P("ro/w.kxm")})));
    EXPECT_EQ(limited.status, 1);
    EXPECT_TRUE(limited.err.starts_with(kSaveFailed)) << limited.err;
    EXPECT_EQ(Get("ro/w.kxm"), Get("in.kxm"));
    EXPECT_EQ(std::distance(fs::directory_iterator(P("ro")), fs::directory_iterator()), 1);
    fs::permissions(P("ro"), fs::perms(0755));
}

TEST_F(Tool, FileSizeLimitFailsTheSaveCleanly) {
    ByteArray data(100000, 0x55);
    data[0] = 1;
    Put("big.txt", GetBlockText(CTapeBlock{data, 1200}));
    Put("fs.kxm", "old");
    const Result r = RunShell("ulimit -f 40; " + Command({"import", P("big.txt"), P("fs.kxm")}));
    EXPECT_EQ(r.status, 1); // not ended by SIGXFSZ
    EXPECT_EQ(r.err, kSaveFailed + " (" + P("fs.kxm") + ": File too large)\n");
    EXPECT_EQ(Get("fs.kxm"), "old");
    EXPECT_TRUE(NoTemporaryFiles(dir));
}

TEST_F(Tool, PipesAndStandardStreamsCarryTheWholeTape) {
    PutTape("a.kxm", {B({1, 2, 3}, 1200), B({':', 9, 9, 9}, 600)});
    const std::string image = Get("a.kxm");
    const std::string cat = "cat " + Quote(P("a.kxm")) + " | ";
    const std::string list = "0\t1200\t3\tUnknown\t\n1\t600\t4\tMachine Code\t\n";

    // A pipe reports no size; it is read to its end all the same.
    EXPECT_EQ(RunShell(cat + Command({"convert", "/dev/stdin", P("out.cmt")})).status, 0);
    EXPECT_EQ(Get("out.cmt"), std::string("\x01\x02\x03:\x09\x09\x09"));
    EXPECT_EQ(RunShell(cat + Command({"list", "-"})).out, list);
    EXPECT_EQ(RunShell(cat + Command({"text", "-", "1"})).out,
              "CAS2\r\n0004\r\n3A090909\r\n55\r\n");
    // "-" as OUT is standard output, and /dev/stdout on a pipe is written
    // as the pipe it is. (Through a link of our own: a save that replaced
    // its target, run as root, would replace the system's /dev/stdout.)
    EXPECT_EQ(RunShell(cat + Command({"convert", "-", "-"}) + " | cat").out, image);
    fs::create_symlink("/dev/stdout", P("stdout.kxm"));
    EXPECT_EQ(RunShell(Command({"convert", P("a.kxm"), P("stdout.kxm")}) + " | cat").out, image);
    EXPECT_TRUE(fs::is_symlink(P("stdout.kxm")));
}

TEST_F(Tool, FileTooLargeToHoldEndsInTheOpenMessage) {
    // As large as a file may be, sparse: a file system like this one's stops
    // at some TiB, a memory one (/dev/shm) goes to the largest file size.
    const fs::path shm = fs::path("/dev/shm") / ("relmuth-tool-" + std::to_string(::getpid()));
    for (const std::string name : {"huge.kxm", "huge.cmt"}) {
        std::string path;
        for (const fs::path& where : {dir / name, shm / name}) {
            std::error_code ec;
            fs::create_directories(where.parent_path(), ec);
            std::ofstream{where};
            fs::resize_file(where, std::numeric_limits<std::int64_t>::max(), ec);
            if (!ec) {
                path = where.string();
                break;
            }
            fs::resize_file(where, std::uintmax_t{1} << 40, ec);
            if (!ec && path.empty())
                path = where.string();
        }
        ASSERT_FALSE(path.empty()) << "no sparse file of 1 TiB could be made";
        const Result r = Run({"list", path});
        EXPECT_EQ(r.status, 1) << path;
        EXPECT_EQ(r.err, kOpenFailed + "\n");
    }
    fs::remove_all(shm);
}

TEST_F(Tool, FailedWritesToStandardOutputEndWithStatusOne) {
    ByteArray data(20000, 0x55);
    data[0] = 1;
    PutTape("t.kxm", {CTapeBlock{data, 600}, B({1}, 600)});
    const std::initializer_list<std::string> rows[] = {
        {"list", P("t.kxm")}, {"text", P("t.kxm")}, {"loader"},
        {"--help"},           {"list", "--help"},   {"convert", P("t.kxm"), "-"},
    };
    for (const auto& args : rows) {
        const Result r = RunShell(Command(args), "", "/dev/full");
        EXPECT_EQ(r.status, 1) << *args.begin();
        EXPECT_NE(r.err.find("ディスクの空き容量が足りません"), std::string::npos) << r.err;
    }
}

TEST_F(Tool, ImportSaysWhatWasLeftUnfinishedAndEndsWithThree) {
    // Lines ended by LF alone: the whole text is one unfinished line.
    Put("lf.txt", "\nCAS1\n0001\n41\n41\n");
    const Result lf = Run({"import", P("lf.txt"), P("lf.kxm")});
    EXPECT_EQ(lf.status, 3);
    EXPECT_EQ(lf.err, "relmuth-tape: " + P("lf.txt") +
                          " ends inside a line, which was not taken; " + P("lf.kxm") +
                          " holds the complete blocks only (every line of transfer text ends "
                          "with CR LF)\n");
    EXPECT_EQ(Run({"list", P("lf.kxm")}).out, "");

    // A complete block, then a transfer cut short, from standard input.
    const Result cut = Run({"import", "-", P("cut.kxm")},
                           "\r\nCAS1\r\n0001\r\n41\r\n41\r\nCAS2\r\n0002\r\n01\r\n");
    EXPECT_EQ(cut.status, 3);
    EXPECT_TRUE(cut.err.starts_with("relmuth-tape: standard input ends inside a transfer, whose "
                                    "block was not stored;"))
        << cut.err;
    EXPECT_EQ(Run({"list", P("cut.kxm")}).out, "0\t1200\t1\tUnknown\t\n");
}

TEST_F(Tool, SendLoaderEndsWithStatusOneWhenTheLineIsLostWhileHeld) {
    // The far end has said XOFF before the tool opens the line: the stop
    // holds through the tool's setup, which keeps XON/XOFF, so nothing
    // leaves. Then the far end goes away.
    CPtyPair pty;
    pty.SetPacketMode();
    termios t{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &t), 0);
    cfmakeraw(&t);
    t.c_iflag |= IXON;
    ASSERT_EQ(tcsetattr(pty.Slave(), TCSANOW, &t), 0);
    std::vector<std::uint8_t> ignored;
    ASSERT_TRUE(pty.Write(std::vector<std::uint8_t>{0x13}));
    ASSERT_TRUE(pty.WaitFlow(TIOCPKT_STOP, ignored));

    Result r{};
    std::thread sender([&] {
        r = RunShell("timeout 30 " + Command({"send-loader", pty.SlavePath(), "--baud", "19200"}));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    pty.CloseMaster();
    sender.join();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(res::LoadString(res::IDS_PORT_LOST)), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("100%"), std::string::npos) << r.err;
}

// A KXM image of nothing but one outer gap of the given length in ticks.
std::string GapImage(std::uint32_t ticks) {
    std::string image("PC-8801 Tape Image(KXM)\0", 24);
    const auto u16 = [&](unsigned v) {
        image += static_cast<char>(v & 0xFF);
        image += static_cast<char>((v >> 8) & 0xFF);
    };
    const auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    u16(0x0001); // version
    u16(2);
    u16(0x0100);
    u16(0x0102); // outer gap
    u16(8);
    u32(0);
    u32(ticks);
    u16(0x0000); // end
    u16(0);
    return image;
}

// A recording is read from the bytes of the one open of its name, so a
// FIFO or a pipe carries it as a file does.
TEST_F(Tool, FifosAndPipesCarryRecordingsAndImagesIntoRecordings) {
    PutTape("in.kxm", {B({':', 0x9C, 0x3A, 0, 0xFF}, 600), B({1, 2, 3, 0x3A}, 1200)});
    ASSERT_EQ(Run({"convert", P("in.kxm"), P("tape.wav")}).status, 0);
    const std::string list = "0\t600\t5\tMachine Code\t\n1\t1200\t4\tUnknown\t\n";
    ASSERT_EQ(::mkfifo(P("fifo.wav").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(P("fifo.kxm").c_str(), 0600), 0);
    const auto feed = [&](const std::string& from, const std::string& fifo) {
        return "(cat " + Quote(P(from)) + " > " + Quote(P(fifo)) + " &) ; timeout 60 ";
    };
    const Result fromFifo =
        RunShell(feed("tape.wav", "fifo.wav") + Command({"list", P("fifo.wav")}));
    EXPECT_EQ(fromFifo.status, 0) << fromFifo.err;
    EXPECT_EQ(fromFifo.out, list);
    const Result toWav = RunShell(feed("in.kxm", "fifo.kxm") +
                                  Command({"convert", P("fifo.kxm"), P("from-fifo.wav")}));
    EXPECT_EQ(toWav.status, 0) << toWav.err;
    EXPECT_EQ(Get("from-fifo.wav"), Get("tape.wav"));
    const Result piped = RunShell("cat " + Quote(P("in.kxm")) + " | timeout 60 " +
                                  Command({"convert", "/dev/stdin", P("from-pipe.wav")}));
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(Get("from-pipe.wav"), Get("tape.wav"));
}

// A recording longer than a WAV file holds (4 GiB of data) is refused
// before a byte is written: OUT stays as it was, with no temporary file,
// and at once, not after writing the 79 GB the image asks for.
TEST_F(Tool, RecordingLongerThanWavHoldsIsRefusedBeforeWriting) {
    Put("gap.kxm", GapImage(0xFFFFFFFF));
    Put("out.wav", "precious");
    const Result r = RunShell("timeout 60 " + Command({"convert", P("gap.kxm"), P("out.wav")}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, kSaveFailed + " (" +
                         std::string(res::LoadString(res::IDS_RECORDING_TOO_LONG)) + ")\n");
    EXPECT_EQ(Get("out.wav"), "precious");
    EXPECT_TRUE(NoTemporaryFiles(dir));

    // Just inside the limit the header says what follows: 48,694 s of
    // silence are 4,294,810,800 bytes of samples. Only the header is read,
    // through a link of our own to standard output (a pipe).
    Put("long.kxm", GapImage(48694 * kTicksPerSecond));
    const std::uint64_t samples = 48694ull * 44100;
    fs::create_symlink("/dev/stdout", P("stdout.wav"));
    const Result fits = RunShell(
        "timeout 600 " + Command({"convert", P("long.kxm"), P("stdout.wav")}) + " | head -c 44");
    const std::string header = fits.out;
    ASSERT_EQ(header.size(), 44u);
    const auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(
            static_cast<std::uint8_t>(header[at]) | static_cast<std::uint8_t>(header[at + 1]) << 8 |
            static_cast<std::uint8_t>(header[at + 2]) << 16 |
            static_cast<std::uint32_t>(static_cast<std::uint8_t>(header[at + 3])) << 24);
    };
    EXPECT_EQ(header.substr(0, 4), "RIFF");
    EXPECT_EQ(u32(40), samples * 2);
    EXPECT_EQ(u32(4), samples * 2 + 36);
}

// After `--` every argument is a name, also one that looks like an option.
TEST_F(Tool, DoubleDashEndsTheOptions) {
    PutTape("--help", {B({1, 2, 3}, 1200)});
    PutTape("--baud", {B({4}, 600)});
    const std::string cd = "cd " + Quote(dir.string()) + " && ";
    const Result list = RunShell(cd + Command({"list", "--", "--help"}));
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, "0\t1200\t3\tUnknown\t\n");
    const Result convert =
        RunShell(cd + Command({"convert", "--channel", "left", "--", "--baud", "-x.cas"}));
    EXPECT_EQ(convert.status, 0) << convert.err;
    EXPECT_EQ(Get("-x.cas"), std::string("\x04", 1));
    Put("--count", "\r\nCAS1\r\n0001\r\n41\r\n41\r\n");
    const Result import = RunShell(cd + Command({"import", "--", "--count", "--send-loader"}));
    EXPECT_EQ(import.status, 0) << import.err;
    EXPECT_EQ(Run({"list", P("--send-loader")}).out, "0\t1200\t1\tUnknown\t\n");
}

} // namespace
