#include "simulator.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace sim {

namespace {
struct KeyName {
    const char* name;
    PanelKey key;
    char serial;
    int udp;
};
const KeyName kKeys[] = {
    {"start", PanelKey::Start, '1', 1},  {"pause", PanelKey::Pause, '2', 2},   {"resume", PanelKey::Resume, '2', 3},
    {"stop", PanelKey::Stop, '3', 4},    {"gear", PanelKey::Gear, '5', 5},     {"head", PanelKey::Head, 0, 6},
    {"jog-x0", PanelKey::JogX0, '8', 7}, {"jog-x1", PanelKey::JogX1, '9', 8}, {"jog-y0", PanelKey::JogY0, '7', 9},
    {"jog-y1", PanelKey::JogY1, '6', 10}, {"reset", PanelKey::Reset, 0, 11},
};

const KeyName* Find(PanelKey key) {
    for (const auto& k : kKeys)
        if (k.key == key) return &k;
    return nullptr;
}

// "E3", "0xE3" or "e3": a byte in hexadecimal.
bool ParseHexByte(const std::string& s, std::uint8_t* out) {
    if (s.empty()) return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(s.c_str(), &end, 16);
    if (*end != '\0' || v > 0xFF) return false;
    *out = static_cast<std::uint8_t>(v);
    return true;
}

// A whole number within int range (larger inputs are refused, not wrapped).
bool ParseInt(const std::string& s, long* out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    *out = std::strtol(s.c_str(), &end, 0);
    return *end == '\0' && errno == 0 && *out >= INT32_MIN && *out <= INT32_MAX;
}
} // namespace

char SerialKeyOf(PanelKey key) {
    const KeyName* k = Find(key);
    return k ? k->serial : 0;
}

int UdpKeyOf(PanelKey key) {
    const KeyName* k = Find(key);
    return k ? k->udp : 0;
}

bool ParsePanelKey(const std::string& name, PanelKey* key) {
    for (const auto& k : kKeys)
        if (name == k.name) {
            *key = k.key;
            return true;
        }
    return false;
}

Simulator::Simulator(SimConfig config) : m_config(std::move(config)), m_machine(m_config.machineType) {
    if (m_config.serial) {
        std::string dir = m_config.serialDir;
        if (dir.empty())
            if (const char* env = std::getenv(kSerialDirEnv)) dir = env;
        m_serial = std::make_unique<SerialServer>(m_machine, m_faults, dir, m_config.comNumber);
    }
    if (m_config.cameras) {
        std::vector<CameraSpec> specs;
        if (m_config.cameraSpecs.empty() || !CameraSet::ParseSpecs(m_config.cameraSpecs, &specs)) specs.clear();
        const int video = m_config.videoCameras >= 0 ? m_config.videoCameras
                          : (m_config.machineType == 4 || m_config.machineType == 5) ? 2 : 0;
        if (specs.empty()) specs = CameraSet::DefaultSpecs(video, m_config.machineType);
        else
            for (const auto& v : CameraSet::DefaultSpecs(video, m_config.machineType))
                if (v.video) specs.push_back(v);
        m_cameras = std::make_unique<CameraSet>(specs);
        m_cameraFolder = m_config.serialDir;
        if (m_cameraFolder.empty())
            if (const char* env = std::getenv(kSerialDirEnv)) m_cameraFolder = env;
    }
    if (m_config.world) {
        Scenario sc = Scenario::Default();
        std::string err;
        if (!m_config.scenarioFile.empty() && !Scenario::Load(m_config.scenarioFile, &sc, &err))
            m_scenarioError = err;
        UseScenario(sc);
    }
    if (m_config.udp)
        m_udp = std::make_unique<UdpServer>(m_machine, m_faults, m_config.udpAddress, m_config.udpPort,
                                            m_config.discoveryGroup, m_config.discoveryPort);
    SetTimeScale(m_config.timeScale);
}

Simulator::~Simulator() {
    Stop();
    m_machine.SetObserver(nullptr);
    m_cameras.reset();  // its threads render the world: they end first
    m_world.reset();
}

