#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ndcp/OvNDCPCallback.h"
#include "ndcp/OvNDCPDevice.h"
#include "ndcp/wire/OvNDCPError.h"
#include "vars/OvNDCPVarList.h"

// A target device, a variable list, a response filter and a time-out, run through the shared
// client synchronously (Discover, Get, Set wait while the event loop keeps running) or
// asynchronously (DiscoverAsync, GetAsync return the sequence number at once).
class OvNDCPRequest {
public:
    OvNDCPRequest();
    virtual ~OvNDCPRequest();
    OvNDCPRequest(const OvNDCPRequest&) = delete;
    OvNDCPRequest& operator=(const OvNDCPRequest&) = delete;

    // The request's variables with every reference of the expression replaced by their values.
    [[nodiscard]] virtual std::string ExpandExpression(std::string_view expression, bool quoting,
                                                       std::string_view marker) const;
    // Whether the current variables satisfy the filter; true for the empty filter.
    [[nodiscard]] virtual bool PassesFilter(std::string_view filter) const;

    void LoadDefaults();
    // first: send a Discover, wait for its whole time-out and hand out the first answer;
    // otherwise hand out the next answer of the last run. False when no answer is left.
    bool Discover(bool first);
    std::uint8_t DiscoverAsync(OvNDCPCallback callback);
    // Raise the stored outcome when it is not success.
    void Get();
    std::uint8_t GetAsync(OvNDCPCallback callback);
    void Set();
    [[nodiscard]] bool MatchesFilter() const;

    // What one synchronous Discover keeps: far more devices than a network segment holds, yet
    // bounded against a flood of answers or replays.
    static constexpr std::size_t kMaxDiscoverAnswers = 65536;
    // The adapter the answer Discover handed out last was heard on; none when it is not known.
    [[nodiscard]] const NetworkAdapter& AnswerAdapter() const noexcept { return answerAdapter_; }
    // The adapter Results[index] was heard on; none when it is not known.
    [[nodiscard]] const NetworkAdapter& ResultAdapter(std::size_t index) const noexcept;
    // The answers of the last synchronous Discover dropped for want of room.
    [[nodiscard]] std::size_t DroppedAnswers() const noexcept { return droppedAnswers_; }

    // True while a synchronous command runs, from its send until its outcome is in.
    [[nodiscard]] bool Waiting() const noexcept { return waiting_; }

    std::int32_t Timeout = 100;
    OvNDCPDevice Device;
    OvNDCPVarList Vars;
    std::string Filter;
    std::recursive_mutex Lock;
    std::uint8_t Busy = 0;
    OvNDCPError LastResult;
    std::vector<std::unique_ptr<OvNDCPVarList>> Results;
    std::int32_t Cursor = 0;

protected:
    void OnDiscoverAnswer(const OvNDCPError& outcome, const OvNDCPVarList& vars);
    void OnAnswer(const OvNDCPError& outcome, const OvNDCPVarList& vars);

    // A callback bound to this request that is dropped once the request is gone.
    [[nodiscard]] OvNDCPCallback BindCallback(void (OvNDCPRequest::*handler)(const OvNDCPError&,
                                                                             const OvNDCPVarList&));
    [[nodiscard]] std::weak_ptr<const void> LifeToken() const { return alive_; }

private:
    class CommandScope;
    // How the wait of a synchronous command ended.
    enum class WaitEnd { Outcome, ClientGone, RequestGone };

    void RefuseWhileWaiting() const;
    std::uint8_t Send(std::uint8_t command, OvNDCPCallback callback);
    // Processes events until Busy clears, the client goes away (LastResult then holds
    // kSocketReadWriteError) or the request is deleted by a handler run inside the wait.
    [[nodiscard]] WaitEnd WaitWhileBusy();
    void RunAnswered(std::uint8_t command);

    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
    bool waiting_ = false;
    std::size_t droppedAnswers_ = 0;
    std::vector<NetworkAdapter> resultAdapters_;  // the adapter of each of Results
    NetworkAdapter answerAdapter_;
};
