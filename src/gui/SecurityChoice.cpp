#include "gui/SecurityChoice.h"

#include "gui/QtText.h"
#include "net/Tls.h"

#include <QComboBox>
#include <QLineEdit>

namespace gui {

SecurityChoice::SecurityChoice(QComboBox& box, QLineEdit& server, QLineEdit& port,
                               std::array<int, 3> usualPorts, std::function<bool()> filling)
    : QObject(&box), m_box(box), m_port(port), m_usualPorts(usualPorts), m_filling(std::move(filling))
{
    m_mode = box.currentIndex();
    m_serverEmpty = server.text().isEmpty();
    connect(&box, &QComboBox::currentIndexChanged, this, [this](int index) { OnChoice(index); });
    connect(&server, &QLineEdit::textChanged, this, [this](const QString& text) { OnServerText(text); });
}

QComboBox* SecurityChoice::MakeBox(QWidget* parent, const char* name)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->addItem(J(u8"なし"));
    box->addItem(QStringLiteral("STARTTLS"));
    box->addItem(QStringLiteral("SSL/TLS"));
    return box;
}

int SecurityChoice::Mode() const
{
    return m_box.currentIndex() < 0 ? net::tlsNone : m_box.currentIndex();
}

void SecurityChoice::SetMode(int mode)
{
    const int index = net::TlsModeOf(mode);
    m_mode = index;
    m_box.setCurrentIndex(index);
}

void SecurityChoice::OnChoice(int mode)
{
    const int previous = m_mode;
    m_mode = mode;
    if (m_filling() || mode < 0 || previous < 0 || previous > 2 || mode > 2)
        return;
    // Only the usual port of the choice before is the box's to change; anything else was typed.
    if (m_port.text().trimmed() == QString::number(m_usualPorts[static_cast<size_t>(previous)]))
        m_port.setText(QString::number(m_usualPorts[static_cast<size_t>(mode)]));
}

void SecurityChoice::OnServerText(const QString& text)
{
    const bool wasEmpty = m_serverEmpty;
    m_serverEmpty = text.isEmpty();
    if (!m_filling() && wasEmpty && !text.isEmpty() && Mode() == net::tlsNone)
        m_box.setCurrentIndex(net::tlsExplicit);
}

} // namespace gui
