// The workbench's about box (see frmabout_maker.h).
#include "maker/ui/frmabout_maker.h"

namespace folio::maker {

frmAbout::frmAbout(QWidget* parent, const QString& appTitle, const QString& version)
    : AboutBox(
          parent, appTitle, version,
          QStringLiteral("电子书制作工作台：收集网页、生成目录页和首页、文本与网页互相转换、"
                         "按标题批量改名、下载网络章节，最后把整个文件夹编译成一个电子书程序。"),
          QSize(400, 210)) {}

} // namespace folio::maker
