#include "host/server/control_commands.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace qorval::host {
namespace {

constexpr unsigned kMaxPort = 32;

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while (true) {
        at = text.find_first_not_of(" \t\r\n", at);
        if (at == std::string_view::npos) {
            return words;
        }
        const size_t end = text.find_first_of(" \t\r\n", at);
        words.push_back(text.substr(at, end == std::string_view::npos ? end : end - at));
        if (end == std::string_view::npos) {
            return words;
        }
        at = end;
    }
}

bool ParsePort(std::string_view word, unsigned& port) {
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), port);
    return ec == std::errc() && end == word.data() + word.size() && port >= 1 && port <= kMaxPort;
}

bool ParseProbability(std::string_view word, double& value) {
    const std::string text(word);
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && !text.empty() && std::isfinite(value) &&
           value >= 0.0 && value <= 1.0;
}

std::string Answer(const std::string& failure, const std::string& ok_text = "ok\n") {
    return failure.empty() ? ok_text : "error: " + failure + "\n";
}

constexpr std::string_view kUsage =
    "error: unknown command; commands: list, status, add, start N, stop N, surprise-remove N, "
    "remove N, "
    "sleep N, wake N, wire pair A B, wire loopback N, wire open N, "
    "wire stream N unix:PATH|tcp:[ADDR:]PORT, ber P [N], drop P [N], "
    "rate unlimited|line\n";

}  // namespace

bool IsReadOnlyCommand(std::string_view command) {
    const auto words = Words(command);
    return words.size() == 1 && (words[0] == "list" || words[0] == "status");
}

std::string RunControlCommand(HostControl& host, std::string_view command) {
    const auto words = Words(command);
    if (words.empty()) {
        return std::string(kUsage);
    }
    const std::string_view verb = words[0];
    unsigned port = 0;
    if (verb == "list" && words.size() == 1) {
        return protocol::FormatPortList(host.List());
    }
    if (verb == "status" && words.size() == 1) {
        std::string answer = protocol::FormatPortList(host.List());
        for (const StreamListing& stream : host.Streams()) {
            answer += "stream " + std::to_string(stream.port) + " " + stream.address +
                      (stream.peer.empty() ? " no peer" : " peer " + stream.peer) + "\n";
        }
        return answer;
    }
    if (verb == "add" && words.size() == 1) {
        unsigned added = 0;
        const std::string failure = host.Add(&added);
        return Answer(failure, "ok\nport " + std::to_string(added) + "\n");
    }
    if (words.size() == 2 && (verb == "start" || verb == "stop" || verb == "surprise-remove" ||
                              verb == "remove" || verb == "sleep" || verb == "wake")) {
        if (!ParsePort(words[1], port)) {
            return "error: bad port number\n";
        }
        if (verb == "start")
            return Answer(host.Start(port));
        if (verb == "stop")
            return Answer(host.Stop(port));
        if (verb == "surprise-remove")
            return Answer(host.SurpriseRemove(port));
        if (verb == "remove")
            return Answer(host.Remove(port));
        return Answer(host.Power(port, verb == "sleep" ? PowerAction::Sleep : PowerAction::Wake));
    }
    if (verb == "wire" && words.size() >= 3) {
        unsigned other = 0;
        if (words[1] == "pair" && words.size() == 4 && ParsePort(words[2], port) &&
            ParsePort(words[3], other) && port != other) {
            return Answer(host.Wire(WireKind::Pair, port, other));
        }
        if ((words[1] == "loopback" || words[1] == "open") && words.size() == 3 &&
            ParsePort(words[2], port)) {
            return Answer(
                host.Wire(words[1] == "open" ? WireKind::Open : WireKind::Loopback, port, port));
        }
        if (words[1] == "stream" && words.size() == 4 && ParsePort(words[2], port)) {
            std::string bound;
            const std::string failure = host.WireStream(port, std::string(words[3]), &bound);
            return Answer(failure, "ok\nstream " + std::to_string(port) + " " + bound + "\n");
        }
        return "error: wire pair A B | wire loopback N | wire open N | wire stream N ADDRESS\n";
    }
    if ((verb == "ber" || verb == "drop") && (words.size() == 2 || words.size() == 3)) {
        double probability = 0;
        if (!ParseProbability(words[1], probability)) {
            return "error: probability must be a number from 0 to 1\n";
        }
        if (words.size() == 3 && !ParsePort(words[2], port)) {
            return "error: bad port number\n";
        }
        return Answer(verb == "ber" ? host.SetBitErrorRate(probability, port)
                                    : host.SetDropRate(probability, port));
    }
    if (verb == "rate" && words.size() == 2 && (words[1] == "unlimited" || words[1] == "line")) {
        return Answer(host.SetLineRate(words[1] == "unlimited"));
    }
    return std::string(kUsage);
}

}  // namespace qorval::host
