// tarnvell-gui [FILE...]: the drop window; files given here are one drop.
#include <QApplication>

#include "gui/window.h"
#include "platform/posix_front_end.h"
#include "platform/posix_platform.h"

int main(int argc, char** argv) {
  tarnvell::HandleSignalsForCleanUp();
  QApplication app(argc, argv);  // takes its own options out of argv
  const std::string startDir = tarnvell::CurrentDir();
  tarnvell::PosixPlatform platform;
  tarnvell::MessageBoxPresenter presenter;
  tarnvell::DropWindow window(presenter, platform);
  window.Start(tarnvell::AbsolutePaths(
      std::vector<std::string>(argv + 1, argv + argc), startDir));
  return app.exec();
}
