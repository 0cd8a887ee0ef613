// A dictionary database (.di8, a Jet database) as the control panel sees it: the one-row
// descriptor table Properties, and the Czech name tables for its numbers.
#pragma once

#include "platform/prompter.h"

#include <array>
#include <cstdint>
#include <string>

namespace zeph::cat {

// The foreign language paired with Czech: 0 English, 1 German, 2 French, 3 Russian, 4 Spanish,
// 5 Polish; also the index of the dictionary's flag icon.
using LanguageCombination = int32_t;

struct TDatabaseProperties {
    std::string Name;  // empty: the database could not be read
    std::string Version;
    double Date = 0;   // days since 30 December 1899, the fraction the time of day
    int32_t Lang1ID = 0;
    int32_t Lang2ID = 0;
    int32_t LangCombination = 0;
    int32_t LangShift = 0;
    std::string AvailableDicts;
    int32_t UpdateVer = 0;
};

// Reads the first row of the table Properties. Every read runs in a separate reader process
// with a time and memory limit, so a corrupt or hostile file can never crash or hang the caller. Failures
// show one of the two Czech messages through the prompter (none when silent or prompter null).
TDatabaseProperties ReadDatabaseProperties(const std::string& path, bool silent, Prompter* prompter);

// The language table (first and second forms) and the subject-field table.
struct LanguageName {
    std::string first, second;
};
struct NameTables {
    std::array<LanguageName, 9> languages;
    std::array<std::string, 17> subjects;
};
const NameTables& FillNameTables();
// "Anglicko-český" for 1 and 0; a number outside 0..8 gives an empty form.
std::string CombinationText(int32_t lang1, int32_t lang2);

}  // namespace zeph::cat
