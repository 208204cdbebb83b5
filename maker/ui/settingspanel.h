// The workbench's settings panel PicSet: the project chooser ComProPath, the project's ten
// settings boxes, the contents and home-page tags, the book's icon, the outputs to make, the
// language and skin lists, and the buttons that pick, create and save projects (Command1,
// Command2, Command3, Command4, Command7).
#pragma once

#include "core/observer.h"
#include "maker/project/workbench.h"
#include "maker/ui/companionsupport.h"

#include <QWidget>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace folio::maker {

class IconChooser;

class SettingsPanel : public QWidget {
    Q_OBJECT
  public:
    // `makerFolder` holds the language file and the reader template whose icon is the default;
    // `observer` shows a refused icon file.
    SettingsPanel(const QString& makerFolder, folio::Observer& observer, FileChooser chooseFile,
                  QWidget* parent = nullptr);

    // The boxes into the state, as a command reads what the author typed.
    void readFields(folio::project::MakerState& state) const;
    // The state into the boxes and the project chooser.
    void showState(const folio::project::MakerState& state);
    // What the compile takes from the panel besides the settings: EXE, CHM, the icon, the skin.
    void readCompileChoices(folio::project::CompileRequest& request) const;

    // TxtTitle and TxtTree as they stand.
    QString title() const;
    QString contentsPage() const;
    QString projectEntry(int index) const;
    void setOutPath(const QString& folder);

    // Combo1 with the entry `index` chosen and its language applied at once, as choosing it
    // does (none for -1).
    void showLanguages(const std::vector<std::string>& names, int index);
    // Combo2 with the entry `index` chosen (none for -1).
    void showSkins(const std::vector<std::string>& names, int index);

    // Command1 (the output folder), Command2 "设置", Command3 "清空", Command4 (the project
    // folder) or Command7 (create); null for any other number.
    QPushButton* command(int number) const;

  signals:
    void projectChosen(int index);
    void skinChosen(int index);

  private:
    void applyLanguage(const QString& name);

    QString m_maker;
    QLineEdit* m_txtTitle = nullptr;
    QLineEdit* m_txtindex = nullptr;
    QLineEdit* m_txtTree = nullptr;
    QLineEdit* m_txtOutPath = nullptr;
    QLineEdit* m_txtoutFile = nullptr;
    QLineEdit* m_txtAuthor = nullptr;
    QLineEdit* m_txtURL = nullptr;
    QLineEdit* m_txtupdate = nullptr;
    QLineEdit* m_txtonline = nullptr;
    QLineEdit* m_txtad = nullptr;
    QComboBox* m_comProPath = nullptr;
    QLineEdit* m_txtTag = nullptr;
    QPlainTextEdit* m_homePageTag = nullptr;
    QComboBox* m_combo1 = nullptr;
    QComboBox* m_combo2 = nullptr;
    QLineEdit* m_txtIconPath = nullptr;
    QCheckBox* m_check[5] = {};
    QCheckBox* m_checkEpub = nullptr;
    QCheckBox* m_checkSubfolders = nullptr;
    QPushButton* m_command[8] = {};
    IconChooser* m_iconChooser = nullptr;
};

} // namespace folio::maker
