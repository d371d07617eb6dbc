#include "textio/fixed_text.hpp"

namespace textio {

int LCHR40(const FixedText40& field) noexcept { return trimmed_length(field); }
int LCHR400(const FixedText400& field) noexcept { return trimmed_length(field); }

}  // namespace textio
