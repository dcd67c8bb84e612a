// --prune: a checked project written back without the hits found missing.
#pragma once

#include <cstddef>
#include <set>
#include <string>

// The bytes of a project file without the body lines whose location is in
// gone; every other byte stays as it was (header, line ends, the order and
// text of the other hits). dropped: how many lines went.
std::string PruneProjectText(const std::string& text, const std::set<std::string>& gone,
                             std::size_t* dropped);

// Rewrites the project file at path that way: written beside it first and
// then put in its place in one rename, so a failure leaves it as it was.
// True when the file was replaced or nothing had to go; else error says why.
bool PruneProjectFile(const std::string& path, const std::set<std::string>& gone,
                      std::size_t* dropped, std::string* error);
