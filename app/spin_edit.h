#pragma once
// A spin control whose value is its integer text: a text that is not one
// integer reads as the minimum; setting a value clamps it into the range
// unless minimum and maximum are equal; losing the focus clamps the shown
// value the same way, and an emptied field shows its default again; the
// arrows step by one within the same limits.
// Typing takes digits only, no more of them than the range's widest bound has.

#include <QLineEdit>
#include <QWidget>

class QToolButton;

class TSpinEdit : public QWidget {
  Q_OBJECT

 public:
  explicit TSpinEdit(QWidget* parent = nullptr);

  int Value() const;
  void SetValue(int value);
  int MinValue() const { return min_; }
  int MaxValue() const { return max_; }
  // Plain settings: changing the range does not re-clamp the shown value.
  void SetMinValue(int value);
  void SetMaxValue(int value);
  // What an emptied field comes back to.
  void SetDefaultValue(int value) { default_ = value; }
  int DefaultValue() const { return default_; }

  // The value the field shows once the focus has left it (clamped, or the
  // default for an empty field): what an action started now uses.
  int EffectiveValue() const;
  // Makes the field show that value, as losing the focus does.
  void Settle();

  QString Text() const { return edit_->text(); }
  void SetText(const QString& text) { edit_->setText(text); }
  QLineEdit* editor() const { return edit_; }

  // The clamp shared by setting a value and by losing the focus.
  int CheckValue(int value) const;
  void StepBy(int delta);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void UpdateValidator();

  QLineEdit* edit_;
  QToolButton* up_;
  QToolButton* down_;
  int min_ = 0;
  int max_ = 0;
  int default_ = 0;
};

// The platform's text-to-integer conversion: leading blanks, an optional
// sign and decimal digits within 32 bits, nothing else.
bool ParseInteger(const QString& text, int* value);
