#include "model/stop_flags.h"

namespace svg {

std::atomic<bool> stopParsing{false};
std::atomic<bool> stopLoading{false};

}  // namespace svg
