// tarnvell-gui [OPTION]... [FILE]...: the drop window; files given here are
// one drop.
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "frontend/language.h"
#include "frontend/options.h"
#include "gui/window.h"
#include "frontend/posix.h"
#include "platform/posix_platform.h"

int main(int argc, char** argv) {
  tarnvell::HandleSignalsForCleanUp();
  tarnvell::SetUserTexts(tarnvell::Texts::FromEnvironment());
  // Options are answered before Qt starts, so they need no display.
  const tarnvell::Arguments args = tarnvell::ParseArguments(argc, argv);
  if (args.request != tarnvell::Request::kFiles)
    return tarnvell::AnswerRequest(args, "tarnvell-gui", tarnvell::kGuiUsage);

  // Qt sees only the program name, so no file is taken for one of its options.
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  // Qt's own texts (the file dialog, the names of keys) in the same language.
  QTranslator qtTexts;
  const std::string language = tarnvell::UserTexts().Name();
  if (!language.empty() &&
      qtTexts.load(QString::fromStdString("qtbase_" + language),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    app.installTranslator(&qtTexts);
  const std::string startDir = tarnvell::CurrentDir();
  tarnvell::PosixPlatform platform;
  tarnvell::MessageBoxPresenter presenter;
  tarnvell::DropWindow window(presenter, platform);
  window.Start(tarnvell::AbsolutePaths(args.files, startDir));
  return app.exec();
}
