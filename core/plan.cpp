#include "core/plan.h"

namespace tarnvell {
namespace {

enum class Kind { kNone, kImage, kText };

Kind KindOf(const std::string& path) {
  if (HasExtension(path, ".pcx")) return Kind::kImage;
  if (HasExtension(path, ".txt")) return Kind::kText;
  return Kind::kNone;
}

Location LocationOf(const std::string& path, const PathRules& rules) {
  return {DirectoryPart(path, rules), FileNamePart(path, rules)};
}

// An output beside the naming file, named after its base name.
Location Beside(const Location& naming, const char* extension) {
  return {naming.folder, BaseName(naming.name) + extension};
}

Plan PlanSplit(const std::string& path, const PathRules& rules) {
  if (!HasExtension(path, ".fnt")) return Refusal{{NoticeId::kNotContainer}};
  const Location container = LocationOf(path, rules);
  return SplitPlan{container, Beside(container, ".pcx"), Beside(container, ".txt")};
}

// Only one image and one text make a container; anything else is refused
// before a file is read, so no dropped file can be replaced by the output.
Plan PlanJoin(const std::string& path0, const std::string& path1,
              const PathRules& rules) {
  const Kind kinds[2] = {KindOf(path0), KindOf(path1)};
  Refusal refusal;
  for (Kind kind : kinds)
    if (kind == Kind::kNone) refusal.notices.push_back(NoticeId::kCannotHandle);
  if (!refusal.notices.empty()) return refusal;
  if (kinds[0] == kinds[1]) return Refusal{{NoticeId::kNotContainer}};
  const Location first = LocationOf(path0, rules);
  const Location second = LocationOf(path1, rules);
  const bool imageFirst = kinds[0] == Kind::kImage;
  return JoinPlan{imageFirst ? first : second, imageFirst ? second : first,
                  Beside(second, ".fnt")};
}

Plan PlanByRules(const DropList& drop, const PathRules& rules) {
  if (drop.paths.size() == 1)
    return PlanSplit(drop.paths[0], rules);
  if (drop.paths.size() == 2)
    return PlanJoin(drop.paths[0], drop.paths[1], rules);
  return Refusal{{NoticeId::kWrongCount}};
}

}  // namespace

Plan PlanDrop(const DropList& drop, const PathRules& rules,
              const DropOptions& options) {
  Plan plan = PlanByRules(drop, rules);
  if (options.folder.empty()) return plan;
  // The outputs keep their names and move to the chosen folder.
  std::string folder = options.folder;
  if (!IsSeparator(folder.back(), rules)) folder += rules.separator;
  if (auto* split = std::get_if<SplitPlan>(&plan)) {
    split->image.folder = folder;
    split->text.folder = folder;
  } else if (auto* join = std::get_if<JoinPlan>(&plan)) {
    join->container.folder = folder;
  }
  return plan;
}

}  // namespace tarnvell
