// The texts users read, in their language: the catalogs built from po/, the
// choice of one by the user's languages, and the texts of the running program.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/outcome.h"
#include "frontend/catalog.h"

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

// The catalog for a language as a system names it ("de_AT.UTF-8", "pt-PT",
// "zh-Hans-SG", "fr@euro"): its name, "en" for English (the texts as written
// in the code), or "" when there is none for that language.
std::string CatalogName(const std::string& language);

class Texts {
 public:
  // No language at all: the notices in the documents' Japanese, every other
  // text in English.
  Texts() = default;

  // The first of the languages, in order, that has a catalog; English when
  // none has.
  static Texts For(const std::vector<std::string>& languages);

  // The user's language as the command line and the Qt window take it, in
  // the GNU order: LANGUAGE (a colon-separated list; only when the locale is
  // not C), then LC_ALL, LC_MESSAGES, LANG. Unset, C or POSIX is no language.
  // The locale need not exist on the machine.
  static Texts FromEnvironment();

  // "" for no language, "en", or a catalog's name.
  const std::string& Name() const { return name_; }

  // True where notices show the documents' own Japanese texts: in Japanese
  // and with no language.
  bool DocumentsNotices() const { return name_.empty() || name_ == "ja"; }

  // The translation of an English text, or the text itself.
  const char* operator()(const char* english) const;
  std::string operator()(const std::string& english) const;

 private:
  std::string name_;
  Catalog catalog_;
};

// The texts of the running program: chosen once at its start, no language
// until then.
const Texts& UserTexts();
void SetUserTexts(Texts texts);

// An English text in the user's language.
inline const char* Tr(const char* english) { return UserTexts()(english); }

// StopMessage with the step and the program's own reasons in the user's
// language; the system's error texts stay as the system gives them.
std::string UserStopMessage(const Stop& stop, const std::string& shownFile);

}  // namespace tarnvell
