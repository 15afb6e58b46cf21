#include "ndcp/OvNDCPRequest.h"

#include <chrono>

#include "errors/Messages.h"
#include "errors/OvException.h"
#include "ndcp/OvNDCPClient.h"
#include "ndcp/wire/NDCPPacket.h"
#include "vars/Expression.h"

namespace {

LocaleSettings ClientLocale() {
    const OvNDCPClient* client = ClientInstance();
    return client ? client->Locale() : LocaleSettings{};
}

// One wait for events of a synchronous command; the loop around it looks again after each.
constexpr std::chrono::milliseconds kLongestWait{60'000};

constexpr std::string_view kDeletedWhileDiscovering = "The request was deleted while it waited for answers!";
constexpr std::string_view kDeletedWhileWaiting = "The request was deleted while it waited for its answer!";

[[noreturn]] void RaiseDeleted(std::string_view text) { throw OvException(std::string(text), kNotDone); }

}  // namespace

// Holds Lock and the waiting mark for one synchronous command. When a handler run inside the wait
// deletes the request, the destructor has released both and the scope leaves the freed request
// alone.
class OvNDCPRequest::CommandScope {
public:
    explicit CommandScope(OvNDCPRequest& request) : request_(request), alive_(request.alive_) {
        request_.Lock.lock();
        request_.waiting_ = true;
    }
    ~CommandScope() {
        if (alive_.expired()) return;
        request_.waiting_ = false;
        request_.Lock.unlock();
    }
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;

private:
    OvNDCPRequest& request_;
    const std::weak_ptr<const int> alive_;
};

OvNDCPRequest::OvNDCPRequest() { LoadDefaults(); }

OvNDCPRequest::~OvNDCPRequest() {
    // Deleted by a handler inside a synchronous command's wait, on the thread that holds the lock:
    // released here, so that it is not destroyed held and the command never touches it again.
    if (waiting_) Lock.unlock();
}

std::string OvNDCPRequest::ExpandExpression(std::string_view expression, bool quoting,
                                            std::string_view marker) const {
    return ::ExpandExpression(Vars, expression, quoting, marker, ClientLocale());
}

bool OvNDCPRequest::PassesFilter(std::string_view filter) const {
    if (filter.empty()) return true;
    return EvaluateLogic(ExpandExpression(filter, true, "$"), ClientLocale());
}

bool OvNDCPRequest::MatchesFilter() const { return PassesFilter(Filter); }

void OvNDCPRequest::LoadDefaults() { Device = DefaultDevice(); }

void OvNDCPRequest::RefuseWhileWaiting() const {
    // A command started from an event handled inside the wait would overwrite what the
    // waiting command is about to read.
    if (waiting_) {
        throw OvException("The request is still waiting for an answer to its last command!", kNotDone);
    }
}

OvNDCPCallback OvNDCPRequest::BindCallback(void (OvNDCPRequest::*handler)(const OvNDCPError&,
                                                                          const OvNDCPVarList&)) {
    return OvNDCPCallback([this, handler](const OvNDCPError& outcome,
                                          const OvNDCPVarList& vars) { (this->*handler)(outcome, vars); },
                          alive_);
}

std::uint8_t OvNDCPRequest::Send(std::uint8_t command, OvNDCPCallback callback) {
    OvNDCPClient* client = ClientInstance();
    if (!client) RaiseNDCPError(kSocketReadWriteError);
    return client->SendRequest(Device.MacAddress, Device.Password, Vars, command, std::move(callback),
                               Timeout, Device.Adapter);
}

OvNDCPRequest::WaitEnd OvNDCPRequest::WaitWhileBusy() {
    const std::weak_ptr<const int> alive = alive_;
    while (Busy == 1) {
        if (!ClientInstance()) {
            // The client went away with the answer still outstanding: nothing can end the wait.
            LastResult = OvNDCPError{kSocketReadWriteError, std::string(NDCPMessage(kSocketReadWriteError)),
                                     LastResult.Sequence,   LastResult.Command,
                                     Device.MacAddress,     Device.Password,
                                     NetworkAdapter{}};
            Busy = 0;
            return WaitEnd::ClientGone;
        }
        ClientClock().WaitForEvents(kLongestWait);
        if (alive.expired()) return WaitEnd::RequestGone;
    }
    return WaitEnd::Outcome;
}

bool OvNDCPRequest::Discover(bool first) {
    RefuseWhileWaiting();
    if (first) {
        WaitEnd end = WaitEnd::Outcome;
        {
            const CommandScope command(*this);
            Results.clear();
            resultAdapters_.clear();
            droppedAnswers_ = 0;
            Cursor = 0;
            Busy = 1;
            Send(kDiscoverCommand, BindCallback(&OvNDCPRequest::OnDiscoverAnswer));
            end = WaitWhileBusy();
            if (end == WaitEnd::RequestGone) RaiseDeleted(kDeletedWhileDiscovering);
        }
        if (end == WaitEnd::ClientGone) throw OvException(LastResult.Message, LastResult.Code);
    }
    if (Cursor < 0 || static_cast<std::size_t>(Cursor) >= Results.size()) return false;
    Vars.Assign(*Results[static_cast<std::size_t>(Cursor)]);
    const auto position = static_cast<std::size_t>(Cursor);
    answerAdapter_ = position < resultAdapters_.size() ? resultAdapters_[position] : NetworkAdapter{};
    ++Cursor;
    return true;
}

const NetworkAdapter& OvNDCPRequest::ResultAdapter(std::size_t index) const noexcept {
    static const NetworkAdapter kNone{};
    return index < resultAdapters_.size() ? resultAdapters_[index] : kNone;
}

void OvNDCPRequest::RunAnswered(std::uint8_t command) {
    RefuseWhileWaiting();
    {
        const CommandScope scope(*this);
        Busy = 1;
        Send(command, BindCallback(&OvNDCPRequest::OnAnswer));
        if (WaitWhileBusy() == WaitEnd::RequestGone) RaiseDeleted(kDeletedWhileWaiting);
    }
    if (LastResult.Code != kOk) throw OvException(LastResult.Message, LastResult.Code);
}

void OvNDCPRequest::Get() { RunAnswered(kGetCommand); }

void OvNDCPRequest::Set() { RunAnswered(kSetCommand); }

std::uint8_t OvNDCPRequest::DiscoverAsync(OvNDCPCallback callback) {
    RefuseWhileWaiting();
    return Send(kDiscoverCommand, std::move(callback));
}

std::uint8_t OvNDCPRequest::GetAsync(OvNDCPCallback callback) {
    RefuseWhileWaiting();
    return Send(kGetCommand, std::move(callback));
}

void OvNDCPRequest::OnDiscoverAnswer(const OvNDCPError& outcome, const OvNDCPVarList& vars) {
    if (outcome.Code == kOk) {
        if (Results.size() < kMaxDiscoverAnswers) {
            Results.push_back(std::make_unique<OvNDCPVarList>(vars));
            resultAdapters_.push_back(outcome.Adapter);
        } else {
            ++droppedAnswers_;
        }
        return;
    }
    LastResult = outcome;
    if (outcome.Code == kConnectionTimeout) Busy = 0;
}

void OvNDCPRequest::OnAnswer(const OvNDCPError& outcome, const OvNDCPVarList& vars) {
    Vars.Assign(vars);
    LastResult = outcome;
    Busy = 0;
}
