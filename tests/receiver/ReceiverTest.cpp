// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <functional>

#include "session/ReceiveContext.h"
#include "tape/BlockText.h"

namespace {

using Events = std::vector<std::string>;

// Records what receiving shows the user, in order, as short texts.
class RecordingUi : public CReceiveUi {
  public:
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
    void Beep() override { events.push_back("beep"); }
    void SelectBlock(std::size_t nIndex) override {
        events.push_back("select " + std::to_string(nIndex));
    }

    Events events;
    std::function<void()> onMessage; // what a message box's event loop does meanwhile
};

const std::string kLengthError = "エラー：長さ情報が不正でおさる";
const std::string kDataError = "エラー：データが不正でおさる";
const std::string kChecksumError = "エラー：チェックサムが不正でおさる";

class Receiver : public testing::Test {
  protected:
    Receiver() { context.InstallReceiver(); }

    void Serial(std::string_view text) {
        context.OnSerialBytes({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }
    // Lines joined with CR LF after each.
    void SerialLines(std::initializer_list<std::string_view> lines) {
        std::string text;
        for (std::string_view line : lines) {
            text += line;
            text += "\r\n";
        }
        Serial(text);
    }
    CTapeBlock BlockOf(ByteArray data, int baud) { return CTapeBlock{std::move(data), baud}; }

    CRelmuthDoc doc;
    RecordingUi ui;
    CReceiveContext context{doc, ui};
};

TEST_F(Receiver, StoresTheWorkedExampleAtTheEndAndSelectsIt) {
    doc.AppendBlock(BlockOf({9}, 600));
    Serial("\r\nCAS1\r\n0003\r\n0102FF\r\n02\r\n");
    EXPECT_EQ(doc.m_blocks.back(), BlockOf({0x01, 0x02, 0xFF}, 1200));
    EXPECT_EQ(doc.m_blocks.size(), 2u);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(ui.events, (Events{"open 3", "100%", "select 1", "close"}));
    EXPECT_FALSE(context.IsRecvProgressShown());
}

TEST_F(Receiver, SlowHeaderInAnyCase) {
    SerialLines({"cas2", "0003", "0102FF", "02", "Cas1", "1", "AA", "AA"});
    EXPECT_EQ(doc.m_blocks,
              (std::vector<CTapeBlock>{BlockOf({1, 2, 0xFF}, 600), BlockOf({0xAA}, 1200)}));
}

TEST_F(Receiver, ChecksumLineIsAHexField) {
    for (const char* sum : {"2", "02", "0x02", "+2", "0002"})
        SerialLines({"CAS1", "3", "0102FF", sum});
    EXPECT_EQ(doc.m_blocks.size(), 5u);
    ui.events.clear();
    SerialLines({"CAS1", "3", "0102FF", "02 "});
    SerialLines({"CAS1", "3", "0102FF", "102"});
    EXPECT_EQ(doc.m_blocks.size(), 5u);
    EXPECT_EQ(ui.events, (Events{"open 3", "100%", "close", kChecksumError, "open 3", "100%",
                                 "close", kChecksumError}));
}

TEST_F(Receiver, ByteCountLineIsAHexField) {
    SerialLines({"CAS1", "0003 "});
    EXPECT_EQ(ui.events, Events{kLengthError});
    ui.events.clear();
    // An empty count declares no bytes: an empty data line, then the sum.
    SerialLines({"CAS1", "", "", "00"});
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{BlockOf({}, 1200)});
    EXPECT_EQ(ui.events, (Events{"open 0", "100%", "select 0", "close"}));
}

TEST_F(Receiver, DataLineInPlaceOfTheEmptyOneFailsAZeroCount) {
    SerialLines({"CAS1", "0000", "00"});
    EXPECT_TRUE(doc.m_blocks.empty());
    EXPECT_EQ(ui.events, (Events{"open 0", "close", kDataError}));
}

TEST_F(Receiver, MalformedDataLinesFailWithTheDataMessage) {
    for (const char* line : {"0102F", "GG", "01ZZ", "0102 G"})
        SerialLines({"CAS1", "0003", line});
    EXPECT_TRUE(doc.m_blocks.empty());
    EXPECT_EQ(ui.events, (Events{"open 3", "close", kDataError, "open 3", "close", kDataError,
                                 "open 3", "close", kDataError, "open 3", "close", kDataError}));
    // "01ZZ" stored 01 before failing; the next count empties it again.
    SerialLines({"CAS1", "2", "A0A1", "41"});
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{BlockOf({0xA0, 0xA1}, 1200)});
}

TEST_F(Receiver, DataLinesHoldAnyNumberOfPairsWithinTheCount) {
    SerialLines({"CAS2", "0x12", "000102030405060708090A0B0C0D0E0F10", "11", "99"});
    ByteArray expected(18);
    for (int i = 0; i < 18; ++i)
        expected[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{BlockOf(expected, 600)});
    // Pairs may be signed fields: "-1" stores 0xFF and takes one from the sum.
    SerialLines({"CAS1", "2", "-101", "00"});
    EXPECT_EQ(doc.m_blocks.back(), BlockOf({0xFF, 0x01}, 1200));
}

TEST_F(Receiver, TooManyBytesStoreNothingOfTheLine) {
    SerialLines({"CAS1", "10", "0102030405060708090A0B0C0D0E0F101112131415"});
    EXPECT_EQ(ui.events, (Events{"open 16", "close", kDataError}));
    ui.events.clear();
    SerialLines({"CAS1", "10", "0102030405060708090A", "0B0C0D0E0F10", "88"});
    EXPECT_EQ(ui.events, (Events{"open 16", "62%", "100%", "select 0", "close"}));
}

TEST_F(Receiver, ProgressFollowsEveryDataLine) {
    std::string sixteen(32, 'A');
    SerialLines({"CAS1", "0028", sixteen, sixteen, std::string(16, 'A'), "90"});
    EXPECT_EQ(ui.events, (Events{"open 40", "40%", "80%", "100%", "select 0", "close"}));
}

TEST_F(Receiver, AbortEndsATransferSilentlyAtEveryStage) {
    SerialLines({"ABORT", "CAS1", "ABORT", "CAS1", "3", "ABORT", "CAS1", "3", "01", "ABORT", "CAS1",
                 "3", "010203", "ABORT"});
    EXPECT_TRUE(doc.m_blocks.empty());
    EXPECT_EQ(ui.events,
              (Events{"open 3", "close", "open 3", "33%", "close", "open 3", "100%", "close"}));
    // The receiver waits for a header again.
    SerialLines({"CAS1", "1", "05", "05"});
    EXPECT_EQ(doc.m_blocks.size(), 1u);
}

TEST_F(Receiver, LowerCaseAbortIsNoAbort) {
    SerialLines({"CAS1", "abort"});
    SerialLines({"CAS1", "3", "abort"});
    SerialLines({"CAS1", "3", "010203", "abort"});
    EXPECT_EQ(ui.events, (Events{kLengthError, "open 3", "close", kDataError, "open 3", "100%",
                                 "close", kChecksumError}));
}

TEST_F(Receiver, LinesEndedByBareLineFeedsNeverArrive) {
    Serial("CAS1\n0003\n0102FF\n02\n");
    EXPECT_TRUE(ui.events.empty());
    EXPECT_EQ(context.GetPartialLine(), "CAS1\n0003\n0102FF\n02\n");
}

TEST_F(Receiver, CancelBeepsAndWaitsForTheNextHeader) {
    SerialLines({"CAS1", "4", "0102"});
    context.CancelReceive();
    SerialLines({"0304", "0A", "CAS2", "1", "07", "07"});
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{BlockOf({7}, 600)});
    EXPECT_EQ(ui.events,
              (Events{"open 4", "50%", "beep", "close", "open 1", "100%", "select 0", "close"}));
    // With nothing under way it still beeps.
    ui.events.clear();
    context.CancelReceive();
    EXPECT_EQ(ui.events, Events{"beep"});
}

