#include "ndcp/OvNDCPClient.h"

#include <algorithm>
#include <bitset>
#include <utility>

#include "errors/Messages.h"
#include "errors/OvException.h"
#include "ndcp/OvNDCPDevice.h"
#include "ndcp/UdpTransport.h"

namespace {

QPointer<OvNDCPClient>& InstanceSlot() {
    static QPointer<OvNDCPClient> instance;
    return instance;
}

}  // namespace

ClientEnvironment RealEnvironment() { return {OpenUdpTransport, NetworkSetting(), &SystemClock()}; }

OvNDCPClient::OvNDCPClient(QObject* owner, ClientEnvironment environment)
    : QObject(owner),
      network_(std::move(environment.network)),
      clock_(environment.clock ? environment.clock : &SystemClock()) {
    OpenTransport(environment.openTransport ? environment.openTransport : TransportFactory(OpenUdpTransport),
                  environment.receiveBuffer);
}

void OvNDCPClient::StartSweep() {
    if (!sweep_)
        sweep_ =
            clock_->Every(std::chrono::milliseconds(kSweepIntervalMs), this, [this] { CheckTimeouts(); });
}

void OvNDCPClient::StopSweepWhenIdle() {
    if (!pending_.empty() || !sweep_) return;
    // Not from within the tick itself: its timer is still delivering the call.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (pending_.empty()) sweep_.reset();
        },
        Qt::QueuedConnection);
}

void OvNDCPClient::OpenTransport(const TransportFactory& open, int receiveBuffer) {
    transport_ = open(network_.localAddress, receiveBuffer);
    if (!transport_) RaiseNDCPError(kSocketNotReady);
    transport_->OnReadable(this, [this] { ReadPendingDatagrams(); });
}

OvNDCPClient::~OvNDCPClient() {
    sweep_.reset();
    // Answers may still complete their requests; time-outs are no longer swept.
    clock_->ProcessEventsWhile([this] { return !pending_.empty(); }, destructionWait_);
    pending_.clear();
    transport_.reset();
}

std::vector<NetworkAdapter> OvNDCPClient::Adapters() const {
    return transport_ ? transport_->Adapters() : std::vector<NetworkAdapter>{};
}

int OvNDCPClient::ReceiveBufferSize() const { return transport_ ? transport_->ReceiveBufferSize() : 0; }

std::uint8_t OvNDCPClient::FreeSequence() const {
    std::bitset<256> taken;
    for (const auto& record : pending_) taken.set(record->Sequence);
    for (int step = 0; step < 256; ++step) {
        const auto candidate = static_cast<std::uint8_t>(sequence_ + step);
        if (!taken.test(candidate)) return candidate;
    }
    throw OvException("All 256 sequence numbers are in use by pending requests!", kNotDone);
}

std::vector<NetworkAdapter> OvNDCPClient::Route(const NetworkAdapter& through) const {
    if (network_.destinationAddress != kLimitedBroadcast) return {NetworkAdapter{}};
    if (through.Known()) return {through};
    return transport_->Adapters();
}

std::vector<NetworkAdapter> OvNDCPClient::SendAlong(const std::vector<NetworkAdapter>& route,
                                                    std::span<const std::uint8_t> datagram) {
    lastSends_.clear();
    std::vector<NetworkAdapter> left;
    for (const NetworkAdapter& adapter : route) {
        const Transport::SendFailure failure =
            transport_->Send(datagram, network_.destinationAddress, network_.destinationPort, adapter);
        lastSends_.push_back({adapter, failure.value_or(std::string())});
        if (!failure) left.push_back(adapter);
    }
    return left;
}

std::uint8_t OvNDCPClient::SendRequest(std::string_view macText, std::string_view password,
                                       const OvNDCPVarList& vars, std::uint8_t command,
                                       OvNDCPCallback callback, std::int32_t timeout,
                                       const NetworkAdapter& through) {
    const std::uint8_t sequence = FreeSequence();
    const std::vector<std::uint8_t> datagram =
        BuildRequest(macText, password, vars, command, sequence, locale_);
    if (!transport_) RaiseNDCPError(kSocketReadWriteError);
    std::vector<NetworkAdapter> left = SendAlong(Route(through), datagram);
    if (left.empty()) RaiseNDCPError(kSocketReadWriteError);

    auto record = std::make_unique<detail::NDCPReqData>();
    record->Sequence = sequence;
    std::copy_n(datagram.begin() + kOffsetTargetMac, record->MacAddress.size(), record->MacAddress.begin());
    record->MacText = MacBytesToText(record->MacAddress);
    record->Password = std::string(password);
    record->Command = command;
    record->VarList.Assign(vars);
    record->Callback = std::move(callback);
    record->Deadline = clock_->Now() + std::chrono::milliseconds(std::int64_t{timeout} * 10);
    std::erase_if(left, [](const NetworkAdapter& adapter) { return !adapter.Known(); });
    record->Adapters = std::move(left);
    pending_.push_back(std::move(record));
    StartSweep();
    sequence_ = static_cast<std::uint8_t>(sequence + 1);
    return sequence;
}

