// Test entry point: a QApplication on the offscreen platform, with every XDG folder and HOME
// pointed into a temporary folder so that no test touches the user's real files.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/nubo-test-home-XXXXXX"));
    if (!home.isValid())
        return 2;
    const QByteArray root = home.path().toUtf8();
    qputenv("HOME", root);
    qputenv("XDG_DATA_HOME", root + "/.local/share");
    qputenv("XDG_CONFIG_HOME", root + "/.config");
    qputenv("XDG_CACHE_HOME", root + "/.cache");
    qputenv("XDG_RUNTIME_DIR", root + "/.runtime");
    // Temporary folders go inside this one too: child processes that a test kills (and folders a
    // failed test leaves) are then removed with it instead of piling up in the shared /tmp.
    qputenv("TMPDIR", root);
    QDir().mkpath(home.path() + QStringLiteral("/.runtime"));
    QFile::setPermissions(home.path() + QStringLiteral("/.runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (qEnvironmentVariableIsEmpty("LANG"))
        qputenv("LANG", "C.UTF-8");

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("NuboTest"));
    QCoreApplication::setApplicationName(QStringLiteral("NuboTest"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
