#include "core/plan.h"

namespace tarnvell {
namespace {

enum class Kind { kNone, kImage, kText };

Kind KindOf(const std::string& path) {
  if (HasExtension(path, ".pcx")) return Kind::kImage;
  if (HasExtension(path, ".txt")) return Kind::kText;
  return Kind::kNone;
}

Plan Refusal(std::vector<NoticeId> notices) {
  Plan plan;
  plan.refusals = std::move(notices);
  return plan;
}

// Outputs go beside the naming path, named after its base name.
void Place(Plan& plan, const std::string& naming, const PathRules& rules,
           std::initializer_list<const char*> extensions) {
  plan.folder = DirectoryPart(naming, rules);
  const std::string base = BaseName(FileNamePart(naming, rules));
  for (const char* ext : extensions) plan.outputs.push_back(base + ext);
}

Plan PlanSplit(const std::string& path, const PathRules& rules) {
  if (!HasExtension(path, ".fnt")) return Refusal({NoticeId::kNotContainer});
  Plan plan;
  plan.action = Action::kSplit;
  plan.inputs = {path};
  Place(plan, path, rules, {".pcx", ".txt"});
  return plan;
}

// Only one image and one text make a container; anything else is refused
// before a file is read, so no dropped file can be replaced by the output.
Plan PlanJoin(const std::string& path0, const std::string& path1,
              const PathRules& rules) {
  const Kind kinds[2] = {KindOf(path0), KindOf(path1)};
  std::vector<NoticeId> refusals;
  for (Kind kind : kinds)
    if (kind == Kind::kNone) refusals.push_back(NoticeId::kCannotHandle);
  if (!refusals.empty()) return Refusal(refusals);
  if (kinds[0] == kinds[1]) return Refusal({NoticeId::kNotContainer});
  Plan plan;
  plan.action = Action::kJoin;
  plan.inputs = {path0, path1};
  plan.image = kinds[0] == Kind::kImage ? 0 : 1;
  Place(plan, path1, rules, {".fnt"});
  return plan;
}

}  // namespace

Plan PlanDrop(const DropList& drop, const PathRules& rules) {
  if (drop.count == 1 && drop.paths.size() >= 1)
    return PlanSplit(drop.paths[0], rules);
  if (drop.count == 2 && drop.paths.size() >= 2)
    return PlanJoin(drop.paths[0], drop.paths[1], rules);
  return Refusal({NoticeId::kWrongCount});
}

}  // namespace tarnvell
