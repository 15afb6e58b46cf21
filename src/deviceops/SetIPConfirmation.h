#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "device/ListedDevice.h"

// A Set IP sent to a device the way the Set IP dialog's command sends it, and its outcome confirmed
// by finding the device again by its MAC address through the adapter that heard it.

enum class SetIPOutcome {
    AnswersAtNewAddress,     // the device accepted the Set and answered the search at the new address
    AnswersElsewhere,        // it accepted, and answered the search at another address
    SilentAfterAccepting,    // it accepted, and did not answer the search
    TookEffectAfterTimeout,  // the Set timed out, yet the device answered the search at the new address
    NotConfirmed,            // the Set timed out, and the device did not answer the search there
};

struct SetIPResult {
    SetIPOutcome outcome = SetIPOutcome::NotConfirmed;
    std::string address;  // as sent
    std::string netmask;
    std::optional<ListedDevice> found;  // what the search found
};

// Sends the address and netmask (checked by SetIPRefusal first) to the device's MAC address through
// its adapter alone, authenticated with the access password (8-bit characters, see
// AccessPassword.h), waits kSetIPTimeout, then searches for the device for kFindAgainTimeout.
// The encrypted password is wiped before the call returns. Raises OvException: the address rules'
// refusal before anything is sent; the Set's error for every outcome but the time-out
// (kPasswordError for a wrong password); the search's error when the search could not be sent,
// with the Set's code and what happened before in the message.
[[nodiscard]] SetIPResult SetIPAndConfirm(const ListedDevice& device, std::string_view address,
                                          std::string_view netmask, std::string_view accessPassword);
