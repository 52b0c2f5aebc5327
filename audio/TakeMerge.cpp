// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/TakeMerge.h"

#include <algorithm>
#include <limits>
#include <map>
#include <unordered_set>
#include <utility>

#include "res/FormatString.h"

namespace {

// Blocks: two are one when this share of their bytes agree at the same
// places from either end, or of the shorter one's runs of kWindow bytes
// are found in the other (bytes lost or too many in a take
// shift the rest, damage spoils only the runs it falls in).
constexpr std::size_t kWindow = 8;
constexpr std::size_t kEndBytes = 256; // compared at the same places from either end
constexpr double kSameBlock = 0.5;

// Bytes: how far the alignment may stray from the diagonal beyond the
// difference in length, and its scores.
constexpr long kBand = 24;
constexpr int kCleanMatch = 2, kMatch = 1, kCleanMismatch = -3, kGap = -2;

// Weights of a take's say on whether a byte is there; a gap is a clean say
// when this many bytes on either side of it are clean.
constexpr std::size_t kGapSight = 2;
constexpr int kCleanWeight = 2, kDamagedWeight = 1;

// A block is doubtful throughout when every take that holds it has one of
// this many of its bytes damaged.
constexpr std::size_t kGarbageShare = 4;
// Blocks whose lengths differ by up to one part in this many may be one
// block read mostly damaged in a take.
constexpr std::size_t kLengthSlack = 8;

std::uint64_t WindowAt(const ByteArray& bytes, std::size_t i) {
    std::uint64_t w = 0;
    for (std::size_t k = 0; k < kWindow; ++k)
        w = w << 8 | bytes[i + k];
    return w;
}

// The share of bytes that agree at the same places from either end.
double SamePlaces(const ByteArray& shorter, const ByteArray& longer) {
    const std::size_t n = std::min(shorter.size(), kEndBytes);
    std::size_t nSame = 0;
    for (std::size_t i = 0; i < n; ++i) {
        nSame += shorter[i] == longer[i] ? 1 : 0;
        nSame += shorter[shorter.size() - 1 - i] == longer[longer.size() - 1 - i] ? 1 : 0;
    }
    return static_cast<double>(nSame) / static_cast<double>(2 * n);
}

double Similarity(const ByteArray& a, const ByteArray& b) {
    const ByteArray& shorter = a.size() <= b.size() ? a : b;
    const ByteArray& longer = a.size() <= b.size() ? b : a;
    if (shorter.empty())
        return longer.empty() ? 1.0 : 0.0;
    if (2 * shorter.size() < longer.size())
        return 0.0;
    const double same = SamePlaces(shorter, longer);
    if (shorter.size() < kWindow || same >= kSameBlock)
        return same;
    std::unordered_set<std::uint64_t> windows;
    for (std::size_t i = 0; i + kWindow <= longer.size(); ++i)
        windows.insert(WindowAt(longer, i));
    std::size_t nFound = 0;
    const std::size_t nWindows = shorter.size() - kWindow + 1;
    for (std::size_t i = 0; i < nWindows; ++i)
        nFound += windows.contains(WindowAt(shorter, i)) ? 1 : 0;
    return std::max(same, static_cast<double>(nFound) / static_cast<double>(nWindows));
}

// Whether a take read this much of a block damaged that it most likely read
// it at the wrong speed or from noise: what it holds as clean is no better.
bool MostlyDamaged(const std::vector<std::uint8_t>& confidence) {
    const auto nDamaged =
        static_cast<std::size_t>(std::count(confidence.begin(), confidence.end(), 0));
    return nDamaged * kGarbageShare >= std::max<std::size_t>(confidence.size(), 1);
}

// Whether most of the bytes two readings of a block both read cleanly, at
// the same places from the start, differ.
bool MostlyDisagree(const ByteArray& a, const std::vector<std::uint8_t>& ca, const ByteArray& b,
                    const std::vector<std::uint8_t>& cb) {
    std::size_t nBoth = 0, nDiffer = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (ca[i] == 0 || cb[i] == 0)
            continue;
        ++nBoth;
        nDiffer += a[i] != b[i] ? 1 : 0;
    }
    return 2 * nDiffer > nBoth;
}

