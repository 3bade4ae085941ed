// The folders and files of the RDT report tree.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

// Creates `folder` when it is missing; true when it is a folder afterwards.
bool EnsureRdtFolder(const std::string& folder);

// "P07", "P05" or "P06" for the first of error flag bits 0, 1, 2 that is set;
// empty when none of them is.
std::string RdtCategoryName(std::uint8_t errorFlags);
// The same in brackets ("[P07]"), as the report window shows it.
std::string RdtCategoryText(std::uint8_t errorFlags);

// A drive's serial text as a folder and file name: path separators, the
// characters file systems refuse (: * ? " < > |) and control characters
// become "_", and so does a name that is empty or only dots, so that a
// drive's files never land outside its own folder.
std::string RdtSerialName(const std::string& serial);

// `parent` + `name` + the path separator.
std::string RdtSubfolder(const std::string& parent, const std::string& name);

// Writes `text` to `path`, replacing the file; false when it cannot be written.
bool WriteRdtTextFile(const std::string& path, const std::string& text);
// Appends `text` to `path`; false when it cannot be written.
bool AppendRdtTextFile(const std::string& path, const std::string& text);

}  // namespace kv
