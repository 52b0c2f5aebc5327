// SPDX-License-Identifier: GPL-3.0-or-later
// Sending the loader to the PC-8801: the loader text goes onto the port's
// send queue unchanged, and a progress display polls the queue until it is
// empty or the user cancels.
#pragma once

#include <cstdint>
#include <span>

class CCommPort;

// The loader's last line. The text is sent up to and including its first
// occurrence.
inline constexpr char kLoaderEndMarker[] = "\r\nBEEP\r\n";

// How often the progress display looks at the send queue, in milliseconds.
inline constexpr int kSendPollMilliseconds = 100;

// The part of the loader text that is sent: from its first byte up to and
// including the first "\r\nBEEP\r\n". A text without the marker sends nothing.
std::span<const std::uint8_t> LoaderBytesToSend(std::span<const std::uint8_t> text);

// Queues the loader text in one Send on the port; returns how many bytes were
// queued (0 when there is nothing to send).
int SendLoader(CCommPort& port, std::span<const std::uint8_t> text);

// The bar for nTotal bytes handed to the port with nPending still unsent.
int SendProgressPercent(int nTotal, int nPending);

// The send is over when nothing is pending.
inline bool IsSendComplete(int nPending) {
    return nPending <= 0;
}
