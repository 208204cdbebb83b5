// The reader's about box (see frmabout.h).
#include "reader/ui/frmabout.h"

#include "qt/language.h"

#include <QLabel>
#include <QPushButton>

namespace folio::readerui {

frmAbout::frmAbout(QWidget* parent, const QString& appTitle, const QString& version,
                   const QString& programFolder)
    : AboutBox(parent, appTitle, version,
               folio::qt::CurrentLanguageText(
                   programFolder, "AboutDescription",
                   "把一个文件夹的网页制作成一个电子书程序，并阅读这样的电子书：目录、"
                   "翻页、缩放、查找、书签、全屏阅读和语音朗读。"),
               QSize(380, 200)) {
    setModal(true);
    // The title and the version are the program's own: the caption walk would put a fixed
    // text there, so these follow the language one by one.
    if (auto* line = findChild<QLabel*>(QStringLiteral("lblVersion")))
        line->setText(
            folio::qt::CurrentLanguageText(programFolder, "AboutVersion", "版本 %1").arg(version));
    if (auto* ok = findChild<QPushButton*>(QStringLiteral("cmdOK")))
        ok->setText(folio::qt::CurrentLanguageText(programFolder, "cmdOK", "确定"));
}

} // namespace folio::readerui
