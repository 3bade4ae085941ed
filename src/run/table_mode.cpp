#include "run/table_mode.h"

#include <cstring>
#include <filesystem>

#include "platform/paths.h"

namespace kv {
namespace {

OperatorMessage Message(const char* text) {
    return OperatorMessage{text, kMessageCaption, OperatorIcon::None};
}

template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

}  // namespace

std::string TableFilePath(const std::string& programFolder, const std::string& text) {
    if (text.find(":\\") != std::string::npos || platform::IsAbsolutePath(text))
        return text;
    return platform::WithTrailingSeparator(programFolder) + text;
}

std::vector<OperatorMessage> RunTableMode(int port, const RdPageChoice& choice,
                                          const SettingsBlock& settings, bool specialMode,
                                          const std::string& programFolder, int formatCode,
                                          TableDrive& drive) {
    std::vector<OperatorMessage> messages;
    if (!specialMode && !drive.FlashModuleTest(port)) {
        messages.push_back(Message(kCheckFlashModuleFailText));
        return messages;
    }
    if (!drive.GetCodeBlocks(port)) {
        messages.push_back(Message(kGetBlockFailText));
        return messages;
    }
    if (choice.getDefTable) {
        const std::string path = TableFilePath(programFolder, FieldText(settings.TableIn));
        if (drive.GetDefectTable(port, path, formatCode)) {
            messages.push_back(Message(kGetDefTableOkText));
        } else {
            messages.push_back(Message(kGetDefTableFailText));
            std::error_code ec;
            std::filesystem::remove(path, ec);
        }
    }
    if (choice.putDefTable) {
        const std::string path = TableFilePath(programFolder, FieldText(settings.TableOut));
        bool ok = FileExists(path) && drive.PutDefectTable(port, path, formatCode);
        if (ok) {
            drive.Wait(kPutDefTableSettleMs);
            ok = drive.CheckDefectTable(port) != kNoDefectTable;
        }
        messages.push_back(Message(ok ? kPutDefTableOkText : kPutDefTableFailText));
    }
    if (choice.getLaterTable) {
        const std::string path = TableFilePath(programFolder, FieldText(settings.LaterTableIn));
        messages.push_back(Message(drive.GetLaterTable(port, path, formatCode)
                                       ? kGetLaterTableOkText
                                       : kGetLaterTableFailText));
    }
    if (choice.putLaterTable) {
        const std::string path = TableFilePath(programFolder, FieldText(settings.LaterTableOut));
        messages.push_back(Message(drive.PutLaterTable(port, path, formatCode)
                                       ? kPutLaterTableOkText
                                       : kPutLaterTableFailText));
    }
    return messages;
}

}  // namespace kv
