// SPDX-License-Identifier: GPL-3.0-or-later
// Serial framing and the transfer receiver on any bytes, through the receive
// context as the view drives it.
//
// Checked on every input:
// - a block is appended only at the end, with exactly the declared count of
//   bytes, the header's speed, a byte sum equal to the running checksum, and
//   no more than about twice its size in storage;
//   the progress display opens and closes in turn and shows 0-100;
// - the pieces the bytes arrive in change nothing, even when a message box
//   feeds the next piece from inside its own event loop: the same blocks,
//   the same messages, the same partial line as with all bytes at once;
// - the transfer text of every block received brings the same block again,
//   over the serial line and through the clipboard;
// - the same bytes mixed with pastes and cancels only keep the rules above.
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "serial/LineFraming.h"
#include "session/ReceiveContext.h"
#include "tape/BlockText.h"
#include "tape/RelmuthDoc.h"

namespace {

// Piece sizes and choices, drawn from the input itself so that a crash
// replays from the input alone.
class CChooser {
  public:
    explicit CChooser(std::span<const std::uint8_t> bytes, std::uint64_t salt) {
        std::uint64_t h = 0xCBF29CE484222325u ^ salt;
        for (std::uint8_t b : bytes)
            h = (h ^ b) * 0x100000001B3u;
        m_state = h;
    }
    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
    bool OneIn(std::size_t n) { return Below(n) == 0; }

  private:
    std::uint64_t m_state;
};

constexpr std::size_t kCapacitySlack = 64;

// Stands in for the window: checks every call it gets and keeps the messages.
class CFuzzUi final : public CReceiveUi {
  public:
    explicit CFuzzUi(CRelmuthDoc& doc) : m_doc(doc) {}
    void Attach(const CReceiveContext* pContext) { m_pContext = pContext; }

    void OpenRecvProgress(int nTotal) override {
        FUZZ_CHECK(!m_bOpen);
        FUZZ_CHECK(nTotal == m_pContext->GetRecvSize());
        m_bOpen = true;
    }
    void SetRecvProgress(int nPercent) override {
        FUZZ_CHECK(m_bOpen);
        FUZZ_CHECK(nPercent >= 0 && nPercent <= 100);
    }
    void CloseRecvProgress() override {
        FUZZ_CHECK(m_bOpen);
        m_bOpen = false;
    }
    void ShowMessage(res::StringId nMessage) override {
        FUZZ_CHECK(nMessage == res::IDS_RECV_BAD_LENGTH || nMessage == res::IDS_RECV_BAD_DATA ||
                   nMessage == res::IDS_RECV_BAD_CHECKSUM);
        m_messages.push_back(nMessage);
        if (m_onMessage)
            m_onMessage(); // the message box's event loop
    }
    void SelectBlock(std::size_t nIndex) override {
        FUZZ_CHECK(m_bOpen);
        FUZZ_CHECK(nIndex + 1 == m_doc.m_blocks.size());
        FUZZ_CHECK(m_doc.IsModified());
        const CTapeBlock& block = m_doc.m_blocks[nIndex];
        FUZZ_CHECK(m_pContext->GetRecvSize() >= 0);
        FUZZ_CHECK(block.m_data.size() == static_cast<std::size_t>(m_pContext->GetRecvSize()));
        FUZZ_CHECK(block.m_nBaud == m_pContext->GetRecvBaud());
        FUZZ_CHECK(block.m_nBaud == kBaudSlow || block.m_nBaud == kBaudFast);
        unsigned sum = 0;
        for (std::uint8_t b : block.m_data)
            sum += b;
        FUZZ_CHECK(static_cast<int>(sum & 0xFF) == m_pContext->GetRecvChecksum());
        // Room taken for a declared count must not stay with a smaller block:
        // a block holds at most about twice its bytes (growth by doubling
        // past the up-front reserve), or a few bytes of hostile counts would
        // tie up a mebibyte each.
        FUZZ_CHECK(block.m_data.capacity() <= 2 * block.m_data.size() + kCapacitySlack);
    }

    std::vector<res::StringId> m_messages;
    std::function<void()> m_onMessage;

