#include "gui/window.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QUrl>


namespace tarnvell {

const char kGuiTitle[] = "Tarnvell";
const char kGuiUsage[] =
    "Usage: tarnvell-gui [OPTION]... [FILE]...\n"
    "Open the drop window: drop one .fnt on it to split it, or a .pcx and a\n"
    ".txt together to join them. FILEs given here are one drop, handled as\n"
    "soon as the window is shown.\n";

namespace {

// Hands the core's notices to the presenter as boxes without an icon, over
// the window.
class PresenterSink : public MessageSink {
 public:
  PresenterSink(Presenter& presenter, QWidget* window, const Texts& texts)
      : presenter_(presenter), window_(window), texts_(texts) {}
  void Show(const Notice& notice) override {
    presenter_.Show({QString::fromUtf8(texts_(notice.caption)),
                     QString::fromUtf8(texts_(notice.text)), false},
                    window_);
  }

 private:
  Presenter& presenter_;
  QWidget* window_;
  const Texts& texts_;
};

// What the window takes and how to choose files instead, in the reader's
// language; the shortcut is named as Qt names it there.
QString DropHint(const Texts& texts) {
  const QString key = QKeySequence(QKeySequence::Open).toString(QKeySequence::NativeText);
  return QString::fromUtf8(texts(kDropHint)) + QStringLiteral("\n\n") +
         QString::fromUtf8(texts(kChooseHint)).replace(QStringLiteral("%s"), key);
}

// Asked on every move of a drag, so it only looks at the URLs.
bool AllLocalFiles(const QMimeData& data) {
  const QList<QUrl> urls = data.urls();
  for (const QUrl& url : urls)
    if (!url.isLocalFile()) return false;
  return !urls.isEmpty();
}

}  // namespace

void MessageBoxPresenter::Show(const Box& box, QWidget* parent) {
  QMessageBox message(box.warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                      box.title, box.text, QMessageBox::Ok, parent);
  message.setTextFormat(Qt::PlainText);  // "\n" breaks the line
  message.exec();
}

Box StopBox(const Stop& stop, const Texts& texts) {
  // The file's name is bytes, shown the way the system shows file names.
  return {QString::fromLatin1(kGuiTitle),
          QFile::decodeName(QByteArray::fromStdString(StopMessage(stop, stop.file, texts))),
          true};
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/tarnvell-%1.png").arg(size));
  return icon;
}

std::vector<std::string> LocalPaths(const QMimeData& data) {
  std::vector<std::string> paths;
  for (const QUrl& url : data.urls()) {
    if (!url.isLocalFile()) return {};
    // Not toLocalFile(): it turns bytes that are not UTF-8 into U+FFFD.
    paths.push_back(QByteArray::fromPercentEncoding(
                        url.path(QUrl::FullyEncoded).toLatin1())
                        .toStdString());
  }
  return paths;
}

std::string CurrentDir() {
  std::error_code error;
  std::string cwd = std::filesystem::current_path(error).string();
  return error ? std::string() : cwd;
}

std::vector<std::string> AbsolutePaths(const std::vector<std::string>& args,
                                       const std::string& cwd) {
  std::vector<std::string> paths;
  for (const std::string& arg : args) {
    if (arg == "." && !cwd.empty())
      paths.push_back(cwd);  // the current folder itself
    else if ((!arg.empty() && arg[0] == '/') || cwd.empty())
      paths.push_back(arg);
    else
      paths.push_back(cwd.back() == '/' ? cwd + arg : cwd + "/" + arg);
  }
  return paths;
}

DropWindow::DropWindow(Presenter& presenter, Platform& platform,
                       const Texts& texts)
    : presenter_(presenter), platform_(platform), texts_(texts) {
  setWindowTitle(QString::fromLatin1(kGuiTitle));
  setWindowIcon(ProgramIcon());  // the boxes over the window show it too
  setAcceptDrops(true);
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleDescription(DropHint(texts_));  // what a screen reader says of it
}

void DropWindow::Enqueue(std::vector<std::string> paths) {
  pending_.push_back(std::move(paths));
  QTimer::singleShot(0, this, [this] { HandlePending(); });
}

void DropWindow::Start(std::vector<std::string> files) {
  resize(kGuiSize, kGuiSize);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->geometry();
    move(area.x() + (area.width() - kGuiSize) / 2,
         area.y() + (area.height() - kGuiSize) / 2);
  }
  show();
  if (!files.empty()) Enqueue(std::move(files));
}

// Only drags of local files are taken, so the drag source shows a refusal
// for anything else while it is still being dragged.
void DropWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (AllLocalFiles(*event->mimeData())) event->acceptProposedAction();
}

void DropWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (AllLocalFiles(*event->mimeData())) event->acceptProposedAction();
}

// Returns at once so the drag source is released; the drop is handled from
// the event loop.
void DropWindow::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths = LocalPaths(*event->mimeData());
  if (paths.empty()) return;
  event->acceptProposedAction();
  Enqueue(std::move(paths));
}

// The hint in a font a little smaller than the window's, shrunk further
// until it fits, word-wrapped; it is no control, so drops land on it too.
void DropWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = rect().adjusted(10, 10, -10, -10);
  const int flags = Qt::AlignCenter | Qt::TextWordWrap;
  const QString hint = DropHint(texts_);
  QFont font = painter.font();
  qreal size = font.pointSizeF() > 0 ? font.pointSizeF() * 0.9 : 8;
  do {
    font.setPointSizeF(size);
    painter.setFont(font);
    size -= 0.5;
  } while (size >= 6 && !area.contains(painter.boundingRect(area, flags, hint)));
  painter.setPen(palette().color(QPalette::PlaceholderText));
  painter.drawText(area, flags, hint);
}

// Ctrl+O (as the system names it), or Enter or Space, opens the file dialog.
void DropWindow::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (event->matches(QKeySequence::Open) ||
      (event->modifiers() == Qt::NoModifier &&
       (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space))) {
    Choose();
  } else {
    QWidget::keyPressEvent(event);
  }
}

// A click, or a tap (which Qt turns into one), anywhere in the window.
void DropWindow::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
}

void DropWindow::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = pressed_ && event->button() == Qt::LeftButton &&
                     rect().contains(event->position().toPoint());
  pressed_ = false;
  if (click) Choose();
}

// The system's dialog for existing files, several at once; the files chosen
// are one drop, in the dialog's order, and cancelling it does nothing.
void DropWindow::Choose() {
  if (busy_) return;
  const QStringList chosen = QFileDialog::getOpenFileNames(this);
  std::vector<std::string> paths;
  for (const QString& path : chosen) paths.push_back(QFile::encodeName(path).toStdString());
  if (!paths.empty()) Enqueue(std::move(paths));
}

// Drops are refused while a box is up; those already taken wait their turn.
void DropWindow::HandlePending() {
  if (busy_) return;  // a box of an earlier drop is up: it drains the queue
  busy_ = true;
  setAcceptDrops(false);
  while (!pending_.empty()) {
    std::vector<std::string> paths = std::move(pending_.front());
    pending_.pop_front();
    HandleOne(paths);
  }
  setAcceptDrops(true);
  busy_ = false;
}

void DropWindow::HandleOne(const std::vector<std::string>& paths) {
  PresenterSink sink(presenter_, this, texts_);
  const DropResult result = HandleDrop(DropList{paths}, sink, platform_);
  if (result.kind() == DropResult::Kind::kStopped)
    presenter_.Show(StopBox(result.stop(), texts_), this);
}

}  // namespace tarnvell
