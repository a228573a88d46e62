#include "terminal/tests/support/transfer_fixture.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "terminal/locked_file.h"
#include "terminal/xmodem_receiver.h"
#include "terminal/xmodem_sender.h"

namespace qorval::terminal::testing {

void TransferFixture::SetUp() {
    auto& fake = fake::FakeLibrary::Instance();
    fake.Reset();
    fake.AddPort({.driver_type = kDriver, .port = 1});
    fake.AddPort({.driver_type = kDriver, .port = 2});
    fake.SetAutoAdvanceMs(1);
    std::filesystem::create_directory(DownloadDir());
}

void TransferFixture::TearDown() {
    port.Close();
}

TransferOutcome TransferFixture::SendTo(FarEnd* far, Protocol protocol,
                                        const std::vector<uint8_t>& data) {
    if (far != nullptr) {
        fake::FakeLibrary::Instance().ConnectPair(kDriver, 1, 2);
    }
    const std::string path = dir.File("send.bin");
    WriteBytes(path, data);
    EXPECT_EQ(port.Open(), 0u);
    std::unique_ptr<FarEndHook> hook;
    if (far != nullptr) {
        hook = std::make_unique<FarEndHook>(*far, kDriver, 2);
        hook->SetBitErrorRate(line_bit_error_rate, 12345);
    }
    auto file = LockedFile::OpenForReading(path);
    EXPECT_TRUE(file.has_value());
    const TransferUi ui{messages, progress, cancel, dispatch};
    XmodemSender sender(port, ui, protocol);
    const TransferOutcome outcome = sender.Run(*file, path);
    sender_protocol = sender.protocol();
    if (hook) {
        hook->Step();  // what was sent after the engine last read the clock
        far_heard = hook->heard;
        line_damaged_bytes = hook->damaged_bytes;
    }

    return outcome;
}

TransferOutcome TransferFixture::ReceiveFrom(FarEnd* far, Protocol protocol) {
    if (far != nullptr) {
        fake::FakeLibrary::Instance().ConnectPair(kDriver, 1, 2);
    }
    EXPECT_EQ(port.Open(), 0u);
    std::unique_ptr<FarEndHook> hook;
    if (far != nullptr) {
        hook = std::make_unique<FarEndHook>(*far, kDriver, 2);
        hook->SetBitErrorRate(line_bit_error_rate, 12345);
    }
    const TransferUi ui{messages, progress, cancel, dispatch};
    XmodemReceiver receiver(port, ui, protocol);
    const TransferOutcome outcome =
        receiver.Run(IsYmodem(protocol) ? DownloadDir() : ReceivedPath());
    if (hook) {
        hook->Step();  // what was sent after the engine last read the clock
        far_heard = hook->heard;
        line_damaged_bytes = hook->damaged_bytes;
    }

    return outcome;
}

std::vector<std::vector<uint8_t>> TransferFixture::SentFrames() {
    std::vector<std::vector<uint8_t>> out;
    for (auto& f : fake::FakeLibrary::Instance().TakeSentFrames(kDriver, 1)) {
        out.push_back(std::move(f.bytes));
    }
    return out;
}

bool TransferFixture::HasMessage(const std::string& text) const {
    const std::vector<std::string> shown = messages.CaptionTexts();
    return std::find(shown.begin(), shown.end(), "Vintor|" + text) != shown.end();
}

}  // namespace qorval::terminal::testing
