// The reading window's speech and player panel (see speechpanel.h).
#include "reader/ui/speechpanel.h"

#include "core/fileio.h"
#include "core/text.h"
#include "reader/core/voice.h"
#include "reader/ui/frmset.h"
#include "reader/ui/readerrules.h"
#include "reader/ui/soundplayer.h"
#include "reader/ui/speechengine.h"
#include "reader/ui/uitext.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QSlider>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace folio::readerui {

SpeechPanel::SpeechPanel(QWidget* window, SoundPlayer* sound, SpeechOptions options)
    : QFrame(window), m_sound(sound), m_options(std::move(options)) {
    setObjectName(QStringLiteral("Picture1"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 2, 6, 2);
    row->setSpacing(4);

    auto label = [this](const char* name, const char* text) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    auto slider = [this](const char* name, int min, int max, int value) {
        auto* s = new QSlider(Qt::Horizontal, this);
        s->setObjectName(QString::fromLatin1(name));
        s->setRange(min, max);
        s->setValue(value);
        s->setMinimumWidth(40);
        s->setMaximumWidth(90);
        return s;
    };

    m_check1 = new QCheckBox(QStringLiteral("真人语音"), this);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_comVoice = new QComboBox(this);
    m_comVoice->setObjectName(QStringLiteral("ComVoice"));
    // Voice names are long; the list stays narrow and shows them whole when opened.
    m_comVoice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_comVoice->setMinimumContentsLength(8);
    m_comVoice->view()->setMinimumWidth(260);
    m_slider1 = slider("Slider1", 0, 0, 0);
    m_volume = slider("Volume", reader::MinVolume, reader::MaxVolume, reader::DefaultVolume);
    m_rate = slider("Rate", reader::MinRate, reader::MaxRate, reader::DefaultRate);
    m_label7 = label("Label7", "00:00");
    m_label8 = label("Label8", "00:00");

    row->addWidget(m_check1);
    row->addWidget(label("Label1", "语音："));
    row->addWidget(m_comVoice);
    const std::pair<QWidget*, const char*> rest[] = {
        {m_slider1, "进度："},    {m_volume, "音量："},   {m_rate, "语速："},
        {m_label7, "播放进度："}, {m_label8, "总时长："},
    };
    int n = 2;
    for (const auto& [widget, caption] : rest) {
        row->addSpacing(8);
        row->addWidget(label(("Label" + std::to_string(n++)).c_str(), caption));
        row->addWidget(widget);
    }
    row->addStretch();

    // The output, format and folder controls are the window's, but only the settings window
    // shows them.
    m_comOutput = new QComboBox(this);
    m_comOutput->setObjectName(QStringLiteral("ComOutput"));
    m_comFormat = new QComboBox(this);
    m_comFormat->setObjectName(QStringLiteral("ComFormat"));
    m_text1 = new QLineEdit(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    for (QWidget* w : {static_cast<QWidget*>(m_comOutput), static_cast<QWidget*>(m_comFormat),
                       static_cast<QWidget*>(m_text1)}) {
        w->hide();
    }

    connect(m_comVoice, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_filling && m_speech && i >= 0) {
            m_speech->setVoice(i);
            m_voice->voiceIndex = i;
            keepVoiceSettings();
        }
    });
    connect(m_comOutput, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_filling && m_speech && i >= 0 && m_voice->outputEnabled) {
            m_speech->setOutput(i);
            m_voice->outputIndex = i;
            reader::selectAudioFormat(*m_speech, *m_voice, m_comFormat->currentIndex());
        }
    });
    connect(m_comFormat, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_filling && m_speech && i >= 0) {
            reader::selectAudioFormat(*m_speech, *m_voice, i);
        }
    });
    connect(m_rate, &QSlider::valueChanged, this, [this](int v) {
        if (m_speech) {
            m_speech->setRate(v);
        }
        keepVoiceSettings();
    });
    connect(m_volume, &QSlider::valueChanged, this, [this](int v) {
        if (m_speech) {
            m_speech->setVolume(v);
        }
        keepVoiceSettings();
    });
    connect(m_slider1, &QSlider::sliderMoved, this, [this](int seconds) {
        if (!m_sound->hasPlayer()) {
            return;
        }
        QMediaPlayer* player = m_sound->player();
        if (player->isSeekable() && player->duration() > 0) {
            player->setPosition(qint64(seconds) * 1000);
        }
    });

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(100);
    connect(m_timer1, &QTimer::timeout, this, &SpeechPanel::timerTick);
}