TEST_F(Receiver, HostileByteCountReservesLittleAndStillReceives) {
    SerialLines({"CAS1", "7FFFFFFF", "0102"});
    EXPECT_LE(context.GetRecvData().capacity(), std::size_t(CReceiveContext::kMaxUpfrontReserve));
    EXPECT_EQ(context.GetRecvData(), (ByteArray{1, 2}));
    EXPECT_EQ(ui.events, (Events{"open 2147483647", "0%"}));
}

TEST_F(Receiver, RoomForAnAbandonedHostileCountIsNotKeptByTheNextBlock) {
    SerialLines({"CAS1", "7FFFFFFF", "0102", "ABORT", "CAS1", "1", "41", "41"});
    ASSERT_EQ(doc.m_blocks, std::vector<CTapeBlock>{BlockOf({0x41}, 1200)});
    EXPECT_LE(doc.m_blocks[0].m_data.capacity(), 2 + CReceiveContext::kCapacitySlack);
}

TEST(ReceiverBeforeInstall, BytesBeforeTheFirstInstallAreNotLost) {
    CRelmuthDoc doc;
    RecordingUi ui;
    CReceiveContext context(doc, ui);
    const std::string first = "\r\nCAS1\r\n0002\r\n01", second = "02\r\n03\r\n";
    context.OnSerialBytes({reinterpret_cast<const std::uint8_t*>(first.data()), first.size()});
    context.OnSerialBytes({reinterpret_cast<const std::uint8_t*>(second.data()), second.size()});
    EXPECT_EQ(doc.m_blocks, (std::vector<CTapeBlock>{CTapeBlock{{1, 2}, 1200}}));
}

