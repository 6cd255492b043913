#pragma once
// A typing limit for a text box: the user cannot make the text longer than a number of characters,
// while a longer text put in by the program (a value read from the settings file) is shown whole and
// can still be shortened or overwritten in place. QLineEdit::setMaxLength would cut such a value.

#include <QValidator>

class QLineEdit;

namespace gui {

class TypedLengthLimit : public QValidator
{
    Q_OBJECT
public:
    // Installs itself as the box's validator.
    TypedLengthLimit(QLineEdit& box, int maxTyped);

    State validate(QString& input, int& pos) const override;

private:
    int m_maxTyped;
    // The box's text before the edit that is being validated.
    QString m_current;
};

} // namespace gui
