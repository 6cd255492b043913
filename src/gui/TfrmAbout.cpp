#include "gui/TfrmAbout.h"

#include "core/Version.h"
#include "gui/AppIcons.h"
#include "gui/QtText.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace gui {

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(J(u8"バージョン情報"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setModal(true);

    const QIcon icon = ProgramIcon();
    setWindowIcon(icon);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("imgIcon"));
    picture->setPixmap(icon.pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop);

    auto* product = new QLabel(QString::fromLatin1(core::kProgramTitle), this);
    product->setObjectName(QStringLiteral("lblProductName"));
    QFont big = product->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    product->setFont(big);
    auto* version = new QLabel(QStringLiteral("Version ") + QString::fromLatin1(core::kVersionText), this);
    version->setObjectName(QStringLiteral("lblVersion"));

    auto* texts = new QVBoxLayout;
    texts->addWidget(product);
    texts->addWidget(version);
    texts->addStretch();
    // Some room beside the texts, so the box does not look squeezed around them.
    texts->addSpacerItem(new QSpacerItem(200, 0, QSizePolicy::Minimum, QSizePolicy::Minimum));
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setText(QStringLiteral("OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace gui

// The meta-object code of this file's classes is compiled here rather than with the rest of the
// library's, so that a program links only the windows it uses.
#include "moc_TfrmAbout.cpp"
