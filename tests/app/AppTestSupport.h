#pragma once

#include <QCoreApplication>
#include <QMouseEvent>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/PictureBox.h"
#include "app/TMainForm.h"
#include "binding/OvListView.h"
#include "binding/OvStatusBar.h"
#include "binding/UiHooks.h"
#include "ndcp/wire/Md5.h"
#include "ndcp/wire/NDCPPacket.h"
#include "testkit/AnswerBuilder.h"
#include "testkit/FakeNetwork.h"

using Datagram = std::vector<std::uint8_t>;

struct FakeDevice {
    std::string model, name, mac, ip, netmask;
};

inline std::uint8_t CommandOf(const Datagram& request) { return request.at(kOffsetCommand); }

// Answers every Discover with one answer per device (each twice when asked), in order.
inline void AnswerDiscoveries(FakeNetwork& responder, std::vector<FakeDevice> devices, bool twice = false) {
    responder.SetHandler([devices = std::move(devices), twice](FakeNetwork& self, const Datagram& request) {
        if (CommandOf(request) != kDiscoverCommand) return;
        for (const FakeDevice& d : devices) {
            const auto answer = BuildAnswer(request.at(kOffsetSequence), 0, MacTextToBytes(d.mac).value(),
                                            DiscoveryElements(d.model, d.name, d.mac, d.ip, d.netmask));
            for (int i = twice ? 2 : 1; i > 0; --i) self.Reply(answer);
        }
    });
}

// A device on the in-memory network that behaves as one: it answers every Discover that reaches it
// (on its adapter, or on any when 0) with its addresses, and a Set to its MAC address with setStatus
// (none: no answer) after setDelayMs. It takes the new addresses when it answers 0, or when
// appliesUnanswered; after a Set it no longer answers Discovers when silentAfterSet.
struct SimDevice {
    FakeDevice identity;
    unsigned int adapterIndex = 0;
    std::optional<std::uint8_t> setStatus = 0;
    int setDelayMs = 0;
    bool appliesUnanswered = false;
    bool silentAfterSet = false;
    bool wasSet = false;
};

// The addresses a Set request carries: the values of its IP address (3) and netmask (4) elements.
inline std::pair<std::string, std::string> SetAddresses(const Datagram& request) {
    std::pair<std::string, std::string> addresses;
    for (std::size_t at = kNDCPHeaderSize; at + 3 <= request.size();) {
        const std::size_t length = std::size_t{request[at + 1]} << 8 | request[at + 2];
        if (length < 3 || at + length > request.size()) break;
        std::string text;
        for (std::size_t i = at + 3; i < at + length; ++i)
            text += (text.empty() ? "" : ".") + std::to_string(request[i]);
        (request[at] == 3 ? addresses.first : addresses.second) = text;
        at += length;
    }
    return addresses;
}

// Serves the devices (held by the caller for as long as the network lives) on the network.
inline void ServeDevices(FakeNetwork& network, std::vector<SimDevice>& devices) {
    network.SetHandler([&devices](FakeNetwork& self, const Datagram& request) {
        const unsigned int adapter = self.SentThrough().back().index;
        for (SimDevice& device : devices) {
            const FakeDevice& d = device.identity;
            const MacBytes mac = MacTextToBytes(d.mac).value();
            if (device.adapterIndex != 0 && device.adapterIndex != adapter) continue;
            if (CommandOf(request) == kDiscoverCommand && !(device.silentAfterSet && device.wasSet)) {
                self.Reply(BuildAnswer(request.at(kOffsetSequence), 0, mac,
                                       DiscoveryElements(d.model, d.name, d.mac, d.ip, d.netmask)));
            }
            if (CommandOf(request) != kSetCommand || AnswerTargetMac(request) != mac) continue;
            device.wasSet = true;
            if (device.setStatus == 0 || (!device.setStatus && device.appliesUnanswered)) {
                std::tie(device.identity.ip, device.identity.netmask) = SetAddresses(request);
            }
            if (!device.setStatus) continue;
            const Datagram answer = BuildAnswer(request.at(kOffsetSequence), *device.setStatus, mac, {});
            if (device.setDelayMs == 0) {
                self.Reply(answer);
            } else {
                self.Time().After(std::chrono::milliseconds(device.setDelayMs),
                                  [&self, answer] { self.Reply(answer); });
            }
        }
    });
}

