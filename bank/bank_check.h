#pragma once
// What a folder's bank and user database lack of their schema, for 'zorbex-bank check'.

#include <filesystem>
#include <string>
#include <vector>

namespace bank {

// One line per table or column of the schema that is missing from the bank or the user
// database of folder, and per link to the user tables that is missing, points at no file or
// at another folder's user database, or reaches no table; empty when nothing is amiss.
// Both files must open (DbError otherwise); nothing is written.
std::vector<std::string> structureProblems(const std::filesystem::path& folder);

}  // namespace bank
