#include "support/ServiceFixture.h"
#include "service/Sha1.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace nubo::test {

ServiceFixture::ServiceFixture() {
    auto opened = EmbeddedCloudService::open(m_dir.path() + QStringLiteral("/service"));
    if (!opened.ok())
        ADD_FAILURE() << "service did not open: " << opened.error.localizedDescription().toStdString();
    m_service = opened.value;
}

ServiceFixture::~ServiceFixture() {
    if (m_installed)
        CloudService::setShared(nullptr);
}

void ServiceFixture::installAsShared() {
    CloudService::setShared(m_service);
    m_installed = true;
}

ServiceNode ServiceFixture::mkdir(const QString& path) {
    ServiceNode current;
    current.nid = CloudService::kRootId;
    current.isDir = true;
    current.path = QStringLiteral("/");
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        auto children = m_service->children(current.nid);
        bool found = false;
        for (const ServiceNode& c : children.value) {
            if (c.name == part) {
                current = c;
                found = true;
                break;
            }
        }
        if (!found) {
            auto made = m_service->createFolder(current.nid, part);
            if (!made.ok()) {
                ADD_FAILURE() << "mkdir " << path.toStdString() << ": "
                              << made.error.localizedDescription().toStdString();
                return {};
            }
            current = made.value;
        }
    }
    return current;
}

ServiceNode ServiceFixture::putFile(const QString& path, const QByteArray& content) {
    const int cut = int(path.lastIndexOf(QLatin1Char('/')));
    const ServiceNode parent = mkdir(path.left(cut));
    const QString name = path.mid(cut + 1);
    const QStringList blocks = blockHashes(content);
    auto up = m_service->beginUpload(parent.nid, name, quint64(content.size()), sha1(content), blocks);
    if (!up.ok()) {
        ADD_FAILURE() << "upload " << path.toStdString() << ": "
                      << up.error.localizedDescription().toStdString();
        return {};
    }
    for (int i = 0; i < blocks.size(); ++i) {
        if (up.value.present.value(i))
            continue;
        const QByteArray block =
            content.mid(qsizetype(i) * CloudService::kBlockSize, CloudService::kBlockSize);
        if (BWError err = m_service->putBlock(up.value.uploadId, i, block, blocks.at(i))) {
            ADD_FAILURE() << "block " << i << ": " << err.localizedDescription().toStdString();
            return {};
        }
    }
    auto node = m_service->commitUpload(up.value.uploadId, true);
    if (!node.ok())
        ADD_FAILURE() << "commit " << path.toStdString() << ": "
                      << node.error.localizedDescription().toStdString();
    return node.value;
}

QByteArray ServiceFixture::readAll(qint64 nid) {
    auto n = m_service->node(nid);
    auto bytes = m_service->readRange(nid, 0, n.value.size);
    if (!bytes.ok())
        ADD_FAILURE() << "read " << nid << ": " << bytes.error.localizedDescription().toStdString();
    return bytes.value;
}

QStringList ServiceFixture::blockHashes(const QByteArray& content) {
    QStringList out;
    for (qsizetype at = 0; at < content.size(); at += CloudService::kBlockSize)
        out.append(Sha1::of(content.mid(at, CloudService::kBlockSize)));
    return out;
}

QString ServiceFixture::sha1(const QByteArray& content) {
    return Sha1::of(content);
}

QByteArray ServiceFixture::randomBytes(qint64 size, quint32 seed) {
    QRandomGenerator rng(seed);
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = char(rng.generate() & 0xff);
    return out;
}

} // namespace nubo::test
