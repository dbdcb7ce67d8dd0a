// Texts put together for the reader: the values filled into a translated
// text, and names shown safely on a terminal or in JSON.
#pragma once

#include <initializer_list>
#include <string>

namespace tarnvell {

// `text` with each "%s" in turn replaced by the next of `values`.
std::string Fill(const char* text, std::initializer_list<std::string> values);

// A name as it may be shown on a terminal: control characters become \xHH,
// so a file name cannot send escape sequences. That covers the C1 controls
// too, whether as raw bytes 0x80-0x9F or as UTF-8 (U+0080-U+009F).
std::string Printable(const std::string& name);

// A name as a JSON string, quotes included: UTF-8 as it is, control
// characters escaped as JSON has them, and each byte that is not UTF-8 as the
// four characters \xHH (as Printable shows it).
std::string JsonString(const std::string& name);

}  // namespace tarnvell
