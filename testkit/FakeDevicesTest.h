#pragma once

#include <memory>
#include <vector>

#include <QObject>

#include <gtest/gtest.h>

#include "ndcp/OvNDCPClient.h"
#include "testkit/FakeDevices.h"
#include "testkit/FakeNetwork.h"

// A fixture: the client started on the in-memory network, with the devices a test puts there.
class FakeDevicesTest : public ::testing::Test {
protected:
    void StartWith(std::vector<FakeDevice> devices) {
        fakes = std::make_unique<FakeDevices>(network, std::move(devices));
    }
    void SetUp() override { StartClient(owner.get(), network.Environment()); }
    void TearDown() override { owner.reset(); }

    FakeNetwork network;
    std::unique_ptr<QObject> owner = std::make_unique<QObject>();
    std::unique_ptr<FakeDevices> fakes;
};
