// The texts users read, in their language: the catalogs built from po/ and
// the choice of one by the user's languages, on every system.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "language/catalog.h"

namespace tarnvell {

// A catalog compiled from po/NAME.po, built into the program.
struct CatalogData {
  const char* name;  // as in po/LINGUAS: "de", "pt_BR"
  const unsigned char* bytes;
  size_t size;
};
extern const CatalogData kCatalogs[];
extern const size_t kCatalogCount;

// The hint the windows draw in their empty area.
extern const char kDropHint[];
// Drawn below it: how to choose files instead; "%s" is the shortcut's name.
extern const char kChooseHint[];

// The catalog for a language as a system names it ("de_AT.UTF-8", "pt-PT",
// "zh-Hans-SG", "fr@euro"): its name, "en" for English (the texts as written
// in the code), or "" when there is none for that language.
std::string CatalogName(const std::string& language);

// The languages of a colon-separated list ("ja:de_DE"), in its order.
std::vector<std::string> LanguageList(const char* list);

// The Windows user's interface languages, most preferred first, as the
// system names them ("fr-FR"); built for Windows only (windows.cpp).
std::vector<std::string> UserLanguages();

// The texts of one reader, passed to whatever shows them. Each text is
// written in English in the code and translated by the reader's catalog.
class Texts {
 public:
  // English: the texts as written in the code.
  Texts() = default;

  // The first of the languages, in order, that has a catalog; English when
  // none has.
  static Texts For(const std::vector<std::string>& languages);

  // The user's language as the command line and the Qt window take it, in
  // the GNU order: LANGUAGE (a colon-separated list; only when the locale is
  // not C), then LC_ALL, LC_MESSAGES, LANG. Unset, C, C.UTF-8 or POSIX is
  // no language, and that is English. The locale need not exist on the
  // machine.
  static Texts FromEnvironment();

  // "en", or a catalog's name.
  const std::string& Name() const { return name_; }

  // The translation of an English text, or the text itself; so a Texts is
  // also a Translate (core/outcome.h) for stop messages.
  const char* operator()(const char* english) const;
  std::string operator()(const std::string& english) const;

 private:
  std::string name_ = "en";
  Catalog catalog_;
};

}  // namespace tarnvell