World& Simulator::UseScenario(Scenario scenario) {
    // The scenario's camera images, while nothing has seen the cameras yet (an
    // explicit --cameras list stands).
    if (m_cameras && !m_started && m_config.cameraSpecs.empty()) {
        const std::pair<CameraRole, const ScenarioCamera*> cams[] = {
            {CameraRole::Mark, &scenario.markCamera},
            {CameraRole::Vision1, &scenario.vision[0]},
            {CameraRole::Vision2, &scenario.vision[1]}};
        for (const auto& [role, cam] : cams)
            if (cam->width > 0) m_cameras->SetFormat(role, cam->width, cam->height, cam->mono);
    }
    if (!m_world) {
        m_world = std::make_unique<World>(m_machine, std::move(scenario));
        m_world->SetCameras(m_cameras.get());
        m_world->SetMachineType(m_config.machineType);
        m_world->SetKeyPress([this](const std::string& name) {
            PanelKey k;
            if (ParsePanelKey(name, &k)) PressKey(k);
        });
        m_machine.SetObserver(m_world.get());
        // The world outlives the cameras' use of it: the set is stopped first.
        if (m_cameras) m_cameras->SetSource(std::shared_ptr<FrameSource>(std::shared_ptr<void>(), m_world.get()));
    } else {
        m_world->SetScenario(std::move(scenario));
    }
    return *m_world;
}

bool Simulator::Start(std::string* error) {
    if (!m_scenarioError.empty()) {
        if (error) *error = m_scenarioError;
        return false;
    }
    if (m_serial && !m_serial->Start(error)) return false;
    if (m_udp && !m_udp->Start(error)) {
        if (m_serial) m_serial->Stop();
        return false;
    }
    if (m_cameras && !m_cameraFolder.empty() && !m_cameras->Publish(m_cameraFolder, error)) {
        Stop();
        return false;
    }
    m_started = true;
    return true;
}

void Simulator::Stop() {
    if (m_cameras) m_cameras->Unpublish();
    if (m_serial) m_serial->Stop();
    if (m_udp) m_udp->Stop();
}

void Simulator::SetTimeScale(double scale) {
    m_config.timeScale = std::isfinite(scale) && scale > 0 ? scale : 0;
    if (m_serial) m_serial->SetTimeScale(m_config.timeScale);
    if (m_udp) m_udp->SetTimeScale(m_config.timeScale);
}

void Simulator::PressKey(PanelKey key) {
    if (m_serial && SerialKeyOf(key)) m_serial->SendKey(SerialKeyOf(key));
    if (m_udp) m_udp->SendKey(UdpKeyOf(key));
}

std::string ControlHelp() {
    return "commands (one per line):\n"
           "  silence next [N] | silence all | silence off   drop replies\n"
           "  delay MS            every reply waits MS more (0: off)\n"
           "  split [GAP-MS] | garbage | badsum    spoil the next reply\n"
           "  error CODE [SUB]    refuse the next command with error CODE (hex, e.g. E3; Ethernet: status)\n"
           "  report CODE [SUB]   send a serial error report now\n"
           "  timeout [41|42|43]  next command runs into a board time-out (serial: no answer)\n"
           "  hold CODE [LIMIT-MS]  hold the reply to the next command CODE (hex) until release (10000 ms unless LIMIT-MS)\n"
           "  release             let a held reply go\n"
           "  positions           every drive in pulses on one line\n"
           "  log [N]             the last N commands received (20), oldest first\n"
           "  conveyor WIDTH|off  the automatic conveyor in place: the west-walk homing drives its width\n"
           "  key start|pause|resume|stop|gear|head|jog-x0|jog-x1|jog-y0|jog-y1|reset\n"
           "  counters B0 .. B7   Ethernet status message 0x15\n"
           "  unplug [serial|udp] | replug [serial|udp]\n"
           "  vacuum N KPA|auto | holding N 0|1 | zstate HEX|auto | height PULSES\n"
           "  board 0|1           a board waits at the conveyor input (0: the board-in run stays unanswered;\n"
           "                      a scenario with waiting boards decides that itself)\n"
           "  jam N               a board jammed in conveyor zone N (1..4): its runs stay unanswered; 0 clears\n"
           "  timescale X | clear | status | help | quit\n" +
           CameraSet::Help() + World::Help();
}

