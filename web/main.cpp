// The page's entry: the files of one drop, held by the page's script, are
// handled as one drop; notices and stops become dialogs, and the outputs
// are handed to the page for download.
#include <emscripten/em_js.h>
#include <emscripten/emscripten.h>

#include <string>

#include "core/drop.h"
#include "web/web_platform.h"

EM_JS(int, page_drop_count, (), { return pageFiles.count(); });
EM_JS(int, page_name_bytes, (int index), {
  return lengthBytesUTF8(pageFiles.name(index));
});
EM_JS(void, page_name, (int index, char* out, int size), {
  stringToUTF8(pageFiles.name(index), out >>> 0, size);
});
// Shows one dialog and returns once it is dismissed; texts are CP932 (notices)
// or UTF-8 (stops).
EM_ASYNC_JS(void, page_dialog, (const char* caption, int captionBytes,
                                const char* text, int textBytes, int cp932), {
  const decode = (at, n) => new TextDecoder(cp932 ? "shift_jis" : "utf-8")
      .decode(HEAPU8.slice(at >>> 0, (at >>> 0) + n));
  await pageDialog(decode(caption, captionBytes), decode(text, textBytes));
});
EM_JS(void, page_offer, (int handle, const char* name), {
  pageFiles.offer(handle, UTF8ToString(name >>> 0));
});

namespace {

void Dialog(const std::string& caption, const std::string& text, bool cp932) {
  page_dialog(caption.data(), static_cast<int>(caption.size()), text.data(),
              static_cast<int>(text.size()), cp932 ? 1 : 0);
}

class DialogSink : public tarnvell::MessageSink {
 public:
  void Show(const tarnvell::Notice& notice) override {
    Dialog(notice.caption, notice.text, true);
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
  drop.count = static_cast<uint32_t>(page_drop_count());
  for (uint32_t i = 0; i < drop.count; ++i)
    drop.paths.push_back(DroppedName(static_cast<int>(i)));
  tarnvell::WebPlatform platform(drop.paths);
  DialogSink sink;
  const tarnvell::DropResult result = tarnvell::HandleDrop(drop, sink, platform);
  if (result.kind() == tarnvell::DropResult::Kind::kStopped)
    Dialog("Tarnvell", tarnvell::StopMessage(result.stop(), result.stop().file),
           false);
  for (const tarnvell::PlacedOutput& out : platform.Outputs())
    page_offer(out.handle, out.name.c_str());
  return static_cast<int>(result.kind());
}
