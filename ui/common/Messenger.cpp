#include "ui/common/Messenger.h"

#include <QMessageBox>

namespace wavorax::ui {

namespace {
CBoxMessenger boxMessenger;
IMessenger* current = &boxMessenger;
}  // namespace

void CBoxMessenger::Show(MessageIcon icon, const QString& text, QWidget* parent) {
  QMessageBox::Icon boxIcon = QMessageBox::Information;
  if (icon == MessageIcon::Warning) boxIcon = QMessageBox::Warning;
  if (icon == MessageIcon::Critical) boxIcon = QMessageBox::Critical;
  QMessageBox box(boxIcon, QStringLiteral("Wavorax"), text, QMessageBox::Ok, parent);
  box.exec();
}

IMessenger& Messenger() { return *current; }

void SetMessenger(IMessenger* messenger) { current = messenger ? messenger : &boxMessenger; }

}  // namespace wavorax::ui
