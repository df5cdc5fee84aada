// The stacking check: where the overlay and the panel are among the root's
// children, and what has to move.
#include "stacking_plan.h"

namespace qv::linuxshell {

namespace {
constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

std::size_t IndexOf(std::span<const StackEntry> children, std::uint64_t window) noexcept {
    for (std::size_t i = 0; i < children.size(); ++i)
        if (children[i].window == window) return i;
    return kNotFound;
}
}  // namespace

StackingPlan PlanStacking(std::span<const StackEntry> children, std::uint64_t overlay, std::uint64_t panelTop,
                          bool mayRaisePanel) noexcept {
    StackingPlan plan;
    const std::size_t o = IndexOf(children, overlay), p = IndexOf(children, panelTop);
    if (o == kNotFound || !children[o].viewable || o == p) return plan;
    if (p == kNotFound || !children[p].viewable) {
        for (std::size_t i = o + 1; i < children.size(); ++i)
            plan.raiseOverlay = plan.raiseOverlay || children[i].viewable;
        return plan;
    }

    bool coveredPanel = false;
    for (std::size_t i = p + 1; i < children.size(); ++i)
        if (i != o && children[i].viewable) coveredPanel = true;
    plan.raisePanel = coveredPanel && mayRaisePanel;

    // Directly below means no viewable window between the two; unmapped
    // windows there show nothing and are left alone.
    bool misplaced = o > p;
    for (std::size_t i = o + 1; i < p && !misplaced; ++i) misplaced = children[i].viewable;
    plan.overlayBelowPanel = misplaced || plan.raisePanel;
    plan.repaintPanel = o > p;
    return plan;
}

}  // namespace qv::linuxshell
