#pragma once

#include "shell/KZBaseViewController.h"
#include "shell/KZButton.h"
#include "shell/KZMessageSet.h"
#include "shell/KZSegmentedControl.h"
#include "transport/KZDownloadMgrProxy.h"
#include "transport/KZUploadMgrProxy.h"

#include <QPointer>

class KZUploadingFilesViewController;
class KZDownloadingFilesViewController;
class KZTransportedFilesViewController;

// The "传输" page of the home window: the uploading, downloading and finished lists behind a
// segmented control whose titles carry the counts, the feedback button, and the overdue cover.
// Each title counts the rows its list shows: the entries of the proxies' own unfinished and
// finished lists, refreshed whenever a proxy reports and whenever the transfer counts are posted.
class KZTransportViewController : public KZBaseViewController,
                                  public KZMessageSetViewDelegate,
                                  public KZSegmentedControlDelegate,
                                  public KZUploadMgrProxyDelegate,
                                  public KZDownloadMgrProxyDelegate {
    Q_OBJECT
public:
    static inline const QString kClassName = QStringLiteral("KZTransportViewController");
    static inline const QString kFeedbackWindowClass = QStringLiteral("FeedbackWindowController");

    static void registerWithRouter();

    explicit KZTransportViewController(QObject* parent = nullptr);
    ~KZTransportViewController() override;

    // The title of a segment for a count: plain for 0, else with the count.
    static QString titleForSegment(int index, qsizetype count);

    KZUploadingFilesViewController* uploadingFilesController();
    KZDownloadingFilesViewController* downloadingFilesController();
    KZTransportedFilesViewController* transportedFilesController();
    KZSegmentedControl* segmentedControl() const { return m_segmentedControl; }
    KZButton* feedbackButton() const { return m_feedbackButton; }
    kit::View* contentView() const { return m_contentView; }
    kit::View* selectedView() const { return m_selectedView; }

    void viewWillAppear() override;
    void viewWillDisappear() override;
    void feedbackClick();
    // Recomputes the three titles now.
    void refreshTitles();

    // KZSegmentedControlDelegate
    void segmentedControlDidSelectSegmentIndex(KZSegmentedControl* control, int index) override;
    // KZMessageSetViewDelegate
    bool messageSetViewShouldDisplay(QWidget* view) override;
    bool messageSetViewShouldInterceptionEvents(QWidget*) override { return true; }
    kit::AttributedString titleForMessageSetView(QWidget* view) override;
    kit::Image imageForMessageSetView(QWidget* view) override;
    QList<KZButton*> buttonsForMessageSetView(QWidget* view) override;
    // Proxy reports: every one may change a count.
    int uploadAdd(const QList<KZUploadJobOpenInfoPtr>&) override { return scheduleTitles(), 0; }
    void uploadStateChanged(const KZUploadJobOpenInfoPtr&) override {}
    int uploadFinished(const KZUploadJobOpenInfoPtr&) override { return scheduleTitles(), 0; }
    int uploadCancel(const KZUploadJobOpenInfoPtr&) override { return scheduleTitles(), 0; }
    void didUpdateUnFinishedUploadJobOpenInfos(const QList<KZUploadJobOpenInfoPtr>&) override {
        scheduleTitles();
    }
    void didUpdateFinishedUploadJobOpenInfos(const QList<KZUploadJobOpenInfoPtr>&) override {
        scheduleTitles();
    }
    int downloadAdd(const QList<KZDownloadJobOpenInfoPtr>&) override { return scheduleTitles(), 0; }
    int downloadFinished(const KZDownloadJobOpenInfoPtr&) override { return scheduleTitles(), 0; }
    int downloadCancel(const KZDownloadJobOpenInfoPtr&) override { return scheduleTitles(), 0; }
    void didUpdateUnFinishedDownloadJobOpenInfos(const QList<KZDownloadJobOpenInfoPtr>&) override {
        scheduleTitles();
    }
    void didUpdateFinishedDownloadJobOpenInfos(const QList<KZDownloadJobOpenInfoPtr>&) override {
        scheduleTitles();
    }

protected:
    void loadView() override;
    void viewDidLoad() override;

private:
    void layoutPage();
    // One title refresh for a burst of reports.
    void scheduleTitles();
    void applyOverdueState();
    void showChild(kit::ViewController* child);

    QPointer<kit::View> m_contentView;
    QPointer<kit::View> m_centerView;
    QPointer<KZSegmentedControl> m_segmentedControl;
    QPointer<KZButton> m_feedbackButton;
    QPointer<kit::View> m_selectedView;
    KZUploadingFilesViewController* m_uploadingFilesController = nullptr;
    KZDownloadingFilesViewController* m_downloadingFilesController = nullptr;
    KZTransportedFilesViewController* m_transportedFilesController = nullptr;
    bool m_observingCounts = false;
    bool m_titlesScheduled = false;
};
