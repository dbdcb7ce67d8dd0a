// tarnvell-gui [OPTION]... [FILE]...: the drop window; files given here are
// one drop.
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "command/command.h"
#include "gui/window.h"
#include "platform/posix_platform.h"
#include "platform/posix_signals.h"

int main(int argc, char** argv) {
  tarnvell::HandleSignalsForCleanUp();
  const tarnvell::Texts texts = tarnvell::Texts::FromEnvironment();
  // Options are answered before Qt starts, so they need no display.
  const tarnvell::Arguments args = tarnvell::ParseArguments(argc, argv);
  if (args.request != tarnvell::Request::kFiles) {
    tarnvell::StdioConsole console;
    return tarnvell::AnswerRequest(args, "tarnvell-gui",
                                   tarnvell::UsageText(texts, tarnvell::kGuiUsage),
                                   texts, console);
  }

  // Qt sees only the program name, so no file is taken for one of its options.
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  // Qt's own texts (the file dialog, the names of keys) in the same language.
  QTranslator qtTexts;
  if (texts.Name() != "en" &&
      qtTexts.load(QString::fromStdString("qtbase_" + texts.Name()),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    app.installTranslator(&qtTexts);
  const std::string startDir = tarnvell::CurrentDir();
  tarnvell::PosixPlatform platform;
  tarnvell::MessageBoxPresenter presenter;
  tarnvell::DropWindow window(presenter, platform, texts);
  window.Start(tarnvell::AbsolutePaths(args.files, startDir));
  return app.exec();
}
