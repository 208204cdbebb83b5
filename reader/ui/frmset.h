// The voice settings window: edits the speech settings on its own voice and stores them in
// Voice.ini beside the reader.
#pragma once

#include "qt/windowobserver.h"
#include "reader/core/voice.h"
#include "reader/ui/companionrules.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSlider;

namespace folio::readerui {

class FrmSet : public QDialog {
    Q_OBJECT
  public:
    // What OK hands to the reading window: the saved settings (it copies the voice, the rate,
    // the volume and the recorded-voice switch; the folder takes effect at the next start).
    using AppliedCallback = std::function<void(const folio::reader::VoiceSettings&)>;

    // `engine` is the window's own voice and must outlive it. The lists are filled from it and
    // Voice.ini in `programFolder` is applied line by line; a line that cannot be applied (a
    // voice that is not installed, a number out of range) is skipped and reported once the
    // window shows, so the window always opens. `dialogs` null means the real message boxes
    // (see WindowObserver).
    FrmSet(QWidget* parent, folio::reader::SpeechEngine& engine, QString programFolder,
           AppliedCallback applied = {}, folio::Observer* dialogs = nullptr,
           FolderChooser chooseFolder = {});
    // The same, owning its voice.
    FrmSet(QWidget* parent, std::unique_ptr<folio::reader::SpeechEngine> engine,
           QString programFolder, AppliedCallback applied = {}, folio::Observer* dialogs = nullptr,
           FolderChooser chooseFolder = {});
    ~FrmSet() override;

    const folio::reader::VoiceControls& controls() const { return m_controls; }
    // The Voice.ini lines that could not be applied when the window loaded.
    QStringList loadProblems() const { return m_problems; }
    // The settings as the controls show them now.
    folio::reader::VoiceSettings currentSettings() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void build();
    void load();
    void showControls();
    void voiceChosen(int index);
    void outputChosen(int index);
    void formatChosen(int index);
    void testVoice();
    void browse();
    void ok();

    std::unique_ptr<folio::reader::SpeechEngine> m_ownEngine;
    folio::reader::SpeechEngine& m_engine;
    QString m_programFolder;
    AppliedCallback m_applied;
    folio::qt::WindowObserver m_observer;
    FolderChooser m_chooseFolder;
    folio::reader::VoiceControls m_controls;
    QStringList m_problems;
    bool m_problemsShown = false;

    QGroupBox* m_frame1 = nullptr;
    QGroupBox* m_frame2 = nullptr;
    QComboBox* m_comVoice = nullptr;
    QComboBox* m_comOutput = nullptr;
    QComboBox* m_comFormat = nullptr;
    QSlider* m_rate = nullptr;
    QSlider* m_volume = nullptr;
    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QLineEdit* m_text3 = nullptr;
    QCheckBox* m_check1 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QPushButton* m_command3 = nullptr;
    QPushButton* m_command4 = nullptr;
    QPushButton* m_command5 = nullptr;
};

} // namespace folio::readerui
