#include "SimProcess.h"

#include <QElapsedTimer>
#include <QStringList>

SimProcess::SimProcess(const QString& program, std::size_t devices) : program_(program), devices_(devices) {}

SimProcess::~SimProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000)) process_.kill();
        process_.waitForFinished(1000);
    }
}

bool SimProcess::Start(int timeoutMs) {
    // Only loopback: the simulator binds 127.0.0.1 and answers whoever asked.
    const QStringList arguments = {
        "--devices", QString::number(devices_), "--bind", "127.0.0.1", "--port", "0",
        "--quiet",   "--count-answers"};
    process_.start(program_, arguments);
    if (!process_.waitForStarted(timeoutMs)) {
        error_ = "ndcp-sim did not start: " + process_.errorString().toStdString();
        return false;
    }
    process_.setReadChannel(QProcess::StandardError);
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < timeoutMs) {
        while (process_.canReadLine()) {
            const std::string line = process_.readLine().trimmed().toStdString();
            if (LogField(line, "ev") != "listening") continue;
            const std::optional<std::uint64_t> port = LogNumber(line, "port");
            if (!port || *port == 0 || *port > 65535) {
                error_ = "ndcp-sim listens on no usable port: " + line;
                return false;
            }
            port_ = static_cast<std::uint16_t>(*port);
            return true;
        }
        if (process_.state() == QProcess::NotRunning) break;
        process_.waitForReadyRead(50);
    }
    error_ = "ndcp-sim did not report its port: " + process_.readAllStandardError().toStdString();
    return false;
}

std::optional<SimSummary> SimProcess::Stop(int timeoutMs) {
    process_.terminate();
    if (!process_.waitForFinished(timeoutMs)) {
        process_.kill();
        process_.waitForFinished(1000);
        error_ = "ndcp-sim did not stop on SIGTERM";
        return std::nullopt;
    }
    const QList<QByteArray> lines = process_.readAllStandardOutput().split('\n');
    for (const QByteArray& raw : lines) {
        const std::string line = raw.trimmed().toStdString();
        if (LogField(line, "ev") != "summary") continue;
        const auto answers = LogNumber(line, "answers");
        if (!answers) break;
        return SimSummary{*answers, LogNumber(line, "failed").value_or(0),
                          LogNumber(line, "unsent").value_or(0)};
    }
    error_ = "ndcp-sim printed no summary";
    return std::nullopt;
}