TEST_F(Receiver, NegativeByteCountLeavesRoomForNoLineAtAll) {
    SerialLines({"CAS1", "-10", ""});
    EXPECT_TRUE(doc.m_blocks.empty());
    EXPECT_EQ(ui.events, (Events{"open -16", "close", kDataError}));
}

TEST_F(Receiver, LinesArrivingDuringAMessageBoxWaitTheirTurn) {
    // While the checksum message is up, the event loop takes the next
    // transfer and a partial line from the port.
    bool bFed = false;
    ui.onMessage = [&] {
        if (bFed)
            return;
        bFed = true;
        Serial("CAS1\r\n1\r\n41\r\n41\r\nCAS");
        EXPECT_TRUE(doc.m_blocks.empty()); // nothing is handled inside the box
    };
    SerialLines({"CAS2", "1", "40", "99"});
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{BlockOf({0x41}, 1200)});
    Serial("2\r\n1\r\n43\r\n43\r\n");
    EXPECT_EQ(doc.m_blocks, (std::vector<CTapeBlock>{BlockOf({0x41}, 1200), BlockOf({0x43}, 600)}));
    EXPECT_EQ(ui.events, (Events{"open 1", "100%", "close", kChecksumError, "open 1", "100%",
                                 "select 0", "close", "open 1", "100%", "select 1", "close"}));
}

// The message box's event loop brings a whole transfer, cancels and
// installs again: the state that showed the box is still there when the box
// returns, and the queued lines go to the state the box left in place.
TEST_F(Receiver, ASwitchFromInsideAMessageBoxHoldsAndQueuedLinesGoToTheNewState) {
    bool bFed = false;
    ui.onMessage = [&] {
        if (bFed)
            return;
        bFed = true;
        Serial("CAS1\r\n1\r\n41\r\n41\r\n");
        context.CancelReceive();
        context.InstallReceiver();
        EXPECT_FALSE(context.IsInTransfer());
    };
    SerialLines({"CAS1", "1", "40", "99"});
    EXPECT_EQ(doc.m_blocks, std::vector<CTapeBlock>{BlockOf({0x41}, 1200)});
    EXPECT_FALSE(context.IsInTransfer());
}

