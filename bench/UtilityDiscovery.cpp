#include "UtilityDiscovery.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <time.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include "BenchClock.h"
#include "binding/OvListView.h"
#include "binding/OvNDCPRequest2Edits.h"
#include "binding/OvStatusBar.h"
#include "device/DeviceProfile.h"
#include "errors/OvException.h"
#include "ndcp/OvNDCPClient.h"
#include "ndcp/OvNDCPDevice.h"
#include "testkit/ScopedNetworkSetting.h"

namespace {

// Not the client's Clock interface: the steady clock the figures are taken with.
using WallClock = bench::Clock;
using bench::MillisecondsBetween;
using bench::ProcessCpuMs;
using bench::ThreadCpuMs;

constexpr int kWindowMs = kDiscoveryTimeout * 10;  // the discovery time-out in milliseconds
constexpr double kRepaintMs = 16;                  // about 60 frames a second

// Counts the paint events of a widget and remembers when the last one came.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count;
            last = WallClock::now();
        }
        return QObject::eventFilter(watched, event);
    }
    std::size_t count = 0;
    WallClock::time_point last{};
};

// Ticks every millisecond while the window is open: keeps the longest interval between two ticks,
// asks the list for a repaint about 60 times a second, and notes when the collected answers last
// grew.
class LoopProbe {
public:
    LoopProbe(const OvNDCPRequest& request, QWidget& repainted) : request_(request), repainted_(repainted) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    }
    // The start counts as a tick, so that work done before the first tick is a gap too.
    void Start() {
        ticked_ = true;
        lastTick_ = WallClock::now();
        lastCpu_ = ThreadCpuMs();
        timer_.start();
    }
    void Stop() { timer_.stop(); }

    double longestGapMs = 0;
    double longestBusyMs = 0;
    WallClock::time_point lastGrowth{};
    double processCpuAtLastGrowth = 0;

private:
    void Tick() {
        const WallClock::time_point now = WallClock::now();
        const double cpu = ThreadCpuMs();
        if (ticked_) {
            longestGapMs = std::max(longestGapMs, MillisecondsBetween(lastTick_, now));
            longestBusyMs = std::max(longestBusyMs, cpu - lastCpu_);
        }
        ticked_ = true;
        lastTick_ = now;
        lastCpu_ = cpu;
        if (request_.Results.size() != seen_) {
            seen_ = request_.Results.size();
            lastGrowth = now;
            processCpuAtLastGrowth = ProcessCpuMs();
        }
        // Repaints at a display's pace, as a person would see the window.
        if (MillisecondsBetween(lastRepaint_, now) >= kRepaintMs) {
            lastRepaint_ = now;
            repainted_.update();
        }
    }

    const OvNDCPRequest& request_;
    QWidget& repainted_;
    QTimer timer_;
    bool ticked_ = false;
    WallClock::time_point lastTick_{};
    double lastCpu_ = 0;
    WallClock::time_point lastRepaint_{};
    std::size_t seen_ = 0;
};

// The main window's designed columns of the device list.
void AddDesignedColumns(OvListView& list) {
    list.AddColumn(QStringLiteral("Module Name"), 0);
    list.AddColumn(QStringLiteral("Device Name"), 120);
    list.AddColumn(QStringLiteral("MAC Address"), 120);
    list.AddColumn(QStringLiteral("IP Address"), 120);
    list.AddColumn(QStringLiteral("Netmask"), 240);
}

// "ov-lan1, ov-lan2 (failed: reason)"; an adapter the system chose is "the system's route".
std::string AdapterSends(const std::vector<AdapterSend>& sends) {
    std::string text;
    for (const AdapterSend& send : sends) {
        if (!text.empty()) text += ", ";
        text += send.adapter.Known() ? send.adapter.name : "the system's route";
        if (!send.failure.empty()) text += " (failed: " + send.failure + ")";
    }
    return text;
}

void SettleEvents(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace

UtilityDiscoveryResult RunUtilityDiscovery(const NDCPNetworkSetting& network, int stallMs,
                                           int receiveBuffer) {
    UtilityDiscoveryResult result;
    const ScopedNetworkSetting inForce(network);

    QWidget window;
    window.resize(760, 500);
    auto* const list = new OvListView(&window);
    list->setGeometry(152, 89, 605, 390);
    AddDesignedColumns(*list);
    auto* const status = new OvStatusBar(&window);
    status->setGeometry(0, 480, 760, 20);
    window.show();
    SettleEvents(50);

    PaintCounter paints;
    list->viewport()->installEventFilter(&paints);
    try {
        ClientEnvironment environment = RealEnvironment();
        environment.receiveBuffer = receiveBuffer;
        StartClient(&window, environment);
        DefaultDevice() = {std::string(kBroadcastMac), std::string(kDefaultPassword)};
        auto binding = std::make_unique<OvNDCPRequest2Edits>(&window);
        binding->Asynchronous = 0;
        SetDiscoveryVars(binding->Request.Vars);
        binding->Request.Filter = std::string(kDiscoveryFilter);
        binding->BindListView(list, "0.0");
        binding->SetStatusControl(status);
        binding->Request.Timeout = kDiscoveryTimeout;
        result.receiveBuffer = ClientInstance()->ReceiveBufferSize();

        LoopProbe probe(binding->Request, *list->viewport());
        binding->ShowStatus(QStringLiteral("Discovering..."));
        paints.count = 0;
        WallClock::time_point reading{};
        if (stallMs > 0) {
            // The first event handled inside the wait, right after the send.
            QTimer::singleShot(0, &window, [&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(stallMs));
                reading = WallClock::now();
                probe.Start();
            });
        } else {
            probe.Start();
        }
        const WallClock::time_point sent = WallClock::now();
        const double processCpuAtSend = ProcessCpuMs();
        if (stallMs == 0) reading = sent;
        binding->Execute(kDiscoverCommand);
        const WallClock::time_point filled = WallClock::now();
        result.sentThrough = AdapterSends(ClientInstance()->LastSends());
        probe.Stop();
        result.repaints = paints.count;
        const WallClock::time_point windowEnd = sent + std::chrono::milliseconds(kWindowMs);

        // The filled list as the user sees it: the first repaint after the fill.
        QElapsedTimer waited;
        waited.start();
        while (paints.last < filled && waited.elapsed() < 2000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
        }
        result.received = binding->Request.Results.size();
        result.rows = static_cast<std::size_t>(list->RowCount());
        result.lastArrivalMs = result.received > 0 ? MillisecondsBetween(reading, probe.lastGrowth) : 0;
        result.fillMs = MillisecondsBetween(windowEnd, filled);
        result.shownMs = paints.last >= filled ? MillisecondsBetween(windowEnd, paints.last) : -1;
        result.intakeCpuMs = result.received > 0 ? probe.processCpuAtLastGrowth - processCpuAtSend : 0;
        result.longestGapMs = probe.longestGapMs;
        result.longestBusyMs = probe.longestBusyMs;
        binding.reset();
    } catch (const OvException& e) {
        result.error = e.what();
    }
    list->viewport()->removeEventFilter(&paints);
    return result;
}