void OvNDCPClient::ReadPendingDatagrams() {
    if (!transport_) return;
    // A callback may destroy the client, and the transport with it: the reading stops then.
    const QPointer<OvNDCPClient> alive(this);
    const Clock& clock = *clock_;
    const auto deadline = clock.Now() + std::chrono::milliseconds(kReadBudgetMs);
    transport_->Receive(
        [this, &alive](const ReceivedDatagram& datagram) {
            ReceiveAnswer(datagram);
            return !alive.isNull();
        },
        [&clock, deadline] { return clock.Now() >= deadline; });
}

detail::NDCPReqData* OvNDCPClient::FindPending(std::uint8_t sequence) {
    const auto it = std::find_if(pending_.begin(), pending_.end(),
                                 [sequence](const auto& record) { return record->Sequence == sequence; });
    return it == pending_.end() ? nullptr : it->get();
}

void OvNDCPClient::ReceiveAnswer(const ReceivedDatagram& received) {
    if (received.sourcePort != network_.answerSourcePort) return;
    const std::span<const std::uint8_t> datagram = received.bytes;
    if (!AnswerHeaderValid(datagram)) return;
    detail::NDCPReqData* record = FindPending(AnswerSequence(datagram));
    if (!record) return;
    const auto heard = std::find_if(
        record->Adapters.begin(), record->Adapters.end(),
        [&received](const NetworkAdapter& adapter) { return adapter.index == received.adapterIndex; });
    const bool heardOnItsAdapter = heard != record->Adapters.end();
    if (record->Command != kDiscoverCommand) {
        if (AnswerTargetMac(datagram) != record->MacAddress) return;
        // A request to one device's adapter takes its answer from that adapter alone.
        if (record->Adapters.size() == 1 && received.adapterIndex != 0 && !heardOnItsAdapter) return;
        record->Done = true;
    }
    const int code = DecodeAnswer(datagram, record->Command, record->VarList, locale_);
    Complete(*record, code, heardOnItsAdapter ? *heard : NetworkAdapter{});
}

void OvNDCPClient::CheckTimeouts() {
    const auto now = clock_->Now();
    for (const auto& record : pending_) {
        if (record->Done) continue;
        if (now > record->Deadline) {
            record->Done = true;
            Complete(*record, kConnectionTimeout);
            return;
        }
    }
}

void OvNDCPClient::Complete(detail::NDCPReqData& record, int code, const NetworkAdapter& heardOn) {
    OvNDCPError outcome;
    outcome.Code = code;
    outcome.Message = std::string(NDCPMessage(code));
    outcome.Sequence = record.Sequence;
    outcome.Command = record.Command;
    outcome.MacAddress = record.MacText;
    outcome.Password = record.Password;
    outcome.Adapter = heardOn;
    const OvNDCPVarList vars(record.VarList);
    const OvNDCPCallback callback = record.Callback;

    // A Discover stays pending, collecting answers, until its time-out.
    if (record.Command != kDiscoverCommand || code == kConnectionTimeout) {
        const auto it = std::find_if(pending_.begin(), pending_.end(),
                                     [&record](const auto& pending) { return pending.get() == &record; });
        if (it != pending_.end()) pending_.erase(it);
        StopSweepWhenIdle();
    }
    // The callback may send new requests or run a nested event loop; nothing of the pending
    // table is held across it.
    if (callback.Callable()) callback.function(outcome, vars);
}

void StartClient(QObject* owner, ClientEnvironment environment) {
    InstanceSlot() = new OvNDCPClient(owner, std::move(environment));
    DefaultDevice() = OvNDCPDevice{};
}

OvNDCPClient* ClientInstance() { return InstanceSlot().data(); }

Clock& ClientClock() {
    const OvNDCPClient* client = ClientInstance();
    return client ? client->GetClock() : SystemClock();
}
