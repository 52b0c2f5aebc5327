// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <climits>

#include "serial/HexField.h"

namespace {

struct FieldRow {
    const char* name;
    std::string field;
    std::optional<std::int32_t> value;
};

void PrintTo(const FieldRow& row, std::ostream* os) {
    *os << row.name;
}

class HexFieldRows : public testing::TestWithParam<FieldRow> {};

TEST_P(HexFieldRows, ReadsTheFieldAsTheSenderMeantIt) {
    EXPECT_EQ(ParseHexField(GetParam().field), GetParam().value);
}

const std::optional<std::int32_t> kInvalid;

INSTANTIATE_TEST_SUITE_P(
    HexField, HexFieldRows,
    testing::Values(FieldRow{"EmptyIsZero", "", 0}, FieldRow{"OneDigit", "2", 2},
                    FieldRow{"ZeroPadded", "0003", 3}, FieldRow{"Prefix", "0x10", 16},
                    FieldRow{"UpperPrefix", "0X1f", 31}, FieldRow{"LowerCaseDigits", "ff", 255},
                    FieldRow{"PlusSign", "+2", 2}, FieldRow{"MinusSign", "-2", -2},
                    FieldRow{"SignThenPrefix", "-0x10", -16},
                    FieldRow{"LeadingWhiteSpace", " \t\r\n\v\f2", 2},
                    FieldRow{"TrailingSpace", "02 ", kInvalid},
                    FieldRow{"TrailingZeroByte", std::string("03\0", 3), kInvalid},
                    FieldRow{"OnlyWhiteSpace", " ", kInvalid}, FieldRow{"OnlySign", "+", kInvalid},
                    FieldRow{"PrefixWithoutDigits", "0x", kInvalid},
                    FieldRow{"PrefixThenNoHex", "0xG", kInvalid},
                    FieldRow{"NotHex", "GG", kInvalid},
                    FieldRow{"LowerCaseAbortStopsAfterAB", "abort", kInvalid},
                    FieldRow{"LargestPositive", "7FFFFFFF", INT_MAX},
                    FieldRow{"SaturatesHigh", "FFFFFFFF", INT_MAX},
                    FieldRow{"SaturatesHighWithManyDigits", "123456789ABCDEF0123", INT_MAX},
                    FieldRow{"SmallestNegative", "-80000000", INT_MIN},
                    FieldRow{"SaturatesLow", "-80000001", INT_MIN},
                    FieldRow{"LongZeroPadding", "000000000000000000000FF", 255}),
    [](const testing::TestParamInfo<FieldRow>& info) { return std::string(info.param.name); });

} // namespace