TEST_F(Receiver, PastedBlockTextComesBackAsTheSameBlock) {
    const std::vector<CTapeBlock> blocks{BlockOf({0x3A, 0x00, 0x00}, 600),
                                         BlockOf(ByteArray(70000, 0x5A), 1200)};
    for (const CTapeBlock& block : blocks)
        EXPECT_TRUE(context.PasteText(GetBlockText(block)));
    EXPECT_EQ(doc.m_blocks, blocks);
    // An empty block's text does not paste back.
    ui.events.clear();
    EXPECT_TRUE(context.PasteText(GetBlockText(BlockOf({}, 1200))));
    EXPECT_EQ(ui.events, (Events{"open 0", "close", kDataError}));
    EXPECT_FALSE(context.PasteText("\r\nCAS1\r\n"));
}

TEST_F(Receiver, PasteDuringASerialTransferLosesBoth) {
    SerialLines({"CAS1", "3", "01"});
    EXPECT_TRUE(context.PasteText("CAS1\r\n1\r\n41\r\n41\r\n"));
    SerialLines({"0203", "06"});
    EXPECT_TRUE(doc.m_blocks.empty());
}

// An owner whose memory runs out when the count is believed.
class StarvedOwner : public CRecvOwner {
  public:
    int GetRecvBaud() const override { return 1200; }
    void SetRecvBaud(int) override {}
    int GetRecvSize() const override { return size; }
    void SetRecvSize(int n) override { size = n; }
    void ResetRecvData(int) override { throw std::bad_alloc(); }
    ByteArray& GetRecvData() override { return data; }
    int GetRecvChecksum() const override { return 0; }
    void AddRecvChecksum(int) override {}
    void OnRecvBegin() override { events.push_back("begin"); }
    void OnRecvEnd() override { events.push_back("end"); }
    void OnRecvProgress() override {}
    void OnRecvComplete() override { events.push_back("complete"); }
    void ShowRecvMessage(res::StringId n) override {
        events.push_back(std::string(res::LoadString(n)));
    }

    int size = 0;
    ByteArray data;
    Events events;
};

TEST(ReceiverStates, MemoryRunningOutEndsInTheHeaderStateWithTheLengthMessage) {
    StarvedOwner owner;
    CRecvLengthState state(&owner);
    EXPECT_EQ(state.OnLine("7FFFFFFF"), (CRecvNext{RecvState::header, res::IDS_RECV_BAD_LENGTH}));
    EXPECT_TRUE(owner.events.empty()); // the owner shows the message once it has switched
}

// Each state says what follows each kind of line; none shows a message
// itself, and only the end of a transfer under way closes its progress.
TEST(ReceiverStates, EveryStateSaysWhatComesNext) {
    StarvedOwner owner;
    owner.size = 2;
    const auto next = [](RecvState state, std::optional<res::StringId> message = std::nullopt) {
        return CRecvNext{state, message};
    };
    EXPECT_EQ(CRecvHeaderState(&owner).OnLine("cas2"), next(RecvState::length));
    EXPECT_EQ(CRecvHeaderState(&owner).OnLine("ABORT"), next(RecvState::header));
    EXPECT_EQ(CRecvLengthState(&owner).OnLine("ABORT"), next(RecvState::header));
    EXPECT_EQ(CRecvLengthState(&owner).OnLine("XY"),
              next(RecvState::header, res::IDS_RECV_BAD_LENGTH));
    EXPECT_EQ(CRecvDataState(&owner).OnLine("41"), next(RecvState::data));
    EXPECT_EQ(CRecvDataState(&owner).OnLine("42"), next(RecvState::checksum));
    EXPECT_EQ(CRecvDataState(&owner).OnLine("4"), next(RecvState::header, res::IDS_RECV_BAD_DATA));
    EXPECT_EQ(CRecvChecksumState(&owner).OnLine("1"),
              next(RecvState::header, res::IDS_RECV_BAD_CHECKSUM));
    EXPECT_EQ(CRecvChecksumState(&owner).OnLine("0"), next(RecvState::header));
    EXPECT_EQ(owner.events, (Events{"end", "end", "end", "complete", "end"}));
}

} // namespace
