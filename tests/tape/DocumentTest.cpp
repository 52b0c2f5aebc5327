// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "TapeTestUtil.h"
#include "tape/KxmFormat.h"
#include "tape/RelmuthDoc.h"
#include "tape/T88Format.h"
#include "tests/ScratchFolder.h"

namespace fs = std::filesystem;

namespace {

class RecordingHost : public CDocumentHost {
  public:
    bool PromptForTapeFileName(std::string& strFileName, res::StringId nTitle, unsigned nFlags,
                               bool bOpen) override {
        proposed.push_back(strFileName);
        lastTitle = nTitle;
        lastFlags = nFlags;
        lastOpen = bOpen;
        if (answer.empty())
            return false;
        strFileName = answer;
        return true;
    }
    void ReportSaveLoadException(const CRelmuthException& error) override {
        messages.push_back(error.GetMessageId());
    }
    void AddToRecentFileList(const std::string& path) override { recent.push_back(path); }

    std::string answer; // empty: the user cancels
    std::vector<std::string> proposed;
    res::StringId lastTitle{};
    unsigned lastFlags = 0;
    bool lastOpen = true;
    std::vector<res::StringId> messages;
    std::vector<std::string> recent;
};

class Document : public testing::Test {
  protected:
    void SetUp() override { dir = MakeScratchFolder("relmuth-doc"); }
    void TearDown() override { fs::remove_all(dir); }

    std::string PathOf(const std::string& name) const { return (dir / name).string(); }

