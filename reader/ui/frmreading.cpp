// The reading settings panel (see frmreading.h).
#include "reader/ui/frmreading.h"

#include "qt/language.h"
#include "reader/ui/uitext.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace folio::readerui {

namespace {
constexpr reader::Theme Themes[] = {reader::Theme::Original, reader::Theme::Sepia,
                                    reader::Theme::Night, reader::Theme::Black,
                                    reader::Theme::Custom};
constexpr const char* ThemeKeys[] = {"ReadingThemeOriginal", "ReadingThemeSepia",
                                     "ReadingThemeNight", "ReadingThemeBlack",
                                     "ReadingThemeCustom"};
} // namespace

FrmReading::FrmReading(QWidget* parent, const reader::ReadingSettings& s, QString programFolder)
    : QDialog(parent), m_programFolder(std::move(programFolder)) {
    setObjectName(QStringLiteral("FrmReading"));
    setWindowTitle(text("FrmReading", "阅读设置"));
    auto* form = new QFormLayout;

    m_theme = new QComboBox(this);
    m_theme->setObjectName(QStringLiteral("ComTheme"));
    for (std::size_t i = 0; i < std::size(Themes); ++i)
        m_theme->addItem(text(ThemeKeys[i], std::string(reader::themeCaption(Themes[i])).c_str()));
    form->addRow(text("LabelTheme", "主题："), m_theme);

    auto* colours = new QHBoxLayout;
    m_foreground = new QPushButton(text("CmdForeground", "文字颜色"), this);
    m_foreground->setObjectName(QStringLiteral("CmdForeground"));
    m_background = new QPushButton(text("CmdBackground", "背景颜色"), this);
    m_background->setObjectName(QStringLiteral("CmdBackground"));
    colours->addWidget(m_foreground);
    colours->addWidget(m_background);
    form->addRow(text("LabelColours", "自定义颜色："), colours);

    m_font = new QComboBox(this);
    m_font->setObjectName(QStringLiteral("ComFont"));
    m_font->addItem(text("FontOfTheBook", "书中的字体"), QString());
    // The Chinese families first: most books read here are Chinese.
    QStringList families = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    for (const QString& f : QFontDatabase::families())
        if (!families.contains(f))
            families << f;
    for (const QString& f : families)
        m_font->addItem(f, f);
    form->addRow(text("LabelFont", "字体："), m_font);

    auto spin = [this](const char* name, int max, int step) {
        auto* box = new QSpinBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(0, max);
        box->setSingleStep(step);
        box->setSpecialValueText(text("ValueOfTheBook", "书中的"));
        return box;
    };
    auto decimal = [this](const char* name, double max) {
        auto* box = new QDoubleSpinBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(0, max);
        box->setSingleStep(0.1);
        box->setDecimals(1);
        box->setSpecialValueText(text("ValueOfTheBook", "书中的"));
        return box;
    };
    m_fontSize = spin("SpinFontSize", 96, 1);
    m_fontSize->setSuffix(QStringLiteral(" px"));
    form->addRow(text("LabelFontSize", "字号："), m_fontSize);
    m_lineHeight = decimal("SpinLineHeight", 4);
    form->addRow(text("LabelLineHeight", "行距（倍）："), m_lineHeight);
    m_paragraph = decimal("SpinParagraph", 5);
    m_paragraph->setSuffix(QStringLiteral(" em"));
    form->addRow(text("LabelParagraph", "段距："), m_paragraph);
    m_margin = spin("SpinMargin", 400, 4);
    m_margin->setSuffix(QStringLiteral(" px"));
    form->addRow(text("LabelMargin", "页边距："), m_margin);
    m_maxWidth = spin("SpinMaxWidth", 4000, 20);
    m_maxWidth->setSuffix(QStringLiteral(" px"));
    m_maxWidth->setSpecialValueText(text("ValueNoLimit", "不限"));
    form->addRow(text("LabelMaxWidth", "最大行宽："), m_maxWidth);
    m_bookStyle = new QCheckBox(text("ChkBookStyle", "使用书本身的样式"), this);
    m_bookStyle->setObjectName(QStringLiteral("ChkBookStyle"));
    form->addRow(QString(), m_bookStyle);
    m_statusLine = new QCheckBox(text("ChkStatusLine", "显示状态栏"), this);
    m_statusLine->setObjectName(QStringLiteral("ChkStatusLine"));
    form->addRow(QString(), m_statusLine);
    auto* user = new QHBoxLayout;
    m_userStyle = new QLineEdit(this);
    m_userStyle->setObjectName(QStringLiteral("TxtUserStyle"));
    auto* chooseUser = new QPushButton(text("CmdUserStyle", "选择…"), this);
    chooseUser->setObjectName(QStringLiteral("CmdUserStyle"));
    user->addWidget(m_userStyle);
    user->addWidget(chooseUser);
    form->addRow(text("LabelUserStyle", "自己的样式表："), user);

    auto* buttons = new QDialogButtonBox(this);
    auto* makeDefault =
        buttons->addButton(text("CmdDefault", "设为默认"), QDialogButtonBox::ActionRole);
    makeDefault->setObjectName(QStringLiteral("CmdDefault"));
    auto* close = buttons->addButton(text("CmdClose", "关闭"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("CmdClose"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    // The settings shown.
    m_filling = true;
    m_theme->setCurrentIndex(static_cast<int>(s.theme));
    showColour(m_foreground, qs(s.foreground));
    showColour(m_background, qs(s.background));
    const int font = m_font->findData(qs(s.font));
    m_font->setCurrentIndex(font < 0 ? 0 : font);
    m_fontSize->setValue(s.fontSize);
    m_lineHeight->setValue(s.lineHeight);
    m_paragraph->setValue(s.paragraphSpacing);
    m_margin->setValue(s.margin);
    m_maxWidth->setValue(s.maxWidth);
    m_bookStyle->setChecked(s.bookStyle);
    m_statusLine->setChecked(s.statusLine);
    m_userStyle->setText(qs(s.userStyle));
    m_filling = false;

    connect(m_theme, &QComboBox::currentIndexChanged, this, &FrmReading::emitChanged);
    connect(m_font, &QComboBox::currentIndexChanged, this, &FrmReading::emitChanged);
    for (QSpinBox* box : {m_fontSize, m_margin, m_maxWidth})
        connect(box, &QSpinBox::valueChanged, this, &FrmReading::emitChanged);
    for (QDoubleSpinBox* box : {m_lineHeight, m_paragraph})
        connect(box, &QDoubleSpinBox::valueChanged, this, &FrmReading::emitChanged);
    for (QCheckBox* box : {m_bookStyle, m_statusLine})
        connect(box, &QCheckBox::toggled, this, &FrmReading::emitChanged);
    connect(m_userStyle, &QLineEdit::editingFinished, this, &FrmReading::emitChanged);
    connect(m_foreground, &QPushButton::clicked, this, [this] { chooseColour(m_foreground); });
    connect(m_background, &QPushButton::clicked, this, [this] { chooseColour(m_background); });
    connect(chooseUser, &QPushButton::clicked, this, [this] {
        const QString file =
            QFileDialog::getOpenFileName(this, text("CmdUserStyle", "选择…"), m_userStyle->text(),
                                         QStringLiteral("CSS (*.css);;*"));
        if (!file.isEmpty()) {
            m_userStyle->setText(file);
            emitChanged();
        }
    });
    connect(makeDefault, &QPushButton::clicked, this, [this] { emit setAsDefault(settings()); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
}

QString FrmReading::text(const char* key, const char* fallback) const {
    return folio::qt::CurrentLanguageText(m_programFolder, key, fallback);
}

void FrmReading::showColour(QPushButton* button, const QString& colour) {
    button->setProperty("colour", colour);
    button->setStyleSheet(QStringLiteral("QPushButton{border-left:14px solid %1}").arg(colour));
}

void FrmReading::chooseColour(QPushButton* button) {
    const QColor chosen =
        QColorDialog::getColor(QColor(button->property("colour").toString()), this);
    if (!chosen.isValid())
        return;
    showColour(button, chosen.name());
    // A colour chosen is a wish for the reader's own colours.
    m_theme->setCurrentIndex(static_cast<int>(reader::Theme::Custom));
    emitChanged();
}

reader::ReadingSettings FrmReading::settings() const {
    reader::ReadingSettings s;
    s.theme = Themes[std::clamp(m_theme->currentIndex(), 0, int(std::size(Themes)) - 1)];
    s.foreground = utf8(m_foreground->property("colour").toString());
    s.background = utf8(m_background->property("colour").toString());
    s.font = utf8(m_font->currentData().toString());
    s.fontSize = m_fontSize->value();
    s.lineHeight = m_lineHeight->value();
    s.paragraphSpacing = m_paragraph->value();
    s.margin = m_margin->value();
    s.maxWidth = m_maxWidth->value() > 0 && m_maxWidth->value() < 200 ? 200 : m_maxWidth->value();
    s.bookStyle = m_bookStyle->isChecked();
    s.statusLine = m_statusLine->isChecked();
    s.userStyle = utf8(m_userStyle->text());
    return s;
}

void FrmReading::emitChanged() {
    if (!m_filling)
        emit changed(settings());
}

} // namespace folio::readerui
