#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <functional>

class QFileDialog;

namespace kit {

class Window;

// Lets the user pick local files and/or folders, shown as a sheet on a window.
class OpenPanel : public QObject {
    Q_OBJECT
public:
    explicit OpenPanel(QObject* parent = nullptr);
    ~OpenPanel() override;

    void setCanChooseFiles(bool v) { m_files = v; }
    void setCanChooseDirectories(bool v) { m_dirs = v; }
    void setAllowsMultipleSelection(bool v) { m_multiple = v; }
    void setPrompt(const QString& prompt) { m_prompt = prompt; }
    // Where the panel opens; a folder that is gone opens at its nearest existing parent (never
    // wherever the last panel was left).
    void setDirectory(const QString& path) { m_directory = path; }
    // Offers only the files these filters match, as QFileDialog takes them ("图片 (*.png *.jpg)").
    void setNameFilters(const QStringList& filters) { m_nameFilters = filters; }

    // Shows the panel window-modally on `window`; `completion` gets OK/cancel and the chosen
    // URLs (local files). The panel may be deleted from within the completion.
    void beginSheetModalForWindow(Window* window,
                                  std::function<void(bool ok, const QList<QUrl>& urls)> completion);
    QList<QUrl> URLs() const { return m_urls; }
    // Closes an open panel as if cancelled.
    void cancel();

private:
    bool m_files = true;
    bool m_dirs = false;
    bool m_multiple = false;
    QString m_prompt;
    QString m_directory;
    QStringList m_nameFilters;
    QList<QUrl> m_urls;
    QPointer<QFileDialog> m_dialog;
};

// Desktop actions.
namespace workspace {
// Opens a web address (http or https only) in the user's browser.
bool openURL(const QUrl& url);
// Opens a local file with its default application.
bool openFile(const QString& path);
// Shows a local file selected in the desktop's file manager; without the freedesktop
// file-manager service, opens the folder that holds it.
void selectFile(const QString& path);

enum class FileAction { Open, Select };
// Stands in for the desktop in openFile and selectFile, after their checks (tests start no
// desktop programs); an empty function gives the desktop back.
void setFileOpener(std::function<void(FileAction action, const QString& path)> opener);
} // namespace workspace

} // namespace kit