// Two blocks one of which a take read mostly damaged: their bytes cannot
// agree, but where their lengths do, they are likely one block, and are
// taken for one unless a better pairing is there.
bool LikelyTheSameBlock(const ByteArray& a, const std::vector<std::uint8_t>& ca, const ByteArray& b,
                        const std::vector<std::uint8_t>& cb) {
    const std::size_t nLonger = std::max(a.size(), b.size());
    const std::size_t nShorter = std::min(a.size(), b.size());
    return nShorter != 0 && (nLonger - nShorter) * kLengthSlack <= nLonger &&
           (MostlyDamaged(ca) || MostlyDamaged(cb));
}

// For each block of other, the block of ref it is (or -1): the pairs in
// order that agree most in all.
std::vector<long> MatchBlocks(const CTake& refTake, const CTake& otherTake) {
    const std::vector<CTapeBlock>& ref = refTake.blocks;
    const std::vector<CTapeBlock>& other = otherTake.blocks;
    const std::size_t n = ref.size(), m = other.size();
    std::vector<double> score((n + 1) * (m + 1), 0.0);
    std::vector<double> sim(n * m);
    auto at = [m](std::size_t i, std::size_t j) { return i * (m + 1) + j; };
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < m; ++j) {
            double& s = sim[i * m + j];
            s = Similarity(ref[i].m_data, other[j].m_data);
            if (s < kSameBlock && LikelyTheSameBlock(ref[i].m_data, refTake.confidence[i],
                                                     other[j].m_data, otherTake.confidence[j]))
                s = kSameBlock;
        }
    }
    for (std::size_t i = 1; i <= n; ++i) {
        for (std::size_t j = 1; j <= m; ++j) {
            double best = std::max(score[at(i - 1, j)], score[at(i, j - 1)]);
            const double s = sim[(i - 1) * m + j - 1];
            if (s >= kSameBlock)
                best = std::max(best, score[at(i - 1, j - 1)] + s);
            score[at(i, j)] = best;
        }
    }
    std::vector<long> match(m, -1);
    for (std::size_t i = n, j = m; i > 0 && j > 0;) {
        const double s = sim[(i - 1) * m + j - 1];
        if (s >= kSameBlock && score[at(i, j)] == score[at(i - 1, j - 1)] + s) {
            match[j - 1] = static_cast<long>(i - 1);
            --i;
            --j;
        } else if (score[at(i, j)] == score[at(i - 1, j)]) {
            --i;
        } else {
            --j;
        }
    }
    return match;
}

// One take's bytes of a block lined up with the pivot's: for each pivot
// byte the take's byte (or -1), and the take's bytes that come before each
// pivot byte (and at the end) without one of the pivot's beside them.
struct CLineUp {
    std::vector<long> at;
    std::vector<std::vector<std::size_t>> before;
};

CLineUp LineUp(const ByteArray& a, const std::vector<std::uint8_t>& ca, const ByteArray& b,
               const std::vector<std::uint8_t>& cb) {
    const long la = static_cast<long>(a.size()), lb = static_cast<long>(b.size());
    const long dMin = std::min(0L, lb - la) - kBand, dMax = std::max(0L, lb - la) + kBand;
    const long width = dMax - dMin + 1;
    constexpr int kNone = std::numeric_limits<int>::min() / 2;
    std::vector<int> dp(static_cast<std::size_t>((la + 1) * width), kNone);
    std::vector<std::uint8_t> from(dp.size(), 0); // 1 diagonal, 2 up (a alone), 3 left (b alone)
    auto cell = [&](long i, long j) -> long {
        const long d = j - i;
        if (j < 0 || j > lb || d < dMin || d > dMax)
            return -1;
        return i * width + (d - dMin);
    };
    dp[static_cast<std::size_t>(cell(0, 0))] = 0;
    for (long i = 0; i <= la; ++i) {
        for (long j = std::max(0L, i + dMin); j <= std::min(lb, i + dMax); ++j) {
            const long c = cell(i, j);
            int best = i == 0 && j == 0 ? 0 : kNone;
            std::uint8_t way = 0;
            if (i > 0 && j > 0) {
                const long p = cell(i - 1, j - 1);
                if (p >= 0 && dp[static_cast<std::size_t>(p)] > kNone) {
                    const auto ai = static_cast<std::size_t>(i - 1);
                    const auto bj = static_cast<std::size_t>(j - 1);
                    const bool bClean = ca[ai] != 0 && cb[bj] != 0;
                    const int s = a[ai] == b[bj] ? (bClean ? kCleanMatch : kMatch)
                                                 : (bClean ? kCleanMismatch : 0);
                    if (dp[static_cast<std::size_t>(p)] + s > best) {
                        best = dp[static_cast<std::size_t>(p)] + s;
                        way = 1;
                    }
                }
            }
            if (i > 0) {
                const long p = cell(i - 1, j);
                if (p >= 0 && dp[static_cast<std::size_t>(p)] > kNone &&
                    dp[static_cast<std::size_t>(p)] + kGap > best) {
                    best = dp[static_cast<std::size_t>(p)] + kGap;
                    way = 2;
                }
            }
            if (j > 0) {
                const long p = cell(i, j - 1);
                if (p >= 0 && dp[static_cast<std::size_t>(p)] > kNone &&
                    dp[static_cast<std::size_t>(p)] + kGap > best) {
                    best = dp[static_cast<std::size_t>(p)] + kGap;
                    way = 3;
                }
            }
            dp[static_cast<std::size_t>(c)] = best;
            from[static_cast<std::size_t>(c)] = way;
        }
    }
    CLineUp line;
    line.at.assign(a.size(), -1);
    line.before.resize(a.size() + 1);
    long i = la, j = lb;
    if (cell(i, j) < 0) {
        // Lengths too far apart for the band: the take's bytes from the
        // start, the rest of either left over.
        for (long k = 0; k < std::min(la, lb); ++k)
            line.at[static_cast<std::size_t>(k)] = k;
        for (long k = la; k < lb; ++k)
            line.before[a.size()].push_back(static_cast<std::size_t>(k));
        return line;
    }
    while (i > 0 || j > 0) {
        const std::uint8_t way = from[static_cast<std::size_t>(cell(i, j))];
        if (way == 1) {
            line.at[static_cast<std::size_t>(i - 1)] = j - 1;
            --i;
            --j;
        } else if (way == 2) {
            --i;
        } else {
            line.before[static_cast<std::size_t>(i)].push_back(static_cast<std::size_t>(j - 1));
            --j;
        }
    }
    for (auto& ins : line.before)
        std::reverse(ins.begin(), ins.end());
    return line;
}

