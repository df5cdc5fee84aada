#include "fill_simd.h"

namespace qv::fill {

bool VectorCodeBuilt() noexcept {
#if QV_FILL_SSE2
    return true;
#else
    return false;
#endif
}

}  // namespace qv::fill
