// The reader's language: the command line run with the language set in its
// environment as users set it, and the catalogs it is read from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <sstream>
#include <string>

#include "language/language.h"
#include "tests/program.h"

using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// The command line's standard output and error, run in `dir` with no other
// language settings than `env` ("NAME=VALUE ..."), on `args` (words).
std::string RunCli(const std::string& env, const std::string& dir,
                   const std::string& args) {
  std::istringstream words(args);
  const testing_support::Result r = testing_support::RunCli(
      dir, {std::istream_iterator<std::string>(words), {}}, [&env] {
        std::istringstream settings(env);
        for (std::string setting; settings >> setting;)
          putenv(strdup(setting.c_str()));
      });
  return r.out + r.err;
}

TEST(Language, TheEnvironmentChoosesItInGnuOrderWithRegionalFallbacks) {
  TempDir dir;
  WriteFile(dir / "bad.fnt", "short");
  const std::string ja = "警告: 読込エラー1\n";
  const std::string en = "Warning: Read error 1: not a font container\n";
  const std::string de = "Warnung: Lesefehler 1: kein Schriftcontainer\n";
  const struct {
    const char* env;
    std::string line;
  } cases[] = {
      {"", en},  // no language: English
      {"LANG=C.UTF-8 LANGUAGE=de", en},
      {"LC_ALL=POSIX LANG=de_DE.UTF-8", en},
      {"LANG=C LANGUAGE=ja", en},
      {"LANG=en_US.UTF-8", en},
      {"LANG=de_DE.UTF-8", de},
      {"LANG=de_AT@euro", de},
      {"LANG=ja_JP.UTF-8", ja},
      {"LANG=pt_PT.UTF-8", "Aviso: Erro de leitura 1: não é um contêiner de fontes\n"},
      {"LANG=fr_FR LC_MESSAGES=ko_KR.UTF-8", "경고: 읽기 오류 1: 글꼴 컨테이너가 아닙니다\n"},
      {"LC_ALL=es_MX LC_MESSAGES=ko_KR LANG=ko_KR",
       "Advertencia: Error de lectura 1: no es un contenedor de fuentes\n"},
      {"LANG=de_DE LANGUAGE=nb:zh_TW:zh_HK:zh_SG:de", "警告: 读取错误 1：不是字体容器\n"},
      {"LANG=de_DE LANGUAGE=nb:sv", en},
      {"LANG=nb_NO.UTF-8", en},
  };
  for (const auto& c : cases) EXPECT_EQ(RunCli(c.env, dir.path(), "bad.fnt"), c.line) << c.env;
}

TEST(Language, UsageOptionErrorsAndStopsFollowIt) {
  TempDir dir;
  const std::string bogus = RunCli("LANG=de_DE.UTF-8", dir.path(), "--bogus");
  EXPECT_EQ(bogus.substr(0, bogus.find('\n')), "tarnvell: unbekannte Option „--bogus“");
  EXPECT_NE(bogus.find("\nAufruf: tarnvell [OPTION]... DATEI...\n"), std::string::npos);
  EXPECT_NE(bogus.find("\nOptionen:\n"), std::string::npos);
  // The step is translated, the system's own reason stays as it gives it.
  EXPECT_EQ(RunCli("LANG=de_DE.UTF-8", dir.path(), "gone.fnt"),
            "tarnvell: " + (dir / "gone.fnt") + ": Öffnen: No such file or directory\n");
  // --test keeps "FILE: " as it is in every language.
  std::string pcx(128, '\0');
  pcx[0] = 0x0A, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8, pcx[65] = 1;
  WriteFile(dir / "ok.fnt", testing_support::Header(64, 128, 192, 0) + pcx);
  for (const char* env : {"LANG=fr_FR.UTF-8", "LANG=zh_CN.UTF-8"})
    EXPECT_EQ(RunCli(env, dir.path(), "-t ok.fnt"), "ok.fnt: OK\n") << env;
}

TEST(Catalogs, TagsFindTheirCatalogs) {
  const char* const tags[][2] = {{"de-DE", "de"},       {"pt-PT", "pt_BR"},
                                 {"zh-Hans-SG", "zh_CN"}, {"zh-Hant", ""},
                                 {"en-GB", "en"},       {"ko", "ko"}};
  for (const auto& t : tags) EXPECT_EQ(tarnvell::CatalogName(t[0]), t[1]) << t[0];
}

TEST(Catalogs, OneNotWholeOrWellFormedKnowsNothing) {
  const tarnvell::CatalogData* de = nullptr;
  for (size_t i = 0; i < tarnvell::kCatalogCount; ++i)
    if (std::string(tarnvell::kCatalogs[i].name) == "de") de = &tarnvell::kCatalogs[i];
  ASSERT_NE(de, nullptr);
  std::string bytes(reinterpret_cast<const char*>(de->bytes), de->size);
  auto find = [&](size_t size) {
    return tarnvell::Catalog(reinterpret_cast<const unsigned char*>(bytes.data()), size)
        .Find("Warning");
  };
  EXPECT_STREQ(find(bytes.size()), "Warnung");
  for (size_t size : {size_t{0}, size_t{19}, bytes.size() / 2, bytes.size() - 1})
    EXPECT_EQ(find(size), nullptr) << size;
  bytes[19] = '\x7F';  // the translations' table far past the end
  EXPECT_EQ(find(bytes.size()), nullptr);
}

}  // namespace
