#include "language/language.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace tarnvell {

const char kDropHint[] =
    "Drop a .fnt file here to split it,\nor a .pcx and a .txt together\n"
    "to join them";
const char kChooseHint[] = "Click or press %s\nto choose files";

namespace {

const CatalogData* Built(const std::string& name) {
  for (size_t i = 0; i < kCatalogCount; ++i)
    if (name == kCatalogs[i].name) return &kCatalogs[i];
  return nullptr;
}

// "zh_TW", "zh_Hant", "zh_Hant_HK": Chinese in traditional characters.
bool Traditional(const std::vector<std::string>& parts) {
  for (size_t i = 1; i < parts.size(); ++i)
    if (parts[i] == "Hant" || parts[i] == "TW" || parts[i] == "HK" ||
        parts[i] == "MO")
      return true;
  return false;
}

// The language and its subtags, with the encoding and modifier dropped and
// each part in its usual case: "zh-hans-sg.utf8" gives {"zh", "Hans", "SG"}.
std::vector<std::string> Parts(const std::string& language) {
  std::vector<std::string> parts(1);
  for (char c : language.substr(0, language.find_first_of(".@"))) {
    if (c == '_' || c == '-') {
      parts.emplace_back();
    } else {
      parts.back() += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  for (size_t i = 1; i < parts.size(); ++i) {
    std::string& p = parts[i];
    if (p.size() == 2) {
      for (char& c : p) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    } else if (!p.empty()) {
      p[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])));
    }
  }
  return parts;
}

bool NoLanguage(const char* locale) {
  return locale == nullptr || *locale == '\0' || std::strcmp(locale, "C") == 0 ||
         std::strncmp(locale, "C.", 2) == 0 || std::strcmp(locale, "POSIX") == 0;
}

}  // namespace

std::string CatalogName(const std::string& language) {
  const std::vector<std::string> parts = Parts(language);
  const std::string& lang = parts[0];
  if (lang == "en" || lang == "c" || lang == "posix") return "en";
  if (lang.empty() || (lang == "zh" && Traditional(parts))) return "";
  // The exact region first, then the language, then any region of it, so
  // de_AT finds de and pt_PT finds pt_BR.
  for (size_t i = 1; i < parts.size(); ++i)
    if (Built(lang + "_" + parts[i]) != nullptr) return lang + "_" + parts[i];
  if (Built(lang) != nullptr) return lang;
  for (size_t i = 0; i < kCatalogCount; ++i)
    if (std::strncmp(kCatalogs[i].name, (lang + "_").c_str(), lang.size() + 1) == 0)
      return kCatalogs[i].name;
  return "";
}

std::vector<std::string> LanguageList(const char* list) {
  std::vector<std::string> languages;
  for (const char* at = list; at != nullptr && *at != '\0';) {
    const char* end = std::strchr(at, ':');
    languages.emplace_back(at, end != nullptr ? end - at : std::strlen(at));
    at = end != nullptr ? end + 1 : nullptr;
  }
  return languages;
}

Texts Texts::For(const std::vector<std::string>& languages) {
  Texts texts;
  for (const std::string& language : languages) {
    const std::string name = CatalogName(language);
    if (name.empty()) continue;
    texts.name_ = name;
    if (const CatalogData* data = Built(name))
      texts.catalog_ = Catalog(data->bytes, data->size);
    break;
  }
  return texts;
}

Texts Texts::FromEnvironment() {
  const char* locale = nullptr;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    locale = std::getenv(name);
    if (locale != nullptr && *locale != '\0') break;
  }
  if (NoLanguage(locale)) return Texts();
  std::vector<std::string> languages = LanguageList(std::getenv("LANGUAGE"));
  if (languages.empty()) languages.push_back(locale);
  return For(languages);
}

const char* Texts::operator()(const char* english) const {
  const char* translated = catalog_.Find(english);
  return translated != nullptr && *translated != '\0' ? translated : english;
}

std::string Texts::operator()(const std::string& english) const {
  return (*this)(english.c_str());
}

}  // namespace tarnvell