struct CMember {
    std::size_t nTake;
    std::size_t nBlock;
    const ByteArray* pData;
    const std::vector<std::uint8_t>* pConfidence;
};

// One take's reading of a byte place: a byte, a gap, or nothing (the take
// lacks the block).
struct CReading {
    long nByte = -1; // the take's byte index, -1 for a gap
};

using DamageIndex = std::map<std::pair<std::size_t, std::size_t>, const CDamagedByte*>;

void AddAlternative(CDamagedByte& d, std::uint8_t value, std::uint8_t chosen) {
    if (value == chosen || d.nAlternatives >= kMaxAlternatives)
        return;
    for (std::size_t i = 0; i < d.nAlternatives; ++i)
        if (d.alternatives[i] == value)
            return;
    d.alternatives[d.nAlternatives++] = value;
}

} // namespace

CTake TakeFromRecording(std::vector<CTapeBlock> blocks, std::vector<CDamagedByte> damage,
                        std::span<const CBlockQuality> quality) {
    CTake take;
    take.blocks = std::move(blocks);
    take.damage = std::move(damage);
    for (std::size_t i = 0; i < take.blocks.size(); ++i) {
        std::vector<std::uint8_t> c =
            i < quality.size() ? quality[i].confidence : std::vector<std::uint8_t>();
        c.resize(take.blocks[i].m_data.size(), kImageConfidence);
        take.confidence.push_back(std::move(c));
    }
    for (const CDamagedByte& d : take.damage) {
        if (d.nBlock >= take.confidence.size() || d.nOffset >= take.confidence[d.nBlock].size())
            continue;
        take.confidence[d.nBlock][d.nOffset] = 0;
        // Where the bytes' timing broke, the byte before may hold bits of
        // two bytes however clearly they were read: it gets no say over a
        // clean reading of another take.
        if (d.fault == ByteFault::slip && d.nOffset > 0)
            take.confidence[d.nBlock][d.nOffset - 1] = 0;
    }
    return take;
}