    void WriteFile(const std::string& name, const ByteArray& bytes) const {
        std::ofstream(PathOf(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    ByteArray ReadFile(const std::string& name) const {
        std::ifstream in(PathOf(name), std::ios::binary);
        return ByteArray(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::string> FilesInDir() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir;
    RecordingHost host;
};

const std::vector<CTapeBlock> kTape{Block(Bytes({0x3A, 0x00, 0x00}), 600),
                                    Block(Concat({BasicHeader(), Pattern(30)}), 1200)};

// The document reads through the rows of its own table, each asked for its
// extension in any letter case. A reading that is stopped, or that finds no
// block where its row needs one, leaves the tape, its name and its flag as
// they were; only the second is reported.
TEST_F(Document, RowsOfItsTableReadTheirNamesAndAStoppedReadingChangesNothing) {
    std::vector<CTapeFormatRow> rows = TapeImageFormatRows();
    rows.push_back({TapeFormat::recording, ".tone",
                    +[](CArchive& ar, CTapeReading& reading) {
                        reading.m_blocks.push_back(Block(ar.ReadAll(), 1200));
                        if (reading.m_pProgress != nullptr &&
                            !reading.m_pProgress->OnDecodeProgress(0.5))
                            throw CRecordingCancelled();
                    },
                    +[](const std::vector<CTapeBlock>&, const CDamageMarks&, CArchive&) {}, false});
    const CTapeFormats formats(rows);
    WriteFile("a.TONE", Bytes("abc"));
    WriteFile("empty.tone", {});
    CRelmuthDoc doc(&host, formats);
    doc.ReplaceTape(kTape);
    doc.SetPathName(PathOf("mine.kxm"));
    doc.SetModifiedFlag(true);

    struct CStop : CDecodeProgress {
        bool OnDecodeProgress(double) override { return false; }
    } stop;
    CTapeReading stopped;
    stopped.m_pProgress = &stop;
    EXPECT_FALSE(doc.OnOpenDocument(PathOf("a.TONE"), stopped));
    EXPECT_FALSE(doc.OnOpenDocument(PathOf("empty.tone")));
    EXPECT_EQ(doc.m_blocks, kTape);
    EXPECT_EQ(doc.GetPathName(), PathOf("mine.kxm"));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(host.messages, std::vector<res::StringId>{res::AFX_IDP_FAILED_TO_OPEN_DOC});

    EXPECT_TRUE(doc.OnOpenDocument(PathOf("a.TONE")));
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{Block(Bytes("abc"), 1200)});
    EXPECT_TRUE(doc.IsOriginalName(PathOf("b.tone")));
    EXPECT_FALSE(doc.IsOriginalName(PathOf("b.t88")));
    // The document of the images alone reads such a name as KXM.
    EXPECT_FALSE(CRelmuthDoc(&host).OnOpenDocument(PathOf("a.TONE")));
}

TEST_F(Document, FormatFollowsTheExtensionInAnyCase) {
    CRelmuthDoc doc(&host);
    doc.ReplaceTape(kTape);
    for (const char* name :
         {"x.Cmt", "y.CAS", "z.cmt.kxm", "noext", "t.txt", "u.T88", "v.kxm.t88", "w.t88.kxm"}) {
        ASSERT_TRUE(doc.OnSaveDocument(PathOf(name))) << name;
    }
    const ByteArray raw = Concat({kTape[0].m_data, kTape[1].m_data});
    EXPECT_EQ(ReadFile("x.Cmt"), raw);
    EXPECT_EQ(ReadFile("y.CAS"), raw);
    ByteArray kxm, t88;
    CMemoryArchive kxmSink(kxm), t88Sink(t88);
    WriteKxm(kTape, kxmSink);
    WriteT88(kTape, t88Sink);
    EXPECT_EQ(ReadFile("z.cmt.kxm"), kxm);
    EXPECT_EQ(ReadFile("noext"), kxm);
    EXPECT_EQ(ReadFile("t.txt"), kxm);
    EXPECT_EQ(ReadFile("w.t88.kxm"), kxm);
    EXPECT_EQ(ReadFile("u.T88"), t88);
    EXPECT_EQ(ReadFile("v.kxm.t88"), t88);
    // Each is read back by the same rule.
    for (const char* name : {"x.Cmt", "u.T88", "w.t88.kxm"}) {
        CRelmuthDoc other(&host);
        ASSERT_TRUE(other.OnOpenDocument(PathOf(name))) << name;
        EXPECT_EQ(Concat({other.m_blocks[0].m_data, other.m_blocks.back().m_data}), raw) << name;
    }
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Document, OpenReadsTheTapeAndTakesItsName) {
    CRelmuthDoc doc(&host);
    doc.ReplaceTape(kTape);
    ASSERT_TRUE(doc.OnSaveDocument(PathOf("tape.kxm")));
    CRelmuthDoc other(&host);
    ASSERT_TRUE(other.OnOpenDocument(PathOf("tape.kxm")));
    EXPECT_EQ(other.m_blocks, kTape);
    EXPECT_FALSE(other.IsModified());
    EXPECT_EQ(other.GetPathName(), PathOf("tape.kxm"));
    EXPECT_EQ(other.GetTitle(), "tape.kxm");
    EXPECT_EQ(host.recent, std::vector<std::string>{PathOf("tape.kxm")});
}

TEST_F(Document, EmptyFileIsAnEmptyTapeWhateverTheExtension) {
    for (const char* name : {"a.kxm", "b.cmt", "c.T88"}) {
        WriteFile(name, {});
        CRelmuthDoc doc(&host);
        doc.ReplaceTape(kTape);
        EXPECT_TRUE(doc.OnOpenDocument(PathOf(name)));
        EXPECT_TRUE(doc.m_blocks.empty());
        EXPECT_FALSE(doc.IsModified());
    }
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Document, UnreadableImageLeavesANewEmptyTapeAndSaysWhy) {
    ByteArray image = Bytes("PC-8801 Tape Image(KXN)");
    image.push_back(0);
    image.insert(image.end(), {0, 0, 0, 0});
    WriteFile("bad.kxm", image);
    WriteFile("short.kxm", Bytes("PC-8801"));

    CRelmuthDoc doc(&host);
    ASSERT_TRUE(doc.OnOpenDocument(PathOf("bad.kxm")) == false);
    EXPECT_TRUE(doc.m_blocks.empty());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetTitle(), "無題");
    EXPECT_EQ(doc.GetPathName(), "");

    doc.ReplaceTape(kTape);
    EXPECT_FALSE(doc.OnOpenDocument(PathOf("short.kxm")));
    EXPECT_TRUE(doc.m_blocks.empty());
    EXPECT_EQ(host.messages, (std::vector<res::StringId>{res::AFX_IDP_FAILED_INVALID_FORMAT,
                                                         res::AFX_IDP_FAILED_TO_OPEN_DOC}));
}

TEST_F(Document, MissingFileLeavesTheTapeAsItWas) {
    CRelmuthDoc doc(&host);
    doc.ReplaceTape(kTape);
    doc.SetModifiedFlag(true);
    EXPECT_FALSE(doc.OnOpenDocument(PathOf("nothing.kxm")));
    EXPECT_EQ(doc.m_blocks, kTape);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(host.messages, std::vector<res::StringId>{res::AFX_IDP_FAILED_TO_OPEN_DOC});
}

// A document whose writer fails halfway, as a full disk would.
class FailingDoc : public CRelmuthDoc {
  public:
    using CRelmuthDoc::CRelmuthDoc;
    using CRelmuthDoc::Serialize;
    void Serialize(CArchive& ar) override {
        const ByteArray half(100000, 0x55);
        ar.Write(half.data(), half.size());
        throw CRelmuthException(res::AFX_IDP_FAILED_TO_SAVE_DOC, "No space left on device");
    }
};

TEST_F(Document, FailedSaveLeavesTheOldFileAndNoTemporaryFile) {
    WriteFile("keep.kxm", Bytes("the user's precious tape"));
    fs::permissions(PathOf("keep.kxm"), fs::perms(0640));
    FailingDoc doc(&host);
    doc.ReplaceTape(kTape);
    doc.SetModifiedFlag(true);
    EXPECT_FALSE(doc.DoSave(PathOf("keep.kxm")));
    EXPECT_EQ(ReadFile("keep.kxm"), Bytes("the user's precious tape"));
    EXPECT_EQ(FilesInDir(), std::vector<std::string>{"keep.kxm"});
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(host.messages, std::vector<res::StringId>{res::AFX_IDP_FAILED_TO_SAVE_DOC});

    // Save As onto the same name fails the same way and deletes nothing.
    host.answer = PathOf("keep.kxm");
    EXPECT_FALSE(doc.DoSave(""));
    EXPECT_EQ(ReadFile("keep.kxm"), Bytes("the user's precious tape"));
    EXPECT_EQ(FilesInDir(), std::vector<std::string>{"keep.kxm"});
}

TEST_F(Document, SuccessfulSaveReplacesTheFileAndKeepsItsPermissions) {
    WriteFile("old.cmt", Bytes("old"));
    fs::permissions(PathOf("old.cmt"), fs::perms(0604));
    CRelmuthDoc doc(&host);
    doc.ReplaceTape(kTape);
    doc.SetModifiedFlag(true);
    EXPECT_TRUE(doc.DoSave(PathOf("old.cmt")));
    EXPECT_EQ(ReadFile("old.cmt"), Concat({kTape[0].m_data, kTape[1].m_data}));
    EXPECT_EQ(fs::status(PathOf("old.cmt")).permissions() & fs::perms::all, fs::perms(0604));
    EXPECT_EQ(FilesInDir(), std::vector<std::string>{"old.cmt"});
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetTitle(), "old.cmt");
}

TEST_F(Document, TapeTooLongForTheImageTimeIsNotSavedAndTheOldFileStays) {
    // One block at 600 baud just past the 32-bit time: nothing reaches the
    // disk, so the test writes none of its 48 MB.
    const std::size_t nBytes = (kMaxTapeTicks - LaidOutTicks({Block({})})) / 88 + 1;
    CRelmuthDoc doc(&host);
    doc.AppendBlock(ByteArray(nBytes), 600);
    ASSERT_GT(LaidOutTicks(doc.m_blocks), kMaxTapeTicks);
    for (const char* name : {"old.kxm", "old.T88"}) {
        WriteFile(name, Bytes("the old tape"));
        EXPECT_FALSE(doc.OnSaveDocument(PathOf(name))) << name;
        EXPECT_EQ(ReadFile(name), Bytes("the old tape"));
    }
    EXPECT_EQ(FilesInDir(), (std::vector<std::string>{"old.T88", "old.kxm"}));
    EXPECT_EQ(host.messages, std::vector<res::StringId>(2, res::AFX_IDP_FAILED_TO_SAVE_DOC));
}

TEST_F(Document, SaveIntoAMissingFolderFailsCleanly) {
    CRelmuthDoc doc(&host);
    EXPECT_FALSE(doc.OnSaveDocument(PathOf("no/such/folder/t.kxm")));
    EXPECT_EQ(host.messages, std::vector<res::StringId>{res::AFX_IDP_FAILED_TO_SAVE_DOC});
}

TEST_F(Document, SaveAsProposesTheTitleCutAtTheFirstUnusableCharacter) {
    CRelmuthDoc doc(&host);
    EXPECT_FALSE(doc.DoSave("")); // cancelled
    doc.SetTitle("my tape#2");
    EXPECT_FALSE(doc.DoSave(""));
    doc.SetTitle("a%b;c/d\\e");
    EXPECT_FALSE(doc.DoSave(""));
    EXPECT_EQ(host.proposed, (std::vector<std::string>{"無題", "my", "a"}));
    EXPECT_EQ(host.lastTitle, res::AFX_IDS_SAVEFILE);
    EXPECT_EQ(host.lastFlags, 0x804u);
    EXPECT_FALSE(host.lastOpen);
    EXPECT_TRUE(FilesInDir().empty());
}

TEST_F(Document, SaveAsOfANamedTapeProposesItsPathAndTakesTheNewName) {
    CRelmuthDoc doc(&host);
    doc.ReplaceTape(kTape);
    ASSERT_TRUE(doc.DoSave(PathOf("first.kxm")));
    host.answer = PathOf("second.CAS");
    ASSERT_TRUE(doc.DoSave(""));
    EXPECT_EQ(host.proposed, std::vector<std::string>{PathOf("first.kxm")});
    EXPECT_EQ(doc.GetPathName(), PathOf("second.CAS"));
    EXPECT_EQ(doc.GetTitle(), "second.CAS");
    EXPECT_EQ(ReadFile("second.CAS"), Concat({kTape[0].m_data, kTape[1].m_data}));
}

TEST_F(Document, RawImageReadsBackTheSameBytes) {
    CRelmuthDoc doc(&host);
    doc.ReplaceTape({Block(Bytes({1, 2, 3})),
                     Block(Concat({NamedHeader(), Bytes({':', 1, 2, 3, ':', 0, 0})}), 1200)});
    ASSERT_TRUE(doc.OnSaveDocument(PathOf("t.cas")));
    CRelmuthDoc other(&host);
    ASSERT_TRUE(other.OnOpenDocument(PathOf("t.cas")));
    EXPECT_EQ(other.m_blocks, (std::vector<CTapeBlock>{Block(Bytes({1, 2, 3})),
                                                       Block(doc.m_blocks[1].m_data, 600)}));
}

// A list view as the window program has it: it keeps the blocks it was told
// of and changes them by the updates alone.
class ListViewFake : public CDocumentView {
  public:
    explicit ListViewFake(CRelmuthDoc& doc) : m_doc(doc) { m_doc.AddView(this); }
    ~ListViewFake() override { m_doc.RemoveView(this); }
    void OnUpdate(CDocumentView*, const CDocUpdate& update) override {
        updates.push_back(update);
        const auto at = [this](std::size_t i) { return rows.begin() + static_cast<long>(i); };
        switch (update.kind) {
        case CDocUpdate::inserted:
            rows.insert(at(update.nIndex), m_doc.m_blocks[update.nIndex]);
            break;
        case CDocUpdate::removed:
            rows.erase(at(update.nIndex));
            break;
        case CDocUpdate::moved: {
            const CTapeBlock block = rows[update.nIndex];
            rows.erase(at(update.nIndex));
            rows.insert(at(update.nTo), block);
            break;
        }
        case CDocUpdate::replaced:
            rows[update.nIndex] = m_doc.m_blocks[update.nIndex];
            break;
        case CDocUpdate::reset:
            rows = m_doc.m_blocks;
            break;
        }
    }
    std::vector<CTapeBlock> rows;
    std::vector<CDocUpdate> updates;

  private:
    CRelmuthDoc& m_doc;
};

// Every edit sets the modified flag, keeps the damage marks with their
// blocks and tells the views exactly what changed; one at a place the tape
// does not have changes nothing.
TEST_F(Document, EveryEditKeepsMarksWithTheirBlocksAndTellsTheViewsWhatChanged) {
    const auto named = [](char c) { return Block(Bytes({static_cast<std::uint8_t>(c), 0})); };
    CRelmuthDoc doc(&host);
    ListViewFake view(doc);
    doc.ReplaceTape({named('A'), named('B'), named('C')},
                    {{1, 0, 1, DamageKind::lost, 5}, {2, 1, 1, DamageKind::framing, 6}});
    doc.SetModifiedFlag(false);

    doc.MoveBlock(2, 0); // C A B
    EXPECT_TRUE(doc.IsModified());
    doc.InsertBlock(1, named('D'));  // C D A B
    doc.ReplaceBlock(0, named('E')); // E D A B: C's mark goes
    doc.EraseBlock(1);               // E A B
    doc.AppendBlock(named('F'));     // E A B F
    doc.EraseBlock(4);
    doc.MoveBlock(0, 4);
    doc.InsertBlock(5, named('G'));
    doc.ReplaceBlock(4, named('G'));

    EXPECT_EQ(doc.m_blocks,
              (std::vector<CTapeBlock>{named('E'), named('A'), named('B'), named('F')}));
    EXPECT_EQ(view.rows, doc.m_blocks);
    EXPECT_EQ(doc.m_damageMarks, (CDamageMarks{{2, 0, 1, DamageKind::lost, 5}}));
    EXPECT_EQ(view.updates, (std::vector<CDocUpdate>{{CDocUpdate::reset},
                                                     {CDocUpdate::moved, 2, 0},
                                                     {CDocUpdate::inserted, 1},
                                                     {CDocUpdate::replaced, 0},
                                                     {CDocUpdate::removed, 1},
                                                     {CDocUpdate::inserted, 3}}));
}

// Another tape put in as an edit (another take merged in): undo gives back
// the tape before it with its marks, notes and modified flag, redo the
// other; the views are told every row went and came, and the notes follow
// their blocks through the edits around it.
TEST_F(Document, WholeTapeReplacedAsAnEditIsUndoneMarksNotesAndModifiedFlagAndAll) {
    CRelmuthDoc doc(&host);
    ListViewFake view(doc);
    const std::vector<CTapeBlock> before{Block(Bytes({1, 2, 3})), Block(Bytes({4, 5}), 1200)};
    const CDamageMarks marksBefore{{1, 0, 1, DamageKind::framing, 5}};
    const std::vector<CBlockNote> notesBefore{{{200, 200, 200}, nullptr}, {{0, 90}, nullptr}};
    doc.ReplaceTape(before, marksBefore, notesBefore);
    doc.SetModifiedFlag(false);
    view.updates.clear();

    const std::vector<CTapeBlock> merged{Block(Bytes({1, 2, 3})), Block(Bytes({4, 6}), 1200),
                                         Block(Bytes({7}))};
    doc.ReplaceTapeAsEdit(merged, {{1, 1, 1, DamageKind::undecided, 9}},
                          {{{200, 200, 200}, nullptr}, {{90, 0}, nullptr}});
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.m_blocks, merged);
    EXPECT_EQ(view.rows, merged);
    EXPECT_EQ(doc.m_blockNotes.size(), 3u); // the notes not given are empty
    EXPECT_EQ(doc.m_blockNotes[2], CBlockNote{});
    EXPECT_EQ(view.updates, (std::vector<CDocUpdate>{{CDocUpdate::removed, 0},
                                                     {CDocUpdate::removed, 0},
                                                     {CDocUpdate::inserted, 0},
                                                     {CDocUpdate::inserted, 1},
                                                     {CDocUpdate::inserted, 2}}));
    doc.MoveBlock(1, 0);
    EXPECT_EQ(doc.m_blockNotes[0].confidence, (std::vector<std::uint8_t>{90, 0}));

    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.m_blocks, before);
    EXPECT_EQ(view.rows, before);
    EXPECT_EQ(doc.m_damageMarks, marksBefore);
    EXPECT_EQ(doc.m_blockNotes, notesBefore);
    EXPECT_FALSE(doc.IsModified());
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(doc.m_blocks, merged);
    EXPECT_EQ(view.rows, merged);
    EXPECT_EQ(doc.m_damageMarks, (CDamageMarks{{1, 1, 1, DamageKind::undecided, 9}}));
    EXPECT_TRUE(doc.IsModified());
}

// Another reading for a damaged byte: the byte changes, its mark goes, the
// views are told the block holds other bytes; undo brings the byte and its
// mark back, redo takes them again, in one history with the block edits.
// New bytes for a block, and every open, forget the history.
TEST_F(Document, ReplacedByteLeavesItsMarkUntilUndone) {
    CRelmuthDoc doc(&host);
    ListViewFake view(doc);
    const CDamageMarks marks{{0, 1, 1, DamageKind::framing, 5},
                             {1, 0, 2, DamageKind::undecided, 9}};
    doc.ReplaceTape({Block(Bytes({1, 2, 3})), Block(Bytes({4, 5}), 1200)}, marks);
    doc.SetModifiedFlag(false);

    doc.ReplaceByte(1, 0, 0x44);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.m_blocks[1].m_data, Bytes({0x44, 5}));
    EXPECT_EQ(doc.m_damageMarks, (CDamageMarks{{0, 1, 1, DamageKind::framing, 5},
                                               {1, 1, 1, DamageKind::undecided, 18}}));
    EXPECT_EQ(view.rows, doc.m_blocks);
    ASSERT_TRUE(doc.CanUndo());
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.m_blocks[1].m_data, Bytes({4, 5}));
    EXPECT_EQ(doc.m_damageMarks, marks);
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(doc.m_blocks[1].m_data, Bytes({0x44, 5}));
    EXPECT_EQ(view.rows, doc.m_blocks);
    EXPECT_EQ(view.updates, (std::vector<CDocUpdate>{{CDocUpdate::reset},
                                                     {CDocUpdate::replaced, 1},
                                                     {CDocUpdate::replaced, 1},
                                                     {CDocUpdate::replaced, 1}}));

    doc.ReplaceByte(0, 9, 0); // no such byte
    EXPECT_EQ(view.updates.size(), 4u);
    // One history with the block edits: a move after it is undone first.
    doc.MoveBlock(0, 1);
    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.m_blocks[1].m_data, Bytes({4, 5}));
    EXPECT_EQ(doc.m_damageMarks, marks);
    ASSERT_TRUE(doc.Redo());
    // New bytes for the block: the byte's old value would go into them.
    doc.ReplaceBlock(1, Block(Bytes({7, 8})));
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_FALSE(doc.Undo());
    EXPECT_EQ(doc.m_blocks[1].m_data, Bytes({7, 8}));
    doc.ReplaceByte(0, 0, 0);
    ASSERT_TRUE(doc.OnSaveDocument(PathOf("byte.kxm")));
    ASSERT_TRUE(doc.OnOpenDocument(PathOf("byte.kxm")));
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_FALSE(doc.Undo());
}

