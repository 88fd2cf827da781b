#include "fuzz_entry.h"

#include <string>

#include "base/stop_token.h"
#include "model/message_log.h"
#include "pipeline/document_load.h"

namespace vexo_fuzz {

void LoadFromBytes(const std::uint8_t* data, std::size_t size)
{
    svg::CMessageLog log;
    svg::CStopToken stop;
    svg::CDocumentLoad load(log, stop, svg::CDocOptions{});
    // A path in a folder that does not exist: relative references the input
    // names find nothing instead of reading the fuzzing machine's files.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (load.LoadBytes(std::move(bytes), "/nonexistent-vexo-fuzz/input.svg", "input.svg") != nullptr)
        load.Record();
}

}  // namespace vexo_fuzz
