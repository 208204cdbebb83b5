// The settings panel (see settingspanel.h): builds its controls under their own names and
// copies the project state in and out of them.
#include "maker/ui/settingspanel.h"

#include "core/twips.h"
#include "maker/generators/contentspage.h"
#include "maker/ui/iconchooser.h"
#include "qt/language.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace folio::maker {

namespace project = folio::project;
using folio::twipsToPixels;

SettingsPanel::SettingsPanel(const QString& makerFolder, folio::Observer& observer,
                             FileChooser chooseFile, QWidget* parent)
    : QWidget(parent), m_maker(makerFolder) {
    setObjectName(QStringLiteral("PicSet"));
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    const auto label = [](const char* name, const char* caption) {
        auto* l = new QLabel(QString::fromUtf8(caption));
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    const auto box = [](const char* name) {
        auto* e = new QLineEdit;
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    const auto button = [this](int n, const char* caption) {
        m_command[n] = new QPushButton(QString::fromUtf8(caption));
        m_command[n]->setObjectName(QStringLiteral("Command%1").arg(n));
        return m_command[n];
    };
    const auto small = [&button](int n) {
        QPushButton* b = button(n, "...");
        b->setFixedWidth(twipsToPixels(450));
        return b;
    };

    int r = 0;
    m_comProPath = new QComboBox;
    m_comProPath->setObjectName(QStringLiteral("ComProPath"));
    m_comProPath->setEditable(true);
    m_comProPath->setInsertPolicy(QComboBox::NoInsert);
    grid->addWidget(label("Label11", "工程："), r, 0);
    grid->addWidget(m_comProPath, r, 1);
    grid->addWidget(small(4), r, 2);
    connect(m_comProPath, &QComboBox::activated, this, &SettingsPanel::projectChosen);
    ++r;

    struct Field {
        QLineEdit** target;
        const char* name;
        const char* label;
        const char* caption;
    };
    const Field fields[] = {
        {&m_txtTitle, "TxtTitle", "Label1", "电子书名称："},
        {&m_txtindex, "Txtindex", "Label2", "索引页："},
        {&m_txtTree, "TxtTree", "Label3", "目录树："},
        {&m_txtOutPath, "TxtOutPath", "Label4", "输出文件夹："},
        {&m_txtoutFile, "TxtoutFile", "Label5", "输出文件："},
        {&m_txtAuthor, "TxtAuthor", "Label6", "作者："},
        {&m_txtURL, "TxtURL", "Label7", "网址："},
        {&m_txtupdate, "Txtupdate", "Label8", "更新："},
        {&m_txtonline, "Txtonline", "Label9", "在线书架："},
        {&m_txtad, "Txtad", "Label10", "广告："},
    };
    for (const Field& f : fields) {
        *f.target = box(f.name);
        grid->addWidget(label(f.label, f.caption), r, 0);
        grid->addWidget(*f.target, r, 1);
        if (f.target == &m_txtTitle) {
            grid->addWidget(small(7), r, 2);
        } else if (f.target == &m_txtOutPath) {
            grid->addWidget(small(1), r, 2);
        }
        ++r;
    }

    m_txtTag = box("TxtTag");
    m_txtTag->setText(qs(std::string(folio::generators::DefaultTreeTag)));
    grid->addWidget(label("Label12", "目录标签："), r, 0);
    grid->addWidget(m_txtTag, r, 1, 1, 2);
    ++r;
    m_homePageTag = new QPlainTextEdit;
    m_homePageTag->setObjectName(QStringLiteral("HomePageTag"));
    m_homePageTag->setMaximumHeight(twipsToPixels(900));
    grid->addWidget(label("Label13", "首页标签："), r, 0, Qt::AlignTop);
    grid->addWidget(m_homePageTag, r, 1, 1, 2);
    ++r;

    m_txtIconPath = box("TxtIconPath");
    grid->addWidget(label("Label15", "图标："), r, 0);
    auto* iconRow = new QHBoxLayout;
    iconRow->addWidget(m_txtIconPath, 1);
    m_iconChooser =
        new IconChooser(this, m_txtIconPath, makerFolder, observer, std::move(chooseFile));
    iconRow->addWidget(m_iconChooser);
    grid->addLayout(iconRow, r, 1, 1, 2);
    ++r;

    auto* kinds = new QHBoxLayout;
    const char* checks[] = {nullptr, "EXE", "CHM", "JAR", "book"};
    for (int i = 1; i <= 4; ++i) {
        m_check[i] = new QCheckBox(QString::fromLatin1(checks[i]));
        m_check[i]->setObjectName(QStringLiteral("Check%1").arg(i));
        kinds->addWidget(m_check[i]);
    }
    // Beside the Book image's boxes: the same book as EPUB, for every other e-reader.
    m_checkEpub = new QCheckBox(QStringLiteral("EPUB"));
    m_checkEpub->setObjectName(QStringLiteral("CheckEpub"));
    kinds->addWidget(m_checkEpub);
    m_check[1]->setChecked(true);
    // Beyond the four: the files of one level of sub-folders (img/, images/) become resources
    // typed by their folder's name, so that saved web pages find their pictures in the book.
    m_checkSubfolders = new QCheckBox(QStringLiteral("子文件夹资源"));
    m_checkSubfolders->setObjectName(QStringLiteral("CheckSubfolders"));
    kinds->addWidget(m_checkSubfolders);
    kinds->addStretch(1);
    grid->addWidget(label("Label16", "输出："), r, 0);
    grid->addLayout(kinds, r, 1, 1, 2);
    ++r;

    m_combo1 = new QComboBox;
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo2 = new QComboBox;
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    auto* looks = new QHBoxLayout;
    looks->addWidget(m_combo1, 1);
    looks->addWidget(label("Label18", "皮肤："));
    looks->addWidget(m_combo2, 1);
    grid->addWidget(label("Label17", "语言："), r, 0);
    grid->addLayout(looks, r, 1, 1, 2);
    connect(m_combo1, &QComboBox::activated, this,
            [this](int i) { applyLanguage(m_combo1->itemText(i)); });
    connect(m_combo2, &QComboBox::activated, this, &SettingsPanel::skinChosen);
    ++r;

    auto* actions = new QHBoxLayout;
    actions->addWidget(button(2, "设置"));
    actions->addWidget(button(3, "清空"));
    actions->addStretch(1);
    grid->addLayout(actions, r, 1, 1, 2);
    ++r;
    grid->setRowStretch(r, 1);
    grid->setColumnStretch(1, 1);
}

void SettingsPanel::readFields(project::MakerState& state) const {
    project::ProjectSettings& s = state.settings;
    s.title = utf8(m_txtTitle->text());
    s.indexPage = utf8(m_txtindex->text());
    s.contentsPage = utf8(m_txtTree->text());
    s.outPath = utf8(m_txtOutPath->text());
    s.outFile = utf8(m_txtoutFile->text());
    s.author = utf8(m_txtAuthor->text());
    s.webAddress = utf8(m_txtURL->text());
    s.update = utf8(m_txtupdate->text());
    s.bookshelf = utf8(m_txtonline->text());
    s.advert = utf8(m_txtad->text());
    s.subfolders = m_checkSubfolders->isChecked();
    state.treeTag = utf8(m_txtTag->text());
    state.homePageTag = utf8(m_homePageTag->toPlainText());
    state.projectText = utf8(m_comProPath->currentText());
    state.projects.clear();
    for (int i = 0; i < m_comProPath->count(); ++i) {
        state.projects.push_back(utf8(m_comProPath->itemText(i)));
    }
}

void SettingsPanel::showState(const project::MakerState& state) {
    const project::ProjectSettings& s = state.settings;
    m_txtTitle->setText(qs(s.title));
    m_txtindex->setText(qs(s.indexPage));
    m_txtTree->setText(qs(s.contentsPage));
    m_txtOutPath->setText(qs(s.outPath));
    m_txtoutFile->setText(qs(s.outFile));
    m_txtAuthor->setText(qs(s.author));
    m_txtURL->setText(qs(s.webAddress));
    m_txtupdate->setText(qs(s.update));
    m_txtonline->setText(qs(s.bookshelf));
    m_txtad->setText(qs(s.advert));
    m_checkSubfolders->setChecked(s.subfolders);
    if (!state.treeTag.empty()) {
        m_txtTag->setText(qs(state.treeTag));
    }
    m_homePageTag->setPlainText(qs(state.homePageTag));

    const QSignalBlocker block(m_comProPath);
    m_comProPath->clear();
    for (const std::string& p : state.projects) {
        m_comProPath->addItem(qs(p));
    }
    m_comProPath->setEditText(qs(state.projectText));
}

void SettingsPanel::readCompileChoices(project::CompileRequest& request) const {
    request.exe = m_check[1]->isChecked();
    request.chm = m_check[2]->isChecked();
    request.epub = m_checkEpub->isChecked();
    request.iconPath = utf8(m_txtIconPath->text());
    request.skinFileName = utf8(m_combo2->currentText());
}

QString SettingsPanel::title() const {
    return m_txtTitle->text();
}

QString SettingsPanel::contentsPage() const {
    return m_txtTree->text();
}

QString SettingsPanel::projectEntry(int index) const {
    return m_comProPath->itemText(index);
}

void SettingsPanel::setOutPath(const QString& folder) {
    m_txtOutPath->setText(folder);
}

void SettingsPanel::showLanguages(const std::vector<std::string>& names, int index) {
    m_combo1->clear();
    for (const std::string& name : names) {
        m_combo1->addItem(qs(name));
    }
    if (index >= 0) {
        m_combo1->setCurrentIndex(index);
        applyLanguage(m_combo1->currentText());
    }
}

void SettingsPanel::applyLanguage(const QString& name) {
    if (!name.isEmpty()) {
        folio::qt::ApplyLanguage(m_maker, name);
    }
}

void SettingsPanel::showSkins(const std::vector<std::string>& names, int index) {
    m_combo2->clear();
    for (const std::string& name : names) {
        m_combo2->addItem(qs(name));
    }
    if (index >= 0) {
        m_combo2->setCurrentIndex(index);
    }
}

QPushButton* SettingsPanel::command(int number) const {
    const bool own = number == 1 || number == 2 || number == 3 || number == 4 || number == 7;
    return own ? m_command[number] : nullptr;
}

} // namespace folio::maker
