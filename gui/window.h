// The drop window for Linux and macOS: it turns the local files dropped on it,
// or chosen in the file dialog it opens, into one drop for the core and shows
// each notice as a modal message box over the window.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include <QIcon>
#include <QString>
#include <QWidget>

#include "core/drop.h"
#include "core/platform.h"
#include "language/language.h"

class QMimeData;

namespace tarnvell {

extern const char kGuiTitle[];  // "Tarnvell"
extern const char kGuiUsage[];  // followed by the options (UsageText)
constexpr int kGuiSize = 200;

// One message box as the user sees it.
struct Box {
  QString title;
  QString text;
  bool warning = false;  // a warning icon; notices have none
};

// Shows boxes; the window's only way to talk to the user, so tests can
// record them instead.
class Presenter {
 public:
  virtual ~Presenter() = default;
  // Shows the box over parent; returns once the user has dismissed it.
  virtual void Show(const Box& box, QWidget* parent) = 0;
};

// Modal QMessageBox with one OK button, a child of the window: centred over
// it and without a task-list entry of its own.
class MessageBoxPresenter : public Presenter {
 public:
  void Show(const Box& box, QWidget* parent) override;
};

// The program's icon in every size the build draws, from the program itself.
QIcon ProgramIcon();

// The box for a drop that stopped on a file that could not be read or written.
Box StopBox(const Stop& stop, const Texts& texts);

// The dropped paths as the bytes of their URLs, percent-decoded (so names
// that are not UTF-8 arrive as they are on the disk), in the order given;
// empty unless the data holds at least one URL and every URL is a local file.
std::vector<std::string> LocalPaths(const QMimeData& data);

// The process's current folder, or "" when it cannot be told.
std::string CurrentDir();

// Command-line arguments as full paths, relative ones taken from cwd.
std::vector<std::string> AbsolutePaths(const std::vector<std::string>& args,
                                       const std::string& cwd);

class DropWindow : public QWidget {
 public:
  // Speaks to the user in `texts`, which must outlive the window.
  DropWindow(Presenter& presenter, Platform& platform, const Texts& texts);

  // Queues one drop and handles it once control is back in the event loop.
  void Enqueue(std::vector<std::string> paths);

  // Sizes and centres the window on its screen, shows it, and queues the
  // files given on the command line, if any, as one drop.
  void Start(std::vector<std::string> files);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Choose();
  void HandlePending();
  void HandleOne(const std::vector<std::string>& paths);

  Presenter& presenter_;
  Platform& platform_;
  const Texts& texts_;
  std::deque<std::vector<std::string>> pending_;
  bool busy_ = false;
  bool pressed_ = false;  // a click began here, not in a dialog now closed
};

}  // namespace tarnvell
