// The single interface from the station core to a front end. The desktop window
// shows these as dialogs and widgets; the command-line station prints them and
// answers from its options or standard input.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "flash/operator_message.h"

namespace kv {

enum class MessageIcon { None, Error, Warning, Information, Confirmation };
enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// The input box (`InputBoxForm`) as the station opens it: one field, or two in
// the serial-number-and-PPID mode. The lengths are what the fields accept.
struct InputBoxRequest {
    int mode = 1;            // 1 SN, 2 WWN or UID, 3 PPID, 4 SN and PPID
    int port = -1;           // 0-based port the input is for; -1 when scanned in advance
    std::string caption;     // "Please Input the SN(Port3)"
    std::string firstLabel;  // "Serial Number"
    std::size_t firstMaxLength = 0;
    bool secondVisible = false;
    std::string secondLabel;  // "Customer P/N(PPID)"
    std::size_t secondMaxLength = 0;
};
struct InputBoxAnswer {
    std::string first;
    std::string second;  // mode 4 only
};

class StationUi {
  public:
    virtual ~StationUi() = default;

    // A modal message box with the station's exact text, caption and icon.
    virtual MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                      MessageIcon icon,
                                      MessageButtons buttons = MessageButtons::Ok) = 0;

    // A file dialog; nothing when the operator cancels it.
    struct FileChoice {
        bool save = false;             // a save dialog, else an open dialog
        std::string defaultExtension;  // ".ini"
        std::string filter;            // "INI file(*.ini)|*.ini"
        std::string initialFolder;
    };
    virtual std::optional<std::string> ChooseFile(const FileChoice& /*choice*/) {
        return std::nullopt;
    }

    // A one-line text question (an input query); nothing when cancelled. With
    // `masked` the typed characters are shown as '*'.
    virtual std::optional<std::string> AskText(const std::string& /*caption*/,
                                               const std::string& /*prompt*/,
                                               const std::string& /*defaultText*/,
                                               bool /*masked*/) {
        return std::nullopt;
    }

    // The read-only name of the loaded settings file (`INIFileEdit`).
    virtual void ShowSettingsFileName(const std::string& /*name*/) {}
    // The settings file's checksum label (`CRC32Label`), empty when hidden.
    virtual void ShowCrcLabel(const std::string& /*text*/) {}
    // The "Pass/Total" field.
    virtual void ShowYieldText(const std::string& /*text*/) {}

    // The input box, modal: the texts of "OK", or nothing for "Cancel" (the
    // default, so a front end without operator input leaves the fields empty).
    virtual std::optional<InputBoxAnswer> ShowInputBox(const InputBoxRequest& /*request*/) {
        return std::nullopt;
    }
};

// The message-box icon of a message the core returns as data.
MessageIcon MessageIconOf(OperatorIcon icon);

// A front end that shows nothing and answers every question with its default;
// for tests and for embedding the core.
class SilentUi : public StationUi {
  public:
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                              MessageButtons buttons) override;
    std::string lastText;
    std::string lastCaption;
    MessageIcon lastIcon = MessageIcon::None;
    int messageCount = 0;
};

}  // namespace kv
