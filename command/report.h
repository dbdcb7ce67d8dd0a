// A look inside containers put into words: a block per file for --list, a
// line per file for --test, and one JSON document for scripts.
#pragma once

#include <string>
#include <vector>

#include "core/inspect.h"
#include "language/language.h"

namespace tarnvell {

// The block --list prints for a container, or the line that says the file is
// none, for standard output; "" for a file that could not be read.
std::string ListBlock(const Inspection& inspection, const Texts& texts);

// "FILE: OK", or the file and each of its problems; a file that could not be
// read with the reason.
std::string TestLine(const Inspection& inspection, const Texts& texts);

// Why a file could not be read, as "FILE: STEP: REASON".
std::string ReadFailure(const Inspection& inspection, const Texts& texts);

// An array with one object per file (keys in snake_case), and a line end.
std::string JsonReport(const std::vector<Inspection>& inspections);

}  // namespace tarnvell
