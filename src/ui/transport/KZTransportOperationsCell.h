#pragma once

#include "kit/View.h"
#include "transfer/KZTransportJobInfo.h"

#include <functional>

class KZButton;
namespace kit {
class Window;
}

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
    // The named image as the buttons show it (scaled to 16 points once per name).
    static const QImage& buttonImage(const QString& name);
    static constexpr double kButtonSide = 24;
    // Where the buttons stand: the first 6 points from the cell's left, each next one 10 after.
    static constexpr double kFirstButtonLeft = 6;
    static constexpr double kButtonGap = 10;

protected:
    // Shows the buttons of a job in `status`: start (retry, play or pause) unless finished, and
    // the delete image of a record or of a job. True when the start button pauses.
    bool applyStatus(qint32 status);
    // The delete question of a job: a finished job's record is deleted after "删除记录"; an
    // unfinished job is cancelled after the direction's question, and while it is open a running
    // or waiting job is paused. A job that finishes while the question is open stays finished
    // and listed, whatever the answer. Declining resumes the job only when it was running or
    // waiting as the question opened, whatever its status by the time of the answer.
    template <class Proxy, class JobPtr>
    static void askDelete(Proxy* proxy, const JobPtr& job, const QString& title, const QString& text) {
        const QString path = job->m_path;
        if (job->m_status == KZTransportJobStatusFinished) {
            ask(proxy, QStringLiteral("删除记录"), QStringLiteral("确定要删除传输记录吗？"),
                QStringLiteral("删除"), true, [proxy, path] { proxy->cancel(path); }, {});
            return;
        }
        const bool wasActive =
            job->m_status == KZTransportJobStatusRunning || job->m_status == KZTransportJobStatusWaiting;
        if (wasActive)
            proxy->pause(path);
        const auto unfinished = [job] { return job->m_status != KZTransportJobStatusFinished; };
        ask(
            proxy, title, text, QStringLiteral("确定"), false,
            [proxy, path, unfinished] {
                if (unfinished())
                    proxy->cancelUnfinished(path);
            },
            [proxy, path, wasActive, unfinished] {
                if (wasActive && unfinished())
                    proxy->resume(path);
            });
    }
    // The answers go to the proxy (they outlive the cell, which a list may reuse meanwhile).
    static void ask(const QObject* proxy, const QString& title, const QString& text, const QString& confirm,
                    bool warning, std::function<void()> onConfirm, std::function<void()> onDismiss);

    // Shows a local file selected in the file manager; a file that is gone is said with a toast
    // on `window`, so the button never does nothing.
    static void revealLocalFile(const QString& path, kit::Window* window);

    // A 24 by 24 button with the named image, added to the cell.
    KZButton* buttonWithImage(const QString& image, std::function<void()> action);
    static void setButtonImage(KZButton* button, const QString& image);
    void layout() override;

    KZButton* m_taskStartButton = nullptr;
    KZButton* m_taskDeleteButton = nullptr;
    KZButton* m_showInFinderButton = nullptr;
};
