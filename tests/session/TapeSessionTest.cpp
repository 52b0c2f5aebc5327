// SPDX-License-Identifier: GPL-3.0-or-later
// The tape session without a window: the test is the owner's thread. It
// gives the session an in-memory line, counts the port's posts and hands
// them to the session as an event loop would, from inside message boxes
// and progress reports where the window program's nested loops run.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "../ScratchFolder.h"
#include "../serial/FakeSerialDevice.h"
#include "../serial/WaitFor.h"
#include "session/SendLoader.h"
#include "session/StatusText.h"
#include "session/TapeSession.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Wire(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A block of three bytes at 1200 baud as Grebe sends it, and one with a
// wrong checksum.
const std::string kGoodTransfer = "\r\nCAS1\r\n0003\r\n0102FF\r\n02\r\n";
const std::string kBadChecksum = "\r\nCAS1\r\n0003\r\n0102FF\r\n03\r\n";
const CTapeBlock kGoodBlock{{0x01, 0x02, 0xFF}, 1200};

// The owner: what the session tells it, in order, and a hook for the
// message box's event loop.
class CFakeOwner : public CSessionOwner {
  public:
    std::vector<std::string> events;
    std::function<void()> onMessage;

    void OpenRecvProgress(int nTotal) override {
        events.push_back("open " + std::to_string(nTotal));
    }
    void SetRecvProgress(int nPercent) override {
        events.push_back(std::to_string(nPercent) + "%");
    }
    void CloseRecvProgress() override { events.push_back("close"); }
    void ShowMessage(res::StringId nMessage) override {
        events.push_back(std::string(res::LoadString(nMessage)));
        if (onMessage)
            onMessage();
    }
    void SelectBlock(std::size_t nIndex) override {
        events.push_back("select " + std::to_string(nIndex));
    }
    void OnLinkLost(const CCommError& error) override {
        events.push_back("lost " + std::to_string(error.nErrno));
    }
};

class TapeSession : public testing::Test {
  protected:
    TapeSession() {
        session.OpenPort(std::make_unique<CFakeSerialDevice>(line), BAUD_9600);
        session.InstallReceiver();
    }

    // Bytes from the PC-8801; returns once the port has posted them.
    void Arrive(const std::string& text) {
        const int nBefore = posts;
        line->Arrive(Wire(text));
        ASSERT_TRUE(WaitFor([&] { return posts > nBefore; }));
    }
    // The event loop takes the posts that came.
    void Deliver() { session.OnPortReceived(); }

    std::shared_ptr<CFakeLine> line = std::make_shared<CFakeLine>();
    std::atomic<int> posts{0};
    std::mutex lostMutex;
    std::optional<CCommError> lost;
    CRelmuthDoc doc{nullptr, TapeFormats()};
    CFakeOwner owner;
    CTapeSession session{doc,
                         owner,
                         {[this] { ++posts; },
                          [this](const CCommError& e) {
                              std::lock_guard lock(lostMutex);
                              lost = e;
                          }}};
};

TEST_F(TapeSession, ABlockFromTheLineIsStoredSelectedAndMarksTheTapeModified) {
    EXPECT_EQ(session.GetLinkState(), LinkState::open);
    Arrive(kGoodTransfer);
    Deliver();
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{kGoodBlock});
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(owner.events, (std::vector<std::string>{"open 3", "100%", "select 0", "close"}));
}

// The message box of a bad transfer runs an event loop, which takes the
// next transfer from the line: its lines wait behind the one under way, and
// it is stored once the box is closed.
TEST_F(TapeSession, ATransferArrivingWhileAMessageIsOpenIsReceivedWhole) {
    std::size_t nWaiting = 0;
    owner.onMessage = [&] {
        owner.onMessage = nullptr;
        Arrive(kGoodTransfer);
        Deliver();
        nWaiting = session.GetReceiveContext().GetPendingLineCount();
        EXPECT_TRUE(doc.m_blocks.empty());
    };
    Arrive(kBadChecksum);
    Deliver();
    EXPECT_EQ(nWaiting, 5u);
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{kGoodBlock});
    EXPECT_EQ(owner.events,
              (std::vector<std::string>{"open 3", "100%", "close",
                                        std::string(res::LoadString(res::IDS_RECV_BAD_CHECKSUM)),
                                        "open 3", "100%", "select 0", "close"}));
}

