// The voice settings window (see frmset.h).
#include "reader/ui/frmset.h"

#include "qt/language.h"
#include "reader/ui/uitext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

namespace folio::readerui {

namespace {

using folio::reader::SpeechEngine;

QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    placeTwips(l, left, top, 900, 330);
    return l;
}

QComboBox* chooseOnlyList(QWidget* parent, const char* name, int left, int top, int width) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(false);
    placeTwips(box, left, top, width, 330);
    return box;
}

QSlider* slider(QWidget* parent, const char* name, int minimum, int maximum, int value, int left,
                int top, int width) {
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(minimum, maximum);
    s->setValue(value);
    s->setTickPosition(QSlider::TicksBelow);
    s->setTickInterval(maximum - minimum > 20 ? 10 : 1);
    placeTwips(s, left, top, width, 390);
    return s;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, int left, int top,
                    int width = 1200) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    placeTwips(b, left, top, width, 390);
    return b;
}

constexpr int ClientWidth = 7320;
constexpr int ClientHeight = 5940;

} // namespace

FrmSet::FrmSet(QWidget* parent, SpeechEngine& engine, QString programFolder,
               AppliedCallback applied, folio::Observer* dialogs, FolderChooser chooseFolder)
    : QDialog(parent), m_engine(engine), m_programFolder(std::move(programFolder)),
      m_applied(std::move(applied)), m_observer(this, nullptr, dialogs),
      m_chooseFolder(chooseFolder ? std::move(chooseFolder) : defaultFolderChooser()) {
    build();
    load();
}

FrmSet::FrmSet(QWidget* parent, std::unique_ptr<SpeechEngine> engine, QString programFolder,
               AppliedCallback applied, folio::Observer* dialogs, FolderChooser chooseFolder)
    : QDialog(parent), m_ownEngine(std::move(engine)), m_engine(*m_ownEngine),
      m_programFolder(std::move(programFolder)), m_applied(std::move(applied)),
      m_observer(this, nullptr, dialogs),
      m_chooseFolder(chooseFolder ? std::move(chooseFolder) : defaultFolderChooser()) {
    build();
    load();
}

FrmSet::~FrmSet() = default;

