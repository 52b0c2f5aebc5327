// SPDX-License-Identifier: GPL-3.0-or-later
// The cells of each byte the cassette decoder frames, for whoever wants to
// see where a byte lies in the recording (the waveform view): its start
// edge and the end of each bit cell in seconds of the recording, what each
// cell was read as and how clearly. The decoder tells an observer of them
// only when one is given; decoding itself needs none of this.
#pragma once

#include <cstddef>

#include "audio/CassetteSignal.h"

struct CByteCells {
    std::size_t nIndex; // byte index in its record, as the record's faults count
    int nBaud;
    double edges[kBitsPerByte + 1]; // the start edge, then where each cell ended
    bool bits[kBitsPerByte];        // start bit, data bits lowest first, stop bits
    double margins[kBitsPerByte];   // how clearly one tone filled the cell, 0 to 1
    bool bLost;                     // no signal: the cells are where the byte should be
};

class CByteCellObserver {
  public:
    virtual ~CByteCellObserver() = default;
    // Each byte of the record the decoder passes on next, in order, before
    // the record itself goes to the decoder's sink.
    virtual void OnByteCells(const CByteCells& cells) = 0;
};