SpeechPanel::~SpeechPanel() = default;

bool SpeechPanel::loadVoice(const QString& programFolder) {
    m_programFolder = programFolder;
    if (!m_options.speech) {
        useOwnEngine(std::make_unique<ProcessSpeechEngine>());
    }
    return applyVoice();
}

void SpeechPanel::loadVoiceLater(const QString& programFolder) {
    if (m_options.speech) {
        emit voiceReady(loadVoice(programFolder));
        return;
    }
    m_programFolder = programFolder;
    m_voiceListing = QtConcurrent::run([] { return installedVoicesCached(); });
    auto* watcher = new QFutureWatcher<std::vector<SpeechVoice>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        finishVoice();
    });
    watcher->setFuture(m_voiceListing);
}

void SpeechPanel::finishVoice() {
    if (m_voice || !m_voiceListing.isValid()) {
        return; // loaded already, or never asked for
    }
    // Waits when a command came before the answer.
    std::vector<SpeechVoice> voices = m_voiceListing.takeResult();
    m_voiceListing = {};
    useOwnEngine(std::make_unique<ProcessSpeechEngine>(std::move(voices)));
    emit voiceReady(applyVoice());
}

void SpeechPanel::useOwnEngine(std::unique_ptr<ProcessSpeechEngine> engine) {
    m_processSpeech = engine.get();
    connect(m_processSpeech, &ProcessSpeechEngine::failed, this, &SpeechPanel::speechFailed);
    // While a text is read aloud the panel shows which sentence of how many is being read
    // and the share read, whichever synthesiser speaks it.
    connect(m_processSpeech, &ProcessSpeechEngine::progress, this,
            [this](int sentence, int sentences, int percent) {
                m_label7->setText(QStringLiteral("%1/%2句").arg(sentence).arg(sentences));
                m_label8->setText(QStringLiteral("%1%").arg(percent));
                m_slider1->setMaximum(sentences);
                if (!m_slider1->isSliderDown()) {
                    m_slider1->setValue(sentence);
                }
            });
    m_ownSpeech = std::move(engine);
}

bool SpeechPanel::applyVoice() {
    m_voice = std::make_unique<reader::VoiceControls>();
    m_speech = m_options.speech ? m_options.speech : m_ownSpeech.get();
    const reader::VoiceLoadReport report =
        reader::LoadVoice(*m_speech, *m_voice, utf8(m_programFolder));
    if (auto lines = readAnsiLines(reader::voiceIniPath(utf8(m_programFolder)))) {
        for (const reader::VoiceIniEntry& e : reader::parseVoiceIni(*lines)) {
            if (e.key == reader::VoiceKey::Folder) {
                m_savedFolder = e.value;
            }
        }
    }
    showSpeechControls();
    return !report.failed();
}

void SpeechPanel::keepVoiceSettings() {
    // What the user chose on the toolbar is there again at the next start.
    if (m_filling || !m_voice || m_voice->voiceIndex < 0) {
        return;
    }
    reader::VoiceSettings settings;
    settings.voice = m_voice->voiceName();
    settings.rate = m_rate->value();
    settings.volume = m_volume->value();
    settings.folder = m_savedFolder;
    settings.recorded = m_check1->isChecked();
    if (auto saved = reader::saveVoiceIni(utf8(m_programFolder), settings); !saved) {
        setToolTip(qs(saved.error().message));
    }
}

