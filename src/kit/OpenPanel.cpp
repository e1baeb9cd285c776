#include "kit/OpenPanel.h"

#include "kit/Window.h"

#include <QAbstractItemView>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QProcess>
#include <QStandardPaths>

namespace kit {

namespace {

// A file dialog that accepts files and folders together: Open takes what is selected instead
// of entering a selected folder. Choosing files only, Open on a folder enters it, as usual.
class FilesAndFoldersDialog : public QFileDialog {
public:
    FilesAndFoldersDialog(QWidget* parent, bool takesFolders)
        : QFileDialog(parent), m_takesFolders(takesFolders) {}
    void accept() override {
        if (!m_takesFolders) {
            QFileDialog::accept();
            return;
        }
        QStringList picked;
        for (QAbstractItemView* view : findChildren<QAbstractItemView*>()) {
            auto* model = qobject_cast<QFileSystemModel*>(view->model());
            if (!model || !view->selectionModel())
                continue;
            for (const QModelIndex& i : view->selectionModel()->selectedRows())
                picked.append(model->filePath(i));
            if (!picked.isEmpty())
                break;
        }
        if (picked.isEmpty()) {
            QFileDialog::accept();
            return;
        }
        picked.removeDuplicates();
        m_picked = picked;
        done(QDialog::Accepted);
    }
    QStringList picked() const { return m_picked.isEmpty() ? selectedFiles() : m_picked; }

private:
    const bool m_takesFolders;
    QStringList m_picked;
};

} // namespace

OpenPanel::OpenPanel(QObject* parent) : QObject(parent) {}

OpenPanel::~OpenPanel() {
    delete m_dialog.data();
}

void OpenPanel::beginSheetModalForWindow(Window* window,
                                         std::function<void(bool, const QList<QUrl>&)> completion) {
    if (m_dialog)
        return;
    auto* dialog = new FilesAndFoldersDialog(window, m_dirs);
    m_dialog = dialog;
    dialog->setOption(QFileDialog::DontUseNativeDialog, m_files && m_dirs);
    if (m_dirs && !m_files) {
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly, true);
    } else {
        dialog->setFileMode(m_multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    if (m_files && m_dirs && m_multiple)
        for (QAbstractItemView* view : dialog->findChildren<QAbstractItemView*>())
            view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (!m_nameFilters.isEmpty())
        dialog->setNameFilters(m_nameFilters);
    if (!m_prompt.isEmpty())
        dialog->setLabelText(QFileDialog::Accept, m_prompt);
    if (!m_directory.isEmpty()) {
        QString start = QDir::cleanPath(QFileInfo(m_directory).absoluteFilePath());
        while (!QFileInfo(start).isDir() && !QDir(start).isRoot())
            start = QFileInfo(start).absolutePath();
        dialog->setDirectory(start);
    }
    dialog->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    QPointer<OpenPanel> self(this);
    connect(dialog, &QDialog::finished, this, [self, dialog, completion](int result) {
        QList<QUrl> urls;
        const bool ok = result == QDialog::Accepted;
        if (ok)
            for (const QString& p : dialog->picked())
                urls.append(QUrl::fromLocalFile(p));
        dialog->deleteLater();
        if (self)
            self->m_urls = urls;
        if (completion)
            completion(ok, ok ? urls : QList<QUrl>());
    });
    dialog->open();
}

void OpenPanel::cancel() {
    if (m_dialog)
        m_dialog->reject();
}

namespace workspace {

namespace {
std::function<void(FileAction, const QString&)>& fileOpener() {
    static std::function<void(FileAction, const QString&)> opener;
    return opener;
}
} // namespace

void setFileOpener(std::function<void(FileAction action, const QString& path)> opener) {
    fileOpener() = std::move(opener);
}

bool openURL(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return false;
    return QDesktopServices::openUrl(url);
}

bool openFile(const QString& path) {
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    if (fileOpener()) {
        fileOpener()(FileAction::Open, path);
        return true;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void selectFile(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return;
    if (fileOpener())
        return fileOpener()(FileAction::Select, path);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    const QString dbusSend = QStandardPaths::findExecutable(QStringLiteral("dbus-send"));
    if (dbusSend.isEmpty()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        return;
    }
    // The freedesktop file-manager interface; any failure falls back to opening the folder.
    auto* proc = new QProcess;
    QObject::connect(proc, &QProcess::finished, proc, [proc, folder](int code, QProcess::ExitStatus status) {
        if (code != 0 || status != QProcess::NormalExit)
            QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        proc->deleteLater();
    });
    QObject::connect(proc, &QProcess::errorOccurred, proc, [proc, folder](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
            proc->deleteLater();
        }
    });
    proc->start(dbusSend,
                {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                 QStringLiteral("--dest=org.freedesktop.FileManager1"), QStringLiteral("--type=method_call"),
                 QStringLiteral("/org/freedesktop/FileManager1"),
                 QStringLiteral("org.freedesktop.FileManager1.ShowItems"),
                 QStringLiteral("array:string:") +
                     QString::fromUtf8(QUrl::fromLocalFile(info.absoluteFilePath()).toEncoded())
                         .replace(QLatin1Char(','), QStringLiteral("%2C")),
                 QStringLiteral("string:")});
}

} // namespace workspace

} // namespace kit