std::string Simulator::Command(const std::string& line, bool* quit) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string t; in >> t;) w.push_back(t);
    if (w.empty()) return "";
    const std::string& c = w[0];
    auto arg = [&](std::size_t i) { return i < w.size() ? w[i] : std::string(); };
    long n = 0;
    std::uint8_t b = 0, sub = 0;

    if (c == "quit" || c == "exit") {
        if (quit) *quit = true;
        return "bye";
    }
    if (c == "help") return ControlHelp();
    if (c == "camera") return m_cameras ? m_cameras->Command(w) : "no simulated cameras";
    if (c == "scenario") {
        Scenario sc;
        std::string err;
        if (arg(1).empty()) return "usage: scenario FILE";
        if (!Scenario::Load(arg(1), &sc, &err)) return "scenario not loaded: " + err;
        UseScenario(sc);
        return "ok";
    }
    if (c == "world") {
        if (!m_world) UseScenario(Scenario::Default());
        return m_world->Command(w);
    }
    if (c == "log" && (arg(1).empty() || (ParseInt(arg(1), &n) && n > 0))) {
        // The last commands received, oldest first: link, code, how it went, its bytes.
        const std::vector<FrameRecord> frames = m_machine.Frames();
        const std::size_t count = arg(1).empty() ? 20 : static_cast<std::size_t>(n);
        std::string out;
        for (std::size_t i = frames.size() > count ? frames.size() - count : 0; i < frames.size(); ++i) {
            const FrameRecord& f = frames[i];
            char head[40];
            std::snprintf(head, sizeof head, "%s 0x%02X", f.link == Link::Serial ? "serial" : "udp", f.code);
            out += head;
            out += f.accepted ? " ok" : " refused (" + f.reason + ")";
            for (std::uint8_t byte : f.data) {
                char hex[4];
                std::snprintf(hex, sizeof hex, " %02X", byte);
                out += hex;
            }
            out += "\n";
        }
        return out;
    }
    if (c == "status") return m_machine.StatusText() + "faults: " + m_faults.Describe() + "\n";
    if (c == "clear") {
        m_faults.Clear();
        return "faults cleared";
    }
    if (c == "silence") {
        if (arg(1) == "all") m_faults.SilenceAll(true);
        else if (arg(1) == "off") m_faults.SilenceAll(false);
        else if (arg(1) == "next") m_faults.SilenceNext(ParseInt(arg(2), &n) ? static_cast<int>(n) : 1);
        else return "usage: silence next [N] | silence all | silence off";
        return "ok";
    }
    if (c == "delay" && ParseInt(arg(1), &n)) {
        m_faults.SetDelayMs(static_cast<int>(n));
        return "ok";
    }
    if (c == "split") {
        if (arg(1).empty()) m_faults.SplitNext();
        else if (ParseInt(arg(1), &n) && n >= 0) m_faults.SplitNext(static_cast<int>(n));
        else return "usage: split [GAP-MS]";
        return "ok";
    }
    if (c == "garbage" || c == "badsum") {
        if (c == "garbage") m_faults.GarbageNext();
        else m_faults.BadSumNext();
        return "ok";
    }
    if ((c == "error" || c == "report") && ParseHexByte(arg(1), &b)) {
        if (!arg(2).empty() && !ParseHexByte(arg(2), &sub)) return "bad sub-code";
        if (c == "error") m_faults.ErrorNext(b, sub);
        else if (m_serial) m_serial->SendReport(b, sub);
        else return "no serial link";
        return "ok";
    }
    if (c == "timeout") {
        b = 0x41;
        if (!arg(1).empty() && (!ParseHexByte(arg(1), &b) || b < 0x41 || b > 0x43)) return "usage: timeout [41|42|43]";
        m_faults.TimeoutNext(b);
        return "ok";
    }
    if (c == "hold") {
        long code = 0, limit = Faults::kDefaultHoldMs;
        char* end = nullptr;
        const std::string text = arg(1);
        code = std::strtol(text.c_str(), &end, 16);
        if (text.empty() || *end != '\0' || code < 0 || code > 0xFFF ||
            (!arg(2).empty() && (!ParseInt(arg(2), &limit) || limit < 0 || limit > Faults::kMaxHoldMs)))
            return "usage: hold CODE [LIMIT-MS] (CODE hex, LIMIT-MS 0.." + std::to_string(Faults::kMaxHoldMs) + ")";
        m_faults.HoldNext(static_cast<std::uint16_t>(code), static_cast<int>(limit));
        return "ok";
    }
    if (c == "release") {
        m_faults.Release();
        return "ok";
    }
    if (c == "positions") return m_machine.PositionsText();
    if (c == "conveyor") {
        if (arg(1) == "off") m_machine.SetConveyorWidth(std::nullopt);
        else if (ParseInt(arg(1), &n)) m_machine.SetConveyorWidth(static_cast<std::int32_t>(n));
        else return "usage: conveyor WIDTH-PULSES|off";
        return "ok";
    }
    if (c == "key") {
        PanelKey k;
        if (!ParsePanelKey(arg(1), &k)) return "unknown key; " + ControlHelp();
        PressKey(k);
        return "ok";
    }
    if (c == "counters") {
        Bytes payload;
        for (std::size_t i = 1; i <= 8; ++i) payload.push_back(ParseInt(arg(i), &n) ? static_cast<std::uint8_t>(n) : 0);
        if (!m_udp) return "no Ethernet link";
        m_udp->SendUnsolicited(0x15, payload);
        return "ok";
    }
    if (c == "unplug" || c == "replug") {
        const bool doSerial = arg(1).empty() || arg(1) == "serial";
        const bool doUdp = arg(1).empty() || arg(1) == "udp";
        std::string err;
        bool ok = true;
        if (doSerial && m_serial) {
            if (c == "unplug") m_serial->Unplug();
            else ok = m_serial->Replug(&err) && ok;
        }
        if (doUdp && m_udp) {
            if (c == "unplug") m_udp->Unplug();
            else ok = m_udp->Replug(&err) && ok;
        }
        return ok ? "ok" : "replug failed: " + err;
    }
    if (c == "vacuum" && ParseInt(arg(1), &n)) {
        long kpa = -1;
        if (arg(2) != "auto" && !ParseInt(arg(2), &kpa)) return "usage: vacuum N KPA|auto";
        m_machine.SetVacuumOverride(static_cast<int>(n), static_cast<int>(kpa));
        return "ok";
    }
    if (c == "holding" && ParseInt(arg(1), &n)) {
        m_machine.SetHolding(static_cast<int>(n), arg(2) == "1");
        return "ok";
    }
    if (c == "zstate") {
        if (arg(1) == "auto") m_machine.SetZStateOverride(-1);
        else if (ParseHexByte(arg(1), &b)) m_machine.SetZStateOverride(b);
        else return "usage: zstate HEX|auto";
        return "ok";
    }
    if (c == "board" && (arg(1) == "0" || arg(1) == "1")) {
        m_machine.SetBoardAtInput(arg(1) == "1");
        return "ok";
    }
    if (c == "jam" && ParseInt(arg(1), &n) && n >= 0 && n <= 4) {
        m_machine.SetJammedZone(static_cast<int>(n));
        return "ok";
    }
    if (c == "height" && ParseInt(arg(1), &n)) {
        m_machine.SetMeasuredHeight(static_cast<std::int32_t>(n));
        return "ok";
    }
    if (c == "timescale") {
        const std::string text = arg(1);
        char* end = nullptr;
        const double x = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || !std::isfinite(x) || x < 0) return "usage: timescale X (X >= 0)";
        SetTimeScale(x);
        return "ok";
    }
    return "unknown command: " + line + "\n" + ControlHelp();
}

} // namespace sim
