#pragma once
// How question numbers and pool names are built. Ordinary pools: pool letter + three-digit
// pool number, questions pool number + two-digit index. Edition pools: questions edition
// prefix + three-digit running number. A pool number is free while no question number
// of the five multiple-choice tables begins with it.

#include <optional>
#include <string>

namespace pools {

// n formatted with "000" / "00": zero padded, more digits when n needs them.
std::string format000(long n);
std::string format00(long n);

// The first n characters (not bytes) of a text.
std::string firstChars(const std::string& text, size_t n);

// The pool number of a pool name: its rightmost three characters.
std::string poolNumberOf(const std::string& poolName);

std::string ordinaryQuestionNumber(const std::string& poolNumber, long index);
std::string editionQuestionNumber(const std::string& prefix, long running);

// The pool letter must not be exactly "D" or "O"; lower case and any other text pass.
bool poolLetterAllowed(const std::string& letter);

// The count typed into a number box: a whole number, or nothing for any other text.
std::optional<long> wholeNumber(const std::string& text);

}  // namespace pools
