// The keys of the settings file: their kinds, defaults and fix-ups at load, and
// the order and conditions in which a save writes them.
#pragma once

#include <string>

#include "config/settings_block.h"
#include "config/settings_text.h"

namespace kv::config {

// Everything the settings file fills.
struct Settings {
    SettingsBlock block;
    ProcessSettings process;
};

// Word the encryption string holds when the file names none.
inline constexpr const char kDefaultEncryptionString[] = "Pelican";

// Reads every key from the loaded image in table order, with the fix-ups done
// right after each key. Keys missing from the image take their defaults.
void ReadSettingsKeys(SettingsText& text, Settings& settings);

// Writes the saved keys into the image in save order. `machineFileReadable`
// tells whether the machine override file can be opened (the encryption string
// is saved only when it cannot). False when the edited image would outgrow its
// buffer: the save is then abandoned and the file must not be stored.
bool WriteSettingsKeys(SettingsText& text, const Settings& settings, bool machineFileReadable);

// Every key as held, as "[section]" and "key=value" lines: the saved keys in
// save order (whatever their save conditions), then the keys a save never
// writes. "TimeOut" is listed in minutes, as the file holds it.
std::string DescribeSettingsKeys(const Settings& settings);

// "TimeOut" conversions: minutes in the file, milliseconds in the block.
std::int32_t TimeOutMinutesToMs(std::int32_t minutes);
std::int32_t TimeOutMsToMinutes(std::int32_t ms);

}  // namespace kv::config
