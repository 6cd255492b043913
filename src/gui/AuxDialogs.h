#pragma once
// The three small dialogs the settings dialog opens for the list-like and multi-line settings. Each
// fills its controls from the settings object on every showing and, on OK, writes them back and
// saves its own share of the settings file at once, so its changes stay even when the settings
// dialog is cancelled afterwards. Cancel changes nothing.

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace platform {
class UserInterface;
}
namespace settings {
class TConfig;
}

namespace gui {

class ListEditor;

// "対ﾛﾎﾞｯﾄ検索用設定": keywords and page descriptions for search robots, Japanese and English.
class TfrmHead : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmHead(platform::UserInterface& ui, QWidget* parent = nullptr);
    ~TfrmHead() override;
    // Modal; true when it ended with OK and the settings were saved.
    bool Edit(settings::TConfig& config);

    // The controls from the object, as every showing does (Edit calls it).
    void Fill(const settings::TConfig& config);

private:
    struct Side
    {
        ListEditor* keywords = nullptr;
        QLineEdit* description = nullptr;
        QList<QWidget*> controls; // what "ﾛﾎﾞｯﾄ検索させない" disables
    };
    Side BuildSide(QWidget& page, const QString& suffix, bool warnOnComma);
    void ApplyNofollow();
    void Write(settings::TConfig& config) const;
    void OnOK();

    platform::UserInterface& m_ui;
    settings::TConfig* m_config = nullptr;
    QCheckBox* m_nofollow = nullptr;
    Side m_jp;
    Side m_en;
};

// "ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙ設定": the file masks of the pages to upload.
class TfrmFileExt : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmFileExt(platform::UserInterface& ui, QWidget* parent = nullptr);
    ~TfrmFileExt() override;
    bool Edit(settings::TConfig& config);

    void Fill(const settings::TConfig& config);

private:
    void Write(settings::TConfig& config) const;
    void OnOK();

    platform::UserInterface& m_ui;
    settings::TConfig* m_config = nullptr;
    ListEditor* m_masks = nullptr;
    QCheckBox* m_repOnly = nullptr;
};

// "終了ｱｯﾌﾟﾛｰﾄﾞ 詳細設定": what the closing upload sends.
class TfrmCfgClosed : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmCfgClosed(platform::UserInterface& ui, QWidget* parent = nullptr);
    ~TfrmCfgClosed() override;
    bool Edit(settings::TConfig& config);

    void Fill(const settings::TConfig& config);

private:
    void ApplyMode();
    void Write(settings::TConfig& config) const;
    void OnOK();

    platform::UserInterface& m_ui;
    settings::TConfig* m_config = nullptr;
    QRadioButton* m_mode0 = nullptr;
    QRadioButton* m_mode1 = nullptr;
    QLabel* m_textLabel = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QCheckBox* m_fast = nullptr;
    QLabel* m_folderLabel = nullptr;
    QLineEdit* m_folder = nullptr;
    QPushButton* m_folderButton = nullptr;
    QLabel* m_folderNote = nullptr;
};

} // namespace gui
