#include "app/spin_edit.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

TEST(ParseInteger, OneDecimalIntegerWithLeadingBlanks) {
  struct Case { const char* text; bool ok; int value; };
  const Case cases[] = {{"15", true, 15},   {"  15", true, 15},     {"-3", true, -3},  {"+7", true, 7},
                        {"15 ", false, 0},  {"", false, 0},         {"1.5", false, 0}, {"abc", false, 0},
                        {"0x10", false, 0}, {"2147483647", true, 2147483647}, {"2147483648", false, 0},
                        {"-2147483648", true, -2147483647 - 1}, {"-", false, 0}};
  for (const Case& c : cases) {
    int v = 0;
    EXPECT_EQ(ParseInteger(QString::fromLatin1(c.text), &v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

struct SpinFixture : ::testing::Test {
  QWidget window;
  TSpinEdit* spin = new TSpinEdit(&window);
  QPushButton* other = new QPushButton(QStringLiteral("other"), &window);
  SpinFixture() {
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(spin);
    layout->addWidget(other);
    spin->SetMinValue(1);
    spin->SetMaxValue(150);
    spin->SetValue(15);
    window.show();
    QApplication::setActiveWindow(&window);
  }
  void Type(const QString& text) {
    spin->editor()->setFocus();
    spin->editor()->selectAll();
    QTest::keyClicks(spin->editor(), text);
  }
};

TEST_F(SpinFixture, TypedValueIsClampedWhenTheFocusLeaves) {
  Type(QStringLiteral("500"));
  EXPECT_EQ(spin->Text(), QStringLiteral("500"));
  EXPECT_EQ(spin->Value(), 500);  // read from the text, not clamped yet
  other->setFocus();
  EXPECT_EQ(spin->Text(), QStringLiteral("150"));
}

TEST_F(SpinFixture, NonIntegerTextReadsAsTheMinimum) {
  spin->SetText(QStringLiteral("abc"));
  EXPECT_EQ(spin->Value(), 1);
  spin->SetText(QString());
  EXPECT_EQ(spin->Value(), 1);
}

TEST_F(SpinFixture, ArrowsStepByOneWithinTheLimits) {
  spin->SetValue(149);
  spin->editor()->setFocus();
  QTest::keyClick(spin->editor(), Qt::Key_Up);
  EXPECT_EQ(spin->Value(), 150);
  QTest::keyClick(spin->editor(), Qt::Key_Up);
  EXPECT_EQ(spin->Value(), 150);
  spin->SetValue(1);
  spin->StepBy(-1);
  EXPECT_EQ(spin->Value(), 1);
}

TEST_F(SpinFixture, EqualMinimumAndMaximumTakeAnyValue) {
  spin->SetMinValue(100);
  spin->SetMaxValue(100);
  spin->SetValue(67);
  EXPECT_EQ(spin->Value(), 67);
  Type(QStringLiteral("250"));
  other->setFocus();
  EXPECT_EQ(spin->Value(), 250);
  // Changing the range does not re-clamp what is shown.
  spin->SetMaxValue(200);
  EXPECT_EQ(spin->Value(), 250);
}

}  // namespace
