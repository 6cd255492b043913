#pragma once
// A text box with a small up/down button pair beside it, for the minute boxes of the settings. The
// buttons (and the Up and Down keys in the box) step the box's leading number within a range, but the
// box itself takes any text: a value such as "12abc" can stand in it until the dialog corrects or
// refuses it, which a spin box would not allow.

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace gui {

class UpDownEdit : public QWidget
{
    Q_OBJECT
public:
    // The box gets boxName as its object name, the button pair upDownName.
    UpDownEdit(int minimum, int maximum, const QString& boxName, const QString& upDownName,
               QWidget* parent = nullptr);

    QLineEdit* Edit() const { return m_edit; }
    int Minimum() const { return m_minimum; }
    int Maximum() const { return m_maximum; }
    // The leading number plus delta, kept within the range; a text without a number in the range
    // starts from the nearer end of the range.
    void Step(int delta);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_edit;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_minimum;
    int m_maximum;
};

} // namespace gui
