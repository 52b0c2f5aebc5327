// SPDX-License-Identifier: GPL-3.0-or-later
// relmuth-tape show and basic as a user runs them: a listing made into a
// block and shown back, each block kind in its view, damage on standard
// error with status 3, refusals that leave the tape alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

#include "tape/KxmFormat.h"
#include "tests/ScratchFolder.h"

namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

class InspectTool : public testing::Test {
  protected:
    void SetUp() override { dir = MakeScratchFolder("relmuth-inspect-tool"); }
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
    // The tool with arguments (none of which holds a quote).
    Result Run(std::initializer_list<std::string> args) const {
        std::string command = std::string("'") + RELMUTH_TAPE + "'";
        for (const std::string& a : args)
            command += " '" + a + "'";
        command += " > '" + P("stdout") + "' 2> '" + P("stderr") + "' < /dev/null";
        const int raw = std::system(command.c_str());
        return Result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Get("stdout"), Get("stderr")};
    }

    fs::path dir;
};

CTapeBlock Block(std::vector<std::uint8_t> bytes) {
    return CTapeBlock{std::move(bytes), kBaudFast};
}

// ':' B000 check, a record of JP B010 / RET, the end record.
const std::vector<std::uint8_t> kMachine{':',  0xB0, 0x00, 0x50, ':', 0x04, 0xC3,
                                         0x10, 0xB0, 0xC9, 0xB0, ':', 0x00, 0x00};

} // namespace

TEST_F(InspectTool, BasicMakesABlockThatShowListsBack) {
    Put("game.bas", "10 cls:print \"ｹﾞｰﾑ\"\r\n20 goto 10\r\n");
    Result r = Run({"basic", P("game.bas"), P("tape.kxm")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run({"basic", P("game.bas"), P("tape.kxm"), "--name", "ﾃｽﾄ", "--baud", "600"});
    ASSERT_EQ(r.status, 0) << r.err;

    r = Run({"list", P("tape.kxm")});
    EXPECT_EQ(r.out, "0\t1200\t52\tBasic\tGAME\n1\t600\t52\tBasic\tﾃｽﾄ\n");
    r = Run({"show", P("tape.kxm"), "1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "10 CLS:PRINT \"ｹﾞｰﾑ\"\n20 GOTO 10\n");
    EXPECT_EQ(r.err, "");

    // Made into a recording to play into the PC-8801, and decoded back.
    ASSERT_EQ(Run({"basic", P("game.bas"), P("game.wav")}).status, 0);
    r = Run({"show", P("game.wav"), "0"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "10 CLS:PRINT \"ｹﾞｰﾑ\"\n20 GOTO 10\n");
}

TEST_F(InspectTool, BasicRefusesALineWithItsNumberAndLeavesTheTapeAlone) {
    PutTape("tape.kxm", {Block(kMachine)});
    const std::string before = Get("tape.kxm");
    Put("bad.bas", "10 PRINT 1\n20 PRINT \"漢字\"\n");
    Result r = Run({"basic", P("bad.bas"), P("tape.kxm")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bad.bas: line 20: "), std::string::npos) << r.err;
    EXPECT_EQ(Get("tape.kxm"), before);

    EXPECT_EQ(Run({"basic", P("bad.bas"), P("tape.kxm"), "--baud", "300"}).status, 2);
    EXPECT_EQ(Run({"basic", P("bad.bas"), P("tape.kxm"), "--name", "TOOLONG"}).status, 2);
    EXPECT_EQ(Get("tape.kxm"), before);
}

TEST_F(InspectTool, ShowPicksTheViewByKindAndRefusesAViewOfAnotherKind) {
    PutTape("tape.kxm", {Block(kMachine), Block({0x41, 0x42})});
    Result r = Run({"show", P("tape.kxm"), "0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "B000  C3 10 B0     JP #B010\nB003  C9           RET\n");
    r = Run({"show", P("tape.kxm"), "1"});
    EXPECT_EQ(r.out, "0000H : 41 42                                           : AB\n");
    r = Run({"show", P("tape.kxm"), "0", "--hex"});
    EXPECT_EQ(r.out.substr(0, 8), "0000H : ");

    r = Run({"show", P("tape.kxm"), "0", "--basic"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "relmuth-tape: block 0 is not a BASIC program (its type is Machine Code)\n");
    EXPECT_EQ(Run({"show", P("tape.kxm"), "1", "--asm"}).status, 1);
    r = Run({"show", P("tape.kxm"), "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "relmuth-tape: " + P("tape.kxm") + " has no block 2 (it has 2)\n");

    EXPECT_EQ(Run({"show", P("tape.kxm"), "0", "--hex", "--asm"}).status, 2);
    r = Run({"show", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: relmuth-tape show FILE INDEX [--hex|--basic|--asm]", 0), 0u);
}

TEST_F(InspectTool, DamageIsShownAsFarAsItGoesAndEndsWithThree) {
    // Line 20's link is off by one: line 10 lists, the break is told.
    const std::vector<std::uint8_t> basic = {
        0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 'B', 'R',  'O',  'K',  'E',
        'N',  0x26, 0x80, 10,   0,    0x81, 0x00, 0x2D, 0x80, 20,   0,   0x81, 0x00, 0x00, 0x00};
    std::vector<std::uint8_t> machine = kMachine;
    machine[7] ^= 0x01; // a byte of the record, its check byte unchanged
    PutTape("tape.kxm", {Block(basic), Block(machine)});

    Result r = Run({"show", P("tape.kxm"), "0"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "10 END\n");
    EXPECT_EQ(r.err, "relmuth-tape: block 0: the program's line links break at offset 0016H; "
                     "the lines before it are listed\n");
    r = Run({"show", P("tape.kxm"), "1"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "B000  C3 11 B0     JP #B011\nB003  C9           RET\n");
    EXPECT_EQ(r.err, "relmuth-tape: block 1: the record at offset 0004H has a wrong check byte; "
                     "its bytes are shown as they came\n");
}
