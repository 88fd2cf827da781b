#include "fuzz_entry.h"

#include <string>

#include "model/document.h"
#include "model/loader.h"
#include "model/message_log.h"
#include "model/stop_flags.h"
#include "render/render.h"

namespace vexo_fuzz {

void LoadFromBytes(const std::uint8_t* data, std::size_t size)
{
    svg::ClearStopFlags();
    svg::CDocOptions options;
    // A path in a folder that does not exist: relative references the input
    // names find nothing instead of reading the fuzzing machine's files.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (svg::CElemDocument* document =
            svg::LoadDocumentFromBytes(std::move(bytes), "/nonexistent-vexo-fuzz/input.svg", "input.svg", options))
        svg::RecordDocument(*document);
    svg::DocumentList::Instance().Clear();
    svg::MessageLog::Instance().Reset();
}

}  // namespace vexo_fuzz
