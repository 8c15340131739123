// Driving the options windows the way a user does: clicks, keys and list choices.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

namespace wavorax::ui::test {

// A check box or radio button takes the click on its indicator, as a user aims: a layout may
// stretch the button's row past its text, where a click does nothing.
inline void Click(QAbstractButton* button) {
  ASSERT_NE(button, nullptr);
  if (qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button)) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
  } else {
    QTest::mouseClick(button, Qt::LeftButton);
  }
}

// Opens the list's popup and clicks the item, as a user picks it.
inline void Choose(QComboBox* list, int index) {
  list->showPopup();
  QAbstractItemView* view = list->view();
  const QModelIndex at = view->model()->index(index, 0);
  view->scrollTo(at, QAbstractItemView::PositionAtCenter);
  const QRect item = view->visualRect(at);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
  QApplication::processEvents();
}

inline void ChooseData(QComboBox* list, int data) { Choose(list, list->findData(data)); }
inline void ChooseText(QComboBox* list, const QString& text) { Choose(list, list->findText(text)); }

inline void Retype(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

inline void ClickTab(QTabWidget* tabs, int index) {
  QTabBar* bar = tabs->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

// Runs `drive` on the modal window `T` once it is open (the caller then opens it).
template <typename T>
void WhenModalOpens(std::function<void(T&)> drive) {
  QTimer::singleShot(0, [drive] {
    auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!window) {
      ADD_FAILURE() << "the expected modal window did not open";
      if (QApplication::activeModalWidget()) QApplication::activeModalWidget()->close();
      return;
    }
    drive(*window);
  });
}

}  // namespace wavorax::ui::test
