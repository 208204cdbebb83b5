// The reader's about box (see frmabout.h).
#include "reader/ui/frmabout.h"

namespace folio::readerui {

frmAbout::frmAbout(QWidget* parent, const QString& appTitle, const QString& version)
    : AboutBox(parent, appTitle, version,
               QStringLiteral("把一个文件夹的网页制作成一个电子书程序，并阅读这样的电子书：目录、"
                              "翻页、缩放、查找、书签、全屏阅读和语音朗读。"),
               QSize(380, 200)) {
    setModal(true);
}

} // namespace folio::readerui
