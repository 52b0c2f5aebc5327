// SPDX-License-Identifier: GPL-3.0-or-later
// What a tape opened from a recording keeps of its damage, and recordings
// that hold no block at all.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <filesystem>
#include <fstream>

#include "audio/RecordingFormats.h"
#include "audio/RecordingMarks.h"
#include "tape/RelmuthDoc.h"
#include "tests/ScratchFolder.h"

namespace {

class CHost final : public CDocumentHost {
  public:
    bool PromptForTapeFileName(std::string& strName, res::StringId, unsigned, bool) override {
        proposed.push_back(strName);
        return false;
    }
    std::vector<std::string> proposed;
    void ReportSaveLoadException(const CRelmuthException& e) override {
        reported.push_back(e.GetUserText());
    }
    std::vector<std::string> reported;
};

class CCountingView final : public CDocumentView {
  public:
    void OnUpdate(CDocumentView*, const CDocUpdate&) override { ++nUpdates; }
    int nUpdates = 0;
};

class RecordingTape : public testing::Test {
  protected:
    void SetUp() override { dir = MakeScratchFolder("relmuth-marks"); }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string P(const std::string& name) const { return (dir / name).string(); }

    // A mono 16-bit WAV of these samples.
    void PutWav(const std::string& name, const std::vector<float>& samples) const {
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* out = sf_open(P(name).c_str(), SFM_WRITE, &info);
        ASSERT_NE(out, nullptr) << sf_strerror(nullptr);
        sf_writef_float(out, samples.data(), static_cast<sf_count_t>(samples.size()));
        sf_close(out);
    }

    std::filesystem::path dir;
};

TEST(RecordingMarks, DamagedBytesInARowWithOneFaultBecomeOneMark) {
    const std::vector<CDamagedByte> damage{
        {0, 4, 1.0, ByteFault::framing},   {0, 5, 1.01, ByteFault::framing},
        {0, 6, 1.02, ByteFault::framing},  {0, 7, 1.03, ByteFault::lost},
        {0, 9, 1.05, ByteFault::lost},     {1, 10, 2.5, ByteFault::undecided},
        {2, 0, 3.0004, ByteFault::framing}};
    EXPECT_EQ(MarksFromDamage(damage), (CDamageMarks{{0, 4, 3, DamageKind::framing, 1000},
                                                     {0, 7, 1, DamageKind::lost, 1030},
                                                     {0, 9, 1, DamageKind::lost, 1050},
                                                     {1, 10, 1, DamageKind::undecided, 2500},
                                                     {2, 0, 1, DamageKind::framing, 3000}}));
}

// A tape read at the wrong forced speed is damaged throughout: its marks go
// into the KXM image and come back from it, while a T88 image and a raw one
// are written as for a tape without marks.
TEST_F(RecordingTape, MarksOfADamagedRecordingAreKeptInKxmOnly) {
    CRelmuthDoc source(nullptr, TapeFormats());
    source.ReplaceTape({CTapeBlock{{':', 0x9C, 0x3A, 0, 0xFF}, kBaudSlow},
                        CTapeBlock{{1, 2, 3, 0x3A}, kBaudFast}});
    ASSERT_TRUE(source.OnSaveDocument(P("tape.wav")));

    CRelmuthDoc doc(nullptr, TapeFormats());
    CRecordingReading reading;
    reading.m_options.nBaud = kBaudSlow;
    ASSERT_TRUE(doc.OnOpenDocument(P("tape.wav"), reading));
    ASSERT_FALSE(reading.m_damage.empty());
    EXPECT_EQ(doc.m_damageMarks, MarksFromDamage(reading.m_damage));

    ASSERT_TRUE(doc.OnSaveDocument(P("tape.kxm")));
    CRelmuthDoc back(nullptr, TapeFormats());
    CRecordingReading again;
    ASSERT_TRUE(back.OnOpenDocument(P("tape.kxm"), again));
    EXPECT_EQ(back.m_blocks, doc.m_blocks);
    EXPECT_EQ(back.m_damageMarks, doc.m_damageMarks);
    EXPECT_TRUE(again.m_damage.empty()); // the report of a recording only

    CRelmuthDoc unmarked(nullptr, TapeFormats());
    unmarked.ReplaceTape(doc.m_blocks);
    for (const char* name : {"t88", "cmt"}) {
        ASSERT_TRUE(doc.OnSaveDocument(P(std::string("marked.") + name)));
        ASSERT_TRUE(unmarked.OnSaveDocument(P(std::string("plain.") + name)));
        std::ifstream a(P(std::string("marked.") + name), std::ios::binary);
        std::ifstream b(P(std::string("plain.") + name), std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(a), {}),
                  std::string(std::istreambuf_iterator<char>(b), {}))
            << name;
    }

    // A new tape has no marks.
    doc.OnNewDocument();
    EXPECT_TRUE(doc.m_damageMarks.empty());
}

// A recording is the user's original: Save As proposes a KXM image beside it.
TEST_F(RecordingTape, SaveAsOfARecordingProposesAKxmImageBesideIt) {
    CHost host;
    CRelmuthDoc doc(&host, TapeFormats());
    doc.ReplaceTape({CTapeBlock{{1, 2, 3}, kBaudFast}});
    for (const char* name : {"side.a.WAV", "b.flac", "c.kxm"}) {
        doc.SetPathName(P(name));
        EXPECT_FALSE(doc.DoSave(""));
    }
    EXPECT_EQ(host.proposed, (std::vector<std::string>{P("side.a.kxm"), P("b.kxm"), P("c.kxm")}));
}

TEST_F(RecordingTape, RecordingWithoutABlockFailsAndLeavesTheTapeAlone) {
    std::ofstream(P("empty.wav")).flush();                  // no bytes at all
    PutWav("header-only.wav", {});                          // a WAV header and no samples
    PutWav("silence.wav", std::vector<float>(44100, 0.0f)); // samples, but no block
    for (const char* name : {"empty.wav", "header-only.wav", "silence.wav"}) {
        SCOPED_TRACE(name);
        CHost host;
        CRelmuthDoc doc(&host, TapeFormats());
        doc.ReplaceTape({CTapeBlock{{1, 2, 3}, kBaudFast}}, {{0, 1, 1, DamageKind::lost, 5}});
        CCountingView view;
        doc.AddView(&view);
        doc.SetPathName(P("mine.kxm"));
        doc.SetModifiedFlag(true);

        EXPECT_FALSE(doc.OnOpenDocument(P(name)));
        EXPECT_EQ(host.reported,
                  std::vector<std::string>{"ﾄﾞｷｭﾒﾝﾄを開くことに失敗しました。\n"
                                           "この録音にはブロックが見つかりませんでした。"});
        EXPECT_EQ(doc.m_blocks, (std::vector<CTapeBlock>{CTapeBlock{{1, 2, 3}, kBaudFast}}));
        EXPECT_EQ(doc.m_damageMarks.size(), 1u);
        EXPECT_EQ(doc.GetPathName(), P("mine.kxm"));
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(view.nUpdates, 0);
        doc.RemoveView(&view);
    }
}

} // namespace