CTake TakeFromImage(std::vector<CTapeBlock> blocks, std::span<const CDamageMark> marks,
                    std::span<const CBlockNote> notes) {
    CTake take;
    take.blocks = std::move(blocks);
    for (std::size_t i = 0; i < take.blocks.size(); ++i) {
        std::vector<std::uint8_t> c(take.blocks[i].m_data.size(), kImageConfidence);
        // A byte the decoder damaged and the user picked a reading for since
        // is no longer marked: as sure as an image's.
        if (i < notes.size() && notes[i].confidence.size() == c.size())
            for (std::size_t k = 0; k < c.size(); ++k)
                c[k] = notes[i].confidence[k] != 0 ? notes[i].confidence[k] : kImageConfidence;
        take.confidence.push_back(std::move(c));
    }
    for (const CDamageMark& mark : MarksThatFit(marks, take.blocks)) {
        const ByteFault fault = mark.kind == DamageKind::framing ? ByteFault::framing
                                : mark.kind == DamageKind::lost  ? ByteFault::lost
                                                                 : ByteFault::undecided;
        for (std::size_t k = 0; k < mark.nCount; ++k) {
            take.confidence[mark.nBlock][mark.nOffset + k] = 0;
            take.damage.push_back(CDamagedByte{mark.nBlock, mark.nOffset + k,
                                               static_cast<double>(mark.nMillis) / 1000.0, fault});
        }
    }
    return take;
}

