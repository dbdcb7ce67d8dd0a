#include "core/drop.h"

#include "core/container.h"

namespace tarnvell {
namespace {

const char kWarning[] = "\x8Cx\x8D\x90";       // 警告
const char kConfirmation[] = "\x8Am\x94" "F";  // 確認

// Indexed by notice number; entry 0 is unused.
const NoticeText kNotices[] = {
    {"", ""},
    // 読込エラー1
    {"\x93\xC7\x8D\x9E\x83G\x83\x89\x81[1", kWarning},
    // 分割を完了しました
    {"\x95\xAA\x8A\x84\x82\xF0\x8A\xAE\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD", kConfirmation},
    // fntファイルではありません\n結合の場合はpcxとtxtを両方同時にドロップして下さい
    {"fnt\x83t\x83@\x83" "C\x83\x8B\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n\x8C\x8B\x8D\x87\x82\xCC\x8F\xEA\x8D\x87\x82\xCDpcx\x82\xC6txt\x82\xF0\x97\xBC\x95\xFB\x93\xAF\x8E\x9E\x82\xC9\x83h\x83\x8D\x83" "b\x83v\x82\xB5\x82\xC4\x89\xBA\x82\xB3\x82\xA2",
     kWarning},
    // 取り扱えるファイルではありません\nfntファイルはひとつずつドロップして下さい
    {"\x8E\xE6\x82\xE8\x88\xB5\x82\xA6\x82\xE9\x83t\x83@\x83" "C\x83\x8B\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\nfnt\x83t\x83@\x83" "C\x83\x8B\x82\xCD\x82\xD0\x82\xC6\x82\xC2\x82\xB8\x82\xC2\x83h\x83\x8D\x83" "b\x83v\x82\xB5\x82\xC4\x89\xBA\x82\xB3\x82\xA2",
     kWarning},
    // 結合を完了しました
    {"\x8C\x8B\x8D\x87\x82\xF0\x8A\xAE\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD", kConfirmation},
    // ファイル数が多すぎます\n分割の場合は1つずつ、結合の場合はpcxとtxtを同時ドロップのみ受け付けます
    {"\x83t\x83@\x83" "C\x83\x8B\x90\x94\x82\xAA\x91\xBD\x82\xB7\x82\xAC\x82\xDC\x82\xB7\n\x95\xAA\x8A\x84\x82\xCC\x8F\xEA\x8D\x87\x82\xCD" "1\x82\xC2\x82\xB8\x82\xC2\x81" "A\x8C\x8B\x8D\x87\x82\xCC\x8F\xEA\x8D\x87\x82\xCDpcx\x82\xC6txt\x82\xF0\x93\xAF\x8E\x9E\x83h\x83\x8D\x83" "b\x83v\x82\xCC\x82\xDD\x8E\xF3\x82\xAF\x95t\x82\xAF\x82\xDC\x82\xB7",
     kConfirmation},
};

unsigned char Lower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c;
}

// Position of the last separator that is a character of its own (not the
// second byte of a double-byte character), or npos.
size_t LastSeparator(const std::string& path, const PathRules& rules) {
  size_t found = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (rules.isLeadByte != nullptr && rules.isLeadByte(c)) {
      ++i;  // the next byte belongs to this character
    } else if (path[i] == rules.separator) {
      found = i;
    }
  }
  return found;
}

}  // namespace

const NoticeText& TextOf(Notice notice) {
  return kNotices[static_cast<int>(notice)];
}

void ShowNotice(MessageSink& sink, Notice notice) {
  const NoticeText& n = TextOf(notice);
  sink.Show(n.text, n.caption);
}

bool EqualsIgnoringCase(const char* a, const char* b, size_t n) {
  bool equal = true;
  for (size_t i = 0; i < n; ++i) {
    if (Lower(static_cast<unsigned char>(a[i])) !=
        Lower(static_cast<unsigned char>(b[i])))
      equal = false;
  }
  return equal;
}

bool HasExtension(const std::string& path, const char* ext) {
  return path.size() >= 4 &&
         EqualsIgnoringCase(path.data() + path.size() - 4, ext, 4);
}

std::string DirectoryPart(const std::string& path, const PathRules& rules) {
  size_t k = LastSeparator(path, rules);
  return k == std::string::npos ? std::string() : path.substr(0, k + 1);
}

std::string FileNamePart(const std::string& path, const PathRules& rules) {
  size_t k = LastSeparator(path, rules);
  return k == std::string::npos ? path : path.substr(k + 1);
}

std::string BaseName(const std::string& fileName) {
  return fileName.size() >= 4 ? fileName.substr(0, fileName.size() - 4)
                              : std::string();
}

DropResult HandleDrop(const DropList& drop, MessageSink& sink,
                      Platform& platform) {
  if (drop.count == 1 && drop.paths.size() >= 1) {
    if (HasExtension(drop.paths[0], ".fnt"))
      return SplitContainer(drop.paths[0], sink, platform);
    ShowNotice(sink, Notice::kNotContainer);
    return {};
  }
  if (drop.count == 2 && drop.paths.size() >= 2)
    return JoinContainer(drop.paths[0], drop.paths[1], sink, platform);
  ShowNotice(sink, Notice::kWrongCount);
  return {};
}

}  // namespace tarnvell
