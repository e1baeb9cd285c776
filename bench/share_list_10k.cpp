// The valid-links list showing 10,000 links, offscreen: from the list request to the first
// painted frame. The baseline makes the same request through the session proxy and shows the same
// rows and columns in a plain QTableView, in the same run.
#include "bench_common.h"
#include "cloud/KZSessionProxy.h"
#include "foundation/DisplayText.h"
#include "kit/Window.h"
#include "service/EmbeddedCloudService.h"
#include "session_bench.h"
#include "shell/KZTools.h"
#include "storage/DataPaths.h"
#include "ui/share/KZShareText.h"
#include "ui/share/KZShareValidFilesViewController.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

namespace {

constexpr int kLinks = 10000;

template <class F> void spinUntil(F done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The list's six columns over the same records.
class SharesModel : public QAbstractTableModel {
public:
    explicit SharesModel(QList<ShareInfoPtr> rows) : m_rows(std::move(rows)) {}
    int rowCount(const QModelIndex& = {}) const override { return int(m_rows.size()); }
    int columnCount(const QModelIndex& = {}) const override { return 6; }
    QVariant data(const QModelIndex& index, int role) const override {
        const ShareInfoPtr& s = m_rows.at(index.row());
        if (role == Qt::DecorationRole && index.column() == 0)
            return KZTools::getDefaultIconForShareInfo(s).pixmap();
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case 0:
            return s->desc();
        case 1:
            return nubo::text::fixedRootPath(s->fpath());
        case 2:
            return KZTools::convertSizeToReadable(quint64(s->count_size().toDouble()));
        case 3:
            return s->password().isEmpty() ? QStringLiteral("-") : s->password();
        case 4:
            return KZShareText::expireText(s->expire());
        default:
            return s->count_download();
        }
    }

private:
    QList<ShareInfoPtr> m_rows;
};

class ListWaiter : public QObject, public KZrequestShareGetListDelegate {
public:
    QVariantList list;
    bool done = false;
    void kzSessionRequestShareGetList(KZAbstractSession*, qint64, const QVariantList& l,
                                      const QVariantMap&) override {
        list = l;
        done = true;
    }
    void kzSessionRequestShareGetListFail(KZAbstractSession*, qint64, const QVariantMap&,
                                          const BWError&) override {
        done = true;
    }
};

bool seed(nubo::EmbeddedCloudService& service) {
    nubo::Database& db = service.database();
    nubo::Database::Transaction t(db);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    nubo::Query ins = db.query(QStringLiteral(
        "INSERT INTO shares (sid, shorturl, password, expire, expire_id, status, name, fpath, link_type,"
        " count_size, nids_md5, ctime, mtime) VALUES (?, ?, ?, ?, '7', 0, ?, ?, ?, ?, '', ?, ?)"));
    for (int i = 1; i <= kLinks; ++i) {
        ins.bind(1, qint64(i)).bind(2, QStringLiteral("link%1").arg(i));
        ins.bind(3, i % 3 ? QString() : QStringLiteral("ab%1").arg(i % 100, 2, 10, QLatin1Char('0')));
        ins.bind(4, now + 86400 * (1 + i % 7))
            .bind(5, QStringLiteral("report_%1.%2").arg(i).arg(i % 2 ? "pdf" : "jpg"));
        ins.bind(6, QStringLiteral("/projects/p%1").arg(i % 50)).bind(7, i % 10 == 0 ? 1 : 0);
        ins.bind(8, qint64(i) * 4099).bind(9, now).bind(10, now);
        if (ins.exec())
            return false;
        ins.reset();
    }
    return t.commit().isNull();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "nubo.*=false");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    nubo::paths::setDataFolder(dir.path() + QStringLiteral("/data"));
    auto opened = nubo::EmbeddedCloudService::open(dir.path() + QStringLiteral("/service"));
    if (!opened.ok() || !seed(*opened.value)) {
        std::printf("seeding failed\n");
        return 1;
    }
    nubo::CloudService::setShared(opened.value);
    if (!sessionbench::signIn())
        return 1;

    // ---- the list
    std::vector<double> nubo;
    for (int round = 0; round < benchcommon::kRuns; ++round) {
        auto* list = new KZShareValidFilesViewController;
        kit::Window window;
        window.setContentSize(QSizeF(1200, 800));
        window.contentView()->addSubview(list->view());
        list->view()->setFrame(window.contentView()->bounds());
        window.show();
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        list->requestShareList();
        spinUntil([&] { return list->shareList().size() == kLinks; });
        window.repaint();
        nubo.push_back(t.nsecsElapsed() / 1e6);
        delete list;
    }

    // ---- the baseline
    std::vector<double> base;
    for (int round = 0; round < benchcommon::kRuns; ++round) {
        QTableView view;
        view.resize(1200, 800);
        view.verticalHeader()->setDefaultSectionSize(52);
        view.verticalHeader()->hide();
        view.show();
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        ListWaiter waiter;
        KZSessionProxy::shareSessionProxy()->requestShareGetList(&waiter, {});
        spinUntil([&] { return waiter.done; });
        QList<ShareInfoPtr> rows;
        for (const QVariant& v : waiter.list) {
            ShareInfoPtr s = ShareInfo::initWithDict(v.toMap());
            if (s->status().toInt() == 0)
                rows.append(s);
        }
        SharesModel model(rows);
        view.setModel(&model);
        view.repaint();
        view.viewport()->repaint();
        base.push_back(t.nsecsElapsed() / 1e6);
        view.setModel(nullptr);
    }
    KZSessionProxy::shareSessionProxy()->logoutLocal();

    benchcommon::printSeries("share list, request to first frame (kit table)", nubo, "ms");
    benchcommon::printSeries("share list, request to first frame (QTableView)", base, "ms");
    std::printf("links=%d (machine shared with other work; figures as measured)\n", kLinks);
    benchcommon::ratioForTimes("share_list_10k", benchcommon::median(nubo), benchcommon::median(base));
    return 0;
}
