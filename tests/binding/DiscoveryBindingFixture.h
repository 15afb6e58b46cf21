#pragma once

#include <memory>

#include <QWidget>

#include <gtest/gtest.h>

#include "binding/OvListView.h"
#include "binding/OvNDCPRequest2Edits.h"
#include "device/DeviceProfile.h"
#include "ndcp/OvNDCPClient.h"
#include "ndcp/OvNDCPDevice.h"
#include "testkit/FakeNetwork.h"
#include "vars/OvNDCPResponseVarList.h"

// What the discovery binding tests start from: a window that owns the one client, started on an
// in-memory network, the main window's default device, the discovery parts and a list view.
class DiscoveryBindingFixture : public ::testing::Test {
protected:
    void SetUp() override {
        responder = std::make_unique<FakeNetwork>();
        window = std::make_unique<QWidget>();
        StartClient(window.get(), responder->Environment());
        DefaultDevice() = {"FFFFFFFFFFFF", "kestu"};
        parts = std::make_unique<OvNDCPResponseVarList>(kDiscoveryPartDefs);
        listView = new OvListView(window.get());
    }

    void TearDown() override {
        binding.reset();
        window.reset();
        responder.reset();
    }

    std::unique_ptr<FakeNetwork> responder;
    std::unique_ptr<QWidget> window;
    std::unique_ptr<OvNDCPResponseVarList> parts;
    std::unique_ptr<OvNDCPRequest2Edits> binding;
    OvListView* listView = nullptr;  // child of the window
};
