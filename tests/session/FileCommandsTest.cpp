// SPDX-License-Identifier: GPL-3.0-or-later
// The File commands without a window: the owner is a script of answers
// that writes down every question and message, in order.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../ScratchFolder.h"
#include "res/RecentFileName.h"
#include "session/FileCommands.h"
#include "session/StatusText.h"
#include "session/TapeSession.h"
#include "tape/SaveLosses.h"

namespace {

class CScriptedOwner : public CFileOwner {
  public:
    std::vector<std::string> events;
    std::deque<SaveAnswer> saveAnswers;
    std::deque<std::string> fileNames; // each prompt takes the next; none left: cancelled
    std::deque<bool> lossAnswers;
    std::vector<std::string> storedRecent;
    std::vector<std::string> damageLines;

    SaveAnswer AskSaveChanges(const std::string& strTitle) override {
        events.push_back("ask " + strTitle);
        if (saveAnswers.empty())
            return SaveAnswer::cancel;
        const SaveAnswer answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }
    bool PromptForTapeFileName(std::string& strFileName, res::StringId nTitle, unsigned,
                               bool bOpen) override {
        events.push_back(std::string(bOpen ? "open " : "save ") +
                         std::string(res::LoadString(nTitle)) + " " +
                         std::filesystem::path(strFileName).filename().string());
        if (fileNames.empty())
            return false;
        strFileName = fileNames.front();
        fileNames.pop_front();
        return true;
    }
    bool AskLossySave(const std::vector<std::string>& losses) override {
        for (const std::string& loss : losses)
            events.push_back("loss " + loss);
        const bool bGoOn = !lossAnswers.empty() && lossAnswers.front();
        if (!lossAnswers.empty())
            lossAnswers.pop_front();
        return bGoOn;
    }
    void ShowMessageText(const std::string& strText) override {
        events.push_back("message " + strText);
    }
    CDecodeProgress* StartDecodeProgress() override {
        events.push_back("decoding");
        return nullptr;
    }
    void FinishDecodeProgress() override { events.push_back("decoded"); }
    void ShowRecordingDamage(const std::vector<std::string>& lines) override {
        events.push_back("damage " + std::to_string(lines.size()));
        damageLines = lines;
    }
    void OnRecentFilesChanged(const std::vector<std::string>& files) override {
        storedRecent = files;
    }
    void OnTapeReplaced() override { events.push_back("replaced"); }
};

// The session's own owner: nothing of receiving happens here.
struct CQuietSessionOwner : CSessionOwner {
    void OpenRecvProgress(int) override {}
    void SetRecvProgress(int) override {}
    void CloseRecvProgress() override {}
    void ShowMessage(res::StringId) override {}
    void SelectBlock(std::size_t) override {}
    void OnLinkLost(const CCommError&) override {}
};

const CTapeBlock kFast{{0x01, 0x02, 0x03}, 1200};
const CTapeBlock kSlow{{0x41, 0x42}, 600};

std::string Text(res::StringId id) {
    return std::string(res::LoadString(id));
}

class FileCommands : public testing::Test {
  protected:
    void SetUp() override { dir = MakeScratchFolder("relmuth-file"); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string PathOf(const std::string& name) const { return (dir / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(PathOf(name), std::ios::binary) << bytes;
        return PathOf(name);
    }
    std::string SaveTape(const std::string& name, std::vector<CTapeBlock> blocks) const {
        CRelmuthDoc source(nullptr, TapeFormats());
        source.ReplaceTape(std::move(blocks));
        EXPECT_TRUE(source.OnSaveDocument(PathOf(name)));
        return PathOf(name);
    }
    // A tape of the test's own, modified, under a name.
    void HaveModifiedTape() {
        ASSERT_EQ(files.OpenDocumentFile(SaveTape("mine.kxm", {kSlow})),
                  CFileCommands::OpenResult::opened);
        doc.AppendBlock(kFast);
        owner.events.clear();
    }

    std::filesystem::path dir;
    CRelmuthDoc doc{nullptr, TapeFormats()};
    CScriptedOwner owner;
    CQuietSessionOwner sessionOwner;
    CTapeSession session{doc, sessionOwner, {}};
    CFileCommands& files = session.AttachFileCommands(owner);
};

TEST_F(FileCommands, AFileThatIsNoTapeIsReportedBeforeAnyQuestionAndTheTapeStays) {
    HaveModifiedTape();
    const std::string bad = Write("notes.kxm", "This is a text file, not a tape image.\n");
    EXPECT_EQ(files.OpenDocumentFile(bad), CFileCommands::OpenResult::failed);
    EXPECT_EQ(owner.events,
              std::vector<std::string>{"message " + Text(res::AFX_IDP_FAILED_INVALID_FORMAT)});
    EXPECT_EQ(doc.m_blocks, (std::vector<CTapeBlock>{kSlow, kFast}));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), PathOf("mine.kxm"));