// A recording's decoding lets the event loop run: bytes that arrive then
// wait in the port, and the block they bring goes to the tape just opened,
// from a post that comes once the reading is over.
TEST_F(TapeSession, BytesArrivingWhileAFileIsReadGoToTheTapeItOpens) {
    const std::filesystem::path dir = MakeScratchFolder("relmuth-session");
    const std::string wav = (dir / "tape.wav").string();
    CRelmuthDoc source(nullptr, TapeFormats());
    source.ReplaceTape({CTapeBlock{{':', 0x9C, 0x3A, 0, 0xFF}, 1200}});
    ASSERT_TRUE(source.OnSaveDocument(wav));
    doc.ReplaceTape({CTapeBlock{{0x41}, 600}});

    struct CProgress : CDecodeProgress {
        std::function<void()> once;
        bool OnDecodeProgress(double) override {
            if (once)
                std::exchange(once, nullptr)();
            return true;
        }
    } progress;
    bool bReadingSeen = false;
    progress.once = [&] {
        bReadingSeen = session.IsReadingFile();
        Arrive(kGoodTransfer);
        Deliver(); // held
        EXPECT_EQ(doc.m_blocks.size(), 1u);
    };
    CRecordingReading reading;
    reading.m_pProgress = &progress;
    const int nPostsBefore = posts;
    ASSERT_TRUE(session.ReadFile(wav, reading));
    EXPECT_TRUE(bReadingSeen);
    EXPECT_FALSE(session.IsReadingFile());
    EXPECT_EQ(doc.m_blocks, source.m_blocks);
    EXPECT_GT(posts, nPostsBefore + 1); // the held bytes are posted again
    Deliver();
    EXPECT_EQ(doc.m_blocks, (std::vector<CTapeBlock>{source.m_blocks[0], kGoodBlock}));
    std::filesystem::remove_all(dir);
}

// Another take merged into the open tape: the byte marked damaged in the
// tape is taken from the recording that read it cleanly, the marks go and
// the tape is modified; a take that cannot be read leaves the tape alone.
// The merge is one edit: undo gives back the tape, its marks and its
// modified flag, redo the merged tape.
TEST_F(TapeSession, AnotherTakeMendsTheDamagedBytesOfTheOpenTape) {
    const std::filesystem::path dir = MakeScratchFolder("relmuth-session");
    const std::string wav = (dir / "take.wav").string();
    const CTapeBlock block{{':', 0x9C, 0x3A, 0, 0xFF, 0x10, 0x20, 0x30}, 1200};
    CRelmuthDoc source(nullptr, TapeFormats());
    source.ReplaceTape({block});
    ASSERT_TRUE(source.OnSaveDocument(wav));
    CTapeBlock spoilt = block;
    spoilt.m_data[4] = 0x7F;
    const CDamageMarks marks{{0, 4, 1, DamageKind::framing, 2100}};
    doc.ReplaceTape({spoilt}, marks);
    doc.SetModifiedFlag(false);

    CRecordingReading missing;
    EXPECT_FALSE(session.MergeTake((dir / "none.wav").string(), missing));
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{spoilt});
    EXPECT_EQ(doc.m_damageMarks, marks);
    EXPECT_FALSE(doc.IsModified());

    CRecordingReading reading;
    CMergeResult merged;
    ASSERT_TRUE(session.MergeTake(wav, reading, &merged));
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{block});
    EXPECT_TRUE(doc.m_damageMarks.empty());
    EXPECT_TRUE(session.GetRecordingDamage().empty());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(MendedByteCount(merged), 1u);
    // The merged block read as clearly as the recording that mended it.
    ASSERT_EQ(doc.m_blockNotes.size(), 1u);
    EXPECT_EQ(doc.m_blockNotes[0].confidence.size(), block.m_data.size());

    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{spoilt});
    EXPECT_EQ(doc.m_damageMarks, marks);
    EXPECT_FALSE(doc.IsModified());
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{block});
    EXPECT_TRUE(doc.m_damageMarks.empty());
    EXPECT_TRUE(doc.IsModified());
    std::filesystem::remove_all(dir);
}

