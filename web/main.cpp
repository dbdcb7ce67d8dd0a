// The page's entry: the files of one drop, held by the page's script, are
// handled as one drop; notices and stops become dialogs, and the outputs
// are handed to the page for download.
#include <emscripten/em_js.h>
#include <emscripten/emscripten.h>

#include <string>

#include "core/drop.h"
#include "language/language.h"
#include "web/web_platform.h"

// The reader's texts, as the page chose them (texts.cpp).
const tarnvell::Texts& PageTexts();

EM_JS(int, page_drop_count, (), { return pageFiles.count(); });
EM_JS(int, page_name_bytes, (int index), {
  return lengthBytesUTF8(pageFiles.name(index));
});
EM_JS(void, page_name, (int index, char* out, int size), {
  stringToUTF8(pageFiles.name(index), out >>> 0, size);
});
// Shows one dialog, its texts in UTF-8, and returns once it is dismissed.
EM_ASYNC_JS(void, page_dialog, (const char* caption, const char* text), {
  await pageDialog(UTF8ToString(caption >>> 0), UTF8ToString(text >>> 0));
});
EM_JS(void, page_offer, (int handle, const char* name), {
  pageFiles.offer(handle, UTF8ToString(name >>> 0));
});

namespace {

class DialogSink : public tarnvell::MessageSink {
 public:
  void Show(const tarnvell::Notice& notice) override {
    page_dialog(PageTexts()(notice.caption), PageTexts()(notice.text));
  }
};

std::string DroppedName(int index) {
  std::string name(static_cast<size_t>(page_name_bytes(index)) + 1, '\0');
  page_name(index, &name[0], static_cast<int>(name.size()));
  name.pop_back();
  return name;
}

}  // namespace

// Handles the page's current drop; returns how it ended
// (tarnvell::DropResult::Kind).
extern "C" EMSCRIPTEN_KEEPALIVE int tarnvell_drop() {
  tarnvell::DropList drop;
  for (int i = 0; i < page_drop_count(); ++i) drop.paths.push_back(DroppedName(i));
  tarnvell::WebPlatform platform(drop.paths);
  DialogSink sink;
  const tarnvell::DropResult result = tarnvell::HandleDrop(drop, sink, platform);
  if (result.kind() == tarnvell::DropResult::Kind::kStopped)
    page_dialog("Tarnvell",
                tarnvell::StopMessage(result.stop(), result.stop().file, PageTexts())
                    .c_str());
  for (const tarnvell::PlacedOutput& out : platform.Outputs())
    page_offer(out.handle, out.name.c_str());
  return static_cast<int>(result.kind());
}
