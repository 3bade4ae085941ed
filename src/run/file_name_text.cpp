#include "run/file_name_text.h"

namespace kv {

std::string FileNameText(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        const unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
            case '/':
            case '\\':
            case ':':
            case '*':
            case '?':
            case '"':
            case '<':
            case '>':
            case '|':
                c = '_';
                break;
            default:
                if (u < 0x20 || u == 0x7F)
                    c = '_';
                break;
        }
    }
    return out;
}

}  // namespace kv
