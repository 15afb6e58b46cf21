#include "ndcp/OvNDCPClient.h"

#include <algorithm>
#include <bitset>
#include <utility>

#include <QTimer>

#include "ndcp/EventWait.h"
#include "errors/Messages.h"
#include "ndcp/NDCPSocket.h"
#include "ndcp/NetworkSetting.h"
#include "errors/OvException.h"
#include "ndcp/OvNDCPDevice.h"

namespace {

QPointer<OvNDCPClient>& InstanceSlot() {
    static QPointer<OvNDCPClient> instance;
    return instance;
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
    socket_ = detail::NDCPSocket::Open(NetworkSetting().localAddress, kRequestedReceiveBuffer);
    if (!socket_) RaiseNDCPError(kSocketNotReady);
    socket_->OnReadable(this, [this] { ReadPendingDatagrams(); });
}

OvNDCPClient::~OvNDCPClient() {
    sweepTimer_->stop();
    // Answers may still complete their requests; time-outs are no longer swept.
    ProcessEventsWhile([this] { return !pending_.empty(); }, destructionWait_);
    pending_.clear();
    socket_.reset();
}

int OvNDCPClient::ReceiveBufferSize() const { return socket_ ? socket_->ReceiveBufferSize() : 0; }

std::uint8_t OvNDCPClient::FreeSequence() const {
    std::bitset<256> taken;
    for (const auto& record : pending_) taken.set(record->Sequence);
    for (int step = 0; step < 256; ++step) {
        const auto candidate = static_cast<std::uint8_t>(sequence_ + step);
        if (!taken.test(candidate)) return candidate;
    }
    throw OvException("All 256 sequence numbers are in use by pending requests!", kNotDone);
}

std::uint8_t OvNDCPClient::SendRequest(std::string_view macText, std::string_view password,
                                       const OvNDCPVarList& vars, std::uint8_t command, OvNDCPCallback callback,
                                       std::int32_t timeout) {
    const std::uint8_t sequence = FreeSequence();
    const std::vector<std::uint8_t> datagram =
        BuildRequest(macText, password, vars, command, sequence, locale_);
    if (!socket_) RaiseNDCPError(kSocketReadWriteError);
    const NDCPNetworkSetting& setting = NetworkSetting();
    if (!socket_->Send(datagram, setting.destinationAddress, setting.destinationPort)) {
        RaiseNDCPError(kSocketReadWriteError);
    }

    auto record = std::make_unique<detail::NDCPReqData>();
    record->Sequence = sequence;
    std::copy_n(datagram.begin() + kOffsetTargetMac, record->MacAddress.size(), record->MacAddress.begin());
    record->MacText = MacBytesToText(record->MacAddress);
    record->Password = std::string(password);
    record->Command = command;
    record->VarList.Assign(vars);
    record->Callback = std::move(callback);
    record->Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::int64_t{timeout} * 10);
    pending_.push_back(std::move(record));
    sequence_ = static_cast<std::uint8_t>(sequence + 1);
    return sequence;
}

void OvNDCPClient::ReadPendingDatagrams() {
    if (!socket_) return;
    // A callback may destroy the client, and the socket with it: the reading stops then.
    const QPointer<OvNDCPClient> alive(this);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadBudgetMs);
    socket_->Receive(
        [this, &alive](std::span<const std::uint8_t> datagram, std::uint16_t sourcePort) {
            ReceiveAnswer(datagram, sourcePort);
            return !alive.isNull();
        },
        deadline);
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
    outcome.MacAddress = record.MacText;
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