// The far end goes: the link is lost and the owner told once; a port
// opened again receives, and a port that cannot be opened leaves the link
// closed with the system's reason.
TEST_F(TapeSession, ALostLinkIsToldOnceAndAPortOpenedAgainReceives) {
    line->Change([](CFakeLine& l) { l.bHungUp = true; });
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard lock(lostMutex);
        return lost.has_value();
    }));
    session.OnPortLost(*lost);
    session.OnPortLost(*lost);
    EXPECT_EQ(session.GetLinkState(), LinkState::lost);
    EXPECT_EQ(owner.events, std::vector<std::string>{"lost 0"});
    // Sending would wait for ever on a line that went away.
    bool bSendOffered = true;
    EXPECT_TRUE(session.OnUpdateCmdUi(res::ID_SEND_PROGRAM, bSendOffered));
    EXPECT_FALSE(bSendOffered);
    EXPECT_EQ(session.StartSendLoader(), 0);

    EXPECT_FALSE(session.OpenPort("/dev/relmuth-no-such-port", BAUD_9600));
    EXPECT_EQ(session.GetLinkState(), LinkState::closed);
    EXPECT_FALSE(session.GetOpenError().strReason.empty());
    EXPECT_TRUE(session.OnUpdateCmdUi(res::ID_SEND_PROGRAM, bSendOffered));
    EXPECT_FALSE(bSendOffered);
    EXPECT_EQ(session.StartSendLoader(), 0);
    session.OnPortLost(*lost); // a late post of the old port changes nothing
    EXPECT_EQ(session.GetLinkState(), LinkState::closed);

    line = std::make_shared<CFakeLine>();
    ASSERT_TRUE(session.OpenPort(std::make_unique<CFakeSerialDevice>(line), BAUD_9600));
    EXPECT_EQ(session.GetLinkState(), LinkState::open);
    session.InstallReceiver();
    Arrive(kGoodTransfer);
    Deliver();
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{kGoodBlock});
    EXPECT_EQ(owner.events.size(), 5u); // lost, then the block's four
}

// The line goes in the middle of a block: the progress closes, the user is
// told, the tape stays as it was and the receiver waits for a header; the
// next port receives a whole block again. A send under way stops at once.
TEST_F(TapeSession, ALostLinkCutsOffTheTransferUnderWayAndTheSend) {
    doc.ReplaceTape({CTapeBlock{{0x41}, 600}});
    ASSERT_GT(session.StartSendLoader(), 0);
    Arrive("\r\nCAS1\r\n0004\r\n0102");
    Deliver();
    line->Change([](CFakeLine& l) { l.bHungUp = true; });
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard lock(lostMutex);
        return lost.has_value();
    }));
    session.OnPortLost(*lost);
    EXPECT_EQ(owner.events,
              (std::vector<std::string>{"open 4", "close", "lost 0",
                                        std::string(res::LoadString(res::IDS_TRANSFER_CUT_OFF))}));
    EXPECT_EQ(doc.m_blocks, (std::vector<CTapeBlock>{CTapeBlock{{0x41}, 600}}));
    EXPECT_FALSE(session.GetReceiveContext().IsInTransfer());
    EXPECT_TRUE(session.GetReceiveContext().GetPartialLine().empty());
    EXPECT_TRUE(session.GetSendProgress().bLinkLost);

    line = std::make_shared<CFakeLine>();
    ASSERT_TRUE(session.OpenPort(std::make_unique<CFakeSerialDevice>(line), BAUD_9600));
    session.InstallReceiver();
    EXPECT_FALSE(session.GetSendProgress().bLinkLost);
    Arrive("FF\r\n02\r\n" + kGoodTransfer); // the rest of the old block is no block
    Deliver();
    EXPECT_EQ(doc.m_blocks, (std::vector<CTapeBlock>{CTapeBlock{{0x41}, 600}, kGoodBlock}));
}

// The port is set to the loader's frame, 7 data bits, no parity, one stop
// bit with XON/XOFF, at the speed chosen; an unknown speed flag is 9600.
TEST_F(TapeSession, OpensTheLineWithTheProgramsFrameAtTheChosenSpeed) {
    using Row = std::pair<unsigned, speed_t>;
    for (const auto& [nFlag, speed] :
         {Row{BAUD_19200, B19200}, Row{BAUD_1200, B1200}, Row{0, B9600}}) {
        SCOPED_TRACE(nFlag);
        auto other = std::make_shared<CFakeLine>();
        ASSERT_TRUE(session.OpenPort(std::make_unique<CFakeSerialDevice>(other), nFlag));
        const termios t = other->Look([](CFakeLine& l) { return l.lastSet.value_or(termios{}); });
        EXPECT_EQ(cfgetospeed(&t), speed);
        EXPECT_EQ(cfgetispeed(&t), speed);
        EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB), tcflag_t(CS7));
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), tcflag_t(IXON | IXOFF));
    }
}

