#include "gui/DialogButtons.h"

#include "gui/QtText.h"

#include <QBoxLayout>
#include <QDialog>
#include <QPushButton>

namespace gui {

QPushButton* AddOkCancel(QDialog& dialog, QBoxLayout& layout)
{
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(J(u8"ｷｬﾝｾﾙ"), &dialog);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    cancel->setAutoDefault(false);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    layout.addLayout(row);
    return ok;
}

} // namespace gui
