// The home-page card editor (see frmhomepage.h).
#include "maker/ui/frmhomepage.h"
#include "qt/language.h"

#include "maker/generators/homepage.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace folio::maker {

namespace gen = folio::generators;

namespace {

constexpr int CoverWidth = 120;
constexpr int CoverHeight = 160;

} // namespace

FrmHomePage::FrmHomePage(QWidget* parent, gen::ContentsList& contents, int row,
                         FileChooser chooseFile)
    : QWidget(parent, Qt::Window), m_contents(contents),
      m_chooseFile(chooseFile ? std::move(chooseFile) : defaultFileChooser()) {
    setObjectName(QStringLiteral("FrmHomePage"));
    setWindowTitle(QStringLiteral("设计首页"));

    static const char* const labels[10] = {nullptr,  "编号：", "子编号：", "标题：",     "链接：",
                                           "作者：", "字数：", "封面：",   "最新章节：", "简介："};
    auto* grid = new QGridLayout;
    int line = 0;
    for (int i = 1; i <= 9; ++i) {
        m_text[i] = new QLineEdit(this);
        m_text[i]->setObjectName(QStringLiteral("Text%1").arg(i));
        if (i == 9) {
            // The state box sits above the synopsis, as the columns run.
            m_combo1 = new QComboBox(this);
            m_combo1->setObjectName(QStringLiteral("Combo1"));
            m_combo1->setEditable(true); // free text is allowed besides the two states
            for (auto state : gen::HomePageStates)
                m_combo1->addItem(QString::fromUtf8(state.data(), qsizetype(state.size())));
            grid->addWidget(new QLabel(QStringLiteral("状态："), this), line, 0);
            grid->addWidget(m_combo1, line, 1, 1, 2);
            ++line;
        }
        grid->addWidget(new QLabel(QString::fromUtf8(labels[i]), this), line, 0);
        grid->addWidget(m_text[i], line, 1);
        if (i == 6)
            grid->addWidget(new QLabel(QStringLiteral("(万字)"), this), line, 2);
        if (i == 7) {
            m_command4 = new QPushButton(QStringLiteral("..."), this);
            m_command4->setObjectName(QStringLiteral("Command4"));
            m_command4->setFixedWidth(36);
            grid->addWidget(m_command4, line, 2);
        }
        ++line;
    }

    auto* coverBox = new QGroupBox(QStringLiteral("封面"), this);
    m_picture1 = new QLabel(coverBox);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setProperty(folio::qt::PictureProperty, true); // a preview, not a caption
    m_picture1->setFixedSize(CoverWidth, CoverHeight);
    m_picture1->setAlignment(Qt::AlignCenter);
    m_picture1->setFrameShape(QFrame::StyledPanel);
    auto* coverLayout = new QVBoxLayout(coverBox);
    coverLayout->addWidget(m_picture1);
    coverLayout->addStretch();

    m_command1 = new QPushButton(QStringLiteral("确定"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setDefault(true);
    m_command2 = new QPushButton(QStringLiteral("取消"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command2);

    auto* top = new QHBoxLayout;
    top->addLayout(grid, 1);
    top->addWidget(coverBox);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    resize(560, 380);

    connect(m_command4, &QPushButton::clicked, this, &FrmHomePage::chooseCover);
    connect(m_command1, &QPushButton::clicked, this, &FrmHomePage::apply);
    connect(m_command2, &QPushButton::clicked, this, &QWidget::close);

    setRow(row);
}

void FrmHomePage::setRow(int row) {
    m_row = row;
    const gen::ContentsEntry f = gen::homePageFields(m_contents, row);
    const std::string* values[] = {&f.ID,     &f.SID, &f.Caption, &f.URL,
                                   &f.author, &f.len, &f.img,     &f.newchapter};
    for (int i = 1; i <= 8; ++i)
        m_text[i]->setText(qs(*values[i - 1]));
    m_combo1->setCurrentText(qs(f.state));
    m_text[9]->setText(qs(f.synopsis));
    showCover(qs(f.img));
}

void FrmHomePage::chooseCover() {
    const QString path = m_chooseFile(
        this, QStringLiteral("封面"), QString(),
        QString::fromUtf8(gen::CoverFilter.data(), qsizetype(gen::CoverFilter.size())));
    if (path.isEmpty())
        return;
    m_text[7]->setText(path);
    showCover(path);
}

void FrmHomePage::apply() {
    // The trailing blank row is never read by the generators, and the list must keep it
    // blank: the fields of that row are not stored.
    if (m_row < 1 || m_row >= m_contents.rowCount() - 1)
        return;
    gen::ContentsEntry f;
    std::string* values[] = {&f.ID,     &f.SID, &f.Caption, &f.URL,
                             &f.author, &f.len, &f.img,     &f.newchapter};
    for (int i = 1; i <= 8; ++i)
        *values[i - 1] = utf8(m_text[i]->text());
    f.state = utf8(m_combo1->currentText());
    f.synopsis = utf8(m_text[9]->text());
    if (gen::applyHomePageFields(m_contents, m_row, f))
        emit contentsChanged();
    // "确定" ends the editing, as an OK button does; "取消" leaves without writing.
    close();
}

bool FrmHomePage::hasCoverPreview() const {
    return !m_picture1->pixmap().isNull();
}

void FrmHomePage::showCover(const QString& path) {
    m_picture1->clear();
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull())
        return;
    m_picture1->setPixmap(QPixmap::fromImage(
        image.scaled(CoverWidth, CoverHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

} // namespace folio::maker
