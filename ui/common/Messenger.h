// Every message box of the program goes through one messenger, so that tests can read what
// the user would have been told (text and icon) without a modal box blocking them.
#pragma once

#include <QString>

class QWidget;

namespace wavorax::ui {

enum class MessageIcon { Information, Warning, Critical };

class IMessenger {
 public:
  virtual ~IMessenger() = default;
  // Shows `text` in a box titled "Wavorax" with `icon`, modal to `parent`, and returns when
  // the user has dismissed it.
  virtual void Show(MessageIcon icon, const QString& text, QWidget* parent) = 0;
};

// The program's messenger: a QMessageBox titled "Wavorax".
class CBoxMessenger final : public IMessenger {
 public:
  void Show(MessageIcon icon, const QString& text, QWidget* parent) override;
};

// The messenger in force. Tests put a recording one in place with SetMessenger; passing
// nullptr restores the message boxes.
IMessenger& Messenger();
void SetMessenger(IMessenger* messenger);

// Shorthands for the three kinds the program uses.
inline void ShowInformation(const QString& text, QWidget* parent) {
  Messenger().Show(MessageIcon::Information, text, parent);
}
inline void ShowWarning(const QString& text, QWidget* parent) {
  Messenger().Show(MessageIcon::Warning, text, parent);
}
inline void ShowCritical(const QString& text, QWidget* parent) {
  Messenger().Show(MessageIcon::Critical, text, parent);
}

}  // namespace wavorax::ui