TEST_F(Document, ViewsShowTheTapeAfterEveryOpenAndNew) {
    CRelmuthDoc doc(&host);
    ListViewFake view(doc);
    doc.ReplaceTape(kTape);
    ASSERT_TRUE(doc.OnSaveDocument(PathOf("two.kxm")));
    doc.ReplaceTape({Block(Bytes({7}))});
    ASSERT_TRUE(doc.OnSaveDocument(PathOf("one.cmt")));
    WriteFile("bad.kxm", Bytes("not a tape image at all"));

    for (const char* name : {"two.kxm", "one.cmt", "bad.kxm", "two.kxm"}) {
        doc.OnOpenDocument(PathOf(name));
        EXPECT_EQ(view.rows, doc.m_blocks) << name;
    }
    ASSERT_EQ(doc.m_blocks, kTape);
    doc.OnNewDocument();
    EXPECT_TRUE(view.rows.empty());
    doc.AppendBlock(Bytes({1}), 600);
    EXPECT_EQ(view.rows, doc.m_blocks);
}

TEST(TapeFileName, FilterListAndDefaultExtension) {
    const auto filters = GetTapeFileFilters();
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].strDescription, "Nerith Tape Image (kxm, cmt)");
    EXPECT_EQ(filters[0].strPattern, "*.kxm;*.cmt;*.cas");
    EXPECT_EQ(filters[1].strDescription, "すべてのﾌｧｲﾙ (*.*)");
    EXPECT_EQ(filters[1].strPattern, "*.*");

    // The entries Open and Save As add after those two: every pattern is
    // read (Open) or written (Save As) by the format its entry names.
    const auto namesOf = [](const CFileFilter& filter) {
        std::vector<std::string> names;
        std::string rest = filter.strPattern + ';';
        for (std::size_t semi; (semi = rest.find(';')) != std::string::npos;
             rest.erase(0, semi + 1))
            names.push_back("x" + rest.substr(1, semi - 1));
        return names;
    };
    for (const bool bOpen : {true, false}) {
        const std::vector<CFileFilter> list = GetTapeFileFilters(bOpen);
        ASSERT_EQ(list.size(), 4u);
        for (const std::string& name : namesOf(list[2]))
            EXPECT_TRUE(IsT88Name(name)) << name;
    }
    EXPECT_EQ(GetTapeFileFilters(false)[3].strPattern, "*.wav"); // the only recording written

    EXPECT_EQ(WithDefaultTapeExtension("無題"), "無題.kxm");
    EXPECT_EQ(WithDefaultTapeExtension("/home/me.d/tape"), "/home/me.d/tape.kxm");
    EXPECT_EQ(WithDefaultTapeExtension("tape.cmt"), "tape.cmt");
    EXPECT_EQ(WithDefaultTapeExtension("my.tape"), "my.tape");
}

} // namespace
