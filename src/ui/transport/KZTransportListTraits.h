#pragma once

#include "shell/KZMessageSet.h"
#include "transport/KZDownloadMgrProxy.h"
#include "transport/KZUploadMgrProxy.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFileRowView.h"
#include "ui/transport/KZDownloadFileOperationsCell.h"
#include "ui/transport/KZTransportFileProgressCell.h"
#include "ui/transport/KZUploadFileOperationsCell.h"

// What differs between the uploading and the downloading lists: the proxy, the job type, the
// setters of the cells, the key that finds a selected job again, and the texts.
struct KZUploadListTraits {
    using Job = KZUploadJobOpenInfo;
    using JobPtr = KZUploadJobOpenInfoPtr;
    using Proxy = KZUploadMgrProxy;
    using OperationsCell = KZUploadFileOperationsCell;
    using CellDelegate = KZUploadFileOperationsCellDelegate;

    static Proxy* proxy() { return KZUploadMgrProxy::shareUploadMgrProxy(); }
    static void requestList() { proxy()->getUnFinishedUploadJobOpenInfo(); }
    // An upload is found again by its local source.
    static const QString& selectionKey(const Job& job) { return job.m_disk_path; }
    static JobPtr jobOf(const KZFileRowView* row) { return row->uploadJobInfo(); }
    template <class View> static void show(View* view, const JobPtr& job) { view->setUploadJobInfo(job); }

    static inline const QString kBottomBarText = QStringLiteral("已加载全部, 共%1个文件正在上传");
    static kit::AttributedString emptyDescription() {
        return KZMessageSetModules::emptyUploadListDescription();
    }
    static inline const QString kDeleteTitle = QStringLiteral("上传文件");
    static inline const QString kDeleteText = QStringLiteral("文件还未上传到云盘，确定要取消上传吗？");
    static inline const QString kDeleteAllText =
        QStringLiteral("文件还未上传完成，确定要删除全部正在上传的文件吗？");
};

struct KZDownloadListTraits {
    using Job = KZDownloadJobOpenInfo;
    using JobPtr = KZDownloadJobOpenInfoPtr;
    using Proxy = KZDownloadMgrProxy;
    using OperationsCell = KZDownloadFileOperationsCell;
    using CellDelegate = KZDownloadFileOperationsCellDelegate;

    static Proxy* proxy() { return KZDownloadMgrProxy::shareDownloadMgrProxy(); }
    static void requestList() { proxy()->getUnFinishedDownloadJobOpenInfo(); }
    // A download is found again by its destination.
    static const QString& selectionKey(const Job& job) { return job.m_path; }
    static JobPtr jobOf(const KZFileRowView* row) { return row->downloadJobInfo(); }
    template <class View> static void show(View* view, const JobPtr& job) { view->setDownloadJobInfo(job); }

    static inline const QString kBottomBarText = QStringLiteral("已加载全部, 共%1个文件正在下载");
    static kit::AttributedString emptyDescription() {
        return KZMessageSetModules::emptyDownloadListDescription();
    }
    static inline const QString kDeleteTitle = QStringLiteral("下载文件");
    static inline const QString kDeleteText = QStringLiteral("文件还未下载到本地，确认要取消下载吗？");
    static inline const QString kDeleteAllText =
        QStringLiteral("文件还未下载完成，确定要删除全部正在下载的文件吗？");
};
