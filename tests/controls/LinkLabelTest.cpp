// The hyperlink label: colours and underline by state, and fitting to its text by alignment.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "controls/LinkLabel.h"

namespace wavorax::ui {
namespace {

void Enter(CLinkLabel& label) {
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(&label, &enter);
}

void Leave(CLinkLabel& label) {
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&label, &leave);
}

TEST(LinkLabel, ColourAndUnderlineFollowTheMouse) {
  QWidget window;
  auto* always = new CLinkLabel(QStringLiteral("always"), &window);
  auto* hover = new CLinkLabel(QStringLiteral("hover"), &window);
  always->SetUnderlineMode(1);
  hover->move(0, 40);
  window.show();
  for (CLinkLabel* label : {always, hover}) {
    EXPECT_EQ(label->palette().color(label->foregroundRole()), CLinkLabel::kLinkColour);
    EXPECT_EQ(label->font().underline(), label == always);
    Enter(*label);
    EXPECT_EQ(label->palette().color(label->foregroundRole()), CLinkLabel::kHoverColour);
    EXPECT_TRUE(label->font().underline());
    EXPECT_EQ(label->toolTip(), label->text());  // without a link, the text is the link
    EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
  }
  Leave(*always);
  EXPECT_TRUE(always->font().underline());
  EXPECT_EQ(always->TextColour(), CLinkLabel::kLinkColour);
  // A lost leave event: the poll sees the mouse elsewhere within about 100 ms.
  QCursor::setPos(window.mapToGlobal(QPoint(500, 500)));
  QTest::qWait(3 * CLinkLabel::kHoverPollMs);
  EXPECT_FALSE(hover->IsOverControl());
  EXPECT_FALSE(hover->font().underline());
  EXPECT_EQ(hover->TextColour(), CLinkLabel::kLinkColour);
}

// SetLink fits the label to its text and keeps the edge its alignment names.
class LinkLabelFit : public testing::TestWithParam<Qt::Alignment> {};

TEST_P(LinkLabelFit, KeepsTheAlignedEdge) {
  QWidget window;
  window.resize(600, 100);
  CLinkLabel label(QString(), &window);
  label.setAlignment(GetParam());
  label.setGeometry(200, 10, 100, 20);
  label.SetLink(QStringLiteral("https://example.org/a/rather/long/address/for/a/link"));
  EXPECT_EQ(label.text(), label.Link());
  EXPECT_GT(label.width(), 100);
  if (GetParam() & Qt::AlignRight) {
    EXPECT_EQ(label.geometry().right(), 299);
  }
  if (GetParam() & Qt::AlignLeft) {
    EXPECT_EQ(label.x(), 200);
  }
  if (GetParam() & Qt::AlignHCenter) {
    EXPECT_NEAR(label.geometry().center().x(), 249, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Alignments, LinkLabelFit,
                         testing::Values(Qt::AlignLeft | Qt::AlignVCenter,
                                         Qt::AlignRight | Qt::AlignVCenter, Qt::AlignHCenter));

}  // namespace
}  // namespace wavorax::ui
