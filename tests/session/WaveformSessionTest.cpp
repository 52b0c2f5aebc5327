// SPDX-License-Identifier: GPL-3.0-or-later
// The waveform of a damaged byte through the session: found from the
// byte's mark however the tape was edited since it was opened, shown by the
// owner, and another reading picked as an edit that undo takes back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../ScratchFolder.h"
#include "../audio/Signals.h"
#include "session/TapeSession.h"

namespace {

// Stepping through the marked bytes of the tape, forward and back, across
// blocks and through a run; nothing past either end.
TEST(Waveforms, NextMarkedByteStepsThroughEveryMarkedByteInTapeOrder) {
    const CDamageMarks marks{{2, 0, 1, DamageKind::lost, 0},
                             {0, 5, 3, DamageKind::undecided, 0},
                             {0, 1, 1, DamageKind::framing, 0}};
    std::vector<CTapePlace> forward;
    for (auto at = NextMarkedByte(marks, 0, 0, true); at;
         at = NextMarkedByte(marks, at->nBlock, at->nOffset, true))
        forward.push_back(*at);
    EXPECT_EQ(forward, (std::vector<CTapePlace>{{0, 1}, {0, 5}, {0, 6}, {0, 7}, {2, 0}}));
    std::vector<CTapePlace> back;
    for (auto at = NextMarkedByte(marks, 3, 0, false); at;
         at = NextMarkedByte(marks, at->nBlock, at->nOffset, false))
        back.push_back(*at);
    EXPECT_EQ(back, (std::vector<CTapePlace>{{2, 0}, {0, 7}, {0, 6}, {0, 5}, {0, 1}}));
    EXPECT_EQ(NextMarkedByte(marks, 0, 6, false), (CTapePlace{0, 5}));
    EXPECT_EQ(NextMarkedByte(marks, 1, 99, true), (CTapePlace{2, 0}));
    EXPECT_EQ(NextMarkedByte({}, 0, 0, true), std::nullopt);
}

class CWaveOwner : public CSessionOwner {
  public:
    std::vector<std::string> events;
    std::optional<CByteWaveform> shown;