  private:
    CRelmuthDoc& m_doc;
    const CReceiveContext* m_pContext = nullptr;
    bool m_bOpen = false;
};

// Up-front room for a declared count: a little, so that hostile counts do
// not cost a mapped mebibyte (and its sanitizer shadow) three times a run.
// The rule is the same at any size.
constexpr int kFuzzUpfrontReserve = 4096;

// One receiving side: document, window stand-in and receive context.
struct CReceiver {
    CRelmuthDoc doc;
    CFuzzUi ui{doc};
    CReceiveContext context{doc, ui, kFuzzUpfrontReserve};

    CReceiver() {
        ui.Attach(&context);
        context.InstallReceiver();
    }
    void Check() const {
        FUZZ_CHECK(context.GetPartialLine().size() <= CSerialLineFramer::kMaxLineLength);
        fuzz::Keep(doc.m_blocks);
    }
};

std::string_view AsText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::span<const std::uint8_t> AsBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Feeds the input in pieces of random size; a message box may take the next
// piece from inside, up to a few boxes deep.
class CPieceFeeder {
  public:
    CPieceFeeder(std::span<const std::uint8_t> input, CReceiver& receiver, std::uint64_t salt,
                 bool bMixed)
        : m_input(input), m_receiver(receiver), m_choose(input, salt), m_bMixed(bMixed) {
        constexpr std::size_t kLimits[] = {1, 3, 16, 64, 4096};
        m_nMaxPiece = kLimits[m_choose.Below(std::size(kLimits))];
        receiver.ui.m_onMessage = [this] {
            if (m_nDepth < kMaxDepth && m_nPos < m_input.size() && m_choose.OneIn(2)) {
                ++m_nDepth;
                FeedOne();
                --m_nDepth;
            }
        };
    }
    ~CPieceFeeder() { m_receiver.ui.m_onMessage = nullptr; }

    void FeedAll() {
        while (m_nPos < m_input.size())
            FeedOne();
    }

  private:
    static constexpr int kMaxDepth = 4;

    void FeedOne() {
        const std::size_t n = std::min(1 + m_choose.Below(m_nMaxPiece), m_input.size() - m_nPos);
        const auto piece = m_input.subspan(m_nPos, n);
        m_nPos += n;
        if (m_bMixed && m_choose.OneIn(8)) {
            m_receiver.context.PasteText(AsText(piece));
        } else if (m_bMixed && m_choose.OneIn(16)) {
            m_receiver.context.CancelReceive();
            m_receiver.context.OnSerialBytes(piece);
        } else {
            m_receiver.context.OnSerialBytes(piece);
        }
    }

    std::span<const std::uint8_t> m_input;
    CReceiver& m_receiver;
    CChooser m_choose;
    bool m_bMixed;
    std::size_t m_nMaxPiece = 1;
    std::size_t m_nPos = 0;
    int m_nDepth = 0;
};

// The text of a block received brings the block back by either way in.
void CheckTextRoundTrip(const CTapeBlock& block) {
    if (block.m_data.empty())
        return; // the text of an empty block has no empty data line to end its data
    const std::string text = GetBlockText(block);

    CReceiver serial;
    serial.context.OnSerialBytes(AsBytes(text));
    FUZZ_CHECK(serial.ui.m_messages.empty());
    FUZZ_CHECK(serial.doc.m_blocks.size() == 1 && serial.doc.m_blocks[0] == block);

    CReceiver pasted;
    FUZZ_CHECK(pasted.context.PasteText(text));
    FUZZ_CHECK(pasted.ui.m_messages.empty());
    FUZZ_CHECK(pasted.doc.m_blocks.size() == 1 && pasted.doc.m_blocks[0] == block);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);

    CReceiver whole;
    whole.context.OnSerialBytes(input);
    whole.Check();

    CReceiver pieces;
    CPieceFeeder(input, pieces, 1, false).FeedAll();
    pieces.Check();
    // Past the line limit the framer keeps the newest bytes of a piece, so
    // the pieces do matter there.
    if (size <= CSerialLineFramer::kMaxLineLength) {
        FUZZ_CHECK(pieces.doc.m_blocks == whole.doc.m_blocks);
        FUZZ_CHECK(pieces.ui.m_messages == whole.ui.m_messages);
        FUZZ_CHECK(pieces.context.GetPartialLine() == whole.context.GetPartialLine());
    }

    CReceiver mixed;
    CPieceFeeder(input, mixed, 2, true).FeedAll();
    mixed.Check();

    for (const CTapeBlock& block : whole.doc.m_blocks)
        CheckTextRoundTrip(block);
    return 0;
}
