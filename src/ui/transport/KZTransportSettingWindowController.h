#pragma once

#include "shell/KZBaseWindowController.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZLabel.h"

#include <QPointer>

namespace kit {
class ImageView;
class View;
} // namespace kit

// The settings window of the main menu: the download folder, and whether downloads go there
// without asking. Both are saved only on confirm; each time the window appears it shows what is
// saved, so an edit left unconfirmed never looks saved.
class KZTransportSettingWindowController : public KZBaseWindowController {
    Q_OBJECT
public:
    static inline const QString kClassName = QStringLiteral("KZTransportSettingWindowController");

    // Registers the window with the router, which keeps the one the main menu opens.
    static void registerWithRouter();

    explicit KZTransportSettingWindowController(QObject* parent = nullptr);

    QString path() const { return m_path; }
    KZLabel* titleLabel() const { return m_titleLabel; }
    KZLabel* folderPathLabel() const { return m_folderPathLabel; }
    KZButton* selectPathButton() const { return m_selectPathButton; }
    KZCheckBoxButton* checkBoxButton() const { return m_checkBoxButton; }
    KZButton* confirmButton() const { return m_confirmButton; }

    void selectPathButtonClicked();
    void confirmButtonClicked();

protected:
    void loadWindow() override;
    void windowDidLoad() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Reads both settings again and shows them.
    void initData();
    void showPath();

    QString m_path;
    QPointer<kit::View> m_downloadPathView;
    QPointer<kit::ImageView> m_folderImageView;
    QPointer<KZLabel> m_titleLabel;
    QPointer<KZLabel> m_folderPathLabel;
    QPointer<KZButton> m_selectPathButton;
    QPointer<KZCheckBoxButton> m_checkBoxButton;
    QPointer<KZButton> m_confirmButton;
};