CMergeResult MergeTakes(std::span<const CTake> takes) {
    CMergeResult result;
    if (takes.empty())
        return result;
    const std::size_t nTakes = takes.size();

    // Blocks: each take's lined up with the first take's; a block no
    // earlier take has goes after the block its take had before it.
    struct Group {
        double key;
        std::vector<long> member;
    };
    std::vector<Group> groups;
    for (std::size_t i = 0; i < takes[0].blocks.size(); ++i) {
        groups.push_back({static_cast<double>(i), std::vector<long>(nTakes, -1)});
        groups.back().member[0] = static_cast<long>(i);
    }
    for (std::size_t t = 1; t < nTakes; ++t) {
        const std::vector<long> match = MatchBlocks(takes[0], takes[t]);
        double after = -1.0;
        double step = 0;
        for (std::size_t j = 0; j < match.size(); ++j) {
            if (match[j] >= 0) {
                groups[static_cast<std::size_t>(match[j])].member[t] = static_cast<long>(j);
                after = static_cast<double>(match[j]);
                step = 0;
                continue;
            }
            step += 1;
            Group g{after + 0.5 + 0.001 * static_cast<double>(t) + 1e-6 * step,
                    std::vector<long>(nTakes, -1)};
            g.member[t] = static_cast<long>(j);
            groups.push_back(std::move(g));
        }
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const Group& a, const Group& b) { return a.key < b.key; });

    std::vector<DamageIndex> damageOf(nTakes);
    for (std::size_t t = 0; t < nTakes; ++t)
        for (const CDamagedByte& d : takes[t].damage)
            damageOf[t].emplace(std::make_pair(d.nBlock, d.nOffset), &d);

    for (const Group& group : groups) {
        std::vector<CMember> members;
        for (std::size_t t = 0; t < nTakes; ++t) {
            if (group.member[t] < 0)
                continue;
            const auto b = static_cast<std::size_t>(group.member[t]);
            members.push_back({t, b, &takes[t].blocks[b].m_data, &takes[t].confidence[b]});
        }
        // A member read mostly damaged whose clean bytes mostly disagree
        // with those of a member that was not (read at the wrong speed) has
        // no clean say beside it: its bytes count as damaged. One that
        // mostly agrees (a lossy file's scattered damage) keeps its say.
        std::vector<std::vector<std::uint8_t>> doubted(members.size());
        const auto readable = std::find_if(members.begin(), members.end(), [](const CMember& m) {
            return !MostlyDamaged(*m.pConfidence);
        });
        for (std::size_t m = 0; m < members.size() && readable != members.end(); ++m) {
            if (!MostlyDamaged(*members[m].pConfidence) ||
                !MostlyDisagree(*members[m].pData, *members[m].pConfidence, *readable->pData,
                                *readable->pConfidence))
                continue;
            doubted[m].assign(members[m].pConfidence->size(), 0);
            members[m].pConfidence = &doubted[m];
        }
        // The pivot: the member with the fewest damaged bytes.
        auto damaged = [](const CMember& m) {
            return std::count(m.pConfidence->begin(), m.pConfidence->end(), 0);
        };
        const std::size_t nPivot =
            static_cast<std::size_t>(std::min_element(members.begin(), members.end(),
                                                      [&](const CMember& x, const CMember& y) {
                                                          return damaged(x) < damaged(y);
                                                      }) -
                                     members.begin());
        const CMember& pivot = members[nPivot];
        std::vector<CLineUp> lines(members.size());
        for (std::size_t m = 0; m < members.size(); ++m)
            if (m != nPivot)
                lines[m] = LineUp(*pivot.pData, *pivot.pConfidence, *members[m].pData,
                                  *members[m].pConfidence);

        const std::size_t nBlock = result.blocks.size();
        CTapeBlock out;
        out.m_nBaud = takes[pivot.nTake].blocks[pivot.nBlock].m_nBaud;
        CMergedBlock info;
        info.fromTake = group.member;
        std::vector<std::uint8_t> outConfidence;
        std::vector<long> saidBy; // the take of each doubtful byte's reading, -1 for none
        std::vector<std::size_t> next(members.size(), 0); // each member's next byte

        // Decides one place of the block from each member's reading.
        auto decide = [&](const std::vector<CReading>& readings) {
            int present = 0, absent = 0;
            bool bCleanPresent = false, bCleanAbsent = false, bAnyGap = false, bAnyDamaged = false;
            std::map<std::uint8_t, std::pair<int, int>> clean; // value: count, confidence
            std::map<std::uint8_t, int> doubtful;
            for (std::size_t m = 0; m < members.size(); ++m) {
                const std::vector<std::uint8_t>& conf = *members[m].pConfidence;
                const ByteArray& data = *members[m].pData;
                if (readings[m].nByte < 0) {
                    // A gap between clean bytes is a clean say that no byte
                    // is there; one beside damage is not.
                    const std::size_t k = next[m];
                    bool bClean = true;
                    for (std::size_t j = k > kGapSight ? k - kGapSight : 0;
                         j < std::min(conf.size(), k + kGapSight); ++j)
                        bClean = bClean && conf[j] != 0;
                    absent += bClean ? kCleanWeight : kDamagedWeight;
                    bCleanAbsent = bCleanAbsent || bClean;
                    bAnyGap = true;
                    continue;
                }
                const auto k = static_cast<std::size_t>(readings[m].nByte);
                if (conf[k] != 0) {
                    present += kCleanWeight;
                    bCleanPresent = true;
                    auto& [count, sum] = clean[data[k]];
                    ++count;
                    sum += conf[k];
                } else {
                    present += kDamagedWeight;
                    ++doubtful[data[k]];
                    bAnyDamaged = true;
                }
            }
            const bool bPresenceInDoubt = bCleanPresent && bCleanAbsent;
            if (present < absent && !bPresenceInDoubt)
                return; // a byte too many in the takes that hold it
            std::uint8_t value = 0;
            bool bClean = false;
            if (!clean.empty()) {
                auto best = clean.begin();
                int nOthers = 0;
                for (auto it = clean.begin(); it != clean.end(); ++it)
                    if (it->second > best->second)
                        best = it;
                for (auto it = clean.begin(); it != clean.end(); ++it)
                    if (it != best)
                        nOthers += it->second.first;
                value = best->first;
                bClean = best->second.first > nOthers && !bPresenceInDoubt;
                if (bClean && nOthers != 0)
                    ++info.nOutvoted;
            } else {
                auto best = doubtful.begin();
                for (auto it = doubtful.begin(); it != doubtful.end(); ++it)
                    if (it->second > best->second)
                        best = it;
                value = best->first;
            }
            const std::size_t nOffset = out.m_data.size();
            out.m_data.push_back(value);
            outConfidence.push_back(
                bClean ? static_cast<std::uint8_t>(
                             std::max(1, clean[value].second / std::max(1, clean[value].first)))
                       : 0);
            if (bClean) {
                if (bAnyGap || bAnyDamaged)
                    ++info.nMended;
                return;
            }
            // Doubtful: said as one of the takes said it, with the other
            // readings (and that take's own alternatives) beside it.
            CDamagedByte d{nBlock, nOffset, 0.0, ByteFault::undecided};
            const CDamagedByte* pFrom = nullptr;
            long nFromTake = -1;
            for (std::size_t m = 0; m < members.size() && pFrom == nullptr; ++m) {
                if (readings[m].nByte < 0)
                    continue;
                const auto it = damageOf[members[m].nTake].find(
                    {members[m].nBlock, static_cast<std::size_t>(readings[m].nByte)});
                if (it != damageOf[members[m].nTake].end()) {
                    pFrom = it->second;
                    nFromTake = static_cast<long>(members[m].nTake);
                }
            }
            saidBy.push_back(nFromTake);
            if (pFrom != nullptr) {
                d.dSeconds = pFrom->dSeconds;
                d.fault = pFrom->fault == ByteFault::slip ? ByteFault::undecided : pFrom->fault;
            }
            if (bPresenceInDoubt) {
                d.fault = ByteFault::slip; // missing in one take or extra in another
                d.nSlip = 0;
            }
            for (const auto& [v, cs] : clean)
                AddAlternative(d, v, value);
            for (const auto& [v, n] : doubtful)
                AddAlternative(d, v, value);
            if (pFrom != nullptr)
                for (std::size_t i = 0; i < pFrom->nAlternatives; ++i)
                    AddAlternative(d, pFrom->alternatives[i], value);
            result.damage.push_back(d);
        };

        const std::size_t nPivotBytes = pivot.pData->size();
        std::vector<CReading> readings(members.size());
        for (std::size_t i = 0; i <= nPivotBytes; ++i) {
            // Bytes some take holds before this pivot byte, k-th with k-th.
            std::size_t nInserted = 0;
            for (std::size_t m = 0; m < members.size(); ++m)
                if (m != nPivot)
                    nInserted = std::max(nInserted, lines[m].before[i].size());
            for (std::size_t k = 0; k < nInserted; ++k) {
                for (std::size_t m = 0; m < members.size(); ++m) {
                    readings[m].nByte = -1;
                    if (m != nPivot && k < lines[m].before[i].size())
                        readings[m].nByte = static_cast<long>(lines[m].before[i][k]);
                }
                decide(readings);
                for (std::size_t m = 0; m < members.size(); ++m)
                    if (readings[m].nByte >= 0)
                        next[m] = static_cast<std::size_t>(readings[m].nByte) + 1;
            }
            if (i == nPivotBytes)
                break;
            for (std::size_t m = 0; m < members.size(); ++m)
                readings[m].nByte = m == nPivot ? static_cast<long>(i) : lines[m].at[i];
            decide(readings);
            for (std::size_t m = 0; m < members.size(); ++m)
                if (readings[m].nByte >= 0)
                    next[m] = static_cast<std::size_t>(readings[m].nByte) + 1;
        }
        const bool bGarbage = std::all_of(members.begin(), members.end(), [&](const CMember& m) {
            return static_cast<std::size_t>(damaged(m)) * kGarbageShare >=
                   std::max<std::size_t>(m.pData->size(), 1);
        });
        if (bGarbage) {
            // A block that every take holding it read with much of it
            // damaged: most likely read at the wrong speed or from noise,
            // what it holds as clean is no better. Every byte of it stays
            // doubtful.
            std::erase_if(result.damage, [&](const CDamagedByte& d) { return d.nBlock == nBlock; });
            for (std::size_t k = 0; k < out.m_data.size(); ++k) {
                const auto it = damageOf[pivot.nTake].find({pivot.nBlock, k});
                CDamagedByte d = it != damageOf[pivot.nTake].end()
                                     ? *it->second
                                     : CDamagedByte{nBlock, k, 0.0, ByteFault::undecided};
                d.nBlock = nBlock;
                d.nOffset = k;
                result.damage.push_back(d);
            }
            info.nMended = 0;
            std::fill(outConfidence.begin(), outConfidence.end(), std::uint8_t{0});
            saidBy.assign(1, static_cast<long>(pivot.nTake));
        }
        info.nSaidBy = static_cast<long>(pivot.nTake);
        if (!saidBy.empty()) {
            const bool bOne = std::all_of(saidBy.begin(), saidBy.end(),
                                          [&](long t) { return t == saidBy.front(); });
            info.nSaidBy = bOne ? saidBy.front() : -1;
        }
        result.confidence.push_back(std::move(outConfidence));
        result.blocks.push_back(std::move(out));
        result.merged.push_back(std::move(info));
    }
    return result;
}

CTake TakeFromReading(std::vector<CTapeBlock> blocks, const CDamageMarks& marks,
                      const CRecordingReading& reading) {
    if (reading.m_quality.empty())
        return TakeFromImage(std::move(blocks), marks);
    return TakeFromRecording(std::move(blocks), reading.m_damage, reading.m_quality);
}

std::string DescribeMergedBlock(std::size_t nBlock, const CMergedBlock& merged) {
    std::string takes;
    for (std::size_t t = 0; t < merged.fromTake.size(); ++t) {
        if (merged.fromTake[t] < 0)
            continue;
        if (!takes.empty())
            takes += ',';
        takes += std::to_string(t + 1);
    }
    return res::FormatString(res::IDS_MERGE_BLOCK_LINE,
                             {std::to_string(nBlock), takes, std::to_string(merged.nMended),
                              std::to_string(merged.nOutvoted)});
}

std::size_t MendedByteCount(const CMergeResult& result) {
    std::size_t n = 0;
    for (const CMergedBlock& m : result.merged)
        n += m.nMended;
    return n;
}
