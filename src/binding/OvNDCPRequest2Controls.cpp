#include "binding/OvNDCPRequest2Controls.h"

#include <chrono>

#include <QTime>

#include "binding/OvMemo.h"
#include "binding/OvStatusBar.h"
#include "binding/OvStatusPanel.h"
#include "binding/UiHooks.h"
#include "errors/Messages.h"
#include "errors/OvException.h"
#include "ndcp/OvNDCPClient.h"
#include "vars/TextHelpers.h"

namespace {

LocaleSettings CurrentLocale() {
    const OvNDCPClient* client = ClientInstance();
    return client ? client->Locale() : LocaleSettings{};
}

// "hh:nn:ss ampm": the 12-hour clock with the locale's separator and designators.
std::string TimeOfDayText(const QTime& time, const LocaleSettings& locale) {
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    const auto twoDigits = [](int value) {
        return std::string{static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
    };
    const std::string separator(1, locale.timeSeparator);
    return twoDigits(hour12) + separator + twoDigits(time.minute()) + separator + twoDigits(time.second()) +
           " " + (time.hour() < 12 ? locale.amDesignator : locale.pmDesignator);
}

// Counts an asynchronous command as finished when its last completion leaves, however it leaves.
class PendingDecrement {
public:
    explicit PendingDecrement(std::uint32_t& count) : count_(count) {}
    ~PendingDecrement() {
        if (count_ > 0) --count_;
    }
    PendingDecrement(const PendingDecrement&) = delete;
    PendingDecrement& operator=(const PendingDecrement&) = delete;

private:
    std::uint32_t& count_;
};

}  // namespace

// Calls BeginResponses now and EndResponses when the responses of a command are through.
class OvNDCPRequest2Controls::ResponsesScope {
public:
    explicit ResponsesScope(OvNDCPRequest2Controls& binding) : binding_(binding) {
        binding_.BeginResponses();
    }
    ~ResponsesScope() { binding_.EndResponses(); }
    ResponsesScope(const ResponsesScope&) = delete;
    ResponsesScope& operator=(const ResponsesScope&) = delete;

private:
    OvNDCPRequest2Controls& binding_;
};

OvNDCPRequest2Controls::OvNDCPRequest2Controls(QWidget* ownerForm) : ownerForm_(ownerForm) {}

OvNDCPRequest2Controls::~OvNDCPRequest2Controls() {
    // The subclass part is gone: late completions only count down from here on.
    tearingDown_ = true;
    WaitForPendingCommands();
}

void OvNDCPRequest2Controls::WaitForPendingCommands() {
    if (waitedForPending_) return;
    waitedForPending_ = true;
    // Without the client no answer and no time-out can come any more.
    ClientClock().ProcessEventsWhile([this] { return pendingCount_ > 0 && ClientInstance() != nullptr; },
                                     std::chrono::milliseconds(kDestructionWaitMs));
}

void OvNDCPRequest2Controls::SetStatusControl(QWidget* control) { statusControl_ = control; }

void OvNDCPRequest2Controls::ShowStatus(const QString& text) {
    QWidget* control = statusControl_;
    if (!control) return;
    if (auto* memo = qobject_cast<OvMemo*>(control)) {
        memo->AppendLine(text);
    } else if (auto* statusBar = qobject_cast<OvStatusBar*>(control)) {
        statusBar->SetSimpleText(text);
    } else if (auto* panel = qobject_cast<OvStatusPanel*>(control)) {
        panel->SetText(text);
    }
}

void OvNDCPRequest2Controls::ReportError(const QString& message) {
    if (statusControl_) {
        ShowStatus(message);
    } else {
        ShowMessageBox(ownerForm_, message);
    }
}

QString OvNDCPRequest2Controls::Summary(int templateIndex, std::string_view message) const {
    std::string text = ReplaceAll(NDCPTableEntry(templateIndex), "[ERROR]", message);
    text = ReplaceAll(text, "[VARLIST]", Request.Vars.Name);
    text = ReplaceAll(text, "[TIME]", TimeOfDayText(QTime::currentTime(), CurrentLocale()));
    return QString::fromStdString(text);
}

bool OvNDCPRequest2Controls::AnswerPassesFilter() const {
    try {
        return Request.MatchesFilter();
    } catch (const OvException&) {
        return false;
    }
}

void OvNDCPRequest2Controls::BeforeRequest(std::uint8_t) {}

void OvNDCPRequest2Controls::CollectValues() {}

void OvNDCPRequest2Controls::AfterRequest(std::uint8_t) {}

void OvNDCPRequest2Controls::Execute(std::uint8_t command) {
    BeforeRequest(command);
    if (Asynchronous == 0) {
        ExecuteSynchronously(command);
    } else if (Asynchronous == 1) {
        ExecuteAsynchronously(command);
    }
}

void OvNDCPRequest2Controls::ExecuteSynchronously(std::uint8_t command) {
    int summaryTemplate = kGetSummaryTemplate;
    if (command == kDiscoverCommand) {
        bool more = Request.Discover(true);
        const ResponsesScope responses(*this);
        for (; more; more = Request.Discover(false)) {
            responseAdapter_ = Request.AnswerAdapter();
            if (AnswerPassesFilter()) PutResponse(command);
        }
        summaryTemplate = kDiscoverSummaryTemplate;
    } else {
        Request.Get();
        if (Request.MatchesFilter()) PutResponse(command);
    }
    AfterRequest(command);
    if (statusControl_) ShowStatus(Summary(summaryTemplate, NDCPMessage(kOk)));
}

void OvNDCPRequest2Controls::ExecuteAsynchronously(std::uint8_t command) {
    ++pendingCount_;
    try {
        if (command == kDiscoverCommand) {
            Request.DiscoverAsync(
                OvNDCPCallback([this](const OvNDCPError& outcome,
                                      const OvNDCPVarList& vars) { OnDiscoverCompletion(outcome, vars); },
                               alive_));
        } else {
            Request.GetAsync(
                OvNDCPCallback([this](const OvNDCPError& outcome,
                                      const OvNDCPVarList& vars) { OnGetCompletion(outcome, vars); },
                               alive_));
        }
    } catch (...) {
        // Nothing was sent, so nothing will ever complete it.
        --pendingCount_;
        throw;
    }
}

void OvNDCPRequest2Controls::OnDiscoverCompletion(const OvNDCPError& outcome, const OvNDCPVarList& vars) {
    if (outcome.Code == kConnectionTimeout) {
        const PendingDecrement done(pendingCount_);
        if (tearingDown_) return;
        Request.Vars.Assign(vars);
        try {
            AfterRequest(outcome.Command);
        } catch (const OvException& e) {
            ReportError(QString::fromUtf8(e.what()));
        }
        return;
    }
    if (tearingDown_) return;
    Request.Vars.Assign(vars);
    responseAdapter_ = outcome.Adapter;
    if (outcome.Code != kOk || !AnswerPassesFilter()) return;
    try {
        PutResponse(outcome.Command);
    } catch (const OvException& e) {
        ReportError(QString::fromUtf8(e.what()));
    }
}

void OvNDCPRequest2Controls::OnGetCompletion(const OvNDCPError& outcome, const OvNDCPVarList& vars) {
    const PendingDecrement done(pendingCount_);
    if (tearingDown_) return;
    Request.Vars.Assign(vars);
    const QString summary = Summary(kGetSummaryTemplate, outcome.Message);
    if (outcome.Code != kOk) {
        if (statusControl_) {
            ShowStatus(summary);
        } else {
            ShowMessageBox(ownerForm_, QString::fromStdString(outcome.Message));
        }
        return;
    }
    // Nobody up the stack can catch an error raised here: it is shown instead.
    try {
        if (Request.MatchesFilter()) PutResponse(outcome.Command);
        AfterRequest(outcome.Command);
        ShowStatus(summary);
    } catch (const OvException& e) {
        ReportError(QString::fromUtf8(e.what()));
    }
}
