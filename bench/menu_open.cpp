// The context menu of the file page with 100,000 rows selected, offscreen: from the right
// click on a row to the menu window shown and painted. The baseline is a QMenu with the same
// entries popped up and painted, in the same run.
#include "bench_common.h"
#include "cloud/KZSessionProxy.h"
#include "foundation/SingletonT.h"
#include "kit/TableView.h"
#include "kit/Window.h"
#include "page_bench.h"
#include "service/EmbeddedCloudService.h"
#include "storage/DataPaths.h"
#include "storage/SystemConfig.h"
#include "ui/common/KZFileOperateMenuWindowController.h"
#include "ui/files/KZFilesViewController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

namespace {

constexpr int kChildren = 100000;
constexpr int kRounds = 4 * benchcommon::kRuns;

void send(QWidget* w, QEvent::Type type, QPoint at) {
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::RightButton,
                  type == QEvent::MouseButtonPress ? Qt::RightButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "nubo.*=false");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid() || !pagebench::signInWithBigFolder(dir, kChildren))
        return 1;

    pagebench::PageWindow onScreen(0, pagebench::FrameAt::BeforeShow);
    KZFilesViewController* page = onScreen.page;
    kit::Window& window = onScreen.window;
    pagebench::spinUntil([&] { return page->files().size() == 1; });
    page->openDir(page->files().first());
    pagebench::spinUntil([&] { return page->files().size() == kChildren; });
    page->selectAllRows();
    window.repaint();

    kit::TableView* table = page->tableView();
    const QList<int> shown = table->displayedRows();
    QWidget* rowView = table->rowViewAtRow(shown.value(shown.size() / 2), false);
    if (!rowView || page->selectedFiles().size() != kChildren) {
        std::printf("set-up failed\n");
        return 1;
    }
    const QPoint at(300, rowView->height() / 2);
    std::vector<double> nubo;
    QList<KZFileOperateMenuItemPtr> items;
    for (int round = 0; round < kRounds; ++round) {
        page->closeAllMenus();
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        send(rowView, QEvent::MouseButtonPress, at);
        send(rowView, QEvent::MouseButtonRelease, at);
        kit::Window* menu = page->fileOperateMenu()->window();
        // Rendered whole, as the first frame on screen would be (offscreen windows skip repaint).
        menu->grab();
        nubo.push_back(t.nsecsElapsed() / 1e6);
        if (!menu->isVisible() || page->selectedFiles().size() != kChildren) {
            std::printf("the menu did not open over the whole selection\n");
            return 1;
        }
        items = page->fileOperateMenu()->dataArray();
    }
    page->closeAllMenus();

    // ---- the baseline: a QMenu with the same entries, from the click to its painted window
    std::vector<double> base;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer t;
        t.start();
        QMenu qmenu;
        for (const auto& i : items) {
            if (i->isSeparator())
                qmenu.addSeparator();
            else
                qmenu.addAction(i->title());
        }
        qmenu.popup(rowView->mapToGlobal(at));
        qmenu.grab();
        base.push_back(t.nsecsElapsed() / 1e6);
        qmenu.close();
        QCoreApplication::processEvents();
    }

    using benchcommon::median;
    benchcommon::printSeries("menu_open nubo", nubo, "ms");
    benchcommon::printSeries("menu_open QMenu", base, "ms");
    std::printf("selected=%d entries=%d goal<=16 ms %s\n", int(page->selectedFiles().size()),
                int(items.size()), median(nubo) <= 16 ? "met" : "MISSED");
    benchcommon::ratioForTimes("menu_open", median(nubo), median(base));
    KZSessionProxy::shareSessionProxy()->logoutLocal();
    return 0;
}
