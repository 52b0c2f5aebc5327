// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/TransferReceiver.h"

#include <new>

#include "serial/HexField.h"
#include "tape/AsciiCase.h"

namespace {

constexpr std::string_view kAbortLine = "ABORT";

void Reset(CRecvOwner* pOwner) {
    pOwner->SetReceiver(std::make_unique<CRecvHeaderState>(pOwner));
}

// Ends the transfer under way, back to the header, with a message or none.
void Fail(CRecvOwner* pOwner, res::StringId nMessage) {
    pOwner->OnRecvEnd();
    Reset(pOwner);
    pOwner->ShowRecvMessage(nMessage);
}

void Abort(CRecvOwner* pOwner) {
    pOwner->OnRecvEnd();
    Reset(pOwner);
}

// One pair of a data line. Two hex digits is the common case; anything else
// goes through the full field rules (" F", "+F" and "-F" are fields too).
std::optional<std::int32_t> ParsePair(char hi, char lo) {
    const int h = HexDigitValue(hi);
    const int l = HexDigitValue(lo);
    if (h >= 0 && l >= 0)
        return h * 16 + l;
    const char pair[2] = {hi, lo};
    return ParseHexField(std::string_view(pair, 2));
}

} // namespace

void CRecvHeaderState::OnLine(const std::string& line) {
    CRecvOwner* pOwner = m_pOwner;
    if (EqualsIgnoringAsciiCase(line, "CAS1"))
        pOwner->SetRecvBaud(kBaudFast);
    else if (EqualsIgnoringAsciiCase(line, "CAS2"))
        pOwner->SetRecvBaud(kBaudSlow);
    else
        return;
    pOwner->SetReceiver(std::make_unique<CRecvLengthState>(pOwner));
}

void CRecvLengthState::OnLine(const std::string& line) {
    CRecvOwner* pOwner = m_pOwner;
    if (line == kAbortLine) {
        Abort(pOwner);
        return;
    }
    const auto size = ParseHexField(line);
    if (!size) {
        Reset(pOwner);
        pOwner->ShowRecvMessage(res::IDS_RECV_BAD_LENGTH);
        return;
    }
    pOwner->SetRecvSize(*size);
    try {
        pOwner->ResetRecvData(*size);
    } catch (const std::bad_alloc&) {
        Reset(pOwner);
        pOwner->ShowRecvMessage(res::IDS_RECV_BAD_LENGTH);
        return;
    }
    pOwner->OnRecvBegin();
    pOwner->SetReceiver(std::make_unique<CRecvDataState>(pOwner));
}

void CRecvDataState::OnLine(const std::string& line) {
    CRecvOwner* pOwner = m_pOwner;
    if (line == kAbortLine) {
        Abort(pOwner);
        return;
    }
    ByteArray& data = pOwner->GetRecvData();
    const std::int64_t nRoom =
        static_cast<std::int64_t>(pOwner->GetRecvSize()) - static_cast<std::int64_t>(data.size());
    if (line.size() % 2 != 0 || static_cast<std::int64_t>(line.size() / 2) > nRoom) {
        Fail(pOwner, res::IDS_RECV_BAD_DATA);
        return;
    }
    try {
        for (std::size_t i = 0; i < line.size(); i += 2) {
            const auto value = ParsePair(line[i], line[i + 1]);
            if (!value) {
                Fail(pOwner, res::IDS_RECV_BAD_DATA); // earlier pairs stay until the next count
                return;
            }
            data.push_back(static_cast<std::uint8_t>(*value & 0xFF));
            pOwner->AddRecvChecksum(*value);
        }
    } catch (const std::bad_alloc&) {
        // The declared count was believed and memory ran out: no block.
        Fail(pOwner, res::IDS_RECV_BAD_LENGTH);
        return;
    }
    pOwner->OnRecvProgress();
    if (static_cast<std::int64_t>(data.size()) >= pOwner->GetRecvSize())
        pOwner->SetReceiver(std::make_unique<CRecvChecksumState>(pOwner));
}

void CRecvChecksumState::OnLine(const std::string& line) {
    CRecvOwner* pOwner = m_pOwner;
    if (line == kAbortLine) {
        Abort(pOwner);
        return;
    }
    const auto checksum = ParseHexField(line);
    if (!checksum || *checksum != pOwner->GetRecvChecksum()) {
        Fail(pOwner, res::IDS_RECV_BAD_CHECKSUM);
        return;
    }
    try {
        pOwner->OnRecvComplete();
    } catch (const std::bad_alloc&) {
        Fail(pOwner, res::IDS_RECV_BAD_LENGTH);
        return;
    }
    pOwner->OnRecvEnd();
    Reset(pOwner);
}
