// The virtual fixture of a sample station folder.
#pragma once

#include <string>

namespace kv::tools {

// "Fixture.ini" with `drives` drives (1..50) on consecutive ports from port 1
// of the first root hub, 8-port root hubs (the last with only the ports still
// needed), so that drive k sits on station port k. Drives are SATA SSDs behind
// several bridge types; with more than one drive the last takes vendor blocks
// on its USB interface. Their flash is the part the sample settings select.
std::string SampleFixture(int drives);

}  // namespace kv::tools
