// The command-line station's front end: messages go to standard error as their
// caption and text; standard output carries only a command's result.
#pragma once

#include "station/station_ui.h"

namespace kv::cli {

class CliUi : public StationUi {
  public:
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                              MessageButtons buttons) override;
    int messageCount() const { return messageCount_; }

  private:
    int messageCount_ = 0;
};

}  // namespace kv::cli
