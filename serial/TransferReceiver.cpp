// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/TransferReceiver.h"

#include <new>

#include "serial/HexField.h"
#include "tape/AsciiCase.h"

namespace {

constexpr std::string_view kAbortLine = "ABORT";

constexpr CRecvNext kBackToHeader{RecvState::header, std::nullopt};

// Ends the transfer under way, back to the header, with a message or none.
CRecvNext Fail(CRecvOwner* pOwner, res::StringId nMessage) {
    pOwner->OnRecvEnd();
    return {RecvState::header, nMessage};
}

CRecvNext Abort(CRecvOwner* pOwner) {
    pOwner->OnRecvEnd();
    return kBackToHeader;
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

CRecvNext CRecvHeaderState::OnLine(const std::string& line) {
    CRecvOwner* pOwner = m_pOwner;
    if (EqualsIgnoringAsciiCase(line, "CAS1"))
        pOwner->SetRecvBaud(kBaudFast);
    else if (EqualsIgnoringAsciiCase(line, "CAS2"))
        pOwner->SetRecvBaud(kBaudSlow);
    else
        return {RecvState::header, std::nullopt};
    return {RecvState::length, std::nullopt};
}

CRecvNext CRecvLengthState::OnLine(const std::string& line) {
    CRecvOwner* pOwner = m_pOwner;
    if (line == kAbortLine)
        return Abort(pOwner);
    const auto size = ParseHexField(line);
    if (!size)
        return {RecvState::header, res::IDS_RECV_BAD_LENGTH};
    pOwner->SetRecvSize(*size);
    try {
        pOwner->ResetRecvData(*size);
    } catch (const std::bad_alloc&) {
        return {RecvState::header, res::IDS_RECV_BAD_LENGTH};
    }
    pOwner->OnRecvBegin();
    return {RecvState::data, std::nullopt};
}

CRecvNext CRecvDataState::OnLine(const std::string& line) {
    CRecvOwner* pOwner = m_pOwner;
    if (line == kAbortLine)
        return Abort(pOwner);
    ByteArray& data = pOwner->GetRecvData();
    const std::int64_t nRoom =
        static_cast<std::int64_t>(pOwner->GetRecvSize()) - static_cast<std::int64_t>(data.size());
    if (line.size() % 2 != 0 || static_cast<std::int64_t>(line.size() / 2) > nRoom)
        return Fail(pOwner, res::IDS_RECV_BAD_DATA);
    try {
        for (std::size_t i = 0; i < line.size(); i += 2) {
            const auto value = ParsePair(line[i], line[i + 1]);
            if (!value) // earlier pairs stay until the next count
                return Fail(pOwner, res::IDS_RECV_BAD_DATA);
            data.push_back(static_cast<std::uint8_t>(*value & 0xFF));
            pOwner->AddRecvChecksum(*value);
        }
    } catch (const std::bad_alloc&) {
        // The declared count was believed and memory ran out: no block.
        return Fail(pOwner, res::IDS_RECV_BAD_LENGTH);
    }
    pOwner->OnRecvProgress();
    if (static_cast<std::int64_t>(data.size()) >= pOwner->GetRecvSize())
        return {RecvState::checksum, std::nullopt};
    return {RecvState::data, std::nullopt};
}

CRecvNext CRecvChecksumState::OnLine(const std::string& line) {
    CRecvOwner* pOwner = m_pOwner;
    if (line == kAbortLine)
        return Abort(pOwner);
    const auto checksum = ParseHexField(line);
    if (!checksum || *checksum != pOwner->GetRecvChecksum())
        return Fail(pOwner, res::IDS_RECV_BAD_CHECKSUM);
    try {
        pOwner->OnRecvComplete();
    } catch (const std::bad_alloc&) {
        return Fail(pOwner, res::IDS_RECV_BAD_LENGTH);
    }
    pOwner->OnRecvEnd();
    return kBackToHeader;
}

CTransferReceiver& CRecvStates::Get(RecvState state) {
    switch (state) {
    case RecvState::length:
        return m_length;
    case RecvState::data:
        return m_data;
    case RecvState::checksum:
        return m_checksum;
    case RecvState::header:
        break;
    }
    return m_header;
}
