#include "testkit/SimulatorProcess.h"

#include <fstream>
#include <regex>

#include "testkit/EventLoopWait.h"

SimulatorProcess::SimulatorProcess(const QString& program, const QStringList& extraArguments)
    : logPath_(dir_.filePath(QStringLiteral("sim.log"))), saved_(NetworkSetting()) {
    QStringList arguments = {"--bind", "127.0.0.1", "--port", "0", "--log", logPath_};
    arguments += extraArguments;
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(program, arguments);
    if (!process_.waitForStarted(5000)) return;
    const std::regex listening(R"(ev=listening addr=127\.0\.0\.1 port=(\d+))");
    ProcessEventsUntil(
        [&] {
            for (const std::string& line : LogLines()) {
                std::smatch match;
                if (std::regex_search(line, match, listening)) {
                    port_ = static_cast<std::uint16_t>(std::stoi(match[1].str()));
                    return true;
                }
            }
            return false;
        },
        5000);
    NDCPNetworkSetting& setting = NetworkSetting();
    setting.destinationAddress = "127.0.0.1";
    setting.destinationPort = port_;
    setting.answerSourcePort = port_;
    setting.localAddress = "127.0.0.1";
}

SimulatorProcess::~SimulatorProcess() {
    NetworkSetting() = saved_;
    process_.terminate();
    if (!process_.waitForFinished(3000)) process_.kill();
    process_.waitForFinished(1000);
}

std::vector<std::string> SimulatorProcess::LogLines() const {
    std::vector<std::string> lines;
    std::ifstream log(logPath_.toStdString());
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
}
