// The drop window in process, on the offscreen platform: what a drag may
// carry, when a drop is handled and what its boxes say. Command-line files,
// options and the boxes on a real screen: scripts/test-gui and the command
// line's tests.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QUrl>

#include "gui/window.h"
#include "platform/posix_platform.h"
#include "platform/posix_signals.h"
#include "tests/program.h"

namespace {

using tarnvell::Box;
using testing_support::Exists;
using testing_support::TempDir;
using testing_support::WriteFile;

class RecordingPresenter : public tarnvell::Presenter {
 public:
  void Show(const Box& box, QWidget* parent) override {
    boxes.push_back(box);
    parents.push_back(parent);
    if (onShow) onShow();
  }
  std::vector<Box> boxes;
  std::vector<QWidget*> parents;
  std::function<void()> onShow;
};

// Runs the event loop until cond holds or two seconds pass.
bool RunUntil(const std::function<bool()>& cond) {
  QElapsedTimer clock;
  clock.start();
  while (!cond() && clock.elapsed() < 2000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return cond();
}

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

std::unique_ptr<QMimeData> Urls(const QStringList& urls) {
  auto data = std::make_unique<QMimeData>();
  QList<QUrl> list;
  for (const QString& u : urls) list.push_back(QUrl(u));
  data->setUrls(list);
  return data;
}

bool Accepts(QWidget& window, const QMimeData& data) {
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                        Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  QDragMoveEvent move(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton,
                      Qt::NoModifier);
  QApplication::sendEvent(&window, &move);
  EXPECT_EQ(enter.isAccepted(), move.isAccepted());
  return enter.isAccepted() && move.isAccepted();
}

// Drags the data over the window, drops it, and says whether the window took
// the drop (Qt delivers a drop only to the target of the drag).
bool Drop(QWidget& window, const QMimeData& data) {
  Accepts(window, data);
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton,
                  Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
  return drop.isAccepted();
}

struct Fixture {
  RecordingPresenter presenter;
  tarnvell::PosixPlatform platform;
  std::string start = tarnvell::CurrentDir();
  tarnvell::Texts texts = tarnvell::Texts::For({"ja"});
  tarnvell::DropWindow window{presenter, platform, texts};
};

TEST(GuiDrag, TakesOnlyDragsWhoseEveryItemIsALocalFile) {
  Fixture f;
  QMimeData text;
  text.setText("a.fnt");
  EXPECT_FALSE(Accepts(f.window, text));
  EXPECT_FALSE(Accepts(f.window, *Urls({"https://example.invalid/a.fnt"})));
  EXPECT_FALSE(Accepts(f.window, *Urls({"file:///tmp/a.pcx", "https://x.invalid/b.txt"})));
  EXPECT_FALSE(Drop(f.window, text));
  EXPECT_TRUE(Accepts(f.window, *Urls({"file:///tmp/a.pcx", "file:///tmp/b.txt"})));

  // Full paths as the bytes of the URLs, in the order given: UTF-8, and
  // names that are not UTF-8 (CP932 from an archive) exactly as on the disk.
  auto data = Urls({U("file:///tmp/%E3%83%95%20x/b.TXT"), "file:///a.pcx",
                    "file:///tmp/%83t%83H%83%93%83g.fnt"});
  std::vector<std::string> expected = {"/tmp/\xE3\x83\x95 x/b.TXT", "/a.pcx",
                                       "/tmp/\x83t\x83H\x83\x93\x83g.fnt"};
  EXPECT_EQ(tarnvell::LocalPaths(*data), expected);
}

TEST(GuiDrop, ReleasesTheDragThenJoinsRefusingDropsWhileTheBoxIsUp) {
  Fixture f;
  TempDir dir;
  WriteFile(dir / "a.pcx", "image");
  WriteFile(dir / "b.txt", "text");
  bool refusingWhileUp = false;
  f.presenter.onShow = [&] { refusingWhileUp = !f.window.acceptDrops(); };

  auto data = Urls({QUrl::fromLocalFile(QString::fromStdString(dir / "a.pcx")).toString(),
                    QUrl::fromLocalFile(QString::fromStdString(dir / "b.txt")).toString()});
  EXPECT_TRUE(Drop(f.window, *data));
  // Nothing is done before the drop event returns to the drag source.
  EXPECT_TRUE(f.presenter.boxes.empty());
  EXPECT_FALSE(Exists(dir / "b.fnt"));

  ASSERT_TRUE(RunUntil([&] { return !f.presenter.boxes.empty(); }));
  ASSERT_EQ(f.presenter.boxes.size(), 1u);
  EXPECT_EQ(f.presenter.boxes[0].text, U("結合を完了しました"));
  EXPECT_FALSE(f.presenter.boxes[0].warning);
  EXPECT_EQ(f.presenter.parents[0], &f.window);
  EXPECT_TRUE(Exists(dir / "b.fnt"));
  EXPECT_TRUE(refusingWhileUp);
  EXPECT_TRUE(f.window.acceptDrops());
  EXPECT_EQ(tarnvell::CurrentDir(), f.start);  // the output folder is not held
  EXPECT_FALSE(f.window.windowIcon().pixmap(48).isNull());  // built in
}

TEST(GuiDrop, AStoppedDropShowsAWarningNamingTheFileAndReason) {
  Fixture f;
  f.texts = tarnvell::Texts();  // in English
  TempDir dir;
  const std::string missing = dir / "gone.fnt";
  f.window.Enqueue({missing});
  ASSERT_TRUE(RunUntil([&] { return !f.presenter.boxes.empty(); }));
  ASSERT_EQ(f.presenter.boxes.size(), 1u);
  EXPECT_EQ(f.presenter.boxes[0].title, "Tarnvell");
  EXPECT_EQ(f.presenter.boxes[0].text,
            QString::fromStdString(missing + ": opening: No such file or directory"));
  EXPECT_TRUE(f.presenter.boxes[0].warning);
}

// Whether a task's /proc status file shows `sig` blocked.
bool Blocks(const std::string& statusFile, int sig) {
  const std::string status = testing_support::ReadFile(statusFile);
  const size_t at = status.find("SigBlk:");
  return at != std::string::npos &&
         (std::stoull(status.substr(at + 7), nullptr, 16) >> (sig - 1) & 1);
}

// The window's toolkit starts threads of its own: none of them may take a
// signal, or the clean-up would be skipped; only the clean-up thread waits
// for them (and so shows them unblocked while it waits).
TEST(GuiProgram, EndsCleanlyOnSigterm) {
  testing_support::TempDir dir, streams;
  pid_t pid = testing_support::StartWriting(TARNVELL_GUI_PROGRAM, dir, streams,
                           [] { setenv("QT_QPA_PLATFORM", "offscreen", 1); });
  ASSERT_GT(pid, 0);
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  std::vector<std::string> others;
  int waiting = 0;
  // The clean-up thread names itself once it first runs, which a busy
  // machine may delay.
  for (int tries = 0; tries < 500 && waiting == 0; ++tries, usleep(10000)) {
    others.clear();
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
      const std::string at = task.path().string();
      if (testing_support::ReadFile(at + "/comm") == std::string(tarnvell::kSignalThread) + "\n")
        ++waiting;
      else
        others.push_back(at);
    }
  }
  EXPECT_EQ(waiting, 1);
  for (const std::string& at : others) EXPECT_TRUE(Blocks(at + "/status", SIGTERM)) << at;
  kill(pid, SIGTERM);
  int signal = 0;
  testing_support::Wait(pid, streams, &signal);
  EXPECT_EQ(signal, SIGTERM);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"k.fnt"});
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
