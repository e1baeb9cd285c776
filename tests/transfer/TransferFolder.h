#pragma once

// A folder that child processes of the transfer tests work in: a service, a per-user database,
// a file to upload and a download folder, checked once the transfers are done.
#include <QByteArray>
#include <QString>

namespace nubo::test {

// A local file to upload ("big.bin"), a cloud file to download ("/cloud.bin") in the service at
// "service", the download folder "dl" and the folder "/up" in the cloud.
void prepareTransferFolder(const QString& dir, const QByteArray& upContent, const QByteArray& downContent);

// What every run must leave once the transfers are done: the uploaded and downloaded files
// intact, no open upload, no temporary file, no partial-file folder, sound databases, both jobs
// recorded finished.
void expectCleanEnd(const QString& dir, const QByteArray& upContent, const QByteArray& downContent);

} // namespace nubo::test
