#include "tests/uisupport/RecordingMessenger.h"

namespace wavorax::ui {

CRecordingMessenger& Recorder() {
  static CRecordingMessenger recorder;
  return recorder;
}

}  // namespace wavorax::ui
