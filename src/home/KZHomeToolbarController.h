#pragma once

#include "shell/KZBaseViewController.h"
#include "shell/KZHomePages.h"

#include <QPointer>

class KZLabel;

// The home window's bottom bar: transfer messages in its middle area (upload, then download) and
// a message in its right area. Each text, when empty, clears its place.
class KZHomeToolbarController : public KZBaseViewController, public KZHomeToolbar {
    Q_OBJECT
public:
    static inline const QString kClassName = QStringLiteral("KZHomeToolbarController");
    static constexpr qreal kHeight = 32;

    // Registers the bar with the router as a long-life object, so that the window manager and the
    // home window reach the same one.
    static void registerWithRouter();

    explicit KZHomeToolbarController(QObject* parent = nullptr);

    void showMessageInRightArea(const QString& text) override;
    void showUploadMessageInMiddleArea(const QString& text) override;
    void showDownloadMessageInMiddleArea(const QString& text) override;

    QString rightMessage() const { return m_right; }
    QString uploadMessage() const { return m_upload; }
    QString downloadMessage() const { return m_download; }
    // The middle area's text as shown.
    QString middleText() const;

protected:
    void loadView() override;

private:
    void refresh();

    QString m_right;
    QString m_upload;
    QString m_download;
    QPointer<KZLabel> m_middleLabel;
    QPointer<KZLabel> m_rightLabel;
};
