#include "gui/UpDownEdit.h"

#include "gui/ConfigNumbers.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace gui {

namespace {

QToolButton* ArrowButton(Qt::ArrowType arrow, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    // The pair is a mouse tool: the keyboard steps with Up and Down inside the box.
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    return button;
}

} // namespace

UpDownEdit::UpDownEdit(int minimum, int maximum, const QString& boxName, const QString& upDownName,
                       QWidget* parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_minimum(minimum), m_maximum(maximum)
{
    m_edit->setObjectName(boxName);
    m_edit->installEventFilter(this);
    setFocusProxy(m_edit);

    auto* pair = new QWidget(this);
    pair->setObjectName(upDownName);
    m_up = ArrowButton(Qt::UpArrow, pair);
    m_up->setObjectName(upDownName + QStringLiteral("Up"));
    m_down = ArrowButton(Qt::DownArrow, pair);
    m_down->setObjectName(upDownName + QStringLiteral("Down"));
    auto* pairLayout = new QVBoxLayout(pair);
    pairLayout->setContentsMargins(0, 0, 0, 0);
    pairLayout->setSpacing(0);
    pairLayout->addWidget(m_up);
    pairLayout->addWidget(m_down);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(m_edit, 1);
    layout->addWidget(pair);

    connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDownEdit::Step(int delta)
{
    const std::optional<int> current = LeadingInt(m_edit->text());
    int next = 0;
    if (!current)
        next = delta > 0 ? m_minimum : m_maximum;
    else if (*current < m_minimum)
        next = m_minimum;
    else if (*current > m_maximum)
        next = m_maximum;
    else
        next = std::clamp(*current + delta, m_minimum, m_maximum);
    m_edit->setText(QString::number(next));
}

bool UpDownEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            Step(key->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace gui

// The meta-object code of this file's class is compiled here, with the class, not in the library's
// shared moc unit.
#include "moc_UpDownEdit.cpp"