    // A missing file the same, and it leaves the recent-file list.
    files.AddToRecentFileList(PathOf("gone.kxm"));
    owner.events.clear();
    files.OnOpenRecentFile(0);
    ASSERT_EQ(owner.events.size(), 1u);
    EXPECT_EQ(owner.events[0].rfind("message ", 0), 0u);
    EXPECT_EQ(files.GetRecentFiles(), std::vector<std::string>{PathOf("mine.kxm")});
    EXPECT_EQ(doc.m_blocks, (std::vector<CTapeBlock>{kSlow, kFast}));
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(FileCommands, AFileReadWholeAsksTheSaveQuestionAndCancelKeepsTheTape) {
    HaveModifiedTape();
    const std::string other = SaveTape("other.kxm", {kFast});
    EXPECT_EQ(files.OpenDocumentFile(other), CFileCommands::OpenResult::cancelled);
    EXPECT_EQ(owner.events, std::vector<std::string>{"ask mine.kxm"});
    EXPECT_EQ(doc.m_blocks, (std::vector<CTapeBlock>{kSlow, kFast}));
    EXPECT_TRUE(doc.IsModified());

    owner.events.clear();
    owner.saveAnswers = {CFileOwner::SaveAnswer::discard};
    EXPECT_EQ(files.OpenDocumentFile(other), CFileCommands::OpenResult::opened);
    EXPECT_EQ(owner.events, (std::vector<std::string>{"ask mine.kxm", "replaced"}));
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{kFast});
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetTitle(), "other.kxm");
}

TEST_F(FileCommands, AnEmptyOrBlocklessRecordingIsRefusedAndTheTapeStays) {
    HaveModifiedTape();
    // No byte at all; a WAV header with no sample; samples of silence.
    std::string header = "RIFF";
    const auto le32 = [](std::uint32_t n) {
        return std::string{static_cast<char>(n), static_cast<char>(n >> 8),
                           static_cast<char>(n >> 16), static_cast<char>(n >> 24)};
    };
    const std::string fmt = std::string("fmt ") + le32(16) + std::string("\x01\x00\x01\x00", 4) +
                            le32(44100) + le32(88200) + std::string("\x02\x00\x10\x00", 4);
    const auto wav = [&](const std::string& samples) {
        return "RIFF" + le32(static_cast<std::uint32_t>(4 + fmt.size() + 8 + samples.size())) +
               "WAVE" + fmt + "data" + le32(static_cast<std::uint32_t>(samples.size())) + samples;
    };
    for (const std::string& path : {Write("empty.wav", ""), Write("header.wav", wav("")),
                                    Write("silence.wav", wav(std::string(44100 * 2, '\0')))}) {
        owner.events.clear();
        EXPECT_EQ(files.OpenDocumentFile(path), CFileCommands::OpenResult::failed) << path;
        EXPECT_EQ(owner.events,
                  (std::vector<std::string>{"decoding", "decoded",
                                            "message " + CRecordingEmpty().GetUserText()}))
            << path;
        EXPECT_EQ(doc.m_blocks, (std::vector<CTapeBlock>{kSlow, kFast})) << path;
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(doc.GetTitle(), "mine.kxm");
    }
}

