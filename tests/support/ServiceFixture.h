#pragma once

#include "service/EmbeddedCloudService.h"
#include "support/Printers.h"

#include <QTemporaryDir>
#include <memory>

namespace nubo::test {

// A real embedded cloud service in a temporary folder, with helpers that seed trees and files
// through the service's own calls. Failures of the helpers fail the running test.
class ServiceFixture {
public:
    ServiceFixture();
    ~ServiceFixture(); // drops the process-wide service again when it was installed

    EmbeddedCloudService& service() { return *m_service; }
    const std::shared_ptr<EmbeddedCloudService>& shared() const { return m_service; }
    QString folder() const { return m_dir.path(); }

    // Makes this service the process-wide CloudService::shared() until the fixture goes.
    void installAsShared();

    // Creates the folder at the path and any missing folder above it.
    ServiceNode mkdir(const QString& path);
    // Uploads a file with that content (parents created), replacing one of the same name.
    ServiceNode putFile(const QString& path, const QByteArray& content);
    // The whole content of a file.
    QByteArray readAll(qint64 nid);

    // SHA-1 of each kBlockSize block of the content (40 hex digits each).
    static QStringList blockHashes(const QByteArray& content);
    static QString sha1(const QByteArray& content);
    // Deterministic pseudo-random bytes.
    static QByteArray randomBytes(qint64 size, quint32 seed);

private:
    QTemporaryDir m_dir;
    std::shared_ptr<EmbeddedCloudService> m_service;
    bool m_installed = false;
};

} // namespace nubo::test
