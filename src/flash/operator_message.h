// A message box the station asks a front end to show: its exact text, the
// caption and the icon. Procedures return these as data, so that the desktop
// window and the command-line station show the same words.
#pragma once

#include <string>

namespace kv {

enum class OperatorIcon { None, Error, Warning, Information };

struct OperatorMessage {
    std::string text;
    std::string caption;
    OperatorIcon icon = OperatorIcon::None;

    bool operator==(const OperatorMessage&) const = default;
};

inline constexpr char kErrorCaption[] = "Error";
inline constexpr char kMessageCaption[] = "Message";

}  // namespace kv
