#pragma once
// The choice of encryption beside a server box: none, STARTTLS (the client asks for TLS on the plain
// connection) or SSL/TLS (TLS from the first byte); the item index is the stored value (net::TlsMode).
//
// The port box follows the choice while it still holds the usual port of the previous choice (a
// port the user typed stays), and when the server box goes from empty to a name, STARTTLS is
// preselected (providers that take a name at all mostly ask for TLS). Neither happens while the
// dialog fills its boxes.

#include <QObject>
#include <QString>
#include <array>
#include <functional>

class QComboBox;
class QLineEdit;
class QWidget;

namespace gui {

class SecurityChoice : public QObject
{
public:
    // usualPorts: the usual port of each choice. filling tells whether the dialog is filling its boxes.
    SecurityChoice(QComboBox& box, QLineEdit& server, QLineEdit& port, std::array<int, 3> usualPorts,
                   std::function<bool()> filling);

    // A box with the three choices, named (Qt object name) name.
    static QComboBox* MakeBox(QWidget* parent, const char* name);

    int Mode() const;
    // Sets the choice without moving the port (the dialog's filling).
    void SetMode(int mode);

private:
    void OnChoice(int mode);
    void OnServerText(const QString& text);

    QComboBox& m_box;
    QLineEdit& m_port;
    std::array<int, 3> m_usualPorts;
    std::function<bool()> m_filling;
    int m_mode = 0;
    bool m_serverEmpty = true;
};

} // namespace gui
