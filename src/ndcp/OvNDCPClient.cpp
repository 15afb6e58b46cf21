#include "OvNDCPClient.h"

#include <algorithm>
#include <array>
#include <utility>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <QVariant>

#include "Messages.h"
#include "NetworkSetting.h"
#include "OvException.h"
#include "OvNDCPDevice.h"

#ifdef Q_OS_LINUX
#include <sys/socket.h>
#endif

namespace {

QPointer<OvNDCPClient>& InstanceSlot() {
    static QPointer<OvNDCPClient> instance;
    return instance;
}

// Asks for a receive buffer that holds thousands of answers; the system may grant less.
void EnlargeReceiveBuffer(QUdpSocket& socket, int bytes) {
#ifdef Q_OS_LINUX
    // Privileged processes may go past the system's limit; the others keep what SO_RCVBUF grants.
    const int fd = static_cast<int>(socket.socketDescriptor());
    if (fd >= 0 && ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0) return;
#endif
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, bytes);
}

}  // namespace

OvNDCPClient::OvNDCPClient(QObject* owner) : QObject(owner) {
    sweepTimer_ = new QTimer(this);
    sweepTimer_->setInterval(kSweepIntervalMs);
    connect(sweepTimer_, &QTimer::timeout, this, &OvNDCPClient::CheckTimeouts);
    OpenSocket();
    sweepTimer_->start();
}

void OvNDCPClient::OpenSocket() {
    auto* socket = new QUdpSocket(this);
    const NDCPNetworkSetting& setting = NetworkSetting();
    if (!socket->bind(QHostAddress(QString::fromStdString(setting.localAddress)), 0)) {
        delete socket;
        RaiseNDCPError(kSocketNotReady);
    }
    EnlargeReceiveBuffer(*socket, kRequestedReceiveBuffer);
    connect(socket, &QUdpSocket::readyRead, this, &OvNDCPClient::ReadPendingDatagrams);
    socket_ = socket;
}

OvNDCPClient::~OvNDCPClient() {
    sweepTimer_->stop();
    // Answers may still complete their requests; time-outs are no longer swept.
    QElapsedTimer waited;
    waited.start();
    while (!pending_.empty() && waited.elapsed() < kDestructionWaitMs && QCoreApplication::instance()) {
        const int left = static_cast<int>(kDestructionWaitMs - waited.elapsed());
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, std::max(left, 1));
    }
    pending_.clear();
    if (socket_) socket_->close();
}

int OvNDCPClient::ReceiveBufferSize() const {
    if (!socket_) return 0;
    return socket_->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
}

std::uint8_t OvNDCPClient::SendRequest(std::string_view macText, std::string_view password,
                                       const OvNDCPVarList& vars, std::uint8_t command, OvNDCPCallback callback,
                                       std::int32_t timeout) {
    const std::vector<std::uint8_t> datagram = BuildRequest(macText, password, vars, command, sequence_, locale_);
    if (!socket_) RaiseNDCPError(kSocketReadWriteError);
    const NDCPNetworkSetting& setting = NetworkSetting();
    const qint64 sent = socket_->writeDatagram(reinterpret_cast<const char*>(datagram.data()),
                                               static_cast<qint64>(datagram.size()),
                                               QHostAddress(QString::fromStdString(setting.destinationAddress)),
                                               setting.destinationPort);
    if (sent != static_cast<qint64>(datagram.size())) RaiseNDCPError(kSocketReadWriteError);

    auto record = std::make_unique<detail::NDCPReqData>();
    record->Sequence = sequence_;
    std::copy_n(datagram.begin() + kOffsetTargetMac, record->MacAddress.size(), record->MacAddress.begin());
    record->Password = std::string(password);
    record->Command = command;
    record->VarList.Assign(vars);
    record->Callback = std::move(callback);
    record->Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::int64_t{timeout} * 10);
    pending_.push_back(std::move(record));
    return sequence_++;
}

void OvNDCPClient::ReadPendingDatagrams() {
    // One byte more than an answer may have, so that a longer datagram shows by its size.
    std::array<std::uint8_t, kReceiveBufferSize + 1> buffer{};
    while (socket_ && socket_->hasPendingDatagrams()) {
        QHostAddress sender;
        quint16 senderPort = 0;
        const qint64 size = socket_->readDatagram(reinterpret_cast<char*>(buffer.data()),
                                                  static_cast<qint64>(buffer.size()), &sender, &senderPort);
        if (size < 0) return;
        if (static_cast<std::size_t>(size) > kReceiveBufferSize) continue;
        ReceiveAnswer(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(size)), senderPort);
    }
}

detail::NDCPReqData* OvNDCPClient::FindPending(std::uint8_t sequence) {
    const auto it = std::find_if(pending_.begin(), pending_.end(),
                                 [sequence](const auto& record) { return record->Sequence == sequence; });
    return it == pending_.end() ? nullptr : it->get();
}

void OvNDCPClient::ReceiveAnswer(std::span<const std::uint8_t> datagram, std::uint16_t sourcePort) {
    if (sourcePort != NetworkSetting().answerSourcePort) return;
    if (!AnswerHeaderValid(datagram)) return;
    detail::NDCPReqData* record = FindPending(AnswerSequence(datagram));
    if (!record) return;
    if (record->Command != kDiscoverCommand) {
        if (AnswerTargetMac(datagram) != record->MacAddress) return;
        record->Done = true;
    }
    const int code = DecodeAnswer(datagram, record->Command, record->VarList, locale_);
    Complete(*record, code);
}

void OvNDCPClient::CheckTimeouts() {
    const auto now = std::chrono::steady_clock::now();
    for (const auto& record : pending_) {
        if (record->Done) continue;
        if (now > record->Deadline) {
            record->Done = true;
            Complete(*record, kConnectionTimeout);
            return;
        }
    }
}

void OvNDCPClient::Complete(detail::NDCPReqData& record, int code) {
    OvNDCPError outcome;
    outcome.Code = code;
    outcome.Message = std::string(NDCPMessage(code));
    outcome.Sequence = record.Sequence;
    outcome.Command = record.Command;
    outcome.MacAddress = MacBytesToText(record.MacAddress);
    outcome.Password = record.Password;
    const OvNDCPVarList vars(record.VarList);
    const OvNDCPCallback callback = record.Callback;

    // A Discover stays pending, collecting answers, until its time-out.
    if (record.Command != kDiscoverCommand || code == kConnectionTimeout) {
        const auto it = std::find_if(pending_.begin(), pending_.end(),
                                     [&record](const auto& pending) { return pending.get() == &record; });
        if (it != pending_.end()) pending_.erase(it);
    }
    // The callback may send new requests or run a nested event loop; nothing of the pending
    // table is held across it.
    if (callback.Callable()) callback.function(outcome, vars);
}

void StartClient(QObject* owner) {
    InstanceSlot() = new OvNDCPClient(owner);
    DefaultDevice() = OvNDCPDevice{};
}

OvNDCPClient* ClientInstance() { return InstanceSlot().data(); }
