// The icon chooser and preview (see iconchooser.h).
#include "maker/ui/iconchooser.h"
#include "qt/language.h"

#include "core/fileio.h"
#include "core/pe.h"
#include "core/peicons.h"
#include "maker/compiler/icon.h"
#include "maker/generators/convert.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

#include <utility>

namespace folio::maker {

namespace {

constexpr int PreviewSide = 48;

// An icon image painted by Qt's icon decoder, inside the one-image .ico the PE layer writes.
QImage decodeIconImage(std::span<const std::uint8_t, 12> entryHead,
                       std::span<const std::uint8_t> image) {
    const Bytes ico = folio::pe::singleIconFile(entryHead, image);
    return QImage::fromData(reinterpret_cast<const uchar*>(ico.data()), qsizetype(ico.size()),
                            "ICO");
}

Result<QImage> iconOfExecutable(const std::string& path) {
    auto bytes = folio::readFileBytes(path);
    FOLIO_TRY(bytes);
    auto image = folio::pe::PeImage::parse(*bytes, path);
    FOLIO_TRY(image);
    auto icon = folio::pe::firstIcon(*image);
    FOLIO_TRY(icon);
    QImage decoded = decodeIconImage(icon->entryHead, icon->image);
    if (decoded.isNull())
        return fail(path + ": icon " + std::to_string(icon->id) +
                    " is not a picture that can be shown");
    return decoded;
}

} // namespace

Result<QImage> firstIconImage(const std::string& path) {
    const QString suffix = QFileInfo(qs(path)).suffix().toLower();
    if (suffix == QLatin1String("ico")) {
        auto icon = folio::icon::LoadIconFile(path);
        FOLIO_TRY(icon);
        QImage decoded = decodeIconImage(icon->entry.groupEntryBytes(), icon->image);
        if (decoded.isNull())
            return fail(path + ": the first icon image is not a picture that can be shown");
        return decoded;
    }
    return iconOfExecutable(path);
}

IconChooser::IconChooser(QWidget* parent, QLineEdit* txtIconPath, QString makerFolder,
                         folio::Observer& observer, FileChooser chooseFile)
    : QWidget(parent), m_txtIconPath(txtIconPath), m_makerFolder(std::move(makerFolder)),
      m_observer(observer),
      m_chooseFile(chooseFile ? std::move(chooseFile) : defaultFileChooser()) {
    m_picIcon = new QLabel(this);
    m_picIcon->setObjectName(QStringLiteral("picIcon"));
    m_picIcon->setProperty(folio::qt::PictureProperty, true); // a preview, not a caption
    m_picIcon->setFixedSize(PreviewSide, PreviewSide);
    m_picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_picIcon->setFrameShape(QFrame::StyledPanel);
    // The two buttons carry no name of the language file, so the caption walk leaves them.
    m_load = new QPushButton(QStringLiteral("载入图标"), this);
    m_default = new QPushButton(QStringLiteral("设为默认"), this);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_picIcon);
    layout->addWidget(m_load);
    layout->addWidget(m_default);
    layout->addStretch();

    connect(m_load, &QPushButton::clicked, this, &IconChooser::loadIcon);
    connect(m_default, &QPushButton::clicked, this, &IconChooser::setDefault);

    // The setting a project brought along is shown quietly: a file gone since is for the
    // compilation to report.
    if (m_txtIconPath && !m_txtIconPath->text().isEmpty())
        show(m_txtIconPath->text(), false);
}

void IconChooser::loadIcon() {
    const QString path =
        m_chooseFile(this, QStringLiteral("载入图标"), QString(), QString::fromUtf8(IconFilter));
    if (!path.isEmpty())
        takeFile(path);
}

void IconChooser::takeFile(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : path.mid(dot + 1).toLower();
    if (extension == QLatin1String("ico")) {
        // A file that is no icon would only fail at the end of the next compilation; it is
        // refused now and the setting keeps its value.
        if (show(path) && m_txtIconPath)
            m_txtIconPath->setText(path);
    } else if (extension == QLatin1String("exe")) {
        show(path);
    }
}

void IconChooser::setDefault() {
    show(m_makerFolder + QStringLiteral("/folioPage/folioPage.dat"));
    if (m_txtIconPath)
        m_txtIconPath->clear();
}

bool IconChooser::show(const QString& path, bool report) {
    m_picIcon->clear();
    m_shown = QImage();
    auto image = firstIconImage(utf8(path));
    if (!image) {
        if (report)
            m_observer.messageBox(image.error().message, folio::generators::MakerTitle,
                                  folio::MessageIcon::Exclamation);
        return false;
    }
    m_shown = *image;
    // Drawn at the top-left corner at its own size; a large image is scaled into the box.
    QImage shown = m_shown;
    if (shown.width() > PreviewSide || shown.height() > PreviewSide)
        shown =
            shown.scaled(PreviewSide, PreviewSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_picIcon->setPixmap(QPixmap::fromImage(shown));
    return true;
}

} // namespace folio::maker
