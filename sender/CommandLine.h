#pragma once

#include <string>
#include <string_view>
#include <vector>

// The command-line rules of PelorinSend, kept free of I/O so that they can be tested.
namespace CommandLine {

// Splits a raw command line (as Windows hands it over) into its arguments, the program path
// first: characters up to U+0020 separate; a double quote opens a stretch to the next double
// quote in which separators belong to the argument, and the quotes are removed; pairs of double
// quotes at the start of an argument are skipped; the backslash is an ordinary character.
std::vector<std::string> Split(std::string_view commandLine);

// Arguments 1..n, each after one blank, with characters up to U+0020 trimmed from both ends.
std::string JoinArguments(const std::vector<std::string>& arguments);

} // namespace CommandLine
