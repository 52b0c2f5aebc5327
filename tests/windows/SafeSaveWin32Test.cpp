// SPDX-License-Identifier: GPL-3.0-or-later
// The file and the safe save on Windows names: folders by backslash, names
// beyond any code page, read-only files, device names, a replace that the
// system refuses, and pipes that are read once.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "TapeTestUtil.h"
#include "res/SystemReasons.h"
#include "tape/File.h"
#include "tape/KxmFormat.h"
#include "tape/RelmuthDoc.h"
#include "tape/TapeFileName.h"
#include "tests/ScratchFolder.h"

namespace fs = std::filesystem;

namespace {

class SafeSaveWindows : public testing::Test {
  protected:
    void SetUp() override {
        dir = MakeScratchFolder("relmuth-win-save");
        doc.ReplaceTape(
            {Block(Concat({BasicHeader(), Pattern(300)}), 1200), Block(Bytes({0x3A, 1, 2}), 600)});
        CMemoryArchive ar(image);
        WriteKxm(doc.m_blocks, ar);
    }
    void TearDown() override {
        // A read-only file stays unless its attribute goes first.
        for (const auto& entry : fs::directory_iterator(dir))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(dir);
    }

    // The folder with backslashes, as Windows users write it; UTF-8.
    std::string P(const std::string& name) const {
        const std::u8string folder = dir.u8string();
        std::string path(folder.begin(), folder.end());
        std::replace(path.begin(), path.end(), '/', '\\');
        return path + "\\" + name;
    }
    void Put(const std::string& name, const std::string& bytes) const {
        std::ofstream(PathFromUtf8(P(name)), std::ios::binary) << bytes;
    }
    ByteArray Get(const std::string& name) const {
        std::ifstream in(PathFromUtf8(P(name)), std::ios::binary);
        return ByteArray(std::istreambuf_iterator<char>(in), {});
    }
    // In UTF-8, as std::string: the test library prints no char8_t text.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::u8string name = entry.path().filename().u8string();
            names.emplace_back(name.begin(), name.end());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir;
    CRelmuthDoc doc;
    ByteArray image;
};

TEST_F(SafeSaveWindows, ReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    Put("tape.kxm", "the old tape, longer than the new one would be if it were cut short");
    ASSERT_TRUE(doc.OnSaveDocument(P("tape.kxm")));
    EXPECT_EQ(Get("tape.kxm"), image);
    EXPECT_EQ(Names(), std::vector<std::string>{"tape.kxm"});
}

// Katakana, kanji and a character no Japanese code page has: the name the
// user sees is the name on the disk, and the tape opens again under it.
TEST_F(SafeSaveWindows, NamesBeyondTheCodePageSaveAndOpen) {
    const std::string name = "\xE3\x83\x86\xE3\x83\xBC\xE3\x83\x97 \xE7\x94\xB2 \xC5\x93.kxm";
    ASSERT_TRUE(doc.OnSaveDocument(P(name)));
    EXPECT_EQ(Names(), std::vector<std::string>{name});
    CRelmuthDoc other;
    ASSERT_TRUE(other.OnOpenDocument(P(name)));
    EXPECT_EQ(other.m_blocks, doc.m_blocks);
    EXPECT_EQ(FileNameOf(P(name)), name);
}

TEST_F(SafeSaveWindows, ReadOnlyFileIsRefusedAndKeptWhole) {
    Put("kept.kxm", "old");
    ASSERT_TRUE(SetFileAttributesW((dir / "kept.kxm").c_str(), FILE_ATTRIBUTE_READONLY));
    try {
        CSafeFileWriter writer(P("kept.kxm"));
        FAIL() << "a read-only file was taken for a save";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.GetErrno(), EACCES);
        EXPECT_NE(e.GetReason().find(res::ErrnoReasonText(EACCES)), std::string::npos);
    }
    EXPECT_FALSE(doc.OnSaveDocument(P("kept.kxm")));
    EXPECT_EQ(Get("kept.kxm"), Bytes({'o', 'l', 'd'}));
    EXPECT_EQ(Names(), std::vector<std::string>{"kept.kxm"});
}

