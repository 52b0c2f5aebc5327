// SPDX-License-Identifier: GPL-3.0-or-later
// The interpreter's scanner and the lister read one token table: every word
// of it is a reserved word to the scanner, never a name.
#include <gtest/gtest.h>

#include "inspect/N88TokenTable.h"
#include "pc88/N88Tokens.h"

TEST(TokenTable, EveryWordOfTheTableIsReservedToTheScanner) {
    int words = 0;
    for (const n88::SToken& token : n88::GetTokens()) {
        if (token.word[0] < 'A' || token.word[0] > 'Z')
            continue; // operators and ' are punctuation to the scanner
        ++words;
        pc88::CNameTable names;
        const pc88::STokenLine line = pc88::TokenizeLine(std::string(token.word), names);
        ASSERT_GE(line.tokens.size(), 1u);
        EXPECT_EQ(line.tokens[0].kind, pc88::ETokenKind::Keyword) << token.word;
        EXPECT_EQ(line.listText, token.word);
        EXPECT_EQ(names.GetCount(), 0u) << token.word;
    }
    EXPECT_GT(words, 150); // the table is there at all
}
