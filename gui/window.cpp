#include "gui/window.h"

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

#include "frontend/language.h"
#include "frontend/posix.h"

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
  PresenterSink(Presenter& presenter, QWidget* window)
      : presenter_(presenter), window_(window) {}
  void Show(const Notice& notice) override {
    presenter_.Show(
        {QString::fromStdString(NoticeUtf8(notice.caption, notice.englishCaption)),
         QString::fromStdString(NoticeUtf8(notice.text, notice.english)), false},
        window_);
  }

 private:
  Presenter& presenter_;
  QWidget* window_;
};

// What the window takes and how to choose files instead, for a user who
// starts it from the menu, in the user's language; with no language in
// Japanese and in English. The shortcut is named as Qt names it there.
QString DropHint() {
  const QString key = QKeySequence(QKeySequence::Open).toString(QKeySequence::NativeText);
  const auto hint = [&](const Texts& texts) {
    return QString::fromUtf8(texts(kDropHint)) + QStringLiteral("\n\n") +
           QString::fromUtf8(texts(kChooseHint)).replace(QStringLiteral("%s"), key);
  };
  if (!UserTexts().Name().empty()) return hint(UserTexts());
  return hint(Texts::For({"ja"})) + QStringLiteral("\n\n") + hint(Texts());
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

QString FromCp932(const char* text) {
  return QString::fromStdString(Utf8FromCp932(text));
}

Box StopBox(const Stop& stop) {
  // The file's name is bytes, shown the way the system shows file names.
  return {QString::fromLatin1(kGuiTitle),
          QFile::decodeName(QByteArray::fromStdString(UserStopMessage(stop, stop.file))),
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

std::vector<std::string> AbsolutePaths(const std::vector<std::string>& args,
                                       const std::string& cwd) {
  std::vector<std::string> paths;
  for (const std::string& arg : args) paths.push_back(AbsolutePath(arg, cwd));
  return paths;
}

DropWindow::DropWindow(Presenter& presenter, Platform& platform)
    : presenter_(presenter), platform_(platform) {
  setWindowTitle(QString::fromLatin1(kGuiTitle));
  setWindowIcon(ProgramIcon());  // the boxes over the window show it too
  setAcceptDrops(true);
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleDescription(DropHint());  // what a screen reader says of it
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
  const QString hint = DropHint();
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
  DropList drop;
  drop.count = static_cast<uint32_t>(paths.size());
  drop.paths = paths;
  PresenterSink sink(presenter_, this);
  const DropResult result = HandleDrop(drop, sink, platform_);
  if (result.kind() == DropResult::Kind::kStopped)
    presenter_.Show(StopBox(result.stop()), this);
}

}  // namespace tarnvell
