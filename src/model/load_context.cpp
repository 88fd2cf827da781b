#include "model/load_context.h"

#include <utility>

namespace svg {

CLoadContext::CLoadContext(CMessageLog& log, const CStopToken& stop, CDocOptions options)
    : log_(log), stop_(stop), options_(std::move(options))
{
}

}  // namespace svg
