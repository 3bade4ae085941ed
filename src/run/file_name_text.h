// Operator and drive texts (serial numbers) become parts of file names: the
// marker files, the error files. A text must never lead a file out of its
// folder or make the name one the file system refuses.
#pragma once

#include <string>
#include <string_view>

namespace kv {

// `text` with every path separator, every character a file system refuses in a
// name (: * ? " < > |) and every control character replaced by "_".
std::string FileNameText(std::string_view text);

}  // namespace kv