void SpeechPanel::showSpeechControls() {
    m_filling = true;
    m_comVoice->clear();
    for (const std::string& v : m_voice->voices) {
        m_comVoice->addItem(qs(v));
    }
    m_comVoice->setCurrentIndex(m_voice->voiceIndex);
    m_comOutput->clear();
    for (const std::string& o : m_voice->outputs) {
        m_comOutput->addItem(qs(o));
    }
    m_comOutput->setEnabled(m_voice->outputEnabled);
    m_comOutput->setCurrentIndex(m_voice->outputIndex);
    m_comFormat->clear();
    for (const reader::AudioFormat& f : reader::audioFormats()) {
        m_comFormat->addItem(QString::fromLatin1(f.name.data(), qsizetype(f.name.size())), f.type);
    }
    m_comFormat->setCurrentIndex(m_voice->formatIndex);
    m_rate->setValue(m_voice->rate);
    m_volume->setValue(m_voice->volume);
    m_text1->setText(qs(m_voice->folder));
    m_check1->setChecked(m_voice->recorded);
    m_filling = false;
}

void SpeechPanel::readAloud(const QString& selected) {
    finishVoice();
    std::optional<std::string> selection;
    if (!selected.isEmpty()) {
        selection = utf8(selected);
    }
    const reader::ReadAloudAction action =
        reader::decideReadAloud(selection, m_check1->isChecked(), utf8(m_text1->text()),
                                [](const std::string& f) { return QFileInfo(qs(f)).isFile(); });
    switch (action.kind) {
    case reader::ReadAloudAction::Speak:
        if (m_speech) {
            m_speech->speak(action.text);
        }
        break;
    case reader::ReadAloudAction::Play:
        m_sound->playFile(qs(action.file));
        break;
    case reader::ReadAloudAction::Nothing:
        break;
    }
}

void SpeechPanel::stopReading() {
    finishVoice();
    if (!m_check1->isChecked()) {
        if (m_speech) {
            m_speech->stop();
        }
    } else {
        m_sound->stop();
    }
}

ProcessSpeechEngine* SpeechPanel::sentenceVoices() {
    finishVoice();
    return m_check1->isChecked() ? nullptr : m_processSpeech;
}

void SpeechPanel::openSettings(QWidget* parent) {
    finishVoice();
    auto applied = [this](const reader::VoiceSettings& settings) {
        // Each value goes through its control so that the voice follows; the folder is used
        // from the next start.
        const int voice = m_comVoice->findText(qs(settings.voice));
        if (voice >= 0) {
            m_comVoice->setCurrentIndex(voice);
        }
        m_savedFolder = settings.folder;
        m_rate->setValue(settings.rate);
        m_volume->setValue(settings.volume);
        m_check1->setChecked(settings.recorded);
    };
    std::unique_ptr<reader::SpeechEngine> own;
    if (m_options.makeSpeech) {
        own = m_options.makeSpeech();
    } else if (!m_options.speech) {
        own = std::make_unique<ProcessSpeechEngine>();
    }
    if (own) {
        FrmSet settings(parent, std::move(own), m_programFolder, applied, m_options.dialogs);
        settings.exec();
    } else {
        FrmSet settings(parent, *m_speech, m_programFolder, applied, m_options.dialogs);
        settings.exec();
    }
}

void SpeechPanel::startDisplay() {
    m_timer1->start();
}

void SpeechPanel::timerTick() {
    // The sound player's time; a text read aloud shows its progress by sentence instead. A
    // player never made has nothing to show (and is not made for that).
    if (!m_sound->hasPlayer()) {
        return;
    }
    QMediaPlayer* player = m_sound->player();
    if (player->playbackState() != QMediaPlayer::PlayingState) {
        return;
    }
    const qint64 position = player->position();
    const qint64 duration = player->duration();
    m_label7->setText(qs(playerTimeText(position)));
    m_label8->setText(qs(playerTimeText(duration)));
    m_slider1->setMaximum(static_cast<int>(duration / 1000));
    if (!m_slider1->isSliderDown()) {
        m_slider1->setValue(static_cast<int>(position / 1000));
    }
}

} // namespace folio::readerui
