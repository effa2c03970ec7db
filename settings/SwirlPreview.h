#pragma once

namespace koravel {

// Which one of the three stacked swirl pictures is visible.
enum class SwirlPreview { Red, Blue, Black };

} // namespace koravel
