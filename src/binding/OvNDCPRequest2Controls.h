#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include <QPointer>
#include <QString>
#include <QWidget>

#include "ndcp/OvNDCPRequest.h"

// Runs one request for one window and shows its answers there: synchronously (Execute returns
// when the command has finished) or asynchronously (Execute returns once the request is sent and
// the answers arrive later), with a one-line summary on a status control. What an accepted answer
// does on screen is the subclass's PutResponse.
class OvNDCPRequest2Controls {
public:
    static constexpr int kDestructionWaitMs = 6000;

    explicit OvNDCPRequest2Controls(QWidget* ownerForm);
    virtual ~OvNDCPRequest2Controls();
    OvNDCPRequest2Controls(const OvNDCPRequest2Controls&) = delete;
    OvNDCPRequest2Controls& operator=(const OvNDCPRequest2Controls&) = delete;

    // A memo (each text a new line), a status bar (its simple text) or a status panel.
    void SetStatusControl(QWidget* control);
    [[nodiscard]] QWidget* StatusControl() const { return statusControl_; }
    // Does nothing without a status control or with a control of another kind.
    void ShowStatus(const QString& text);

    // Command 1 runs a Discover, any other a Get. Synchronous mode raises the request's error;
    // asynchronous mode raises only a failure to send.
    void Execute(std::uint8_t command);

    virtual void BeforeRequest(std::uint8_t command);
    virtual void PutResponse(std::uint8_t command) = 0;
    virtual void CollectValues();
    virtual void AfterRequest(std::uint8_t command);

    [[nodiscard]] std::uint32_t PendingCount() const noexcept { return pendingCount_; }
    [[nodiscard]] QWidget* OwnerForm() const { return ownerForm_; }

    OvNDCPRequest Request;
    // 1: asynchronous (the default); 0: synchronous; any other value only calls BeforeRequest.
    std::uint8_t Asynchronous = 1;

protected:
    // "Discover:..." or "Get:..." with [ERROR], [VARLIST] and [TIME] filled.
    [[nodiscard]] QString Summary(int templateIndex, std::string_view message) const;
    // Whether the answer now in Request.Vars passes the filter; an answer whose filter cannot be
    // expanded or evaluated does not pass, so one odd device never hides the others.
    [[nodiscard]] bool AnswerPassesFilter() const;
    // Processes events while asynchronous commands are outstanding, for at most 6 seconds in all.
    // A subclass calls it first thing in its destructor, so that late answers still find it whole.
    void WaitForPendingCommands();
    // Reports an error that arose where no caller can receive it: on the status control, or in a
    // message box without one.
    void ReportError(const QString& message);
    // Bracket the PutResponse calls of one synchronous command, which run one after another with
    // no event handled in between: a subclass may gather their effect and apply it at the end.
    // EndResponses runs however the command leaves, and must not raise.
    virtual void BeginResponses() {}
    virtual void EndResponses() noexcept {}
    // The adapter the answer being put was heard on; none when not known.
    [[nodiscard]] const NetworkAdapter& ResponseAdapter() const noexcept { return responseAdapter_; }

private:
    class ResponsesScope;

    void ExecuteSynchronously(std::uint8_t command);
    void ExecuteAsynchronously(std::uint8_t command);
    void OnDiscoverCompletion(const OvNDCPError& outcome, const OvNDCPVarList& vars);
    void OnGetCompletion(const OvNDCPError& outcome, const OvNDCPVarList& vars);

    NetworkAdapter responseAdapter_;
    QPointer<QWidget> ownerForm_;
    QPointer<QWidget> statusControl_;
    std::uint32_t pendingCount_ = 0;
    bool waitedForPending_ = false;
    bool tearingDown_ = false;
    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};