// Whether the authenticator is MD5 over the datagram (authenticator zero) and the password text.
inline bool AuthenticatedWith(Datagram datagram, const std::string& password) {
    const Datagram sent(datagram.begin() + kOffsetAuthenticator,
                        datagram.begin() + kOffsetAuthenticator + 16);
    std::fill_n(datagram.begin() + kOffsetAuthenticator, 16, 0);
    datagram.insert(datagram.end(), password.begin(), password.end());
    const Md5::Digest digest = Md5::Of(datagram);
    return sent == Datagram(digest.begin(), digest.end());
}

inline void SendMouse(QWidget& widget, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons) {
    const QPointF at(widget.width() / 2.0, widget.height() / 2.0);
    QMouseEvent event(type, at, widget.mapToGlobal(at), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

// A left click as the user makes it, and a pointer move without a button.
inline void Click(QWidget& widget) {
    SendMouse(widget, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
}
inline void MovePointerOver(QWidget& widget) {
    SendMouse(widget, QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
}

template <typename Widget = QWidget>
Widget& Child(const QWidget& parent, const std::string& name) {
    auto* const child = parent.findChild<Widget*>(QString::fromStdString(name));
    if (child == nullptr) throw std::runtime_error("no child " + name);
    return *child;
}

// Records message boxes and questions, answering each question with `answer`, and silences beeps
// while it lives.
class BoxRecorder {
public:
    BoxRecorder()
        : hooks_(UiHooks{[](int, int) {},
                         [this](QWidget*, const QString&, const QString& t) { boxes.push_back(t); },
                         {},
                         [this](QWidget*, const QString&, const QString& t) {
                             questions.push_back(t);
                             return answer;
                         }}) {}
    std::vector<QString> boxes;
    std::vector<QString> questions;
    bool answer = false;  // true for Yes

private:
    ScopedUiHooks hooks_;
};

// A main window on the in-memory network, without its first discovery, whose discoveries last
// `timeout` x 10 ms of the network's manual clock.
class MainFormFixture : public ::testing::Test {
protected:
    void CreateForm(int timeout = 20) {
        form = std::make_unique<TMainForm>(nullptr, responder.Environment());
        form->InitialTimer().stop();
        form->SetShellOpener([this](const QString& text) {
            opened.push_back(text);
            return desktopOpens;
        });
        if (form->DeviceListBinding() != nullptr) form->DeviceListBinding()->Request.Timeout = timeout;
    }
    [[nodiscard]] QString Status() const { return Child<OvStatusBar>(*form, "StatusBar").SimpleText(); }
    [[nodiscard]] OvListView& List() const { return Child<OvListView>(*form, "LV_DeviceList"); }
    void ClickButton(const std::string& name) const { Click(Child<PictureBox>(*form, name)); }
    [[nodiscard]] QStringList RowTexts(int row) const {
        QStringList texts;
        for (int column = 0; column < 5; ++column) texts << List().RowText(row, column);
        return texts;
    }

    [[nodiscard]] std::int64_t MsSince(Clock::TimePoint time) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(responder.Time().Now() - time).count();
    }
    bool ProcessEventsUntil(const std::function<bool()>& condition, int limitMs) {
        return responder.Time().RunUntil(condition, std::chrono::milliseconds(limitMs));
    }
    void ProcessEventsFor(int ms) { responder.Time().RunFor(std::chrono::milliseconds(ms)); }

    BoxRecorder recorder;
    FakeNetwork responder;
    std::unique_ptr<TMainForm> form;
    std::vector<QString> opened;
    bool desktopOpens = true;  // what the desktop's open answers
};
