// Debug dumps of the flash procedures: raw buffers written to named files in
// the working directory while the "DumpDebugFile" setting is on.
#pragma once

#include <cstddef>

namespace kv {

// Writes `size` bytes of `data` to the file `name` (replacing it) when dumps
// are on; otherwise does nothing. A file that cannot be written is skipped.
void WriteDebugDump(const char* name, const void* data, std::size_t size);

// The process-wide "DumpDebugFile" flag, off at start.
void SetDumpDebugFile(bool on);
bool DumpDebugFileOn();

}  // namespace kv
