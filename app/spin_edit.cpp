#include "spin_edit.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QToolButton>

#include <algorithm>
#include <limits>

bool ParseInteger(const QString& text, int* value) {
  qsizetype i = 0;
  while (i < text.size() && text[i] == QLatin1Char(' ')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
    negative = text[i] == QLatin1Char('-');
    ++i;
  }
  if (i == text.size()) return false;
  long long v = 0;
  for (; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    v = v * 10 + (c.unicode() - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min()) return false;
  *value = static_cast<int>(v);
  return true;
}

TSpinEdit::TSpinEdit(QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {up_, down_}) {
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRepeat(true);
  }
  connect(up_, &QToolButton::clicked, this, [this] { StepBy(1); });
  connect(down_, &QToolButton::clicked, this, [this] { StepBy(-1); });
  edit_->installEventFilter(this);
  setFocusProxy(edit_);
  setFocusPolicy(Qt::StrongFocus);
  UpdateValidator();
}

void TSpinEdit::SetMinValue(int value) {
  min_ = value;
  UpdateValidator();
}

void TSpinEdit::SetMaxValue(int value) {
  max_ = value;
  UpdateValidator();
}

void TSpinEdit::UpdateValidator() {
  // Binds what a person types or pastes; values the program sets are shown as they are.
  const qsizetype digits = std::max(QString::number(min_).size(), QString::number(max_).size());
  const QRegularExpression pattern(QStringLiteral("[0-9]{0,%1}").arg(digits));
  if (auto* v = qobject_cast<QRegularExpressionValidator*>(const_cast<QValidator*>(edit_->validator())))
    v->setRegularExpression(pattern);
  else
    edit_->setValidator(new QRegularExpressionValidator(pattern, edit_));
}

int TSpinEdit::Value() const {
  int v = 0;
  return ParseInteger(edit_->text(), &v) ? v : min_;
}

int TSpinEdit::CheckValue(int value) const {
  if (max_ == min_) return value;
  if (value < min_) return min_;
  if (value > max_) return max_;
  return value;
}

void TSpinEdit::SetValue(int value) { edit_->setText(QString::number(CheckValue(value))); }

int TSpinEdit::EffectiveValue() const {
  int v = 0;
  return ParseInteger(edit_->text(), &v) ? CheckValue(v) : default_;
}

void TSpinEdit::Settle() {
  const QString settled = QString::number(EffectiveValue());
  if (edit_->text() != settled) edit_->setText(settled);
}

void TSpinEdit::StepBy(int delta) {
  const long long next = static_cast<long long>(Value()) + delta;
  if (next > std::numeric_limits<int>::max() || next < std::numeric_limits<int>::min()) return;
  SetValue(static_cast<int>(next));
  edit_->selectAll();
}

bool TSpinEdit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_) {
    if (event->type() == QEvent::FocusOut) {
      if (edit_->text().isEmpty())
        SetValue(default_);
      else if (CheckValue(Value()) != Value())
        SetValue(Value());
    } else if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Up || key == Qt::Key_Down) {
        StepBy(key == Qt::Key_Up ? 1 : -1);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TSpinEdit::resizeEvent(QResizeEvent*) {
  const int buttonWidth = 15;
  const int h = height();
  edit_->setGeometry(0, 0, width() - buttonWidth, h);
  up_->setGeometry(width() - buttonWidth, 0, buttonWidth, h / 2);
  down_->setGeometry(width() - buttonWidth, h / 2, buttonWidth, h - h / 2);
}
