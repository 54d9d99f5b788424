#include "standin/testing/PathResolution.h"

#include "standin/RootedPath.h"

namespace standin {
namespace testing {

void ForceComponentWalk(bool forced) { detail::SetWalkForced(forced); }

bool ComponentWalkInUse() { return detail::WalkForced(); }

}  // namespace testing
}  // namespace standin
