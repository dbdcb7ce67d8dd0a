#include "core/notice.h"

namespace tarnvell {
namespace {

const char kWarning[] = "\x8Cx\x8D\x90";       // 警告
const char kConfirmation[] = "\x8Am\x94" "F";  // 確認
const char kWarningEn[] = "Warning";
const char kConfirmationEn[] = "Information";

// In notice order, from notice 1.
const Notice kNotices[] = {
    // 読込エラー1
    {NoticeId::kReadError, "\x93\xC7\x8D\x9E\x83G\x83\x89\x81[1", kWarning,
     "Read error 1: not a font container",
     kWarningEn},
    // 分割を完了しました
    {NoticeId::kSplitDone, "\x95\xAA\x8A\x84\x82\xF0\x8A\xAE\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD", kConfirmation,
     "The split is complete.",
     kConfirmationEn},
    // fntファイルではありません\n結合の場合はpcxとtxtを両方同時にドロップして下さい
    {NoticeId::kNotContainer, "fnt\x83t\x83@\x83" "C\x83\x8B\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n\x8C\x8B\x8D\x87\x82\xCC\x8F\xEA\x8D\x87\x82\xCDpcx\x82\xC6txt\x82\xF0\x97\xBC\x95\xFB\x93\xAF\x8E\x9E\x82\xC9\x83h\x83\x8D\x83" "b\x83v\x82\xB5\x82\xC4\x89\xBA\x82\xB3\x82\xA2",
     kWarning,
     "This is not an fnt file.\nTo join, drop the pcx and the txt together.",
     kWarningEn},
    // 取り扱えるファイルではありません\nfntファイルはひとつずつドロップして下さい
    {NoticeId::kCannotHandle, "\x8E\xE6\x82\xE8\x88\xB5\x82\xA6\x82\xE9\x83t\x83@\x83" "C\x83\x8B\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\nfnt\x83t\x83@\x83" "C\x83\x8B\x82\xCD\x82\xD0\x82\xC6\x82\xC2\x82\xB8\x82\xC2\x83h\x83\x8D\x83" "b\x83v\x82\xB5\x82\xC4\x89\xBA\x82\xB3\x82\xA2",
     kWarning,
     "This file cannot be handled.\nDrop fnt files one at a time.",
     kWarningEn},
    // 結合を完了しました
    {NoticeId::kJoinDone, "\x8C\x8B\x8D\x87\x82\xF0\x8A\xAE\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD", kConfirmation,
     "The join is complete.",
     kConfirmationEn},
    // ファイル数が多すぎます\n分割の場合は1つずつ、結合の場合はpcxとtxtを同時ドロップのみ受け付けます
    {NoticeId::kWrongCount, "\x83t\x83@\x83" "C\x83\x8B\x90\x94\x82\xAA\x91\xBD\x82\xB7\x82\xAC\x82\xDC\x82\xB7\n\x95\xAA\x8A\x84\x82\xCC\x8F\xEA\x8D\x87\x82\xCD" "1\x82\xC2\x82\xB8\x82\xC2\x81" "A\x8C\x8B\x8D\x87\x82\xCC\x8F\xEA\x8D\x87\x82\xCDpcx\x82\xC6txt\x82\xF0\x93\xAF\x8E\x9E\x83h\x83\x8D\x83" "b\x83v\x82\xCC\x82\xDD\x8E\xF3\x82\xAF\x95t\x82\xAF\x82\xDC\x82\xB7",
     kConfirmation,
     "Too many files.\nDrop one fnt file to split it, or the pcx and the txt together to join them.",
     kConfirmationEn},
};

static_assert(sizeof kNotices / sizeof kNotices[0] ==
                  static_cast<int>(NoticeId::kWrongCount),
              "one text for each notice");

}  // namespace

const Notice& NoticeFor(NoticeId id) {
  return kNotices[static_cast<int>(id) - 1];
}

}  // namespace tarnvell
