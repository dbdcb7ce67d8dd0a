// The page's language: the page's script hands over the browser's languages
// (navigator.languages) once, and asks for each of its own texts in the
// chosen one; notices and stops follow the same choice.
#include <emscripten/emscripten.h>

#include <string>
#include <vector>

#include "frontend/language.h"

// Chooses the first of the colon-separated languages that has a catalog
// (English when none has); returns the catalog's name ("en", "pt_BR").
extern "C" EMSCRIPTEN_KEEPALIVE const char* tarnvell_language(const char* list) {
  std::vector<std::string> languages(1);
  for (const char* at = list; *at != '\0'; ++at) {
    if (*at == ':') {
      languages.emplace_back();
    } else {
      languages.back() += *at;
    }
  }
  tarnvell::SetUserTexts(tarnvell::Texts::For(languages));
  return tarnvell::UserTexts().Name().c_str();
}

// One of the page's English texts in the chosen language.
extern "C" EMSCRIPTEN_KEEPALIVE const char* tarnvell_text(const char* english) {
  return tarnvell::Tr(english);
}
