// SPDX-License-Identifier: GPL-3.0-or-later
#include "inspect/Z80Decode.h"

#include <z80ex/z80ex_dasm.h>

namespace inspect {
namespace {

struct SCode {
    std::span<const std::uint8_t> bytes;
    unsigned address;
};

Z80EX_BYTE ReadByte(Z80EX_WORD addr, void* user) {
    const auto* code = static_cast<const SCode*>(user);
    const unsigned offset = (addr - code->address) & 0xFFFF;
    return offset < code->bytes.size() ? code->bytes[offset] : 0;
}

} // namespace

std::size_t DecodeZ80(std::span<const std::uint8_t> code, unsigned address, std::size_t at,
                      char* mnemonic, std::size_t nSize) {
    const SCode source{code, address};
    const auto pc = static_cast<Z80EX_WORD>((address + at) & 0xFFFF);
    int tStates = 0;
    int tStates2 = 0;
    const int reported = z80ex_dasm(mnemonic, static_cast<int>(nSize), 0, &tStates, &tStates2,
                                    ReadByte, pc, const_cast<SCode*>(&source));
    // libz80ex counts one byte too many for the DD CB and FD CB instructions
    // (BIT 0,(IX+d) is four bytes); their length is fixed at four.
    const auto rest = code.subspan(at);
    if (rest.size() >= 2 && (rest[0] == 0xDD || rest[0] == 0xFD) && rest[1] == 0xCB)
        return 4;
    return reported > 0 ? static_cast<std::size_t>(reported) : 0;
}

} // namespace inspect
