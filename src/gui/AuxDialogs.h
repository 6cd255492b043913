#pragma once
// The three small dialogs the settings dialog opens for the list-like and multi-line settings. Each
// fills its controls from the settings object on every showing and, on OK, writes them back and
// saves its own share of the settings file at once, so its changes stay even when the settings
// dialog is cancelled afterwards. Cancel changes nothing.

#include <QDialog>

namespace platform {
class UserInterface;
}
namespace settings {
class TConfig;
}

namespace gui {

// "対ﾛﾎﾞｯﾄ検索用設定": keywords and page descriptions for search robots, Japanese and English.
class TfrmHead : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmHead(platform::UserInterface& ui, QWidget* parent = nullptr);
    ~TfrmHead() override;
    // Modal; true when it ended with OK and the settings were saved.
    bool Edit(settings::TConfig& config);
};

// "ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙ設定": the file masks of the pages to upload.
class TfrmFileExt : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmFileExt(platform::UserInterface& ui, QWidget* parent = nullptr);
    ~TfrmFileExt() override;
    bool Edit(settings::TConfig& config);
};

// "終了ｱｯﾌﾟﾛｰﾄﾞ 詳細設定": what the closing upload sends.
class TfrmCfgClosed : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmCfgClosed(platform::UserInterface& ui, QWidget* parent = nullptr);
    ~TfrmCfgClosed() override;
    bool Edit(settings::TConfig& config);
};

} // namespace gui