void FrmSet::build() {
    setObjectName(QStringLiteral("FrmSet"));
    setWindowTitle(QStringLiteral("语音设置"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    fixClientTwips(this, ClientWidth, ClientHeight);

    m_frame1 = new QGroupBox(QStringLiteral("合成语音"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    placeTwips(m_frame1, 120, 120, 7080, 3360);
    label(m_frame1, "Label1", QStringLiteral("语音："), 240, 390);
    m_comVoice = chooseOnlyList(m_frame1, "ComVoice", 1140, 360, 5700);
    label(m_frame1, "Label10", QStringLiteral("输出："), 240, 840);
    m_comOutput = chooseOnlyList(m_frame1, "ComOutput", 1140, 810, 5700);
    label(m_frame1, "Label11", QStringLiteral("格式："), 240, 1290);
    m_comFormat = chooseOnlyList(m_frame1, "ComFormat", 1140, 1260, 5700);
    label(m_frame1, "Label4", QStringLiteral("语速："), 240, 1770);
    m_rate = slider(m_frame1, "Rate", folio::reader::MinRate, folio::reader::MaxRate,
                    folio::reader::DefaultRate, 1140, 1710, 2400);
    label(m_frame1, "Label3", QStringLiteral("音量："), 3660, 1770);
    m_volume = slider(m_frame1, "Volume", folio::reader::MinVolume, folio::reader::MaxVolume,
                      folio::reader::DefaultVolume, 4440, 1710, 2400);
    m_text1 = new QLineEdit(qs(std::string(folio::reader::SettingsTestText)), m_frame1);
    m_text1->setObjectName(QStringLiteral("Text1"));
    placeTwips(m_text1, 240, 2400, 5220, 390);
    m_command3 = button(m_frame1, "Command3", QStringLiteral("测试发音"), 5640, 2400);

    m_frame2 = new QGroupBox(QStringLiteral("真人语音"), this);
    m_frame2->setObjectName(QStringLiteral("Frame2"));
    placeTwips(m_frame2, 120, 3600, 7080, 1680);
    m_check1 = new QCheckBox(QStringLiteral("真人语音"), m_frame2);
    m_check1->setObjectName(QStringLiteral("Check1"));
    placeTwips(m_check1, 240, 330, 1800, 330);
    label(m_frame2, "Label12", QStringLiteral("路径："), 2160, 360);
    m_text2 = new QLineEdit(m_frame2);
    m_text2->setObjectName(QStringLiteral("Text2"));
    placeTwips(m_text2, 2880, 330, 3000, 330);
    m_command4 = button(m_frame2, "Command4", QStringLiteral("浏览"), 6000, 300, 840);
    m_text3 = new QLineEdit(QStringLiteral("welcome"), m_frame2);
    m_text3->setObjectName(QStringLiteral("Text3"));
    placeTwips(m_text3, 240, 1020, 5220, 390);
    m_command5 = button(m_frame2, "Command5", QStringLiteral("测试发音"), 5640, 1020);

    m_command1 = button(this, "Command1", QStringLiteral("确定"), 4680, 5400);
    m_command2 = button(this, "Command2", QStringLiteral("取消"), 6000, 5400);
    m_command1->setDefault(true);
    folio::qt::ApplyCurrentLanguage(this);

    connect(m_comVoice, &QComboBox::activated, this, &FrmSet::voiceChosen);
    connect(m_comOutput, &QComboBox::activated, this, &FrmSet::outputChosen);
    connect(m_comFormat, &QComboBox::activated, this, &FrmSet::formatChosen);
    connect(m_rate, &QSlider::valueChanged, this, [this](int value) {
        m_controls.rate = value;
        m_engine.setRate(value);
    });
    connect(m_volume, &QSlider::valueChanged, this, [this](int value) {
        m_controls.volume = value;
        m_engine.setVolume(value);
    });
    connect(m_check1, &QCheckBox::toggled, this, [this](bool on) { m_controls.recorded = on; });
    connect(m_text2, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_controls.folder = utf8(text); });
    connect(m_command3, &QPushButton::clicked, this, &FrmSet::testVoice);
    connect(m_command4, &QPushButton::clicked, this, &FrmSet::browse);
    // Command5 and Text3 belong to the recorded-voice frame but have no action.
    connect(m_command1, &QPushButton::clicked, this, &FrmSet::ok);
    connect(m_command2, &QPushButton::clicked, this, &QDialog::reject);
}

void FrmSet::load() {
    const auto report =
        folio::reader::loadSettingsWindowVoice(m_engine, m_controls, utf8(m_programFolder));
    for (const auto& problem : report.skipped)
        m_problems << qs(problem);
    if (report.engineFailed && report.skipped.empty())
        m_problems << QStringLiteral("the speech engine could not be set up");
    showControls();
}

void FrmSet::showControls() {
    const QSignalBlocker b1(m_comVoice), b2(m_comOutput), b3(m_comFormat), b4(m_rate), b5(m_volume),
        b6(m_check1), b7(m_text2);
    m_comVoice->clear();
    for (const auto& voice : m_controls.voices)
        m_comVoice->addItem(qs(voice));
    m_comVoice->setCurrentIndex(m_controls.voiceIndex);

    m_comOutput->clear();
    for (const auto& output : m_controls.outputs)
        m_comOutput->addItem(qs(output));
    m_comOutput->setCurrentIndex(m_controls.outputEnabled ? m_controls.outputIndex : 0);
    m_comOutput->setEnabled(m_controls.outputEnabled);

    m_comFormat->clear();
    for (const auto& format : folio::reader::audioFormats())
        m_comFormat->addItem(qs(std::string(format.name)), format.type);
    m_comFormat->setCurrentIndex(m_controls.formatIndex);

    m_rate->setValue(m_controls.rate);
    m_volume->setValue(m_controls.volume);
    m_check1->setChecked(m_controls.recorded);
    m_text2->setText(qs(m_controls.folder));
}

void FrmSet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_problems.isEmpty() || m_problemsShown)
        return;
    m_problemsShown = true;
    // Told once the window is up, over it; the window stays usable with what was applied.
    QTimer::singleShot(0, this, [this] {
        m_observer.messageBox("语音设置中有几行没有应用：\n" + utf8(m_problems.join('\n')),
                              "语音设置", folio::MessageIcon::Exclamation);
    });
}

void FrmSet::voiceChosen(int index) {
    if (index < 0 || !m_engine.setVoice(index))
        return;
    m_controls.voiceIndex = index;
}

void FrmSet::outputChosen(int index) {
    if (!m_controls.outputEnabled || index < 0 || !m_engine.setOutput(index))
        return;
    m_controls.outputIndex = index;
    // A new output starts with its own format: the chosen one is applied again.
    folio::reader::selectAudioFormat(m_engine, m_controls, m_controls.formatIndex);
}

void FrmSet::formatChosen(int index) {
    folio::reader::selectAudioFormat(m_engine, m_controls, index);
}

void FrmSet::testVoice() {
    m_engine.speak(utf8(m_text1->text()));
}

void FrmSet::browse() {
    const QString folder =
        m_chooseFolder(this, QString::fromUtf8(FolderPickerTitle), m_text2->text());
    if (!folder.isEmpty())
        m_text2->setText(folder);
}

folio::reader::VoiceSettings FrmSet::currentSettings() const {
    folio::reader::VoiceSettings settings;
    settings.voice = m_controls.voiceName();
    settings.rate = m_rate->value();
    settings.volume = m_volume->value();
    settings.folder = utf8(m_text2->text());
    settings.recorded = m_check1->isChecked();
    return settings;
}

void FrmSet::ok() {
    const auto settings = currentSettings();
    if (auto saved = folio::reader::saveVoiceIni(utf8(m_programFolder), settings); !saved) {
        // Nothing is copied and the window stays open, so the user can try again or cancel.
        m_observer.messageBox("语音设置没有保存：" + saved.error().message, "语音设置",
                              folio::MessageIcon::Exclamation);
        return;
    }
    if (m_applied)
        m_applied(settings);
    accept();
}

} // namespace folio::readerui