TEST_F(FileCommands, ARawSaveSaysWhatItLosesAndTheUserMayChooseAnotherFormat) {
    doc.ReplaceTape({kFast, kSlow});
    const std::string cas = PathOf("tape.cas");
    const std::string kxm = PathOf("tape.kxm");
    std::vector<std::string> losses;
    for (const std::string& loss : DescribeSaveLosses(doc.m_blocks, {}, TapeFormat::raw))
        losses.push_back("loss " + loss);
    ASSERT_FALSE(losses.empty());
    const auto with = [](std::vector<std::string> events, const std::vector<std::string>& more,
                         const std::vector<std::string>& after) {
        events.insert(events.end(), more.begin(), more.end());
        events.insert(events.end(), after.begin(), after.end());
        return events;
    };

    // Another format: the prompt again, and a KXM image keeps it all.
    owner.fileNames = {cas, kxm};
    owner.lossAnswers = {false};
    EXPECT_TRUE(files.OnFileSaveAs());
    EXPECT_EQ(owner.events,
              with({"save 名前を付けて保存 無題"}, losses, {"save 名前を付けて保存 tape.cas"}));
    EXPECT_FALSE(std::filesystem::exists(cas));
    EXPECT_EQ(doc.GetPathName(), kxm);

    // Saved all the same: the raw image, every block at 600 baud.
    owner.events.clear();
    owner.fileNames = {cas};
    owner.lossAnswers = {true};
    EXPECT_TRUE(files.OnFileSaveAs());
    EXPECT_EQ(owner.events, with({"save 名前を付けて保存 tape.kxm"}, losses, {}));
    EXPECT_TRUE(std::filesystem::exists(cas));
    EXPECT_EQ(doc.GetPathName(), cas);
    EXPECT_FALSE(doc.IsModified());

    // A cancelled prompt saves nothing.
    owner.events.clear();
    doc.AppendBlock(kFast);
    owner.fileNames = {};
    owner.lossAnswers = {false};
    EXPECT_FALSE(files.OnFileSave());
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(FileCommands, TheRecentFileListKeepsFourNewestFirstAndShowsThemShortened) {
    const std::string deep =
        "/home/user/cassettes/from-the-attic/box-three/side-a/games/relmuth-rescue.kxm";
    for (const char* path : {"/t/a.kxm", "/t/b.kxm", "/t/c.kxm", "/t/d.kxm", "/t/b.kxm"})
        files.AddToRecentFileList(path);
    files.AddToRecentFileList(deep);
    const std::vector<std::string> want{deep, "/t/b.kxm", "/t/d.kxm", "/t/c.kxm"};
    EXPECT_EQ(files.GetRecentFiles(), want);
    EXPECT_EQ(owner.storedRecent, want);
    EXPECT_EQ(files.GetRecentFileMenuText(0), "&1 " + res::AbbreviatePath(deep));
    EXPECT_LE(res::AbbreviatePath(deep).size(), deep.size() - 20);
    EXPECT_EQ(files.GetRecentFileMenuText(1), "&2 /t/b.kxm");

    // As stored: at most four, none empty.
    files.SetRecentFiles({"/x/1.kxm", "", "/x/2.kxm", "/x/3.kxm", "/x/4.kxm", "/x/5.kxm"});
    EXPECT_EQ(files.GetRecentFiles(),
              (std::vector<std::string>{"/x/1.kxm", "/x/2.kxm", "/x/3.kxm", "/x/4.kxm"}));
    bool bEnable = false;
    EXPECT_TRUE(files.OnUpdateCmdUi(res::ID_FILE_MRU_FILE1 + 3, bEnable));
    EXPECT_TRUE(bEnable);
    files.SetRecentFiles({"/a & b/x.kxm"});
    EXPECT_EQ(files.GetRecentFileMenuText(0), "&1 /a && b/x.kxm");
    EXPECT_TRUE(files.OnUpdateCmdUi(res::ID_FILE_MRU_FILE1 + 1, bEnable));
    EXPECT_FALSE(bEnable);
}

TEST_F(FileCommands, NewAsksForAModifiedTapeAndSaveWritesItFirst) {
    HaveModifiedTape();
    owner.saveAnswers = {CFileOwner::SaveAnswer::cancel};
    files.OnFileNew();
    EXPECT_EQ(doc.m_blocks.size(), 2u);

    // "Save" writes the tape where it came from, then the new tape.
    owner.events.clear();
    owner.saveAnswers = {CFileOwner::SaveAnswer::save};
    files.OnFileNew();
    EXPECT_EQ(owner.events, (std::vector<std::string>{"ask mine.kxm", "replaced"}));
    EXPECT_TRUE(doc.m_blocks.empty());
    EXPECT_EQ(doc.GetTitle(), Text(res::AFX_IDS_UNTITLED));
    CRelmuthDoc saved(nullptr, TapeFormats());
    ASSERT_TRUE(saved.OnOpenDocument(PathOf("mine.kxm")));
    EXPECT_EQ(saved.m_blocks, (std::vector<CTapeBlock>{kSlow, kFast}));
}

} // namespace

