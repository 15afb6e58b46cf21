#include "deviceops/SetIPConfirmation.h"

#include "device/DeviceProfile.h"
#include "device/SecureWipe.h"
#include "device/SetIPRequest.h"
#include "deviceops/DeviceDiscovery.h"
#include "errors/OvException.h"
#include "ndcp/OvNDCPRequest.h"

namespace {

// Wipes the request's copy of the encrypted password however the scope ends.
class PasswordWipe {
public:
    explicit PasswordWipe(OvNDCPRequest& request) : request_(request) {}
    ~PasswordWipe() { WipeString(request_.Device.Password); }
    PasswordWipe(const PasswordWipe&) = delete;
    PasswordWipe& operator=(const PasswordWipe&) = delete;

private:
    OvNDCPRequest& request_;
};

// The search for the device after the Set; an error in it raised with what the Set did.
std::optional<ListedDevice> SearchAfterSet(const ListedDevice& device, const std::string& address,
                                           int setCode, const std::string& setText) {
    try {
        return FindDeviceByMac(*MacTextToBytes(device.mac), device.adapter, kFindAgainTimeout);
    } catch (const std::exception& error) {
        throw OvException(setText + " Looking for the device at " + address + " failed: " + error.what(),
                          setCode);
    }
}

}  // namespace

SetIPResult SetIPAndConfirm(const ListedDevice& device, std::string_view address, std::string_view netmask,
                            std::string_view accessPassword) {
    if (!MacTextToBytes(device.mac)) RaiseNDCPError(kBadMacAddress);
    OvNDCPRequest request;
    AddSetIPVars(request.Vars, address, netmask);
    request.Device.MacAddress = device.mac;
    // Through the adapter that heard the device alone: the authenticated request goes nowhere else.
    request.Device.Adapter = device.adapter;
    request.Timeout = kSetIPTimeout;
    SetIPResult result;
    result.address = request.Vars.Var(0).Value;
    result.netmask = request.Vars.Var(1).Value;
    bool timedOut = false;
    std::string timeoutText;
    {
        const PasswordWipe wipe(request);
        request.Device.Password = SetIPPassword(accessPassword);
        try {
            request.Set();
        } catch (const OvException& error) {
            // A device may apply the address and answer too late, or not at all.
            if (error.Code() != kConnectionTimeout) throw;
            timedOut = true;
            timeoutText = error.what();
        }
    }
    if (timedOut) {
        result.found = SearchAfterSet(device, result.address, kConnectionTimeout, timeoutText);
        const bool there = result.found && result.found->ip == result.address;
        result.outcome = there ? SetIPOutcome::TookEffectAfterTimeout : SetIPOutcome::NotConfirmed;
        return result;
    }
    result.found =
        SearchAfterSet(device, result.address, kUnknownError, "The device accepted " + result.address + ".");
    if (!result.found) {
        result.outcome = SetIPOutcome::SilentAfterAccepting;
    } else {
        result.outcome = result.found->ip == result.address ? SetIPOutcome::AnswersAtNewAddress
                                                            : SetIPOutcome::AnswersElsewhere;
    }
    return result;
}
