// A messenger that records each message box instead of showing it.
#pragma once

#include <QString>
#include <vector>

#include "ui/common/Messenger.h"

namespace wavorax::ui {

struct RecordedMessage {
  MessageIcon icon;
  QString text;
};

class CRecordingMessenger final : public IMessenger {
 public:
  void Show(MessageIcon icon, const QString& text, QWidget*) override {
    messages.push_back({icon, text});
  }
  std::vector<RecordedMessage> messages;
};

// The recorder that the test main installs for every test; cleared before each test.
CRecordingMessenger& Recorder();

}  // namespace wavorax::ui
