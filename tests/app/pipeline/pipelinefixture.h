// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A window-less stage for the sample pipeline: a chart that records its paint calls and a host
// that records what the window would show.

#include "app/pipeline/acquisition.h"
#include "app/pipeline/acquisitionhost.h"
#include "chart/core/plotchartcore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class RecordingChart : public PlotChartCore {
public:
    // Paint calls in order: "suspend", "resume", "redrawitems".
    std::vector<std::string> Calls;
    // SampleCount of the acquisition at each RedrawItems (when Acq is set).
    std::vector<std::int64_t> RedrawnAt;
    // RepaintFollows() at each RedrawItems.
    std::vector<bool> RedrawFollowed;
    const Acquisition* Acq = nullptr;

    void SuspendPaint(bool suspend) override {
        Calls.push_back(suspend ? "suspend" : "resume");
        PlotChartCore::SuspendPaint(suspend);
    }
    void RedrawItems() override {
        Calls.push_back("redrawitems");
        RedrawFollowed.push_back(RepaintFollows());
        if (Acq != nullptr) {
            RedrawnAt.push_back(Acq->SampleCount);
        }
        PlotChartCore::RedrawItems();
    }
};

class RecordingHost : public AcquisitionHost {
public:
    std::vector<std::string> Labels;
    std::string Panels[3];
    std::vector<std::string> Messages;
    bool Active = true;
    int StopClicks = 0;
    int MenuEnables = 0;
    int Pumps = 0;
    Acquisition* Acq = nullptr;
    std::function<void()> OnPump; // runs inside ProcessMessages, like a queued user action

    void SetLabel10(const std::string& text) override { Labels.push_back(text); }
    void SetStatusPanel(int index, const std::string& text) override { Panels[index] = text; }
    bool PortActive() const override { return Active; }
    void SetPortActive(bool active) override { Active = active; }
    void StopButtonClick() override {
        ++StopClicks;
        Active = false;
        if (Acq != nullptr) {
            Acq->StopState();
        }
    }
    void EnableMainMenu() override { ++MenuEnables; }
    void ProcessMessages() override {
        ++Pumps;
        if (OnPump) {
            OnPump();
        }
    }
    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
};

class PipelineTest : public testing::Test {
protected:
    RecordingChart chart;
    RecordingHost host;
    Acquisition acq{chart, host};

    void SetUp() override {
        chart.Acq = &acq;
        host.Acq = &acq;
        acq.DecimalSeparator = ',';
        start({});
    }

    void start(const AcquisitionSettings& settings) {
        acq.Start(settings);
        chart.Calls.clear();
        chart.RedrawnAt.clear();
        host.Labels.clear();
        host.Active = true;
    }

    void feed(const std::string& block) {
        acq.SerialComm1AfterReceive(block.data(), static_cast<std::uint32_t>(block.size()));
    }

    // n lines "<value>\r\n" in blocks of at most 16000 bytes.
    void feedLines(int n, const std::string& value = "1") {
        std::string block;
        for (int i = 0; i < n; ++i) {
            block += value + "\r\n";
            if (block.size() > 15000) {
                feed(block);
                block.clear();
            }
        }
        if (!block.empty()) {
            feed(block);
        }
    }
};
