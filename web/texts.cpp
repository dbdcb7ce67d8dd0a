// The page's language: the page's script hands over the browser's languages
// (navigator.languages) once, and asks for each of its own texts in the
// chosen one; notices and stops follow the same choice.
#include <emscripten/emscripten.h>

#include "language/language.h"

namespace {

// The reader's texts, chosen once when the page starts; English until then.
tarnvell::Texts g_texts;

}  // namespace

const tarnvell::Texts& PageTexts() { return g_texts; }

// Chooses the first of the colon-separated languages that has a catalog
// (English when none has); returns the catalog's name ("en", "pt_BR").
extern "C" EMSCRIPTEN_KEEPALIVE const char* tarnvell_language(const char* list) {
  g_texts = tarnvell::Texts::For(tarnvell::LanguageList(list));
  return g_texts.Name().c_str();
}

// One of the page's English texts in the chosen language.
extern "C" EMSCRIPTEN_KEEPALIVE const char* tarnvell_text(const char* english) {
  return g_texts(english);
}
