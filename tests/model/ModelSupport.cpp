// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ModelSupport.h"

#include "loader/LoaderText.h"

namespace model_test {

Bytes Rep(std::uint8_t byte, std::size_t n) {
    return Bytes(n, byte);
}

Bytes Str(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes DecodeGrebeData(std::span<const std::uint8_t> text) {
    const std::string all(text.begin(), text.end());
    Bytes out;
    std::size_t at = 0;
    while (at < all.size()) {
        std::size_t end = all.find("\r\n", at);
        if (end == std::string::npos)
            end = all.size();
        const std::string line = all.substr(at, end - at);
        at = end + 2;
        const std::size_t quote = line.find(" DATA \"");
        if (quote == std::string::npos)
            continue;
        const std::string digits = line.substr(quote + 7);
        for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
            out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return out;
}

std::vector<int> BeepRuns(const std::vector<bool>& ticks, std::size_t from) {
    std::vector<int> runs;
    int run = 0;
    for (std::size_t i = from; i < ticks.size(); ++i) {
        if (ticks[i]) {
            ++run;
        } else if (run > 0) {
            runs.push_back(run);
            run = 0;
        }
    }
    if (run > 0)
        runs.push_back(run);
    return runs;
}

ModelTest::ModelTest()
    : model(pc88::CPc8801::Layout{routine::kOrigin, routine::CODEEND, routine::ROUTINEEND}) {
    model.LoadRoutine(DecodeGrebeData(GetLoaderResource()));
}

void ModelTest::SetBlock(const Bytes& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        model.SetBufferByte(static_cast<std::uint16_t>(i), bytes[i]);
    SetDataLen(static_cast<std::uint16_t>(bytes.size()));
}

Bytes ModelTest::Buffer(std::size_t n) const {
    Bytes out;
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(model.BufferByte(static_cast<std::uint16_t>(i)));
    return out;
}

} // namespace model_test