// The line holds the loader back; cancelling drops what is queued, and
// only the chunk already on its way reaches the line.
TEST_F(TapeSession, CancellingTheSendDropsWhatIsNotSent) {
    line->Change([](CFakeLine& l) { l.nWriteCredits = 0; });
    std::string text(200, 'A');
    text += kLoaderEndMarker;
    text += "not sent";
    const int nTotal =
        session.StartSendLoader({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    EXPECT_EQ(nTotal, 200 + static_cast<int>(std::string_view(kLoaderEndMarker).size()));
    const CTapeSession::CSendProgress before = session.GetSendProgress();
    EXPECT_EQ(before.nPercent, 0);
    EXPECT_FALSE(before.bComplete);

    // The writer has a chunk on its way to the line.
    ASSERT_TRUE(
        WaitFor([&] { return line->Look([](CFakeLine& l) { return l.nWriteAttempts > 0; }); }));
    session.CancelSend();
    const CTapeSession::CSendProgress after = session.GetSendProgress();
    EXPECT_EQ(after.nPercent, 100);
    EXPECT_TRUE(after.bComplete);
    line->Change([](CFakeLine& l) { l.nWriteCredits = -1; });
    ASSERT_TRUE(WaitFor([&] { return !line->Written().empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const Bytes written = line->Written();
    EXPECT_LE(written.size(), CCommPort::kChunkSize);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), text.begin()));
}

} // namespace

namespace {

// What the status bar says of the link and of the tape.
TEST(StatusText, TheLinkSaysWhatToTypeOrThatThereIsNoPortAndTheTapeItsCountAndSize) {
    EXPECT_EQ(LinkStatusText(LinkState::open),
              "PC-8801 で LOAD \"COM:N71XN\" と入力してから送信してください");
    EXPECT_EQ(LinkStatusText(LinkState::closed), res::LoadString(res::IDS_NO_PORT));
    EXPECT_EQ(LinkStatusText(LinkState::lost), ""); // the message pane says it

    CRelmuthDoc doc;
    EXPECT_EQ(TapeStatusText(doc, -1), "0 ブロック, 0 バイト");
    doc.ReplaceTape({CTapeBlock{ByteArray(1000, 0x41), 600}, CTapeBlock{ByteArray(234, 0), 1200}});
    EXPECT_EQ(TapeStatusText(doc, -1), "2 ブロック, 1,234 バイト");
    EXPECT_EQ(TapeStatusText(doc, 1), "ブロック 2  2 ブロック, 1,234 バイト");
    EXPECT_EQ(TapeStatusText(doc, 2), "2 ブロック, 1,234 バイト");
}

// A row's mark, worst first: marked bytes, then a check the block's data
// carries that fails, then a reading the decoder made only just; the tip
// has a line for each, and the decoder's figures once there is a mark.
TEST(StatusText, RowMarkTellsDamageFailedChecksAndAWeakReadingWorstFirst) {
    // ':' C000, one record of LD A,#01 / RET, the end record; then the same
    // with a wrong check byte.
    const ByteArray machine{':', 0xC0, 0x00, 0x40, ':', 0x03, 0x3E, 0x01, 0xC9, 0xF5, ':', 0, 0};
    ByteArray badCheck = machine;
    badCheck[9] = 0xF4;
    const ByteArray data{0x9C, 0x9C, 0x9C, 0x9C, 0x9C, 0x9C, 'A', 'B', 'C'};
    const std::vector<std::uint8_t> sure(data.size(), 250);
    std::vector<std::uint8_t> weak = sure;
    weak[3] = 51; // 20 %
    CRelmuthDoc doc;
    doc.ReplaceTape({{machine, 600}, {badCheck, 600}, {data, 1200}, {data, 1200}, {data, 1200}},
                    {{3, 2, 2, DamageKind::framing, 100}},
                    {{}, {}, {sure, nullptr}, {weak, nullptr}, {weak, nullptr}});
    const std::vector<CRowQuality> rows = {RowQuality(doc, 0), RowQuality(doc, 1),
                                           RowQuality(doc, 2), RowQuality(doc, 3),
                                           RowQuality(doc, 4), RowQuality(doc, 5)};
    EXPECT_EQ(rows,
              (std::vector<CRowQuality>{
                  {},
                  {RowMark::checkFailed, "0004H のレコードのチェックサムが合いません"},
                  {},
                  {RowMark::damaged,
                   "読み取れなかったバイト: 2\n読み取りの確かさ: 平均 89%、最も弱いバイト 20%"},
                  {RowMark::weak, "読み取りの確かさ: 平均 89%、最も弱いバイト 20%"},
                  {}}));
    EXPECT_EQ(RowDamageText(doc, 1), rows[1].strTip);
    EXPECT_EQ(RowDamageText(doc, 2), "");
}

} // namespace