    void OpenRecvProgress(int) override {}
    void SetRecvProgress(int) override {}
    void CloseRecvProgress() override {}
    void ShowMessage(res::StringId nMessage) override {
        events.push_back(std::string(res::LoadString(nMessage)));
    }
    void SelectBlock(std::size_t) override {}
    void OnLinkLost(const CCommError&) override {}
    void ShowWaveform(std::size_t nBlock, std::size_t nOffset, const CByteWaveform& wave) override {
        events.push_back("waveform " + std::to_string(nBlock) + " " + std::to_string(nOffset));
        shown = wave;
    }
};

class CRows : public CBlockRows {
  public:
    int GetRowCount() const override { return 2; }
    int GetSelectedRow() const override { return nSelected; }
    void SelectRow(int nIndex) override { nSelected = nIndex; }
    int nSelected = -1;
};

class CNoClipboard : public CClipboard {
  public:
    std::string GetText() const override { return {}; }
    void SetText(const std::string&) override {}
};

// Two blocks at 1200 baud; the first starts 1.5 s in, and one data bit of
// its byte 4 (0x5A, the bit a space) is silence.
const ByteArray kFirst{0x10, 0x20, 0x30, 0x40, 0x5A, 0x60, 0x70, 0x80};
const ByteArray kSecond{0x01, 0x02, 0x03};

void WriteSpoiledRecording(const std::string& strPath) {
    signals::Samples x = signals::Write(
        [](CTapeRecordSink& sink) {
            const std::uint32_t n1 = 44 * kFirst.size(), n2 = 44 * kSecond.size();
            sink.OnGap(TapeGap::outer, 0, 2400);
            sink.OnData(2400, n1, kBaudFast, kFirst);
            sink.OnGap(TapeGap::inner, 2400 + n1, 2400);
            sink.OnGap(TapeGap::outer, 4800 + n1, 2400);
            sink.OnData(7200 + n1, n2, kBaudFast, kSecond);
            sink.OnGap(TapeGap::inner, 7200 + n1 + n2, 2400);
        },
        44100, 4800);
    signals::Silence(x, 1.5 + (4 * 11 + 3) / double(kBaudFast), 1.0 / kBaudFast);
    const ByteArray file = signals::WaveFile(x);
    std::ofstream(strPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
}

class WaveformSession : public testing::Test {
  protected:
    void SetUp() override {
        dir = MakeScratchFolder("relmuth-wave");
        wav = (dir / "take.wav").string();
        WriteSpoiledRecording(wav);
        session.AttachEditing(rows, clipboard);
        CRecordingReading reading;
        ASSERT_TRUE(session.ReadFile(wav, reading));
        ASSERT_EQ(doc.m_blocks.size(), 2u);
        ASSERT_EQ(doc.m_damageMarks.size(), 1u);
        ASSERT_EQ(doc.m_damageMarks[0].nOffset, 4u);
        ASSERT_EQ(doc.m_blocks[0].m_data[4], 0x5E); // the silent bit read as mark
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    bool Offered() {
        bool bEnable = false;
        EXPECT_TRUE(session.OnUpdateCmdUi(res::ID_VIEW_WAVEFORM, bEnable));
        return bEnable;
    }

    std::filesystem::path dir;
    std::string wav;
    CRelmuthDoc doc{nullptr, TapeFormats()};
    CWaveOwner owner;
    CRows rows;
    CNoClipboard clipboard;
    CTapeSession session{doc, owner, {}};
};

// The command is offered on a block with a marked byte; it shows that
// byte's waveform, found through its mark after the block was moved.
TEST_F(WaveformSession, MarkedRowShowsItsByteEvenAfterTheBlockMoved) {
    EXPECT_FALSE(Offered()); // no row selected
    rows.nSelected = 1;
    EXPECT_FALSE(Offered()); // a clean block
    doc.MoveBlock(0, 1);
    EXPECT_TRUE(Offered());
    EXPECT_TRUE(session.CanShowWaveform(1, 4));
    EXPECT_FALSE(session.CanShowWaveform(1, 3));
    EXPECT_FALSE(session.CanShowWaveform(0, 0));

    EXPECT_TRUE(session.OnCmdMsg(res::ID_VIEW_WAVEFORM));
    EXPECT_EQ(owner.events, std::vector<std::string>{"waveform 1 4"});
    ASSERT_TRUE(owner.shown);
    EXPECT_EQ(owner.shown->nBlock, 0u); // the block as the recording was decoded
    EXPECT_EQ(owner.shown->nOffset, 4u);
    EXPECT_EQ(owner.shown->readings.front(), 0x5E);
    EXPECT_EQ(owner.shown->readings.at(1), 0x5A);
}

// The reading picked goes into the tape and takes the mark; undo brings
// both back, and the waveform can be shown again.
TEST_F(WaveformSession, PickedReadingIsAnEditUndoTakesBack) {
    session.PickReading(0, 4, 0x5A);
    EXPECT_EQ(doc.m_blocks[0].m_data, kFirst);
    EXPECT_TRUE(doc.m_damageMarks.empty());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(session.CanShowWaveform(0, 4));
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.m_blocks[0].m_data[4], 0x5E);
    EXPECT_EQ(doc.m_damageMarks.size(), 1u);
    EXPECT_TRUE(session.ReadWaveform(0, 4).has_value());
}

// A take merged in brings its recording with the blocks whose marks it
// named: the waveform of such a byte is read from that take, also after
// the merge was undone and done again; the open tape's own blocks keep
// theirs.
TEST_F(WaveformSession, MergedTakeShowsTheWaveformOfTheTakeItsMarkCameFrom) {
    const std::string other = (dir / "other.wav").string();
    std::filesystem::rename(wav, other);
    doc.ReplaceTape({CTapeBlock{kSecond, kBaudFast}}); // a tape of the second block alone
    EXPECT_FALSE(session.CanShowWaveform(0, 4));

    CRecordingReading reading;
    ASSERT_TRUE(session.MergeTake(other, reading));
    ASSERT_EQ(doc.m_blocks.size(), 2u);
    ASSERT_EQ(doc.m_damageMarks.size(), 1u);
    EXPECT_EQ(doc.m_damageMarks[0].nBlock, 0u);
    rows.nSelected = 0;
    EXPECT_TRUE(Offered());
    EXPECT_TRUE(session.OnCmdMsg(res::ID_VIEW_WAVEFORM));
    EXPECT_EQ(owner.events, std::vector<std::string>{"waveform 0 4"});
    ASSERT_TRUE(owner.shown);
    EXPECT_EQ(owner.shown->readings.front(), 0x5E);

    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.m_blocks, (std::vector<CTapeBlock>{{kSecond, kBaudFast}}));
    EXPECT_FALSE(Offered());
    ASSERT_TRUE(doc.Redo());
    EXPECT_TRUE(session.ReadWaveform(0, 4).has_value());
}

// A recording gone since it was opened, or a tape that is no longer the one
// opened from it, has no waveform to show: the owner is told why.
TEST_F(WaveformSession, RecordingGoneOrTapeReplacedShowsWhyNot) {
    std::filesystem::remove(wav);
    session.ShowWaveform(0, 4);
    EXPECT_EQ(owner.events, std::vector<std::string>{
                                std::string(res::LoadString(res::IDS_WAVEFORM_UNAVAILABLE))});
    WriteSpoiledRecording(wav);
    EXPECT_TRUE(session.CanShowWaveform(0, 4));
    doc.OnNewDocument();
    EXPECT_FALSE(session.GetRecordingSource().has_value());
    EXPECT_FALSE(session.CanShowWaveform(0, 4));
}

} // namespace