namespace {

// A KXM image keeps the marks: opened again, the rows carry them and the
// View menu's report lists them, block by block.
TEST_F(FileCommands, MarksOpenedFromAKxmImageMarkTheirRowsAndAreReportedAgain) {
    const CDamageMark mark{1, 1, 2, DamageKind::framing, 1500};
    {
        CRelmuthDoc source(nullptr, TapeFormats());
        source.ReplaceTape({kSlow, kFast}, {mark});
        ASSERT_TRUE(source.OnSaveDocument(PathOf("marked.kxm")));
    }
    bool bEnable = true;
    EXPECT_TRUE(files.OnUpdateCmdUi(res::ID_VIEW_DAMAGE_REPORT, bEnable));
    EXPECT_FALSE(bEnable);
    ASSERT_EQ(files.OpenDocumentFile(PathOf("marked.kxm")), CFileCommands::OpenResult::opened);
    EXPECT_EQ(owner.events, (std::vector<std::string>{"replaced"})); // no recording: no report
    EXPECT_EQ(RowDamageText(doc, 0), "");
    EXPECT_EQ(RowDamageText(doc, 1), "読み取れなかったバイト: 2");
    EXPECT_TRUE(files.OnUpdateCmdUi(res::ID_VIEW_DAMAGE_REPORT, bEnable));
    EXPECT_TRUE(bEnable);
    EXPECT_TRUE(session.OnCmdMsg(res::ID_VIEW_DAMAGE_REPORT));
    EXPECT_EQ(owner.damageLines, std::vector<std::string>{DescribeDamageMark(mark)});

    // The mark goes with its block.
    doc.EraseBlock(0);
    EXPECT_EQ(RowDamageText(doc, 0), "読み取れなかったバイト: 2");
}

// Merging another take is a File command: the other file is picked, the
// tape takes the bytes it reads cleanly, and the message says how many
// were mended. A file that cannot be read leaves the tape as it was.
TEST_F(FileCommands, MergingAnotherTakeMendsTheMarkedByteAndSaysSo) {
    const CTapeBlock spoilt{{0x01, 0xFF, 0x03}, 1200};
    doc.ReplaceTape({spoilt}, {{0, 1, 1, DamageKind::framing, 100}});
    const std::string other = SaveTape("other.kxm", {kFast});

    owner.fileNames = {PathOf("missing.kxm")};
    EXPECT_TRUE(session.OnCmdMsg(res::ID_FILE_MERGE_TAKE));
    ASSERT_EQ(owner.events.size(), 2u);
    EXPECT_EQ(owner.events[1].rfind("message ", 0), 0u);
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{spoilt});

    owner.events.clear();
    owner.fileNames = {other};
    EXPECT_TRUE(session.OnCmdMsg(res::ID_FILE_MERGE_TAKE));
    EXPECT_EQ(owner.events,
              (std::vector<std::string>{"open " + Text(res::IDS_MERGE_TITLE) + " ", "replaced",
                                        "message 別の録音と照合しました。1 バイトを補い、0 "
                                        "バイトが未確定のまま残っています。"}));
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{kFast});
    EXPECT_TRUE(doc.m_damageMarks.empty());
    EXPECT_TRUE(doc.IsModified());
}

} // namespace
