#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Nubo"));
    QCoreApplication::setApplicationName(QStringLiteral("Nubo"));
    QLabel label(QStringLiteral("Nubo"));
    label.resize(960, 640);
    label.show();
    return app.exec();
}
