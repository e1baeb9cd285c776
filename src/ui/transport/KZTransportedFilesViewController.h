#pragma once

#include "shell/KZButton.h"
#include "transport/KZDownloadMgrProxy.h"
#include "transport/KZUploadMgrProxy.h"
#include "ui/transport/KZTransportListController.h"
#include "ui/transport/KZTransportedRowView.h"

#include <QPointer>

// The "传输完成" tab of the transfer page: finished uploads and downloads together, newest first,
// cleared one by one, by selection or all at once.
class KZTransportedFilesViewController : public KZTransportListController,
                                         public KZTransportedRowViewDelegate,
                                         public KZUploadMgrProxyDelegate,
                                         public KZDownloadMgrProxyDelegate {
    Q_OBJECT
public:
    static inline const QString kClassName = QStringLiteral("KZTransportedFilesViewController");

    explicit KZTransportedFilesViewController(QObject* parent = nullptr);
    ~KZTransportedFilesViewController() override;

    const QList<KZTransportedJob>& tranportedJobs() const { return m_tranportedJobs; }
    const QList<KZTransportedJob>& selectedJobs() const { return m_selectedJobs; }
    KZButton* clearButton() const { return m_clearButton; }
    // The proxies' answers are waiting to be merged and shown.
    bool hasPendingMerge() const { return m_mergePending; }
    KZButton* clearAllButton() const { return m_clearAllButton; }

    void viewWillAppear() override;
    void viewWillDisappear() override;

    void clearButtonClicked();
    void clearAllButtonClicked();
    void refreshToolbarButtonsState() override;
    void refreshTableHeaderViewState() override;
    void refreshHomeToolBarMessage() override;

    // Proxy reports.
    int uploadFinished(const KZUploadJobOpenInfoPtr& info) override;
    int uploadCancel(const KZUploadJobOpenInfoPtr& info) override;
    void didUpdateFinishedUploadJobOpenInfos(const QList<KZUploadJobOpenInfoPtr>& infos) override;
    int downloadFinished(const KZDownloadJobOpenInfoPtr& info) override;
    int downloadCancel(const KZDownloadJobOpenInfoPtr& info) override;
    void didUpdateFinishedDownloadJobOpenInfos(const QList<KZDownloadJobOpenInfoPtr>& infos) override;

    // kit::TableViewDataSource / kit::TableViewDelegate
    int numberOfRowsInTableView(kit::TableView*) override { return int(m_tranportedJobs.size()); }
    kit::TableRowView* tableViewRowViewForRow(kit::TableView* table, int row) override;
    void tableViewSelectionDidChange(kit::TableView* table) override;
    // KZTransportedRowViewDelegate
    void transportedRowViewDidClickCheckBox(KZTransportedRowView* rowView, bool checked) override;
    // KZTableCheckboxHeaderViewDelegate
    void tableCheckBoxHeaderViewDidPressSelectButton(KZTableCheckboxHeaderView* header,
                                                     KZCheckBoxButton* button) override;
    // KZMessageSetViewDelegate
    bool messageSetViewShouldDisplay(QWidget*) override { return m_tranportedJobs.isEmpty(); }
    kit::AttributedString descriptionForMessageSetView(QWidget*) override {
        return KZMessageSetModules::emptyTransportCompletionListDescription();
    }

protected:
    void viewDidLoad() override;

private:
    void scheduleMerge();
    void merge();
    void sortTranportedJobsByFinishedTime();
    // Shows the merged rows, the selection carried over from the rows `before`.
    void reloadData(const QList<KZTransportedJob>& before);
    void insertJob(const KZTransportedJob& job);
    void removeJob(const KZTransportedJob& job);
    int rowOf(const KZTransportedJob& job) const { return int(m_tranportedJobs.indexOf(job)); }
    void askClear(const QString& title, const QString& text, const QString& confirmTitle);
    void deleteJobs(const QList<KZTransportedJob>& chosen);

    QPointer<KZButton> m_clearButton, m_clearAllButton;
    QList<KZUploadJobOpenInfoPtr> m_uploadedJobs;
    QList<KZDownloadJobOpenInfoPtr> m_downloadedJobs;
    QList<KZTransportedJob> m_tranportedJobs;
    // The two answers the rows were last merged from: an appearance that gets the very same
    // lists back (no record came or went since) keeps the rows as they are.
    QList<KZUploadJobOpenInfoPtr> m_mergedUploads;
    QList<KZDownloadJobOpenInfoPtr> m_mergedDownloads;
    QList<KZTransportedJob> m_selectedJobs;
    bool m_mergePending = false;
    bool m_askingProxies = false; // answers now are merged once both proxies were asked
    bool m_mergeAsked = false;
};