// NUL stands for the device in every folder, also with an extension; it is
// written as it is and no file of that name, nor a temporary one, is made.
TEST_F(SafeSaveWindows, DeviceNamesAreWrittenInPlace) {
    for (const std::string& name : {P("NUL"), P("nul.kxm"), std::string("\\\\.\\NUL")}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(doc.OnSaveDocument(name));
    }
    EXPECT_TRUE(Names().empty());
}

// A file another program holds open without letting it be replaced: the
// replace fails, the old tape stays whole and the temporary file goes.
TEST_F(SafeSaveWindows, RefusedReplaceLeavesTheOldFileWhole) {
    Put("held.kxm", "old tape");
    const HANDLE held = CreateFileW((dir / "held.kxm").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(doc.OnSaveDocument(P("held.kxm")));
    CloseHandle(held);
    EXPECT_EQ(Get("held.kxm"), Bytes({'o', 'l', 'd', ' ', 't', 'a', 'p', 'e'}));
    EXPECT_EQ(Names(), std::vector<std::string>{"held.kxm"});
}

TEST_F(SafeSaveWindows, FolderIsRefusedAsATarget) {
    fs::create_directory(dir / "folder.kxm");
    EXPECT_FALSE(doc.OnSaveDocument(P("folder.kxm")));
    try {
        CFile::OpenForReading(P("folder.kxm"));
        FAIL() << "a folder opened as a file";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.GetErrno(), EISDIR);
    }
}

// A file is read at any place without moving where Read goes on from; a
// pipe is read once, in order, and its end is the end of the input.
TEST_F(SafeSaveWindows, FilesAreSeekableAndPipesAreReadInOrder) {
    Put("bytes.bin", "0123456789");
    CFile file = CFile::OpenForReading(P("bytes.bin"));
    EXPECT_TRUE(file.IsSeekable());
    EXPECT_EQ(file.GetLength(), 10u);
    char head[3] = {};
    ASSERT_EQ(file.Read(head, 2), 2u);
    char middle[4] = {};
    ASSERT_EQ(file.ReadAt(middle, 3, 5), 3u);
    EXPECT_STREQ(middle, "567");
    char next[4] = {};
    ASSERT_EQ(file.Read(next, 3), 3u);
    EXPECT_STREQ(next, "234");

    int fds[2];
    ASSERT_EQ(_pipe(fds, 64, _O_BINARY), 0);
    std::thread writer([&] {
        _write(fds[1], "pipe bytes", 10);
        _close(fds[1]);
    });
    CFile in = CFile::Duplicate(fds[0], "-", res::AFX_IDP_FAILED_TO_OPEN_DOC);
    _close(fds[0]);
    EXPECT_FALSE(in.IsSeekable());
    EXPECT_EQ(in.GetLength(), 0u);
    char all[16] = {};
    EXPECT_EQ(in.Read(all, sizeof all - 1), 10u);
    writer.join();
    EXPECT_STREQ(all, "pipe bytes");
}

TEST(FileNamesWindows, NameFollowsTheLastBackslashSlashOrDrive) {
    EXPECT_EQ(FileNameOf("C:\\tapes\\side-a.kxm"), "side-a.kxm");
    EXPECT_EQ(FileNameOf("C:/tapes/side-b.t88"), "side-b.t88");
    EXPECT_EQ(FileNameOf("D:side-c.cmt"), "side-c.cmt");
    EXPECT_EQ(FileNameOf("plain.cas"), "plain.cas");
}

// The recent-file list holds a file once, whatever the case it was opened in.
TEST(PathNamesWindows, TheSameFileInAnyLetterCase) {
    EXPECT_TRUE(IsSamePathName("C:\\Tapes\\Game.KXM", "c:\\tapes\\game.kxm"));
    EXPECT_TRUE(IsSamePathName("C:\\ＴＡＰＥ\\ä.t88", "C:\\ｔａｐｅ\\Ä.T88"));
    EXPECT_FALSE(IsSamePathName("C:\\Tapes\\Game.kxm", "C:\\Tapes\\Game2.kxm"));
    // Half-width and full-width forms are other names.
    EXPECT_FALSE(IsSamePathName("C:\\A.kxm", "C:\\Ａ.kxm"));
}

} // namespace
