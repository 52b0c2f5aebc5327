// SPDX-License-Identifier: GPL-3.0-or-later
// The loader generator refuses at build time what a real PC-8801 would
// refuse when the loader arrives.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/ScratchFolder.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Grebe's template with line 1010 made `length` characters long; the
// generator's exit status and its message.
std::pair<int, std::string> Generate(const fs::path& dir, std::size_t length) {
    std::string templ = Slurp(RELMUTH_GREBE_TEMPLATE);
    const std::size_t at = templ.find("\n1010 ");
    const std::size_t end = templ.find('\n', at + 1);
    std::string line = templ.substr(at + 1, end - at - 1);
    if (line.ends_with('\r'))
        line.pop_back();
    line.resize(length, 'X');
    templ.replace(at + 1, end - at - 1, line);
    std::ofstream(dir / "grebe.bas.in", std::ios::binary) << templ;
    const std::string bin = RELMUTH_ROUTINE_BIN;
    const std::string sym = bin.substr(0, bin.size() - 3) + "sym";
    const std::string command =
        std::string(RELMUTH_GREBE_GEN) + " '" + (dir / "grebe.bas.in").string() + "' '" + bin +
        "' '" + sym + "' '" + (dir / "out.bas").string() + "' '" + (dir / "out.cpp").string() +
        "' '" + (dir / "out.h").string() + "' 2> '" + (dir / "err").string() + "'";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(dir / "err")};
}

TEST(GrebeGen, RefusesALineLongerThanN88BasicTakes) {
    const fs::path dir = MakeScratchFolder("relmuth-grebe-gen");
    const auto [fits, fitsText] = Generate(dir, 255);
    EXPECT_EQ(fits, 0) << fitsText;
    fs::remove(dir / "out.bas");
    const auto [tooLong, message] = Generate(dir, 256);
    EXPECT_EQ(tooLong, 1);
    EXPECT_NE(message.find("a line of 256 characters, more than the 255 N88-BASIC takes"),
              std::string::npos)
        << message;
    EXPECT_FALSE(fs::exists(dir / "out.bas")) << "nothing is written";
    fs::remove_all(dir);
}

} // namespace
