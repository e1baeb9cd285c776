#pragma once

#include "foundation/BWError.h"

#include <QString>
#include <QtGlobal>
#include <memory>

// The life of a transfer job, as stored and as the transfer pages show it.
enum KZTransportJobStatus : qint32 {
    KZTransportJobStatusNone = 0,
    KZTransportJobStatusRunning = 1,
    KZTransportJobStatusPaused = 2,
    KZTransportJobStatusWaiting = 3,
    KZTransportJobStatusError = 4,
    KZTransportJobStatusFinished = 5,
    KZTransportJobStatusCancelled = 6,
    // Downloads only: the service keeps the file frozen until it is thawed.
    KZTransportJobStatusWaitingThaw = 7,
};

// Why a paused job is paused: the network's return resumes only what the network paused.
enum KZTransportPausedReason : qint32 {
    KZTransportPausedReasonNone = 0,
    KZTransportPausedReasonUser = 1,
    KZTransportPausedReasonNetwork = 2,
};

// What an engine tells about one upload job.
struct KZUploadJobInfo {
    QString m_path;      // cloud path of the uploaded file; the job's key
    QString m_disk_path; // local source path
    quint64 m_fsize = 0;
    quint32 m_status = KZTransportJobStatusWaiting;
    qint32 m_pausedReason = KZTransportPausedReasonNone;
    quint32 m_jobFinishedTime = 0;
    double m_progress = 0;
    double m_speed = 0;
    qint64 m_finishedSize = 0;
    BWError m_error;
};

// What an engine tells about one download job.
struct KZDownloadJobInfo {
    QString m_path;      // local destination path; the job's key
    QString m_cloudFile; // cloud path of the source
    qint64 m_fsize = 0;
    qint32 m_status = KZTransportJobStatusWaiting;
    qint32 m_pausedReason = KZTransportPausedReasonNone;
    quint32 m_jobFinishedTime = 0;
    double m_progress = 0;
    double m_speed = 0;
    qint64 m_finishedSize = 0;
    BWError m_error;
};

// The proxies keep one open info per job and update it in place, so that the pages find a job
// by the identity of this object.
template <class Info> struct KZJobOpenInfo : Info {
    explicit KZJobOpenInfo(const Info& info) : Info(info) {}
    void update(const Info& info) { static_cast<Info&>(*this) = info; }
    bool m_selected = false;
};

using KZUploadJobOpenInfo = KZJobOpenInfo<KZUploadJobInfo>;
using KZDownloadJobOpenInfo = KZJobOpenInfo<KZDownloadJobInfo>;

using KZUploadJobOpenInfoPtr = std::shared_ptr<KZUploadJobOpenInfo>;
using KZDownloadJobOpenInfoPtr = std::shared_ptr<KZDownloadJobOpenInfo>;
