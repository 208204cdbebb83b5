// Pictures of the workbench on each of its six tabs, of the contents grid's commands and of
// the clear question, for looking at: run under a virtual display with a CJK font
// (scripts/maker-screenshots.sh). Arguments: a maker folder (a copy: the window saves its
// project list there on closing) and the folder the PNG files go to.
#include "maker/ui/contentspanel.h"
#include "maker/ui/frmcheck.h"
#include "maker/ui/frmmain.h"
#include "qt/resschemehandler.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineView>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s MAKER-FOLDER OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    folio::qt::ResSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    const QString maker = QString::fromLocal8Bit(argv[1]);
    const QDir out(QString::fromLocal8Bit(argv[2]));
    QDir().mkpath(out.path());

    folio::maker::FrmmainOptions options;
    options.makerFolder = maker;
    folio::maker::Frmmain window(options);
    window.resize(1100, 720);
    window.show();
    QTest::qWait(1500);

    // Something real in every pane: the sample's pages in the explorer, one chapter previewed,
    // the contents list as the project keeps it, a page's code and a few links.
    window.showExplorerFolder(maker + QStringLiteral("/Book"));
    if (auto* list2 = window.findChild<QListWidget*>(QStringLiteral("List2"))) {
        for (int i = 0; i < list2->count(); ++i) {
            list2->item(i)->setSelected(list2->item(i)->text().endsWith(QStringLiteral(".html")));
        }
        const auto hits = list2->findItems(QStringLiteral("chapter01.html"), Qt::MatchExactly);
        if (!hits.isEmpty()) {
            window.openPageEntry(list2->row(hits.first()));
        }
    }
    window.contentsPanel()->setLinks(
        {QStringLiteral("第一章"), QStringLiteral("第二章"), QStringLiteral("第三章")},
        {QStringLiteral("http://example.org/1.html"), QStringLiteral("http://example.org/2.html"),
         QStringLiteral("http://example.org/3.html")});
    QTest::qWait(2500);

    const char* names[] = {"contents", "browse", "contents-preview", "code", "address", "settings"};
    for (int tab = 1; tab <= 6; ++tab) {
        window.selectTab(tab);
        QTest::qWait(tab == 3 ? 3000 : 800);
        const QString file = out.filePath(
            QStringLiteral("frmmain-%1-%2.png").arg(tab).arg(QString::fromLatin1(names[tab - 1])));
        if (!window.grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }

    // The grid's own commands with a block of rows chosen, and the question "清空目录" asks
    // (answered No, so the list stays).
    window.selectTab(1);
    if (auto* panel = window.contentsPanel()) {
        panel->selectRows({3, 4, 5});
        QTest::qWait(500);
        const QString commands = out.filePath(QStringLiteral("frmmain-7-contents-commands.png"));
        window.grab().save(commands);
        std::printf("%s\n", qPrintable(commands));
        const QString question = out.filePath(QStringLiteral("frmmain-8-clear-question.png"));
        QTimer::singleShot(1000, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                box->grab().save(question);
                std::printf("%s\n", qPrintable(question));
                box->button(QMessageBox::No)->click();
            }
        });
        window.contentsPanel()->action(folio::maker::GridButton::ClearContents)->trigger();
    }

    // The question "编译文件" asks when no page is selected (answered No: nothing compiled).
    window.selectTab(6);
    if (auto* pages = window.findChild<QListWidget*>(QStringLiteral("List2"))) {
        pages->clearSelection();
    }
    const QString compile = out.filePath(QStringLiteral("frmmain-9-compile-question.png"));
    QTimer::singleShot(1000, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->grab().save(compile);
            std::printf("%s\n", qPrintable(compile));
            // No is answered with the message that nothing was compiled, which goes too.
            QTimer::singleShot(1000, [] {
                if (auto* done = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    done->accept();
                }
            });
            box->button(QMessageBox::No)->click();
        }
    });
    window.toolbars().action(folio::maker::OutputButton::Compile)->trigger();

    // "检查" on the sample project with a missing picture, and a finding opened in the code view.
    QFile page(QDir(maker).filePath(QStringLiteral("Book/index.html")));
    if (page.open(QIODevice::Append)) {
        page.write("\r\n<img src=\"images/cover.png\">\r\n");
        page.close();
    }
    window.toolbars().action(folio::maker::OutputButton::Check)->trigger();
    if (auto* report = window.frmCheck()) {
        QTest::qWait(800);
        const QString shot = out.filePath(QStringLiteral("frmmain-10-check.png"));
        report->grab().save(shot);
        std::printf("%s\n", qPrintable(shot));
        const auto items = report->list()->findItems(QStringLiteral("cover"), Qt::MatchContains, 3);
        if (!items.isEmpty())
            emit report->list()->itemDoubleClicked(items.front(), 0);
        QTest::qWait(800);
        const QString code = out.filePath(QStringLiteral("frmmain-11-check-code.png"));
        window.grab().save(code);
        std::printf("%s\n", qPrintable(code));
    }
    window.close();
    return 0;
}
