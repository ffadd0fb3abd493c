// smt-sim: the simulated controller boards, served on a pseudo-terminal and on UDP
// until SIGINT, SIGTERM or "quit" on standard input. Standard input is the control
// channel (one command per line, "help" lists them).
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "simulator.h"

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: smt-sim [--type N] [--serial-dir DIR] [--com N] [--udp ADDR] [--udp-port P]\n"
                 "               [--discovery-port P] [--no-serial] [--no-udp] [--time-scale X]\n"
                 "               [--cameras NAME[:WxH][:mono],...] [--video-cameras N] [--no-cameras]\n"
                 "               [--scenario FILE | --world]\n");
}

bool ParseArgs(int argc, char** argv, sim::SimConfig& c) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char** out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        char* end = nullptr;
        if (a == "--no-serial") c.serial = false;
        else if (a == "--no-cameras") c.cameras = false;
        else if (a == "--scenario" && value(&v)) {
            c.world = true;
            c.scenarioFile = v;
        } else if (a == "--world") c.world = true;
        else if (a == "--cameras" && value(&v)) {
            std::vector<sim::CameraSpec> specs;
            if (!sim::CameraSet::ParseSpecs(v, &specs)) return false;
            c.cameraSpecs = v;
        } else if (a == "--video-cameras" && value(&v)) {
            c.videoCameras = static_cast<int>(std::strtol(v, &end, 10));
            if (*end || c.videoCameras < 0 || c.videoCameras > 8) return false;
        }
        else if (a == "--no-udp") c.udp = false;
        else if (a == "--type" && value(&v)) {
            c.machineType = static_cast<int>(std::strtol(v, &end, 10));
            if (*end || c.machineType < 0 || c.machineType > 9) return false;
        } else if (a == "--serial-dir" && value(&v)) c.serialDir = v;
        else if (a == "--com" && value(&v)) {
            c.comNumber = static_cast<int>(std::strtol(v, &end, 10));
            if (*end || c.comNumber < 1) return false;
        } else if (a == "--udp" && value(&v)) c.udpAddress = v;
        else if ((a == "--udp-port" || a == "--discovery-port") && value(&v)) {
            const long p = std::strtol(v, &end, 10);
            if (*end || p < 0 || p > 65535) return false;
            (a == "--udp-port" ? c.udpPort : c.discoveryPort) = static_cast<std::uint16_t>(p);
        } else if (a == "--time-scale" && value(&v)) {
            c.timeScale = std::strtod(v, &end);
            if (*end || !std::isfinite(c.timeScale) || c.timeScale < 0) return false;
        } else return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    sim::SimConfig config;
    config.cameras = true;
    if (!ParseArgs(argc, argv, config)) {
        Usage();
        return 2;
    }
    // Signals are taken synchronously by the main loop; server threads inherit the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    sim::Simulator simulator(config);
    std::string error;
    if (!simulator.Start(&error)) {
        std::fprintf(stderr, "smt-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("smt-sim: machine type %d\n", config.machineType);
    if (auto* s = simulator.serial())
        std::printf("  serial: %s%s%s (115200 8N1)\n", s->SlavePath().c_str(), s->LinkPath().empty() ? "" : " as ",
                    s->LinkPath().c_str());
    if (auto* u = simulator.udp()) {
        std::printf("  ethernet: %s:%u", config.udpAddress.c_str(), u->Port());
        if (config.discoveryPort) std::printf(", discovery on %s:%u", config.discoveryGroup.c_str(), config.discoveryPort);
        std::printf("\n");
    }
    if (auto* cams = simulator.cameras()) {
        const char* env = std::getenv(sim::kSerialDirEnv);
        const std::string folder = !config.serialDir.empty() ? config.serialDir : env ? env : "";
        if (folder.empty()) std::printf("  cameras: %d, not published (no serial folder)\n", cams->Count());
        else std::printf("  cameras: %d published in %s\n", cams->Count(), folder.c_str());
    }
    std::printf("  type \"help\" for the control commands\n");
    std::fflush(stdout);

    bool quit = false;
    bool inputOpen = true;
    std::string pending;
    while (!quit) {
        const timespec zero{0, 0};
        if (sigtimedwait(&stopSignals, nullptr, &zero) > 0) break;
        if (!inputOpen) {
            const timespec tick{0, 100 * 1000 * 1000};
            if (sigtimedwait(&stopSignals, nullptr, &tick) > 0) break;
            continue;
        }
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[512];
        const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            inputOpen = false;  // no more commands; serve until a signal
            continue;
        }
        pending.append(buf, static_cast<std::size_t>(n));
        for (std::size_t nl; !quit && (nl = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const std::string answer = simulator.Command(line, &quit);
            if (!answer.empty()) std::printf("%s%s", answer.c_str(), answer.back() == '\n' ? "" : "\n");
            std::fflush(stdout);
        }
    }
    simulator.Stop();
    return 0;
}
