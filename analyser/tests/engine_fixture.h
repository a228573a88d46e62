// A fresh fake library with Wyvel32 port 1 (and port 2), a temporary directory for the
// profile and the files, and an engine with a recording user interface.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analyser/analyser_app.h"
#include "analyser/tests/recording_ui.h"
#include "portaccess/fake/fake_library.h"

namespace qorval::analyser::testing {

inline std::filesystem::path MakeTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lombex32-XXXXXX").string();
    return mkdtemp(pattern.data());
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

class EngineTest : public ::testing::Test {
  protected:
    static constexpr uint16_t kDriver = QORVAL_DRIVER_WYVEL32;

    void SetUp() override {
        Fake().Reset();
        Fake().AddPort(PortSpec(1));
        Fake().AddPort(PortSpec(2));
        dir_ = MakeTempDir();
        app_ = std::make_unique<CAnalyserApp>(ui_, dir_ / "lombex32.ini");
    }
    void TearDown() override {
        app_.reset();
        std::filesystem::remove_all(dir_);
    }

    virtual fake::FakePortSpec PortSpec(uint16_t port) {
        fake::FakePortSpec port_settings;
        port_settings.port = port;
        return port_settings;
    }
    static fake::FakeLibrary& Fake() { return fake::FakeLibrary::Instance(); }

    std::filesystem::path WriteFile(const std::string& name, const std::string& content) {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    // Start-up and Select Driver/Port of port 1.
    void OpenPort() {
        ASSERT_TRUE(app_->Startup());
        ASSERT_TRUE(app_->SelectDriverPort());
    }
    void StartCapture() {
        app_->ToggleCapture();
        ASSERT_TRUE(app_->Capturing());
    }
    // Runs poll steps until `count` frames have been shown (bounded).
    void PollFrames(uint64_t count) {
        for (int i = 0; i < 10000 && app_->FramesShown() < count; ++i) {
            app_->PollStep();
        }
        ASSERT_EQ(app_->FramesShown(), count);
    }
    void Queue(std::string_view text, uint32_t result = 0) {
        Fake().QueueFrame(kDriver, 1, Bytes(text), 0, result);
    }
    std::vector<std::string> Sent() {
        std::vector<std::string> frames;
        for (auto& frame : Fake().TakeSentFrames(kDriver, 1)) {
            frames.emplace_back(frame.bytes.begin(), frame.bytes.end());
        }
        return frames;
    }
    // Send Options with a macro and a send file, then Enable Transmit and capture.
    void RunMacroProgram(const std::string& macro, const std::string& sendFile = "DATA\n") {
        SendOptions options{WriteFile("macro.txt", macro).string(), true,
                            WriteFile("send.txt", sendFile).string(), false};
        app_->SetSendOptions(options);
        ASSERT_TRUE(app_->MacroMode()) << ui_.LastMessage();
        app_->ToggleTransmit();
        ASSERT_TRUE(app_->TransmitEnabled());
        StartCapture();
    }

    RecordingUi ui_;
    std::filesystem::path dir_;
    std::unique_ptr<CAnalyserApp> app_;
};

}  // namespace qorval::analyser::testing
