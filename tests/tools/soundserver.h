// A sound server of a test's own: a PulseAudio null sink whose monitor the test records
// ("folio_null.monitor"), and the loudness of what it recorded. Started before anything opens
// an audio output, so every player of the process uses it.
#pragma once

#include "tests/tools/independent_check.h"
#include "tests/tools/testdir.h"
#include "tests/tools/waits.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QThread>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace folio::testing {

class NullSink {
  public:
    // False when pulseaudio or parec is missing, or the server did not answer in time.
    bool start() {
        if (!folio::check::haveTool("pulseaudio") || !folio::check::haveTool("parec"))
            return false;
        m_dir = std::make_unique<TempDir>();
        const std::string socket = m_dir->file("native");
        const std::string runtime = m_dir->file("runtime");
        std::filesystem::create_directories(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::setenv("PULSE_RUNTIME_PATH", runtime.c_str(), 1);
        ::setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
        m_daemon = std::make_unique<QProcess>();
        m_daemon->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_daemon->start(
            "pulseaudio",
            {"--daemonize=no", "-n", "--exit-idle-time=-1", "--use-pid-file=no",
             "--log-level=error", "--load=module-null-sink sink_name=folio_null",
             QString::fromStdString("--load=module-native-protocol-unix auth-anonymous=1 socket=" +
                                    socket)});
        // Asked every 200 ms until it answers.
        for (int waited = 0; waited < WaitBoundMs; waited += 200) {
            QProcess pactl;
            pactl.setStandardOutputFile(QProcess::nullDevice());
            pactl.start("pactl", {"info"});
            if (pactl.waitForFinished(WaitBoundMs) && pactl.exitStatus() == QProcess::NormalExit &&
                pactl.exitCode() == 0)
                return running = true;
            QThread::msleep(200);
        }
        return false;
    }
    void stop() {
        if (m_daemon) {
            m_daemon->terminate();
            m_daemon->waitForFinished(WaitBoundMs);
        }
        m_daemon.reset();
        running = false;
    }
    ~NullSink() { stop(); }

    bool running = false;

  private:
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<QProcess> m_daemon;
};

// Root mean square of the 16-bit samples of a WAV file, 0 to 1 (-1 when unreadable).
inline double wavLoudness(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = file.readAll();
    const qsizetype data = bytes.indexOf("data");
    if (data < 0)
        return -1;
    double sum = 0;
    qsizetype count = 0;
    for (qsizetype i = data + 8; i + 1 < bytes.size(); i += 2) {
        const auto sample = static_cast<qint16>(static_cast<quint8>(bytes[i]) |
                                                (static_cast<quint8>(bytes[i + 1]) << 8));
        sum += double(sample) * sample;
        ++count;
    }
    return count == 0 ? 0 : std::sqrt(sum / count) / 32768.0;
}

// The loudness above which a recording heard something.
inline constexpr double Heard = 0.005;

} // namespace folio::testing
