#pragma once

#include "kit/View.h"

class KZButton;

// What the upload and the download row buttons share: three 24-point image buttons (start or
// pause, delete, locate) laid out from the left, a hidden one taking no room.
class KZTransportOperationsCell : public kit::View {
    Q_OBJECT
public:
    explicit KZTransportOperationsCell(QWidget* parent = nullptr);

    KZButton* taskStartButton() const { return m_taskStartButton; }
    KZButton* taskDeleteButton() const { return m_taskDeleteButton; }
    KZButton* showInFinderButton() const { return m_showInFinderButton; }
    // The name of the image a button shows now (tests and looks).
    static QString imageName(const KZButton* button);

protected:
    // A 24 by 24 button with the named image, added to the cell.
    KZButton* buttonWithImage(const QString& image, std::function<void()> action);
    static void setButtonImage(KZButton* button, const QString& image);
    void layout() override;

    KZButton* m_taskStartButton = nullptr;
    KZButton* m_taskDeleteButton = nullptr;
    KZButton* m_showInFinderButton = nullptr;
};
