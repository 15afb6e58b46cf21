#include "deviceops/DeviceDiscovery.h"

#include <chrono>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include <QObject>

#include "errors/OvException.h"
#include "ndcp/OvNDCPClient.h"
#include "ndcp/OvNDCPRequest.h"

namespace {

constexpr std::chrono::milliseconds kProgressInterval{100};
constexpr std::chrono::milliseconds kTimeoutUnit{10};

// A discovery request as the window sends it, through the adapter given.
void PrepareDiscovery(OvNDCPRequest& request, const NetworkAdapter& through, std::int32_t timeout) {
    request.Device.MacAddress = std::string(kBroadcastMac);
    request.Device.Password = std::string(kDefaultPassword);
    request.Device.Adapter = through;
    request.Timeout = timeout;
    SetDiscoveryVars(request.Vars);
}

// Whether the answer now in the request's variables passes the filter; one it cannot read does not.
bool PassesFilter(const OvNDCPRequest& request, std::string_view filter) {
    try {
        return request.PassesFilter(filter);
    } catch (const OvException&) {
        return false;
    }
}

// The discovery filter reads nothing but the module name, part 0 of the discovery variable.
static_assert(kDiscoveryFilter.starts_with("$0.0=") &&
              kDiscoveryFilter.find('$', 1) == std::string_view::npos);

// Whether answers pass the discovery filter: the request's own evaluation, run once for each module
// name, so that thousands of answers of one model cost one evaluation.
class ModelFilter {
public:
    ModelFilter(OvNDCPRequest& scratch, bool allModels) : scratch_(scratch), allModels_(allModels) {}

    bool Passes(const OvNDCPVarList& answer, const std::string& module) {
        if (allModels_) return true;
        if (const auto known = verdicts_.find(module); known != verdicts_.end()) return known->second;
        scratch_.Vars.Assign(answer);
        return verdicts_.emplace(module, PassesFilter(scratch_, kDiscoveryFilter)).first->second;
    }

private:
    OvNDCPRequest& scratch_;
    const bool allModels_;
    std::unordered_map<std::string, bool> verdicts_;
};

}  // namespace

DiscoveryRun DiscoverDevices(const DiscoveryChoice& choice) {
    OvNDCPRequest request;
    PrepareDiscovery(request, choice.through, choice.timeout);
    QObject context;
    std::unique_ptr<Clock::Ticker> ticker;
    if (choice.progress) {
        ticker = ClientClock().Every(kProgressInterval, &context,
                                     [&request, &choice] { choice.progress(request.Results.size()); });
    }
    DiscoveryRun run;
    static_cast<void>(request.Discover(true));
    ticker.reset();
    if (const OvNDCPClient* const client = ClientInstance()) run.sends = client->LastSends();
    run.dropped = request.DroppedAnswers();

    // The answers are read where the request keeps them, in order of arrival, without a copy each.
    ModelFilter filter(request, choice.allModels);
    std::unordered_set<std::string> answered(request.Results.size());
    std::unordered_set<std::string> listed(request.Results.size());
    run.devices.reserve(request.Results.size());
    for (std::size_t i = 0; i < request.Results.size(); ++i) {
        const OvNDCPVarList& answer = *request.Results[i];
        ListedDevice device = ListedDeviceFromAnswer(answer, request.ResultAdapter(i));
        answered.insert(device.mac);
        if (!filter.Passes(answer, device.module) || !listed.insert(device.mac).second) continue;
        run.devices.push_back(std::move(device));
    }
    run.answered = answered.size();
    return run;
}

std::optional<ListedDevice> FindDeviceByMac(const MacBytes& mac, const NetworkAdapter& through,
                                            std::int32_t timeout, std::string_view filter) {
    OvNDCPRequest request;
    PrepareDiscovery(request, through, timeout);
    std::optional<ListedDevice> found;
    bool timedOut = false;
    // The callback goes with this call: later answers of the pending Discover find it gone.
    const auto alive = std::make_shared<const int>(0);
    const OvNDCPCallback callback(
        [&](const OvNDCPError& outcome, const OvNDCPVarList& vars) {
            if (outcome.Code == kConnectionTimeout) timedOut = true;
            if (outcome.Code != kOk || found) return;
            request.Vars.Assign(vars);
            ListedDevice device = ListedDeviceFromAnswer(request.Vars, outcome.Adapter);
            if (MacTextToBytes(device.mac) != mac || !PassesFilter(request, filter)) return;
            found = std::move(device);
        },
        alive);
    static_cast<void>(request.DiscoverAsync(callback));
    // A little beyond the time-out, so that the client's own sweep ends the wait.
    const auto limit = timeout * kTimeoutUnit + std::chrono::milliseconds(OvNDCPClient::kSweepIntervalMs * 5);
    ClientClock().ProcessEventsWhile([&] { return !found && !timedOut && ClientInstance() != nullptr; },
                                     limit);
    return found;
}
