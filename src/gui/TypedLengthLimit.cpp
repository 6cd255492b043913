#include "gui/TypedLengthLimit.h"

#include <QLineEdit>

namespace gui {

TypedLengthLimit::TypedLengthLimit(QLineEdit& box, int maxTyped)
    : QValidator(&box), m_maxTyped(maxTyped), m_current(box.text())
{
    // textChanged follows every change, the program's setText included, so m_current is the text
    // the next edit starts from.
    connect(&box, &QLineEdit::textChanged, this, [this](const QString& text) { m_current = text; });
    box.setValidator(this);
}

QValidator::State TypedLengthLimit::validate(QString& input, int& /*pos*/) const
{
    if (input.size() <= m_maxTyped || input.size() <= m_current.size())
        return Acceptable;
    return Invalid;
}

} // namespace gui

// The meta-object code of this file's class is compiled here, with the class, not in the library's
// shared moc unit.
#include "moc_TypedLengthLimit.cpp"
