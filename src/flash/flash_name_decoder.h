// The decode-name side tool: a firmware file name of 12 characters codes the
// flash geometry in its 7th character and the channel and bank counts in its
// 8th (counting from 1).
#pragma once

#include <string>
#include <string_view>

#include "flash/operator_message.h"

namespace kv {

struct GeometryNameCode {
    char Code = 0;
    int BlockUnit = 0;
    int BlockPage = 0;
    int PageSizeKiB = 0;
    int Dies = 0;
    int DieOffsetFlag = 0;
    int OnePlaneFlag = 0;
};

struct ChannelBankNameCode {
    char Code = 0;
    int Channels = 0;
    int Banks = 0;
};

// The decoder's text: one line per value, lines joined with "\n"; empty when
// neither character is a known code.
std::string DecodeNameText(std::string_view name);

// `DecodeName`: the text as a message box.
OperatorMessage DecodeName(std::string_view name);

}  // namespace kv
