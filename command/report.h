// A look inside containers put into words: a block per file for --list, a
// line per file for --test, and one JSON document for scripts.
#pragma once

#include <string>

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

// One file's object (keys in snake_case) in an array written as the files
// are read, with what comes before it: the array's start for the first
// (index 0), else a comma. JsonEnd ends the array of `count` objects and the
// line.
std::string JsonReport(const Inspection& inspection, size_t index);
std::string JsonEnd(size_t count);

}  // namespace tarnvell
