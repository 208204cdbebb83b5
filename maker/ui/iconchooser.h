// The book icon's chooser beside TxtIconPath: "载入图标" takes an .ico (or previews an
// executable's own icon), "设为默认" goes back to the reader template's icon; picIcon shows it.
#pragma once

#include "core/error.h"
#include "core/observer.h"
#include "maker/ui/companionsupport.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace folio::maker {

// The first icon image of an .ico file, or of the first icon group of a PE32 executable (a
// Book image, the reader template), decoded for painting. The error names the file and what
// is wrong with it.
Result<QImage> firstIconImage(const std::string& path);

// The chooser's file filter.
inline constexpr const char* IconFilter = "所有支持类型文件(*.ICO,*.EXE)|*.ICO;*.EXE|ICO图标文件( "
                                          "*.ICO)|*.ICO|EXE可执行文件 (*.EXE)|*.EXE";

class IconChooser : public QWidget {
    Q_OBJECT
  public:
    // `txtIconPath` is the workbench's icon setting; `makerFolder` holds
    // folioPage/folioPage.dat; `observer` shows a refused file.
    IconChooser(QWidget* parent, QLineEdit* txtIconPath, QString makerFolder,
                folio::Observer& observer, FileChooser chooseFile = {});

    // "载入图标" as a click would run it.
    void loadIcon();
    // The chosen file as "载入图标" handles it: ".ico" becomes the setting, ".exe" is only
    // previewed, anything else does nothing.
    void takeFile(const QString& path);
    // "设为默认".
    void setDefault();

    QLabel* picIcon() const { return m_picIcon; }
    // What picIcon shows now (null when empty).
    const QImage& shownImage() const { return m_shown; }

  private:
    // Paints the first icon image of `path`; a file that has none is named in a message box
    // when `report` is set.
    bool show(const QString& path, bool report = true);

    QPointer<QLineEdit> m_txtIconPath;
    QString m_makerFolder;
    folio::Observer& m_observer;
    FileChooser m_chooseFile;
    QImage m_shown;

    QLabel* m_picIcon = nullptr;
    QPushButton* m_load = nullptr;
    QPushButton* m_default = nullptr;
};

} // namespace folio::maker
