#pragma once
// The about box "バージョン情報": the program icon, the product name and the version text.

#include <QDialog>

namespace gui {

class TfrmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
};

} // namespace gui
